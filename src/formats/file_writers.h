#pragma once

#include "core/workspace.h"

#include <QString>

namespace quillane {

// The text of a template file: name, default HTML and every named slot in slot order.
QString templateFileText(const QString& name, const QString& defaultHtml, const Workspace& ws);

// The text of a templated document: one block for every editable slot, named or not, so that
// each block reads back into its own section.
QString documentFileText(const QString& title, const QString& templatePath, const QString& output,
                         const Workspace& ws);

// What a document at documentPath stores for path: the text it was read with when that was
// relative and still names the same file from there, otherwise path itself.
QString pathToStore(const QString& path, const QString& storedText, const QString& documentPath);

// Write the designer's template, or the HTML editor's document, to path. On success the
// workspace counts as unchanged; on failure the user is told the path and the reason, the old
// file stays whole and nothing else changes.
bool writeTemplateFile(Session& s, const QString& path);
bool writeDocumentFile(Session& s, const QString& path);

} // namespace quillane
