// SPDX-License-Identifier: GPL-3.0-or-later
// Serves a folder with the preview server, to try it with a browser or a script:
//   quillane_serve_try <folder> [port]
// It prints "url <address>" when it listens, then a line per request answered ("served 200 GET
// /a.html") and per reload announced ("reload /a.html /css/site.css"). It reads commands on
// standard input, one a line, and ends at "quit" or at the end of the input:
//   written <file>...           the files were written again (as the build would tell it)
//   virtual <url path> <file>   serve the file's bytes at that path
//   clear <url path>            serve what is on disk there again
//   showing <url path>          prints "showing yes" or "showing no"

#include "serve/preview_server.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: quillane_serve_try <folder> [port]\n");
        return 2;
    }
    auto say = [](const QString& line) {
        std::fprintf(stdout, "%s\n", qPrintable(line));
        std::fflush(stdout);
    };
    quillane::PreviewServer server;
    if (!server.start(args[1], args.size() > 2 ? args[2].toUShort() : 0)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    say(server.listeningMessage());
    say(QStringLiteral("url ") + server.baseUrl().toString());
    QObject::connect(&server, &quillane::PreviewServer::served,
                     [&](const QByteArray& method, const QByteArray& target, int status) {
                         say(QStringLiteral("served %1 %2 %3")
                                 .arg(status)
                                 .arg(QString::fromLatin1(method), QString::fromUtf8(target)));
                     });
    QObject::connect(
        &server, &quillane::PreviewServer::reloadAnnounced,
        [&](const QStringList& paths) { say(QStringLiteral("reload ") + paths.join(u' ')); });

    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) return 1;
    QSocketNotifier notifier(0, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        const QByteArray raw = input.readLine();
        const QStringList words = QString::fromUtf8(raw).simplified().split(u' ');
        const QString command = words.value(0);
        if (raw.isEmpty() || command == u"quit") {
            notifier.setEnabled(false);
            app.quit();
        } else if (command == u"written") {
            server.notifyWritten(words.mid(1));
        } else if (command == u"virtual" && words.size() == 3) {
            QFile file(words[2]);
            if (!file.open(QIODevice::ReadOnly) || !server.setVirtualPage(words[1], file.readAll()))
                say(QStringLiteral("cannot serve ") + words[2] + QStringLiteral(" at ") + words[1]);
        } else if (command == u"clear" && words.size() == 2) {
            server.clearVirtualPage(words[1]);
        } else if (command == u"showing" && words.size() == 2) {
            say(server.isShowing(words[1]) ? QStringLiteral("showing yes")
                                           : QStringLiteral("showing no"));
        } else if (!command.isEmpty()) {
            say(QStringLiteral("unknown command: ") + command);
        }
    });
    return app.exec();
}
