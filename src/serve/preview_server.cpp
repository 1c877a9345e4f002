// SPDX-License-Identifier: GPL-3.0-or-later
#include "serve/preview_server.h"

#include "formats/text_file.h"
#include "serve/connection_guard.h"
#include "serve/live_reload.h"
#include "serve/site_files.h"

#include <QAbstractHttpServer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>
#include <memory>
#include <vector>

namespace quillane {

namespace {

// Files up to this size are answered from memory; larger ones go out in pieces.
constexpr qint64 kWholeFileBytes = 4 * 1024 * 1024;
constexpr qint64 kPieceBytes = 64 * 1024;

// What a request is answered with.
struct Answer {
    int status = 200;
    QByteArray type;
    QByteArray body;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    std::unique_ptr<QFile> file; // a large file, sent in pieces
    qint64 size = 0;             // its length
};

int statusOf(SiteTarget::Kind kind) {
    switch (kind) {
    case SiteTarget::Kind::Forbidden:
        return 403;
    case SiteTarget::Kind::BadRequest:
        return 400;
    default:
        return 404;
    }
}

QByteArray methodName(QHttpServerRequest::Method method) {
    const char* key = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(method));
    return QByteArray(key ? key : "Unknown").toUpper();
}

// Sends a large file as the socket takes it, never more than a few pieces ahead, and never
// past the length announced even when the file grows meanwhile.
class FileStream : public QObject {
public:
    FileStream(std::unique_ptr<QFile> file, qint64 size, QTcpSocket* socket, bool closeAfter)
        : QObject(socket), m_file(std::move(file)), m_left(size), m_socket(socket),
          m_closeAfter(closeAfter) {
        connect(socket, &QTcpSocket::bytesWritten, this, &FileStream::pump);
        pump();
    }

private:
    void pump() {
        while (m_left > 0 && m_socket->bytesToWrite() < 4 * kPieceBytes) {
            const QByteArray piece = m_file->read(std::min(m_left, kPieceBytes));
            if (piece.isEmpty()) return m_socket->abort(); // the file shrank: the answer is cut
            m_socket->write(piece);
            m_left -= piece.size();
        }
        if (m_left > 0) return;
        disconnect(m_socket, nullptr, this, nullptr);
        if (m_closeAfter) m_socket->disconnectFromHost();
        deleteLater();
    }

    std::unique_ptr<QFile> m_file;
    qint64 m_left;
    QTcpSocket* m_socket;
    bool m_closeAfter;
};

} // namespace

// Qt's HTTP server behind the guard: answers the requests and keeps the live pages.
class PreviewServer::Engine : public QAbstractHttpServer {
public:
    explicit Engine(PreviewServer* owner) : QAbstractHttpServer(owner), m_owner(owner) {
        m_guard = new ConnectionGuard(owner->m_limits, this);
        connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &Engine::takeLivePages);
    }

    ConnectionGuard* guard() const { return m_guard; }

    void broadcast(const QByteArray& message) {
        for (const LivePage& live : m_live) {
            if (live.socket) live.socket->sendTextMessage(QString::fromUtf8(message));
        }
    }

    bool isShowing(const QString& page) const {
        return std::any_of(m_live.begin(), m_live.end(), [&](const LivePage& live) {
            return live.socket && live.socket->state() == QAbstractSocket::ConnectedState &&
                   live.page == page;
        });
    }

    void shutdown() {
        m_guard->close();
        for (const LivePage& live : m_live) {
            if (live.socket) live.socket->abort();
        }
        m_guard->abortAll();
    }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        // A page's live connection, let through by the guard: taken over without an answer.
        if (asksForWebSocket(request.value("upgrade"), request.value("connection"))) return true;
        Answer answer = answerFor(request);
        const bool head = request.method() == QHttpServerRequest::Method::Head;
        const bool closeAfter = m_guard->closeAfterAnswer(socket);
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(QHttpServerResponder::StatusCode(answer.status));
        if (!answer.type.isEmpty()) responder.writeHeader("Content-Type", answer.type);
        const qint64 length = answer.file ? answer.size : answer.body.size();
        responder.writeHeader("Content-Length", QByteArray::number(length));
        responder.writeHeader("Cache-Control", "no-store");
        responder.writeHeader("X-Content-Type-Options", "nosniff");
        for (const auto& [name, value] : answer.headers)
            responder.writeHeader(name, value);
        if (closeAfter) responder.writeHeader("Connection", "close");
        responder.writeBody(head ? QByteArray() : answer.body);
        if (answer.file && !head) {
            new FileStream(std::move(answer.file), answer.size, socket, closeAfter);
        } else if (closeAfter) {
            socket->disconnectFromHost();
        }
        emit m_owner->served(methodName(request.method()),
                             request.url().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority),
                             answer.status);
        return true;
    }

    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
    }

