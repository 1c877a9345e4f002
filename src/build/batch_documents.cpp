// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/batch_documents.h"

#include "platform/file_system.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace quillane {

namespace {

// The length of the valid UTF-8 sequence that starts at `at`, 0 when there is none.
int utf8SequenceAt(const QByteArray& s, qsizetype at) {
    const auto byte = [&](qsizetype i) { return quint8(s[i]); };
    const quint8 lead = byte(at);
    if (lead < 0x80) return 1;
    int n = 0;
    char32_t cp = 0, least = 0;
    if ((lead & 0xE0) == 0xC0)
        n = 2, cp = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        n = 3, cp = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        n = 4, cp = lead & 0x07, least = 0x10000;
    else
        return 0;
    if (at + n > s.size()) return 0;
    for (int k = 1; k < n; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (byte(at + k) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// A file name's bytes as text; false when they are not valid UTF-8, whose bytes then stand
// escaped as \xNN.
bool decodeName(const QByteArray& bytes, QString& name) {
    bool valid = true;
    name.clear();
    for (qsizetype i = 0; i < bytes.size();) {
        const int n = utf8SequenceAt(bytes, i);
        if (n == 0) {
            valid = false;
            name += QStringLiteral("\\x") +
                    QString::number(quint8(bytes[i]), 16).toUpper().rightJustified(2, u'0');
            ++i;
        } else {
            name += QString::fromUtf8(bytes.constData() + i, n);
            i += n;
        }
    }
    return valid;
}

} // namespace

namespace {

QString listingFailure(const platform::SystemError& e) {
    switch (e.failure) {
    case platform::Failure::NotFound:
        return QStringLiteral("no such folder");
    case platform::Failure::NotFolder:
        return QStringLiteral("not a folder");
    case platform::Failure::PermissionDenied:
        return QStringLiteral("permission denied");
    default:
        return e.text;
    }
}

// Hidden entries are not documents, and only regular files after following links are: a
// named pipe would block when opened; a dangling link stays, for the reader to report.
bool isDocument(const platform::FolderEntry& entry) {
    return !entry.hidden && entry.name.endsWith("qht") &&
           (entry.kind == platform::FileKind::Regular || entry.kind == platform::FileKind::Missing);
}

bool isSubfolder(const platform::FolderEntry& entry) {
    return !entry.hidden && !entry.link && entry.kind == platform::FileKind::Folder;
}

// Walks the folder and its sub-folders (see listSiteDocuments), handing each document's
// name from the folder, as bytes, to `found`. False when the top folder cannot be listed.
template <typename Found>
bool walk(const QByteArray& top, const QSet<QString>& skip, Found found, QString& reason,
          QStringList* folders = nullptr) {
    QList<QByteArray> pending{QByteArray()}; // relative, ending in "/" when not empty
    for (int listed = 0; !pending.isEmpty() && listed < kMaxListedFolders; ++listed) {
        const QByteArray relative = pending.takeFirst();
        const QByteArray here = relative.isEmpty() ? top : top + '/' + relative;
        if (folders) *folders << platform::decodePath(here);
        std::vector<platform::FolderEntry> entries;
        platform::SystemError e;
        if (!platform::listFolder(here, entries, e)) {
            if (relative.isEmpty()) {
                reason = listingFailure(e);
                return false;
            }
            continue;
        }
        for (const platform::FolderEntry& entry : entries) {
            if (isDocument(entry)) {
                found(relative + entry.name);
            } else if (isSubfolder(entry)) {
                const QByteArray sub = relative + entry.name;
                if (!skip.contains(QDir::cleanPath(
                        QFileInfo(platform::decodePath(top + '/' + sub)).absoluteFilePath())))
                    pending << sub + '/';
            }
        }
    }
    return true;
}

} // namespace

bool listBatchDocuments(const QString& folder, QList<BatchDocument>& documents, QString& reason) {
    documents.clear();
    std::vector<platform::FolderEntry> entries;
    platform::SystemError e;
    if (!platform::listFolder(platform::encodePath(folder), entries, e)) {
        reason = listingFailure(e);
        return false;
    }
    for (const platform::FolderEntry& entry : entries) {
        if (!isDocument(entry)) continue;
        BatchDocument doc;
        doc.nameIsUtf8 = decodeName(entry.name, doc.name);
        documents.append(doc);
    }
    return true;
}

bool listSiteDocuments(const QString& folder, const QStringList& skip,
                       QList<BatchDocument>& documents, QString& reason, QStringList* folders) {
    documents.clear();
    QSet<QString> skipped;
    for (const QString& path : skip)
        skipped.insert(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QByteArray top = platform::encodePath(folder.isEmpty() ? QStringLiteral(".") : folder);
    QList<QByteArray> names;
    const auto found = [&](const QByteArray& name) { names << name; };
    if (!walk(top, skipped, found, reason, folders)) return false;
    std::sort(names.begin(), names.end());
    for (const QByteArray& name : names) {
        BatchDocument doc;
        doc.nameIsUtf8 = decodeName(name, doc.name);
        documents.append(doc);
    }
    return true;
}

int countSubfolderDocuments(const QString& folder) {
    const QByteArray top = platform::encodePath(folder.isEmpty() ? QStringLiteral(".") : folder);
    int count = 0;
    QString reason;
    walk(
        top, {}, [&](const QByteArray& name) { count += name.contains('/') ? 1 : 0; }, reason);
    return count;
}

FolderProblem readBatchFolder(const QString& folder, FolderBatch& batch, QString& problem) {
    batch = FolderBatch();
    const QString top = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (const QString file = findSiteFile(QFileInfo(top).absoluteFilePath()); !file.isEmpty()) {
        const SiteFileRead read = readSiteFile(file);
        if (!read.settings) {
            problem = read.problem;
            return FolderProblem::BadSiteFile;
        }
        batch.site = read.settings;
    }
    const bool listed = batch.site && batch.site->subfolders == SiteSubfolders::Yes
                            ? listSiteDocuments(folder, {batch.site->output, batch.site->assets},
                                                batch.documents, problem, &batch.folders)
                            : listBatchDocuments(folder, batch.documents, problem);
    if (!listed) return FolderProblem::Unlistable;
    if (batch.folders.isEmpty()) batch.folders << top;
    if (!batch.site) batch.inSubfolders = countSubfolderDocuments(folder);
    return FolderProblem::None;
}

QString batchDocumentPath(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

QString folderOfChoice(const QString& fullPath, const QString& fileTitle) {
    return fullPath.left(std::max<qsizetype>(0, fullPath.size() - fileTitle.size()));
}

} // namespace quillane
