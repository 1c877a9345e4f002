// SPDX-License-Identifier: GPL-3.0-or-later
// The preview server where Qt HTTP Server and Qt WebSockets were not there to build it with:
// it never listens, and says why, so that --serve and the windows' preview fail plainly.
#include "serve/preview_server.h"

namespace quillane {

class PreviewServer::Engine {};

PreviewServer::PreviewServer(QObject* parent) : QObject(parent) {}

PreviewServer::~PreviewServer() = default;

bool PreviewServer::isAvailable() {
    return false;
}

bool PreviewServer::start(const QString& rootFolder, quint16, const ServeLimits&) {
    m_root.clear();
    m_error = QStringLiteral("This Quillane was built without its preview server (Qt HTTP "
                             "Server was missing), so %1 cannot be served. Build the pages "
                             "with /B: and open them from the disk.")
                  .arg(rootFolder);
    return false;
}

void PreviewServer::close() {}

bool PreviewServer::isListening() const {
    return false;
}

quint16 PreviewServer::port() const {
    return 0;
}

QString PreviewServer::rootFolder() const {
    return m_root;
}

QUrl PreviewServer::baseUrl() const {
    return {};
}

QString PreviewServer::errorString() const {
    return m_error;
}

QString PreviewServer::listeningMessage() const {
    return {};
}

QUrl PreviewServer::urlFor(const QString&) const {
    return {};
}

void PreviewServer::notifyWritten(const QString&) {}

void PreviewServer::notifyWritten(const QStringList&) {}

bool PreviewServer::setVirtualPage(const QString&, const QByteArray&) {
    return false;
}

void PreviewServer::clearVirtualPage(const QString&) {}

QByteArray PreviewServer::virtualPage(const QString&) const {
    return {};
}

bool PreviewServer::isShowing(const QString&) const {
    return false;
}

void PreviewServer::announce(const QString&) {}

void PreviewServer::flushAnnouncements() {}

} // namespace quillane
