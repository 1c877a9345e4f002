// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/batch_policy.h"

#include <QDir>
#include <QFileInfo>

namespace quillane {

namespace {

// The reason for one absolute, cleaned path, judged against the batch folder's path.
QString pathReason(const QString& path, const QString& folder) {
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    const QStringList own = folder.split(u'/', Qt::SkipEmptyParts);
    qsizetype common = 0;
    while (common < parts.size() && common < own.size() && parts[common] == own[common])
        ++common;
    // A hidden folder that the batch folder itself lies in was the user's own choice.
    for (qsizetype i = common; i < parts.size(); ++i) {
        if (!parts[i].startsWith(u'.')) continue;
        if (i + 1 == parts.size()) return QStringLiteral("is a hidden file");
        return QStringLiteral("is inside the hidden folder '") + parts[i] + u'\'';
    }
    const QString name = parts.isEmpty() ? QString() : parts.last();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || !kPageExtensions.contains(name.mid(dot + 1), Qt::CaseInsensitive))
        return QStringLiteral("is not a web page (its name does not end in ") +
               pageExtensionList() + u')';
    return {};
}

// Where writing through a link finally lands: every link on the way followed, also one that
// names a file not there yet.
QString finalTarget(QString path) {
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(path);
        const QString dir = QFileInfo(info.absolutePath()).canonicalFilePath();
        if (!dir.isEmpty()) path = QDir(dir).filePath(info.fileName());
        const QFileInfo resolved(path);
        if (!resolved.isSymLink()) break;
        path = QDir::cleanPath(resolved.symLinkTarget());
    }
    return path;
}

} // namespace

QString pageExtensionList() {
    QString list;
    for (qsizetype i = 0; i < kPageExtensions.size(); ++i)
        list += (i == 0                           ? QStringLiteral(".")
                 : i + 1 < kPageExtensions.size() ? QStringLiteral(", .")
                                                  : QStringLiteral(" or .")) +
                kPageExtensions[i];
    return list;
}

PageRule::PageRule(const QString& batchFolder)
    : m_cwd(QDir::currentPath()),
      m_folder(absolute(batchFolder.isEmpty() ? QStringLiteral(".") : batchFolder)) {
    m_realFolder = QFileInfo(m_folder).canonicalFilePath();
    if (m_realFolder.isEmpty()) m_realFolder = m_folder;
}

QString PageRule::absolute(const QString& path) const {
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : m_cwd + u'/' + path);
}

QString PageRule::pathReason(const QString& resolvedOutput) const {
    if (resolvedOutput.isEmpty()) return {};
    return quillane::pathReason(absolute(resolvedOutput), m_folder);
}

QString PageRule::linkReason(const QString& link) const {
    const QString target = finalTarget(absolute(link));
    const QString reason = quillane::pathReason(target, m_realFolder);
    if (reason.isEmpty()) return {};
    return QStringLiteral("leads to '") + target + QStringLiteral("', which ") + reason;
}

QString PageRule::nonPageReason(const QString& resolvedOutput) const {
    if (QString reason = pathReason(resolvedOutput); !reason.isEmpty()) return reason;
    if (resolvedOutput.isEmpty() || !QFileInfo(absolute(resolvedOutput)).isSymLink()) return {};
    return linkReason(resolvedOutput);
}

bool makeFolderInside(const QString& folder, const QString& root) {
    const auto inside = [](const QString& path, const QString& top) {
        return !top.isEmpty() && (path == top || path.startsWith(top + u'/'));
    };
    const QString wanted = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString top = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    if (!inside(wanted, top)) return false;
    // The deepest part that exists must, as it really is, lie inside the root as it really is
    // (a link inside the root must not lead the new folders out of it). When the root itself
    // is still to be made, nothing of what is made can be a link.
    QString existing = wanted;
    while (!QFileInfo::exists(existing) && existing.contains(u'/') && existing != u'/')
        existing = QFileInfo(existing).path();
    if (inside(existing, top) &&
        !inside(QFileInfo(existing).canonicalFilePath(), QFileInfo(top).canonicalFilePath()))
        return false;
    return QDir().mkpath(wanted);
}

QString nonPageReason(const QString& resolvedOutput, const QString& batchFolder) {
    return PageRule(batchFolder).nonPageReason(resolvedOutput);
}

} // namespace quillane
