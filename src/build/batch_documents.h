// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which templated documents a batch builds, and how it names them.

#include "site/site_file.h"

#include <QList>
#include <QString>
#include <optional>

namespace quillane {

// One templated document of a batch, named from the batch folder ("a.qht", "blog/b.qht"). A
// name that is not valid UTF-8 cannot be opened through a QString path: it is kept with its
// bytes escaped ("caf\xE9.qht") and reported.
struct BatchDocument {
    QString name;
    bool nameIsUtf8 = true;
    bool operator==(const BatchDocument&) const = default;
};

// The templated documents of a folder in the order the file system lists them: entries whose
// names end in "qht" (case-sensitive, the dot not required) and that are regular files after
// following links. Hidden entries, sub-folders, FIFOs, sockets and devices (and links to them)
// are passed over; a dangling link is kept, for the reader to report. False with the reason
// when the folder cannot be listed.
bool listBatchDocuments(const QString& folder, QList<BatchDocument>& documents, QString& reason);

// A site's documents: those of the folder and of all its sub-folders, named from the folder
// ("blog/a.qht") and sorted by that name, so that the order does not depend on the file
// system. Hidden folders, links to folders and the folders in `skip` (a site's output and
// assets) are passed over, and at most kMaxListedFolders folders are looked into.
// `folders`, when given, gets every folder looked into, the top one first.
bool listSiteDocuments(const QString& folder, const QStringList& skip,
                       QList<BatchDocument>& documents, QString& reason,
                       QStringList* folders = nullptr);
inline constexpr int kMaxListedFolders = 5000;

// How many templated documents the sub-folders of a folder hold (those a batch without a site
// file does not build).
int countSubfolderDocuments(const QString& folder);

// What a batch of a folder builds: without a site file the documents of the folder itself, in
// the order the file system lists them; inside a site (the nearest site file above the
// folder) those of the folder and, as the site says, of its sub-folders, sorted. The site's
// output and assets folders are never looked into.
struct FolderBatch {
    QList<BatchDocument> documents;
    QStringList folders; // the folders looked into (a watch watches them)
    std::optional<SiteSettings> site;
    int inSubfolders = 0; // without a site: the documents in sub-folders, which are not built
};
enum class FolderProblem { None, Unlistable, BadSiteFile };
// The problem, when there is one, is one line: why the folder cannot be listed, or what is
// wrong with the site file (its path and line).
FolderProblem readBatchFolder(const QString& folder, FolderBatch& batch, QString& problem);

// The full path of a document of the batch folder, as the batch opens and shows it.
QString batchDocumentPath(const QString& folder, const QString& name);

// The folder of a chosen file: the chosen path less its last part, separator kept.
QString folderOfChoice(const QString& fullPath, const QString& fileTitle);

} // namespace quillane
