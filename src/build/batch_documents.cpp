// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/batch_documents.h"

#include "platform/file_system.h"

#include <QDir>

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

bool listBatchDocuments(const QString& folder, QList<BatchDocument>& documents, QString& reason) {
    documents.clear();
    std::vector<platform::FolderEntry> entries;
    platform::SystemError e;
    if (!platform::listFolder(platform::encodePath(folder), entries, e)) {
        switch (e.failure) {
        case platform::Failure::NotFound:
            reason = QStringLiteral("no such folder");
            break;
        case platform::Failure::NotFolder:
            reason = QStringLiteral("not a folder");
            break;
        case platform::Failure::PermissionDenied:
            reason = QStringLiteral("permission denied");
            break;
        default:
            reason = e.text;
        }
        return false;
    }
    for (const platform::FolderEntry& entry : entries) {
        // Hidden entries are not listed. Only regular files after following links: a named
        // pipe would block when opened; a dangling link stays, for the reader to report.
        if (entry.hidden || !entry.name.endsWith("qht") ||
            (entry.kind != platform::FileKind::Regular &&
             entry.kind != platform::FileKind::Missing))
            continue;
        BatchDocument doc;
        doc.nameIsUtf8 = decodeName(entry.name, doc.name);
        documents.append(doc);
    }
    return true;
}

QString batchDocumentPath(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

QString folderOfChoice(const QString& fullPath, const QString& fileTitle) {
    return fullPath.left(std::max<qsizetype>(0, fullPath.size() - fileTitle.size()));
}

} // namespace quillane