private:
    Answer answerFor(const QHttpServerRequest& request) const {
        const auto method = request.method();
        if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Head)
            return failure(405, kReadOnlySentence, {{"Allow", "GET, HEAD"}});
        SiteTarget target = checkUrlPath(request.url().path(QUrl::FullyEncoded).toUtf8());
        if (target.kind != SiteTarget::Kind::Path)
            return failure(statusOf(target.kind), target.reason);
        const QHash<QString, QByteArray>& pages = m_owner->m_virtualPages;
        auto page = pages.constFind(target.path);
        if (page == pages.cend() && target.path.endsWith(u'/'))
            page = pages.constFind(target.path + QStringLiteral("index.html"));
        if (page != pages.cend()) return content(page.key(), page.value());
        target = locateFile(m_owner->m_root, target.path);
        if (target.kind == SiteTarget::Kind::File) return fileAnswer(target.path);
        if (target.kind != SiteTarget::Kind::Redirect)
            return failure(statusOf(target.kind), target.reason);
        Answer answer;
        answer.status = 302;
        QByteArray location = QUrl::toPercentEncoding(target.path, "/");
        if (request.url().hasQuery())
            location += '?' + request.url().query(QUrl::FullyEncoded).toUtf8();
        answer.headers = {{"Location", location}};
        return answer;
    }

    Answer failure(int status, const QString& sentence,
                   std::vector<std::pair<QByteArray, QByteArray>> headers = {}) const {
        // Live too: a page asked for before it is built shows itself once it is.
        Answer answer = content(QStringLiteral("error.html"), errorPage(status, sentence));
        answer.status = status;
        answer.headers = std::move(headers);
        return answer;
    }

    Answer content(const QString& name, const QByteArray& bytes) const {
        Answer answer;
        answer.type =
            contentTypeFor(name.endsWith(u'/') ? name + QStringLiteral("index.html") : name, bytes);
        answer.body =
            isHtmlType(answer.type) ? withTag(bytes, liveReloadTag(m_owner->m_serverId)) : bytes;
        return answer;
    }

    Answer fileAnswer(const QString& path) const {
        if (QFileInfo(path).size() <= kWholeFileBytes) {
            QByteArray bytes;
            FileError error;
            if (!readFileBytes(path, bytes, error))
                return failure(
                    403, QStringLiteral("The file cannot be read: %1.").arg(error.description));
            return content(path, bytes);
        }
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::ReadOnly) || file->isSequential())
            return failure(403,
                           QStringLiteral("The file cannot be read: %1.").arg(file->errorString()));
        Answer answer;
        answer.type = contentTypeFor(path, file->peek(4096));
        answer.size = file->size();
        answer.file = std::move(file);
        return answer;
    }

    struct LivePage {
        QPointer<QWebSocket> socket;
        QString page; // the path of the page it belongs to
    };

    void takeLivePages() {
        while (hasPendingWebSocketConnections()) {
            QWebSocket* socket = nextPendingWebSocketConnection().release();
            if (!socket) break;
            socket->setParent(this);
            // The pages' script never sends anything.
            socket->setMaxAllowedIncomingFrameSize(1024);
            socket->setMaxAllowedIncomingMessageSize(1024);
            connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
            const QString page = QUrlQuery(socket->requestUrl())
                                     .queryItemValue(QStringLiteral("page"), QUrl::FullyDecoded);
            std::erase_if(m_live, [](const LivePage& live) { return live.socket.isNull(); });
            m_live.push_back({socket, checkUrlPath(page.toUtf8()).path});
            socket->sendTextMessage(QString::fromUtf8(helloMessage(m_owner->m_serverId)));
            emit m_owner->served(
                "GET", socket->requestUrl().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority),
                101);
        }
    }

    PreviewServer* m_owner;
    ConnectionGuard* m_guard;
    std::vector<LivePage> m_live;
};

PreviewServer::PreviewServer(QObject* parent) : QObject(parent) {
    m_coalesce.setSingleShot(true);
    connect(&m_coalesce, &QTimer::timeout, this, &PreviewServer::flushAnnouncements);
}

PreviewServer::~PreviewServer() {
    close();
}

bool PreviewServer::isAvailable() {
    return true;
}

