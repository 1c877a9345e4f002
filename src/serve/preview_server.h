// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

// The preview server: a site's output folder over HTTP on the loopback address, read-only,
// with live reload. Pages served carry a small script that reloads them when they, or what they
// load, are written again; the caller says what it wrote. The server never writes a file.

namespace quillane {

// What keeps the server safe to leave running. The defaults suit a few browser tabs.
struct ServeLimits {
    quint16 firstPort = 8080; // without a port asked for: the first free one from here (0: any)
    int portTries = 20;
    int maxConnections = 64; // HTTP connections at once; more are answered 503 and closed
    int maxLiveClients = 64; // pages listening for reloads at once
    int maxHeadBytes = 16 * 1024;
    int maxBodyBytes = 16 * 1024;  // a body is read and dropped; a larger one is refused
    int requestTimeoutMs = 10'000; // to send a whole request, or take a piece of a large file
    int idleTimeoutMs = 30'000;    // an open connection with nothing asked
    int coalesceMs = 60;           // writes told within this time make one reload
};

class PreviewServer : public QObject {
    Q_OBJECT
public:
    explicit PreviewServer(QObject* parent = nullptr);
    ~PreviewServer() override;

    // Whether this build has the server at all (it needs Qt HTTP Server and Qt WebSockets).
    static bool isAvailable();

    // Serves rootFolder (which need not exist yet: its addresses are "not found" until it
    // does) on 127.0.0.1 only: on port, or with port 0 on the first free port from
    // limits.firstPort. False, with errorString(), when it cannot listen; a server already
    // running is closed first.
    bool start(const QString& rootFolder, quint16 port = 0, const ServeLimits& limits = {});
    // Stops listening and ends every connection and live page at once.
    void close();

    bool isListening() const;
    quint16 port() const;
    QString rootFolder() const;
    QUrl baseUrl() const; // http://127.0.0.1:PORT/
    QString errorString() const;
    // What to tell the user once it runs:
    // "Serving /site/output at http://127.0.0.1:8080/ (this computer only: 127.0.0.1)."
    QString listeningMessage() const;

    // The address of a file under the root (which need not exist yet); empty when the file is
    // not under the root, is hidden there, or the server is not running.
    QUrl urlFor(const QString& absolutePath) const;

    // The caller wrote these files: pages showing them, or using them, reload. Writes told
    // close together (a batch) make one reload.
    void notifyWritten(const QString& absolutePath);
    void notifyWritten(const QStringList& absolutePaths);

    // Serves bytes at a path of the site ("/docs/a.html"), instead of any file there, as the
    // type its name says, until cleared; pages showing it reload. False when the path is not
    // one the server could serve (hidden, "..", not starting with "/").
    bool setVirtualPage(const QString& urlPath, const QByteArray& bytes);
    void clearVirtualPage(const QString& urlPath);
    // What is served at that path instead of the disk, "" for nothing.
    QByteArray virtualPage(const QString& urlPath) const;

    // Whether a page at this path is open in a browser and listening for reloads.
    bool isShowing(const QString& urlPath) const;

signals:
    // After each request the HTTP server answered (not those the guard refused at once): its
    // method, its target, the status (101 for a page's live connection).
    void served(const QByteArray& method, const QByteArray& target, int status);
    // Paths announced to the live pages (sorted), after the writes told were gathered.
    void reloadAnnounced(const QStringList& urlPaths);

private:
    class Engine;
    void announce(const QString& urlPath);
    void flushAnnouncements();

    QString m_root;
    ServeLimits m_limits;
    QByteArray m_serverId;
    QString m_error;
    Engine* m_engine = nullptr;
    QHash<QString, QByteArray> m_virtualPages;
    QStringList m_pending;
    QTimer m_coalesce;
    QElapsedTimer m_pendingAge;
};

} // namespace quillane
