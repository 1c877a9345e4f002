// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/page_preview.h"

#include "serve/preview_server.h"

namespace quillane {

PagePreview::PagePreview() = default;
PagePreview::~PagePreview() = default;

QUrl PagePreview::show(const QString& root, const QString& page, const QByteArray& bytes,
                       bool& showing, QString& problem) {
    if (!m_server) m_server = std::make_unique<PreviewServer>();
    if (!m_server->isListening() || m_root != root) {
        m_server->close();
        m_root.clear();
        if (!m_server->start(root)) {
            problem = m_server->errorString();
            return {};
        }
        m_root = root;
    }
    const QUrl url = m_server->urlFor(page);
    if (url.isEmpty() || !m_server->setVirtualPage(url.path(), bytes)) {
        problem = QStringLiteral("The page '") + page + QStringLiteral("' cannot be shown from '") +
                  root + QStringLiteral("'.");
        return {};
    }
    showing = m_server->isShowing(url.path());
    return url;
}

QByteArray PagePreview::shown(const QUrl& url) const {
    return m_server ? m_server->virtualPage(url.path()) : QByteArray();
}

} // namespace quillane
