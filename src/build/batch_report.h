// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every front end of the batch service says, made in one place: the lines about each
// document (standard error of /B:, the list the windows show after a batch) and the summary.

#include "build/batch.h"

#include <QString>
#include <QStringList>

namespace quillane {

// The lines about one document, in the order they arose: its template's problems (the first
// time the template is met), the reader's and the engine's messages ("<document>: <title>:
// <text>"), an output it may not write, an output an earlier document built too, or that it
// was not built. None for a page built without a word. Each on one line, control characters
// escaped.
QStringList reportLines(const DocumentReport& report);

// "Removed 3 temporary files left beside the pages by a build that was killed."
QString leftoversLine(int removed);

// The summary each front end ends with:
//   Console   "4 templated documents found, 4 built, 1 unchanged." (with what stopped it)
//   Window    "Batch build finished: 4 built (1 unchanged), 0 not built."
//   Designer  "Pages using this template: 4 built (1 unchanged), 0 not built."
enum class SummaryFor { Console, Window, Designer };
QString summaryLine(const BatchReport& report, SummaryFor front);

// " 7 more templated documents in its sub-folders were not built: ..." (with its blank in
// front), what a batch without a site says of the documents it leaves; nothing for none.
QString subfolderHint(int inSubfolders);

// Text with its control characters escaped (\n, \r, \t, other C0 controls and DEL as \xNN, C1
// controls and the line and paragraph separators as \uNNNN), so that it stays on one line.
QString escapeControls(const QString& text);

} // namespace quillane