bool PreviewServer::start(const QString& rootFolder, quint16 port, const ServeLimits& limits) {
    close();
    m_error.clear();
    const QFileInfo root(rootFolder);
    if (rootFolder.isEmpty() || (root.exists() && !root.isDir())) {
        m_error = QStringLiteral("%1 is not a folder: there is nothing to serve.")
                      .arg(QDir::toNativeSeparators(rootFolder));
        return false;
    }
    m_root = QDir::cleanPath(root.absoluteFilePath());
    m_limits = limits;
    auto engine = std::make_unique<Engine>(this);
    ConnectionGuard* guard = engine->guard();
    const int first = port ? port : limits.firstPort;
    const int tries = port || !first ? 1 : std::max(1, limits.portTries);
    for (int i = 0; i < tries && first + i <= 65535; ++i) {
        if (guard->listen(QHostAddress::LocalHost, quint16(first + i)) ||
            guard->serverError() != QAbstractSocket::AddressInUseError)
            break;
    }
    if (!guard->isListening()) {
        if (guard->serverError() == QAbstractSocket::SocketAccessError)
            m_error = QStringLiteral("Port %1 on 127.0.0.1 is reserved for the system: choose a "
                                     "port from 1024 up.")
                          .arg(first);
        else if (guard->serverError() != QAbstractSocket::AddressInUseError)
            m_error = QStringLiteral("Cannot listen on 127.0.0.1:%1: %2.")
                          .arg(first)
                          .arg(guard->errorString());
        else if (tries == 1)
            m_error = QStringLiteral("Port %1 on 127.0.0.1 is already in use by another "
                                     "program: choose another port.")
                          .arg(first);
        else
            m_error = QStringLiteral("No port is free on 127.0.0.1 from %1 to %2: stop another "
                                     "server, or choose a port.")
                          .arg(first)
                          .arg(std::min(first + tries - 1, 65535));
        return false;
    }
    engine->bind(guard);
    m_serverId = QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    m_engine = engine.release();
    return true;
}

void PreviewServer::close() {
    m_coalesce.stop();
    m_pending.clear();
    if (!m_engine) return;
    Engine* engine = std::exchange(m_engine, nullptr);
    engine->shutdown();
    engine->deleteLater();
}

bool PreviewServer::isListening() const {
    return m_engine != nullptr;
}

quint16 PreviewServer::port() const {
    return m_engine ? m_engine->guard()->serverPort() : 0;
}

QString PreviewServer::rootFolder() const {
    return m_root;
}

QUrl PreviewServer::baseUrl() const {
    return m_engine ? QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port())) : QUrl();
}

QString PreviewServer::errorString() const {
    return m_error;
}

QString PreviewServer::listeningMessage() const {
    return QStringLiteral("Serving %1 at %2 (this computer only: 127.0.0.1).")
        .arg(QDir::toNativeSeparators(m_root), baseUrl().toString());
}

QUrl PreviewServer::urlFor(const QString& absolutePath) const {
    const QString relative = m_engine ? pathUnderRoot(m_root, absolutePath) : QString();
    if (relative.isNull()) return {};
    QUrl url = baseUrl();
    url.setPath(u'/' + relative, QUrl::DecodedMode);
    return url;
}

void PreviewServer::notifyWritten(const QString& absolutePath) {
    const QString relative = m_engine ? pathUnderRoot(m_root, absolutePath) : QString();
    if (relative.isNull()) return;
    announce(u'/' + relative);
    const qsizetype slash = relative.lastIndexOf(u'/') + 1;
    const QString name = relative.mid(slash);
    if (name == u"index.html" || name == u"index.htm") announce(u'/' + relative.left(slash));
}

void PreviewServer::notifyWritten(const QStringList& absolutePaths) {
    for (const QString& path : absolutePaths)
        notifyWritten(path);
}

bool PreviewServer::setVirtualPage(const QString& urlPath, const QByteArray& bytes) {
    const SiteTarget target = checkUrlPath(QUrl::toPercentEncoding(urlPath, "/"));
    if (target.kind != SiteTarget::Kind::Path || !urlPath.startsWith(u'/')) return false;
    m_virtualPages.insert(target.path, bytes);
    announce(target.path);
    return true;
}

void PreviewServer::clearVirtualPage(const QString& urlPath) {
    const QString path = checkUrlPath(QUrl::toPercentEncoding(urlPath, "/")).path;
    if (m_virtualPages.remove(path)) announce(path);
}

QByteArray PreviewServer::virtualPage(const QString& urlPath) const {
    return m_virtualPages.value(checkUrlPath(QUrl::toPercentEncoding(urlPath, "/")).path);
}

bool PreviewServer::isShowing(const QString& urlPath) const {
    const QString path = checkUrlPath(QUrl::toPercentEncoding(urlPath, "/")).path;
    return m_engine && !path.isEmpty() && m_engine->isShowing(path);
}

void PreviewServer::announce(const QString& urlPath) {
    if (!m_engine) return;
    if (!m_pending.contains(urlPath)) m_pending << urlPath;
    // Each write puts the reload off a little, so that a batch makes one, but not for long.
    if (!m_coalesce.isActive()) m_pendingAge.start();
    if (!m_coalesce.isActive() || m_pendingAge.elapsed() < 8 * m_limits.coalesceMs)
        m_coalesce.start(m_limits.coalesceMs);
}

void PreviewServer::flushAnnouncements() {
    QStringList paths = std::exchange(m_pending, {});
    if (paths.isEmpty() || !m_engine) return;
    paths.sort();
    m_engine->broadcast(reloadMessage(paths));
    emit reloadAnnounced(paths);
}

} // namespace quillane
