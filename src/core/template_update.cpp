// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/template_update.h"

#include "build/document_read.h"
#include "build/page.h"
#include "formats/file_write.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>

namespace quillane {

namespace {

QString oneLine(QString text) {
    return text.replace(kCrLf, QStringLiteral(" "));
}

} // namespace

QStringList editableSectionNames(const SectionTable& table) {
    QStringList names;
    for (int slot = table.nextEditableSlot(0); slot != 0; slot = table.nextEditableSlot(slot))
        names << table.SectionNames[slot];
    return names;
}

bool sameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty() || isWindowsPath(a) || isWindowsPath(b)) return false;
    const QFileInfo x(a), y(b);
    const QString cx = x.canonicalFilePath(), cy = y.canonicalFilePath();
    if (!cx.isEmpty() && !cy.isEmpty()) return cx == cy;
    return QDir::cleanPath(x.absoluteFilePath()) == QDir::cleanPath(y.absoluteFilePath());
}

TemplateUsers findTemplateUsers(const QString& templatePath) {
    TemplateUsers users;
    const QString top = QFileInfo(templatePath).absolutePath();
    users.folder = top + u'/';
    QStringList folders{top};
    QDirIterator sub(top, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                     QDirIterator::Subdirectories);
    while (sub.hasNext()) {
        if (folders.size() >= kMaxSearchedFolders) {
            users.searchCut = true;
            break;
        }
        folders << sub.next();
    }
    for (const QString& folder : folders) {
        QList<BatchDocument> found;
        QString reason;
        if (!listBatchDocuments(folder, found, reason)) continue;
        for (const BatchDocument& doc : found) {
            if (!doc.nameIsUtf8) continue; // cannot be opened by name, so not known to use it
            const QString path = batchDocumentPath(folder, doc.name);
            const DocumentRead read = readDocumentFile(path);
            if (!read.headerRead || !sameFile(read.value.templatePath, templatePath)) continue;
            TemplateUser user{path, read.value, {}};
            if (read.failure)
                user.unreadable = read.failure->kind == ReadFailure::Kind::StoppedAtEmptyLine
                                      ? QStringLiteral("it stops at an empty line where a "
                                                       "section should start")
                                      : oneLine(read.failure->message.text);
            users.documents.append(user);
        }
    }
    std::sort(users.documents.begin(), users.documents.end(),
              [](const TemplateUser& a, const TemplateUser& b) { return a.path < b.path; });
    return users;
}

BlockMove moveBlocks(const QStringList& blocks, const QStringList& oldNames,
                     const SectionTable& newTable) {
    BlockMove move;
    QList<bool> taken(blocks.size(), false);
    QHash<QString, int> seen; // sections of each name so far
    qsizetype lastOwn = 0;    // blocks up to the last one that is the document's own
    for (int slot = newTable.nextEditableSlot(0); slot != 0;
         slot = newTable.nextEditableSlot(slot)) {
        const QString& name = newTable.SectionNames[slot];
        int nth = seen[name]++;
        qsizetype from = -1;
        for (qsizetype i = 0; i < oldNames.size() && from < 0; ++i) {
            if (oldNames[i] == name && nth-- == 0) from = i;
        }
        if (from >= 0 && from < blocks.size()) {
            move.blocks << blocks[from];
            taken[from] = true;
            lastOwn = move.blocks.size();
        } else {
            move.blocks << newTable.SectionHtml[slot];
        }
    }
    move.blocks.resize(lastOwn);
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        if (!taken[i]) move.dropped.append({oldNames.value(i), blocks[i]});
    }
    move.changed = move.blocks != blocks;
    return move;
}

QString backupPath(const QString& documentPath) {
    QString path = documentPath + QStringLiteral(".bak");
    for (int n = 1; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = documentPath + QStringLiteral(".%1.bak").arg(n);
    return path;
}

std::optional<QString> rewriteDocument(const TemplateUser& user, const BlockMove& move,
                                       QString& copy) {
    copy.clear();
    if (!move.dropped.isEmpty()) {
        QByteArray bytes;
        FileError error;
        const QString to = backupPath(user.path);
        if (!readFileBytes(user.path, bytes, error) ||
            writeFileAtomically(to, bytes, WriteMode::Durable, error) == WriteOutcome::Failed)
            return QStringLiteral("Could not keep a copy of '%1' in '%2': %3")
                .arg(user.path, to, error.description);
        copy = to;
    }
    DocumentFile file = user.document;
    file.blocks = move.blocks;
    if (const std::optional<Message> failure = saveTextFile(user.path, documentFileText(file))) {
        // The document is whole, so its copy would only be a puzzle.
        if (!copy.isEmpty()) QFile::remove(copy);
        copy.clear();
        return oneLine(failure->text);
    }
    return std::nullopt;
}

} // namespace quillane
