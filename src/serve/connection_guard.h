// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serve/preview_server.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <vector>

class QTcpSocket;

namespace quillane {

class ConnectionState;

// Whether a request with these Upgrade and Connection headers asks for a WebSocket, as Qt's
// HTTP server decides it: the server then hands the connection over once the request is
// handled without an answer.
bool asksForWebSocket(const QByteArray& upgrade, const QByteArray& connection);

// The listening socket of the preview server, which reads every request's head before the HTTP
// server does. Qt's HTTP server (6.4) sets no limit of its own: it keeps a request whole in
// memory and makes room at once for as large a body as the request claims. Here a connection
// beyond the limit is answered 503; a head too large, a body beyond a few kilobytes (or sent in
// chunks), a host other than this computer's, or a WebSocket that is not a page's live
// connection is answered with the error and the connection closed, before the HTTP server reads
// it; a connection slow to send its request, to take its answer, or left idle is closed.
class ConnectionGuard : public QTcpServer {
    Q_OBJECT
public:
    ConnectionGuard(const ServeLimits& limits, QObject* parent);
    ~ConnectionGuard() override;

    // Whether the last request read on this socket asked for the connection to close after
    // its answer (Connection: close, or HTTP/1.0 without keep-alive).
    bool closeAfterAnswer(const QTcpSocket* socket) const;
    // Ends every connection now, live ones included.
    void abortAll();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    friend class ConnectionState;

    // Whether a request with these Upgrade and Connection headers asks for a WebSocket, as Qt's
    // HTTP server decides it: the server then hands the connection over once the request is
    // handled without an answer.
    bool asksForWebSocket(const QByteArray& upgrade, const QByteArray& connection);
    int count(bool live) const;
    void sweep();

    ServeLimits m_limits;
    QElapsedTimer m_clock;
    QTimer m_sweep;
    std::vector<QPointer<ConnectionState>> m_connections;
};

} // namespace quillane
