// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/page_preview.h"

#include "serve/preview_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace quillane {

PagePreview::PagePreview() = default;
PagePreview::~PagePreview() = default;

QUrl writePreviewFile(const QString& folder, const QString& root, const QString& page,
                      const QByteArray& bytes, QString& problem) {
    QString relative = QDir(root).relativeFilePath(page);
    if (relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative))
        relative = QFileInfo(page).fileName();
    const QString path = QDir(folder).filePath(relative);
    const QByteArray base = "<base href=\"" +
                            QUrl::fromLocalFile(QFileInfo(page).absolutePath() + u'/').toEncoded() +
                            "\">";
    QByteArray out = bytes;
    // A page in UTF-16 is left as it is: its links then lead from the temporary folder.
    if (!bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF")) {
        static const QRegularExpression head(QStringLiteral("<head(\\s[^>]*)?>"),
                                             QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = head.match(QString::fromLatin1(bytes));
        out.insert(m.hasMatch() ? m.capturedEnd() : bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0, base);
    }
    QSaveFile file(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly) ||
        file.write(out) != out.size() || !file.commit()) {
        problem = QStringLiteral("it could not be written to '") + QDir::toNativeSeparators(path) +
                  QStringLiteral("': ") + file.errorString();
        return {};
    }
    return QUrl::fromLocalFile(path);
}

QUrl PagePreview::showFromFile(const QString& root, const QString& page, const QByteArray& bytes,
                               QString& problem) {
    if (!m_files)
        m_files = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("quillane-preview-XXXXXX")));
    if (!m_files->isValid()) {
        problem =
            QStringLiteral("no temporary folder could be made for it: ") + m_files->errorString();
        m_files.reset();
        return {};
    }
    return writePreviewFile(m_files->path(), root, page, bytes, problem);
}

QUrl PagePreview::show(const QString& root, const QString& page, const QByteArray& bytes,
                       bool& showing, QString& problem) {
    if (!PreviewServer::isAvailable()) {
        showing = false; // a page from the disk does not reload by itself
        return showFromFile(root, page, bytes, problem);
    }
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
    if (url.isLocalFile()) {
        QFile file(url.toLocalFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    return m_server ? m_server->virtualPage(url.path()) : QByteArray();
}

} // namespace quillane
