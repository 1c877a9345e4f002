// SPDX-License-Identifier: GPL-3.0-or-later
// The preview server over real connections on the loopback address, each test with its own
// site in a temporary folder and its own server on a port the system picks.

#include "serve/live_reload.h"
#include "serve/preview_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>
#include <gtest/gtest.h>

using namespace quillane;

namespace {

struct Reply {
    int status = 0;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// Runs the event loop until done() holds, looking each time the sender signals; at most 5 s.
template <typename Sender, typename Signal>
bool waitFor(Sender* sender, Signal signal, const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (done()) loop.quit();
    });
    if (!done()) loop.exec();
    return done();
}

bool waitUntilClosed(QAbstractSocket& socket) {
    return waitFor(&socket, &QAbstractSocket::stateChanged,
                   [&] { return socket.state() == QAbstractSocket::UnconnectedState; });
}

// Sends the bytes and reads until the server closes the connection.
QByteArray exchange(quint16 port, const QByteArray& request,
                    const QHostAddress& address = QHostAddress::LocalHost) {
    QTcpSocket socket;
    QByteArray got;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { got += socket.readAll(); });
    socket.connectToHost(address, port);
    socket.write(request);
    EXPECT_TRUE(waitUntilClosed(socket)) << request.left(80).constData();
    return got + socket.readAll();
}

Reply parse(const QByteArray& raw) {
    Reply reply;
    const qsizetype end = raw.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = raw.left(end).split('\n');
    reply.status = lines.value(0).split(' ').value(1).toInt();
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        reply.headers[line.left(colon).toLower()] = line.mid(colon + 1).trimmed();
    }
    reply.body = end < 0 ? QByteArray() : raw.mid(end + 4);
    return reply;
}

Reply request(quint16 port, const QByteArray& target, const QByteArray& method = "GET",
              const QByteArray& headers = {}) {
    return parse(exchange(port, method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                    headers + "Connection: close\r\n\r\n"));
}

// A page's live connection, as its script opens it.
struct LivePage {
    QWebSocket socket;
    QStringList messages;
    LivePage(quint16 port, const QString& page) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived,
                         [this](const QString& m) { messages << m; });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2?page=%3")
                             .arg(port)
                             .arg(QLatin1String(kLivePath), page)));
    }
    // The next message, or an empty string after a while.
    QString next() {
        return waitFor(&socket, &QWebSocket::textMessageReceived,
                       [&] { return !messages.isEmpty(); })
                   ? messages.takeFirst()
                   : QString();
    }
};

