// SPDX-License-Identifier: GPL-3.0-or-later
#include "served_watch.h"

#include "platform/console.h"
#include "serve/preview_server.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <csignal>
#include <cstdio>
#include <thread>

namespace quillane {

int runServedWatch(const QString& folder, const ConsoleOptions& options, int port) {
    if (!PreviewServer::isAvailable()) {
        std::fputs("--serve: this Quillane was built without its preview server (Qt HTTP Server "
                   "was missing); run /W:<folder> alone, or a build that has it.\n",
                   stderr);
        return 2;
    }
    PreviewServer server;
    QString root;
    int status = 0;
    bool failed = false;
    WatchHooks hooks;
    // From the watch's thread to the server's: start it on the first build, then tell it what
    // was written.
    hooks.built = [&](const QString& seen, const QStringList& written) {
        QMetaObject::invokeMethod(
            &server,
            [&, seen, written] {
                if (root != seen) {
                    root = seen;
                    server.close();
                    if (!server.start(root, quint16(port))) {
                        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
                        failed = true;
                        platform::StopRequests::request(SIGTERM);
                        return;
                    }
                    std::printf("%s\n", qPrintable(server.listeningMessage()));
                    std::fflush(stdout);
                }
                server.notifyWritten(written);
            },
            Qt::QueuedConnection);
    };
    std::thread watch([&] {
        status = runConsoleWatch(folder, stdout, stderr, options, hooks);
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    watch.join();
    server.close();
    return failed ? 1 : status;
}

} // namespace quillane
