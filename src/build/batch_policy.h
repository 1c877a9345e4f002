// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a batch may write without asking. Every batch (the window's, the designer's rebuild,
// /B: and /W:) asks this one rule.

#include <QHash>
#include <QString>
#include <QStringList>

namespace quillane {

// The file-name endings of the pages a batch writes without asking.
inline const QStringList kPageExtensions = {
    QStringLiteral("htm"), QStringLiteral("html"),  QStringLiteral("xhtml"),
    QStringLiteral("xht"), QStringLiteral("shtml"), QStringLiteral("php"),
    QStringLiteral("asp"), QStringLiteral("aspx"),  QStringLiteral("jsp")};
// ".htm, .html, ... or .jsp"
QString pageExtensionList();

// What a batch may write beyond web pages outside hidden folders.
struct WritePolicy {
    // Everything its documents name (--allow-other-files).
    bool otherFiles = false;
    // These documents' outputs, as they were when the user agreed to them (document path ->
    // output): the window asks before the batch.
    QHash<QString, QString> agreed;
};

// Makes the missing folder of a page when it lies inside `root` (a site's output folder, or
// without a site the document's own folder), also once the links of the part that exists are
// followed; anywhere else nothing is made. True when the folder is there now.
bool makeFolderInside(const QString& folder, const QString& root);

// Why a batch must not write a document's output without the user's leave, "" when it is a
// web page it may write: a name without one of kPageExtensions (case-insensitive), or a hidden
// file or folder on the cleaned absolute path that the batch folder's own path does not go
// through. When the output is a link, the file it finally names is checked the same way. The
// reason reads on from "its output '...' ": "is a hidden file". An empty output is left to the
// engine, which reports it.
QString nonPageReason(const QString& resolvedOutput, const QString& batchFolder);

// The same rule for one batch folder, worked out once, in its two parts: the path alone (no
// system call), and for an output that is a link the file it finally names. Safe to share
// between threads.
class PageRule {
public:
    explicit PageRule(const QString& batchFolder);
    QString pathReason(const QString& resolvedOutput) const;
    QString linkReason(const QString& link) const;
    // Both: why the output is not a page a batch writes without asking (see nonPageReason).
    QString nonPageReason(const QString& resolvedOutput) const;
    QString absolute(const QString& path) const; // cleaned, relative ones from the current folder

private:
    QString m_cwd, m_folder, m_realFolder;
};

} // namespace quillane
