// SPDX-License-Identifier: GPL-3.0-or-later
#include "serve/connection_guard.h"

#include "serve/live_reload.h"
#include "serve/site_files.h"

#include <QTcpSocket>
#include <algorithm>

namespace quillane {

namespace {

// A name this computer answers to: the loopback address, or localhost and its sub-domains.
bool isLocalName(QByteArray host) {
    host = host.toLower();
    if (host.startsWith('[')) {
        host.truncate(host.indexOf(']') + 1);
    } else if (const qsizetype colon = host.lastIndexOf(':'); colon >= 0) {
        host.truncate(colon);
    }
    return host == "127.0.0.1" || host == "localhost" || host == "[::1]" ||
           host.endsWith(".localhost");
}

bool isOwnOrigin(const QByteArray& origin, quint16 port) {
    const QByteArray authority = origin.mid(7);
    return origin.startsWith("http://") && isLocalName(authority) &&
           authority.endsWith(':' + QByteArray::number(port));
}

} // namespace

bool asksForWebSocket(const QByteArray& upgrade, const QByteArray& connection) {
    return upgrade.trimmed().compare("websocket", Qt::CaseInsensitive) == 0 &&
           connection.toLower().contains("upgrade");
}

// One connection as the guard follows it; it goes with its socket.
class ConnectionState : public QObject {
public:
    ConnectionState(ConnectionGuard* guard, QTcpSocket* socket)
        : QObject(socket), m_guard(guard), m_socket(socket), m_lastActivity(now()) {
        // Connected before the HTTP server's own reading, so each piece is seen before it is.
        connect(socket, &QTcpSocket::readyRead, this, &ConnectionState::scan);
        connect(socket, &QTcpSocket::bytesWritten, this, [this] { m_lastActivity = now(); });
    }

    bool live = false;       // handed to the WebSocket server
    bool closeAfter = false; // the last request asked for the connection to close

    QTcpSocket* socket() const { return m_socket; }

    void refuse(int status, const QString& sentence, const QByteArray& headers = {}) {
        const QByteArray body = errorPage(status, sentence);
        // Nothing more is read: neither here nor by the HTTP server.
        QObject::disconnect(m_socket, &QTcpSocket::readyRead, nullptr, nullptr);
        m_socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + statusPhrase(status) +
                        "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                        QByteArray::number(body.size()) +
                        "\r\nCache-Control: no-store\r\nConnection: close\r\n" + headers + "\r\n" +
                        body);
        m_socket->disconnectFromHost();
        m_closing = true;
        m_lastActivity = now();
    }

    void checkTime(qint64 at) {
        const ServeLimits& limits = m_guard->m_limits;
        const qint64 quiet = at - m_lastActivity;
        if (live) return;
        if (m_closing || m_socket->bytesToWrite() > 0) {
            if (quiet > limits.requestTimeoutMs) m_socket->abort();
        } else if (m_requestStart >= 0 && at - m_requestStart > limits.requestTimeoutMs) {
            refuse(408, QStringLiteral("The request took too long to arrive."));
        } else if (m_requestStart < 0 && quiet > limits.idleTimeoutMs) {
            m_socket->disconnectFromHost();
            m_closing = true;
        }
    }

private:
    qint64 now() const { return m_guard->m_clock.elapsed(); }

    // Follows the bytes that arrived: heads are checked whole, bodies counted past.
    void scan() {
        const QByteArray data = m_socket->peek(m_socket->bytesAvailable());
        const int maxHead = m_guard->m_limits.maxHeadBytes;
        m_lastActivity = now();
        qsizetype i = 0;
        while (i < data.size() && !live && !m_closing) {
            if (m_bodyLeft > 0) {
                const qint64 take = std::min<qint64>(m_bodyLeft, data.size() - i);
                m_bodyLeft -= take;
                i += take;
                if (m_bodyLeft == 0) m_requestStart = -1;
                continue;
            }
            if (m_head.isEmpty()) {
                if (data[i] == '\r' || data[i] == '\n') { // allowed before a request
                    ++i;
                    continue;
                }
                m_requestStart = m_lastActivity;
            }
            const qsizetype had = m_head.size();
            const qsizetype taken = std::min<qsizetype>(maxHead + 4 - had, data.size() - i);
            m_head.append(data.constData() + i, taken);
            const qsizetype end = m_head.indexOf("\r\n\r\n", std::max<qsizetype>(0, had - 3));
            if (end < 0 || end > maxHead) {
                if (m_head.size() > maxHead)
                    return refuse(431, QStringLiteral("The request's head is too large."));
                i += taken;
                continue;
            }
            i += end + 4 - had;
            m_head.truncate(end);
            const bool accepted = checkHead();
            m_head.clear();
            if (!accepted) return;
            if (m_bodyLeft == 0) m_requestStart = -1;
        }
    }

