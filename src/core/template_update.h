// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/batch.h"
#include "build/template_cache.h"
#include "formats/document_file.h"
#include "formats/section_table.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// A templated document holds one block per editable section of its template, by position. When
// a template's editable sections change, the documents that use it are rewritten so that every
// block stays with the section of the same name; and their pages are built again.

namespace quillane {

// The names of the editable sections in slot order: the sections the blocks go to, in turn.
QStringList editableSectionNames(const SectionTable& table);

// True when both paths name the same file (links and "." or ".." followed).
bool sameFile(const QString& a, const QString& b);

// A templated document that names a template.
struct TemplateUser {
    QString path; // full path
    DocumentFile document;
    QString unreadable; // why its blocks cannot be read, "" when they can
};

struct TemplateUsers {
    QString folder; // the template's folder, ending in a separator
    QList<TemplateUser> documents;
    bool searchCut = false; // the folder holds more than kMaxSearchedFolders folders
};

inline constexpr int kMaxSearchedFolders = 5000;

// The templated documents in the template's folder and its sub-folders (hidden ones and links
// to folders passed over, at most kMaxSearchedFolders folders) whose template path, taken from
// the document's folder, is the template. In order of their paths.
TemplateUsers findTemplateUsers(const QString& templatePath);

// A document's blocks, each moved to the editable section of the same name in a new template.
struct BlockMove {
    struct Dropped {
        QString section; // "" for a block beyond the old template's editable sections
        QString html;
    };
    // One block per editable section of the new template, in slot order: the document's own
    // block of the same name, or the section's HTML in the new template. Sections without a
    // block of their own after the last one that has one get no block, so they go on showing
    // the template's HTML as it changes.
    QStringList blocks;
    QList<Dropped> dropped; // blocks whose section is no longer editable or no longer there
    bool changed = false;   // blocks differs from the document's
};

// oldNames: the editable sections the document's blocks were written for, in order. The n-th
// section of a name takes the block of the n-th old section of that name.
BlockMove moveBlocks(const QStringList& blocks, const QStringList& oldNames,
                     const SectionTable& newTable);

// Where the copy of a document goes: "name.qht.bak", or when that is taken the first free one
// of "name.qht.1.bak", "name.qht.2.bak", ...; an older copy is never replaced.
QString backupPath(const QString& documentPath);

// Writes the document with its moved blocks, atomically. When blocks are dropped, a copy of the
// file as it stands is written beside it first (`copy`), and the document is not touched when
// the copy fails. On failure the reason, on one line, and the document is whole.
std::optional<QString> rewriteDocument(const TemplateUser& user, const BlockMove& move,
                                       QString& copy);

} // namespace quillane
