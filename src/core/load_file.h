// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/document_read.h"
#include "core/workspace.h"

#include <QString>

namespace quillane {

// What LoadFile reads, and into which editor.
enum class LoadMode {
    Designer,          // a template into the designer
    TemplateForEditor, // a template's sections and name for the HTML editor
    Document,          // a templated document into the HTML editor
};

// The reader's result. For a document: the template path when it was read to its end, Empty
// when it stopped early at an empty line, Failed when it was rejected or could not be read.
// For a template: Loaded or Failed.
struct LoadResult {
    enum class Kind { Failed, Empty, Loaded };
    Kind kind = Kind::Failed;
    QString templatePath;

    bool loaded() const { return kind == Kind::Loaded; }
};

// Reads a template or a templated document into the workspace: what was read of it, and when
// it was read whole, the workspace unchanged. What went wrong is told to the user. The caller
// shows the workspace.
LoadResult LoadFile(Session& s, const QString& path, LoadMode mode);

// A templated document read with its template (readDocumentWithTemplate) taken into the workspace,
// as LoadFile takes a document: the section table, the template's name, and once the document was
// read whole its title, output and paths, unchanged. The reader's messages are told afterwards,
// so that a window shown behind them shows what was read.
LoadResult takeDocument(Session& s, const QString& path, const DocumentWithTemplate& loaded);

} // namespace quillane