    bool checkHead() {
        const ServeLimits& limits = m_guard->m_limits;
        const QList<QByteArray> lines = m_head.split('\n');
        const QList<QByteArray> request = lines[0].trimmed().split(' ');
        if (request.size() != 3 || !request[2].startsWith("HTTP/1.")) {
            refuse(400, QStringLiteral("This is not an HTTP/1 request."));
            return false;
        }
        const bool http10 = request[2] == "HTTP/1.0";
        closeAfter = http10;
        qint64 length = 0;
        bool chunked = false;
        QByteArray host, origin, upgrade, connection;
        for (qsizetype n = 1; n < lines.size(); ++n) {
            const QByteArray& line = lines[n];
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0) {
                refuse(400, QStringLiteral("A line of the request's head is not a header."));
                return false;
            }
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            bool ok = true;
            if (name == "content-length") {
                length = value.toLongLong(&ok);
            } else if (name == "transfer-encoding") {
                chunked = true;
            } else if (name == "connection") {
                connection = value.toLower();
                if (connection.contains("close"))
                    closeAfter = true;
                else if (http10 && connection.contains("keep-alive"))
                    closeAfter = false;
            } else if (name == "upgrade") {
                upgrade = value;
            } else if (name == "host") {
                host = value;
            } else if (name == "origin") {
                origin = value;
            }
            if (!ok || length < 0) {
                refuse(400, QStringLiteral("The request's length is not a number."));
                return false;
            }
        }
        if (!host.isEmpty() && !isLocalName(host)) {
            refuse(403, QStringLiteral("This server answers for 127.0.0.1 and localhost only."));
            return false;
        }
        if (chunked || length > limits.maxBodyBytes) {
            if (request[0] == "GET" || request[0] == "HEAD")
                refuse(413, QStringLiteral("A request with a body is not accepted."));
            else
                refuse(405, kReadOnlySentence, "Allow: GET, HEAD\r\n");
            return false;
        }
        m_bodyLeft = length;
        if (!asksForWebSocket(upgrade, connection)) return true;
        if (request[1].split('?').first() != kLivePath) {
            refuse(404, QStringLiteral("There is no live connection at this address."));
        } else if (!origin.isEmpty() && !isOwnOrigin(origin, m_guard->serverPort())) {
            refuse(403, QStringLiteral("Live reload is only for the pages of this server."));
        } else if (m_guard->count(true) >= limits.maxLiveClients) {
            refuse(503, QStringLiteral("Too many pages listen for reloads: close a few tabs."));
        } else {
            live = true;
        }
        return live;
    }

    ConnectionGuard* m_guard;
    QTcpSocket* m_socket; // the parent
    QByteArray m_head;    // the head being received
    qint64 m_bodyLeft = 0;
    qint64 m_lastActivity;
    qint64 m_requestStart = -1; // when the request being received began
    bool m_closing = false;
};

ConnectionGuard::ConnectionGuard(const ServeLimits& limits, QObject* parent)
    : QTcpServer(parent), m_limits(limits) {
    m_clock.start();
    connect(&m_sweep, &QTimer::timeout, this, &ConnectionGuard::sweep);
    m_sweep.start(
        std::clamp(std::min(limits.requestTimeoutMs, limits.idleTimeoutMs) / 4, 10, 1000));
}

ConnectionGuard::~ConnectionGuard() = default;

bool ConnectionGuard::closeAfterAnswer(const QTcpSocket* socket) const {
    for (const QPointer<ConnectionState>& c : m_connections) {
        if (c && c->socket() == socket) return c->closeAfter;
    }
    return false;
}

void ConnectionGuard::abortAll() {
    for (const QPointer<ConnectionState>& c : m_connections) {
        if (c) c->socket()->abort();
    }
}

void ConnectionGuard::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    socket->setSocketDescriptor(descriptor);
    std::erase_if(m_connections, [](const QPointer<ConnectionState>& c) { return c.isNull(); });
    auto* state = new ConnectionState(this, socket);
    m_connections.emplace_back(state);
    if (count(false) > m_limits.maxConnections) {
        // Never handed to the HTTP server, so it goes when it closes.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        state->refuse(503, QStringLiteral("The preview has as many connections as it takes; "
                                          "try again in a moment."));
        return;
    }
    addPendingConnection(socket);
}

int ConnectionGuard::count(bool live) const {
    return int(std::count_if(m_connections.begin(), m_connections.end(),
                             [live](const QPointer<ConnectionState>& c) {
                                 return c && c->live == live &&
                                        c->socket()->state() != QAbstractSocket::UnconnectedState;
                             }));
}

void ConnectionGuard::sweep() {
    const qint64 now = m_clock.elapsed();
    std::erase_if(m_connections, [](const QPointer<ConnectionState>& c) { return c.isNull(); });
    for (const QPointer<ConnectionState>& c : m_connections) {
        if (c) c->checkTime(now);
    }
}

} // namespace quillane