class Serve : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.filePath(QStringLiteral("out"));
        put("index.html", "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                          "<link rel=\"stylesheet\" href=\"css/site.css\"></head>"
                          "<body><h1>Caf\xC3\xA9</h1></BODY></html>");
        put("w1252.html", "<html><body><p>Caf\xE9 \x80</p></body></html>");
        put("bare.html", "<p>No body, no html</p>");
        put("css/site.css", "h1::before { content: \"\xC3\xA9\" }");
        put("js/app.js", "console.log(1);");
        put("pic.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
        put("font.woff2", QByteArray("wOF2\x00\x01\xFF\xFE", 8));
        put("notes.txt", "na\xEFve");
        put("data.xyz", "?");
        put("docs/index.html", "<p>Docs</p>");
        put(".hidden.txt", "secret");
        put(".git/config", "secret");
        QDir(root).mkdir(QStringLiteral("empty"));
        QFile secret(dir.filePath(QStringLiteral("secret.txt")));
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly) && secret.write("secret") == 6);
        QFile::link(QStringLiteral("../secret.txt"), root + QStringLiteral("/link.txt"));
        QFile::link(QStringLiteral(".."), root + QStringLiteral("/up"));
    }

    void put(const char* relative, const QByteArray& bytes) {
        const QString path = root + u'/' + QLatin1String(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QByteArray onDisk(const char* relative) {
        QFile file(root + u'/' + QLatin1String(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    quint16 start(ServeLimits limits = {}) {
        limits.firstPort = 0;
        EXPECT_TRUE(server.start(root, 0, limits)) << server.errorString().toStdString();
        return server.port();
    }

    QTemporaryDir dir;
    QString root;
    PreviewServer server;
};

TEST_F(Serve, TypesAndCharsetsFollowTheBytes) {
    const quint16 port = start();
    const std::pair<const char*, const char*> cases[] = {
        {"/index.html", "text/html; charset=utf-8"},
        {"/w1252.html", "text/html; charset=windows-1252"}, // no declaration: as the build wrote it
        {"/css/site.css", "text/css; charset=utf-8"},
        {"/js/app.js", "text/javascript; charset=utf-8"},
        {"/pic.svg", "image/svg+xml; charset=utf-8"},
        {"/font.woff2", "font/woff2"},
        {"/notes.txt", "text/plain; charset=windows-1252"},
        {"/data.xyz", "application/octet-stream"},
    };
    for (const auto& [target, type] : cases) {
        const Reply reply = request(port, target);
        EXPECT_EQ(reply.status, 200) << target;
        EXPECT_EQ(reply.headers["content-type"], type) << target;
        EXPECT_EQ(reply.headers["cache-control"], "no-store") << target;
    }
}

TEST_F(Serve, FolderServesItsIndexAndOtherwiseRedirectsOrIsNotListed) {
    const quint16 port = start();
    const Reply redirect = request(port, "/docs?x=1");
    EXPECT_EQ(redirect.status, 302);
    EXPECT_EQ(redirect.headers["location"], "/docs/?x=1");
    const Reply folder = request(port, "/docs/");
    EXPECT_EQ(folder.status, 200);
    EXPECT_TRUE(folder.body.startsWith("<p>Docs</p><script>"));
    EXPECT_EQ(request(port, "/").status, 200);
    EXPECT_EQ(request(port, "/empty/").status, 404);
    EXPECT_EQ(request(port, "/index.html/").status, 404);
}

TEST_F(Serve, ScriptGoesIntoHtmlAnswersOnlyAndNeverIntoTheFile) {
    const quint16 port = start();
    const QByteArray page = onDisk("index.html");
    const Reply reply = request(port, "/index.html");
    const qsizetype at = page.indexOf("</BODY>");
    const QByteArray script = reply.body.mid(at, reply.body.size() - page.size());
    EXPECT_TRUE(script.startsWith("<script>") && script.endsWith("</script>\n"));
    EXPECT_EQ(reply.body, page.left(at) + script + page.mid(at));
    EXPECT_EQ(reply.headers["content-length"].toLongLong(), reply.body.size());
    EXPECT_EQ(onDisk("index.html"), page);

    EXPECT_EQ(request(port, "/bare.html").body, onDisk("bare.html") + script);
    EXPECT_EQ(request(port, "/css/site.css").body, onDisk("css/site.css"));
    EXPECT_EQ(request(port, "/pic.svg").body, onDisk("pic.svg"));

    const Reply head = request(port, "/index.html", "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.headers["content-length"], reply.headers["content-length"]);
    EXPECT_TRUE(head.body.isEmpty());
}

TEST_F(Serve, NothingOutsideTheFolderOrHiddenIsServed) {
    const quint16 port = start();
    const QByteArray outside = (dir.path() + QStringLiteral("/secret.txt")).toUtf8();
    const std::pair<QByteArray, int> cases[] = {
        {"/../secret.txt", 403},
        {"/%2e%2e/secret.txt", 403},
        {"/%2e%2e%2fsecret.txt", 403},
        {"/%2E%2E%2Fsecret.txt", 403},
        {"/..%5csecret.txt", 403},
        {"/docs\\..\\..\\secret.txt", 403},
        {"/secret.txt%00.html", 400},
        {"/" + outside, 404},
        {"/link.txt", 403},
        {"/up/secret.txt", 403},
        {"/.hidden.txt", 403},
        {"/%2ehidden.txt", 403},
        {"/.git/config", 403},
        {"/docs/../.git/config", 403},
    };
    for (const auto& [target, status] : cases) {
        const Reply reply = request(port, target);
        EXPECT_EQ(reply.status, status) << target.constData();
        EXPECT_FALSE(reply.body.contains("secret")) << target.constData();
        EXPECT_TRUE(reply.headers["content-type"].startsWith("text/html")) << target.constData();
    }
}

TEST_F(Serve, OnlyGetAndHeadAreAnswered) {
    const quint16 port = start();
    const QByteArray page = onDisk("index.html");
    for (const QByteArray method : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
        const Reply reply = parse(exchange(port, method + " /index.html HTTP/1.1\r\nConnection: "
                                                          "close\r\nContent-Length: 3\r\n\r\nabc"));
        EXPECT_EQ(reply.status, 405) << method.constData();
        EXPECT_EQ(reply.headers["allow"], "GET, HEAD") << method.constData();
    }
    EXPECT_EQ(onDisk("index.html"), page);
}

TEST_F(Serve, PagesReloadWhenTheyOrWhatTheyUseIsWritten) {
    const quint16 port = start();
    LivePage live(port, QStringLiteral("/index.html"));
    EXPECT_TRUE(live.next().contains(QLatin1String("hello")));
    EXPECT_TRUE(server.isShowing(QStringLiteral("/index.html")));
    EXPECT_FALSE(server.isShowing(QStringLiteral("/w1252.html")));

    // A batch: one message for the page (also as its folder) and its stylesheet.
    server.notifyWritten(
        {root + QStringLiteral("/index.html"), root + QStringLiteral("/css/site.css")});
    server.notifyWritten(dir.filePath(QStringLiteral("secret.txt"))); // not under the root
    EXPECT_EQ(live.next(), R"({"reload":["/","/css/site.css","/index.html"]})");
    server.notifyWritten(root + QStringLiteral("/docs/../css/site.css"));
    EXPECT_EQ(live.next(), R"({"reload":["/css/site.css"]})");
    EXPECT_TRUE(live.messages.isEmpty());
}

TEST_F(Serve, VirtualPageIsServedInsteadOfTheFileUntilCleared) {
    const quint16 port = start();
    LivePage live(port, QStringLiteral("/new/page.html"));
    live.next();
    const QUrl url = server.urlFor(root + QStringLiteral("/new/page.html"));
    EXPECT_EQ(url.toString(), QStringLiteral("http://127.0.0.1:%1/new/page.html").arg(port));
    EXPECT_EQ(request(port, "/new/page.html").status, 404);

    ASSERT_TRUE(server.setVirtualPage(url.path(), "<p>Unsaved</p>"));
    EXPECT_EQ(live.next(), R"({"reload":["/new/page.html"]})");
    const Reply reply = request(port, "/new/page.html");
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.body.startsWith("<p>Unsaved</p><script>"));

    server.clearVirtualPage(url.path());
    EXPECT_EQ(live.next(), R"({"reload":["/new/page.html"]})");
    EXPECT_EQ(request(port, "/new/page.html").status, 404);
    EXPECT_FALSE(server.setVirtualPage(QStringLiteral("/.git/x.html"), "x"));
    EXPECT_EQ(server.urlFor(root), server.baseUrl());
    EXPECT_TRUE(server.urlFor(root + QStringLiteral("/.git/config")).isEmpty());
    EXPECT_TRUE(server.urlFor(dir.filePath(QStringLiteral("secret.txt"))).isEmpty());
}

TEST_F(Serve, ListensOnTheLoopbackAddressOnlyAndAnswersItsOwnNames) {
    const quint16 port = start();
    EXPECT_EQ(server.baseUrl().toString(), QStringLiteral("http://127.0.0.1:%1/").arg(port));
    EXPECT_TRUE(server.listeningMessage().contains(QLatin1String("127.0.0.1")));
    // Every 127.x address reaches this computer, but only 127.0.0.1 is listened on.
    EXPECT_TRUE(exchange(port, "GET / HTTP/1.1\r\n\r\n", QHostAddress(QStringLiteral("127.0.0.2")))
                    .isEmpty());
    EXPECT_EQ(request(port, "/", "GET", "Host: localhost:1\r\n").status, 200);
    EXPECT_EQ(parse(exchange(port, "GET / HTTP/1.1\r\nHost: example.com\r\n\r\n")).status, 403);
    // A page of another site may not listen in.
    EXPECT_EQ(
        request(port, kLivePath, "GET", "Upgrade: websocket\r\nOrigin: http://example.com\r\n")
            .status,
        403);
}

TEST_F(Serve, TakesTheFirstFreePortFrom8080AndSaysWhenAPortIsTaken) {
    QTcpServer taken;
    for (quint16 port = 8080; !taken.isListening() && port < 8200; ++port)
        taken.listen(QHostAddress::LocalHost, port);
    ASSERT_TRUE(taken.isListening());
    ASSERT_TRUE(server.start(root));
    EXPECT_GT(server.port(), taken.serverPort());

    EXPECT_FALSE(server.start(root, taken.serverPort()));
    EXPECT_EQ(server.errorString(), QStringLiteral("Port %1 on 127.0.0.1 is already in use by "
                                                   "another program: choose another port.")
                                        .arg(taken.serverPort()));
    EXPECT_FALSE(server.isListening());
}

TEST_F(Serve, ConnectionsAndRequestsAreBounded) {
    ServeLimits limits;
    limits.maxConnections = 2;
    limits.requestTimeoutMs = 200;
    const quint16 port = start(limits);
    const QByteArray big(20000, 'a');
    EXPECT_EQ(parse(exchange(port, "GET / HTTP/1.1\r\nX: " + big + "\r\n\r\n")).status, 431);
    EXPECT_EQ(parse(exchange(port, "GET / HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n")).status,
              413);
    EXPECT_EQ(parse(exchange(port, "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n")).status,
              413);
    // A request that does not finish in time, while two connections are all there may be.
    QTcpSocket first, second;
    first.connectToHost(QHostAddress::LocalHost, port);
    second.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitFor(&second, &QTcpSocket::connected, [&] { return second.isValid(); }));
    first.write("GET / HTTP/1.1\r\n");
    EXPECT_EQ(parse(exchange(port, "GET / HTTP/1.1\r\n\r\n")).status, 503);
    ASSERT_TRUE(waitUntilClosed(first));
    EXPECT_EQ(parse(first.readAll()).status, 408);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
