// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/workspace.h"

#include <QString>

namespace quillane {

namespace LoadMode {
inline constexpr int Designer = 0;          // a template into the designer
inline constexpr int TemplateForEditor = 1; // a template's sections for the HTML editor
inline constexpr int Document = 2;          // a templated document into the HTML editor
} // namespace LoadMode

// The reader's result. For a document: the template path when it was read to its end, Empty
// when it stopped early at an empty line, Failed when it was rejected or could not be read.
// For a template: Loaded or Failed.
struct LoadResult {
    enum class Kind { Failed, Empty, Loaded };
    Kind kind = Kind::Failed;
    QString templatePath;

    bool loaded() const { return kind == Kind::Loaded; }
};

// Reads a template (modes 0 and 1) or a templated document (mode 2) and shows it: the
// section table, the open editor's controls in the order the editors expect, IsDirty cleared
// last. What went wrong is told to the user; the table then holds what was read before it.
LoadResult LoadFile(Session& s, const QString& path, int mode);

} // namespace quillane
