// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/batch_build.h"

#include "platform/file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

namespace quillane {

namespace {

// "\xE9", "\u0085"
QString hexEscape(char16_t kind, uint value, int digits) {
    return QString(u'\\') + QChar(kind) +
           QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

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
            name += hexEscape(u'x', quint8(bytes[i]), 2);
            ++i;
        } else {
            name += QString::fromUtf8(bytes.constData() + i, n);
            i += n;
        }
    }
    return valid;
}

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

QString escapeControls(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            out += QLatin1String("\\n");
        else if (u == u'\r')
            out += QLatin1String("\\r");
        else if (u == u'\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7F)
            out += hexEscape(u'x', u, 2);
        else if ((u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            out += hexEscape(u'u', u, 4);
        else
            out += c;
    }
    return out;
}

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

QString pageExtensionList() {
    QString list;
    for (qsizetype i = 0; i < kPageExtensions.size(); ++i)
        list += (i == 0                           ? QStringLiteral(".")
                 : i + 1 < kPageExtensions.size() ? QStringLiteral(", .")
                                                  : QStringLiteral(" or .")) +
                kPageExtensions[i];
    return list;
}

QString batchDocumentPath(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

QString folderOfChoice(const QString& fullPath, const QString& fileTitle) {
    return fullPath.left(std::max<qsizetype>(0, fullPath.size() - fileTitle.size()));
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

QString nonPageReason(const QString& resolvedOutput, const QString& batchFolder) {
    return PageRule(batchFolder).nonPageReason(resolvedOutput);
}

Message outOfMemoryMessage(const QString& fullPath) {
    return {QStringLiteral("ERROR: Out of memory while reading or building '") + fullPath +
                QStringLiteral("'; it was not built."),
            QStringLiteral("Quillane BuildEngine"), MsgIcon::Exclamation};
}

bool BatchSummary::finish(const QString& fullPath, DocumentOutcome outcome,
                          BatchObserver& observer) {
    if (outcome == DocumentOutcome::Built || outcome == DocumentOutcome::Unchanged) ++built;
    if (outcome == DocumentOutcome::Unchanged) ++unchanged;
    ++done;
    observer.documentFinished(fullPath, outcome);
    if (!observer.stopRequested()) return false;
    stopped = done < found;
    return true;
}

BatchSummary runBatch(const QString& folder, const QList<BatchDocument>& documents,
                      BatchObserver& observer,
                      const std::function<DocumentOutcome(const QString& fullPath)>& buildOne) {
    BatchSummary summary;
    summary.found = int(documents.size());
    observer.batchStarted(folder, summary.found);
    for (const BatchDocument& doc : documents) {
        const QString full = batchDocumentPath(folder, doc.name);
        observer.documentStarted(full, summary.done);
        DocumentOutcome outcome = DocumentOutcome::NameNotUtf8;
        if (doc.nameIsUtf8) {
            try {
                outcome = buildOne(full);
            } catch (const std::bad_alloc&) {
                // What was taken for this document is free again once it has unwound.
                outcome = DocumentOutcome::NotRead;
                observer.outOfMemory(full, outOfMemoryMessage(full));
            }
        }
        if (summary.finish(full, outcome, observer)) break;
    }
    return summary;
}

} // namespace quillane
