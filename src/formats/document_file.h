// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/read_failure.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace quillane {

// A templated document: its title, its template and output paths (as the file stores them
// and as they resolve from the document's folder) and one block per editable section of its
// template, in slot order.
struct DocumentFile {
    QString title;
    QString templateStored, templatePath;
    QString outputStored, output;
    QStringList blocks;
};

// What reading a templated document gave. The first four lines are its header; the template
// is read after them, so a failure in the blocks comes after the template's own messages.
struct DocumentRead {
    DocumentFile value;
    std::optional<ReadFailure> failure;
    bool headerRead = false;
    // The failure stands where a block starts: the block's section is looked for first.
    bool failureAtBlock = false;
};

// seen, when given, is set to the signature of the file that was read (see readFileBytes).
DocumentRead readDocumentFile(const QString& path, FileSignature* seen = nullptr);
DocumentRead parseDocument(const QString& text, const QString& path);

// The file's text, with the stored forms of the two paths.
QString documentFileText(const DocumentFile& file);

// A path stored in a document, taken as it stands when absolute (also a drive or network
// path from another system) and otherwise from the document's folder.
QString resolveStoredPath(const QString& stored, const QString& documentPath);

// What a document at documentPath stores for path: the text it was read with while that still
// names the same file; otherwise relative when path lies in the document's folder or below it,
// so a site folder can be moved; otherwise path itself.
QString pathToStore(const QString& path, const QString& storedText, const QString& documentPath);

} // namespace quillane
