// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The batch service's front end without a window: /B:<folder> and /W:<folder>.

#include <QString>
#include <cstdio>

namespace quillane {

struct ConsoleOptions {
    // --allow-other-files: also write outputs that are no web pages or that are hidden.
    bool allowOtherFiles = false;
    // --jobs=N or QUILLANE_JOBS: documents read and built at the same time; 0: one per
    // processor. Whatever the number, pages, lines and status are those of one at a time.
    int jobs = 0;
};

// /B: builds the folder: messages go to standard error as one line each (control characters
// in names escaped), built pages to standard output, then the count. SIGINT and SIGTERM stop
// it after the current page (a second one ends the program at once); a closed pipe is a write
// error, not the end. Returns the exit status: 0 all built, 1 some not or a line could not be
// written, 2 the folder cannot be listed, 128 + the signal (130, 143) when a signal stopped it.
int runConsoleBatch(const QString& folder, std::FILE* out, std::FILE* err,
                    const ConsoleOptions& options = {});

// /W: builds the folder as /B: does, then keeps watching it and the folders of the templates
// its documents use: a document that is added or changed, or whose template changed, is built
// again, printing its page on standard output when it was written; a document removed is told
// on standard error. Two documents with one output are built as /B: builds them, whichever of
// them changed. When the folder goes (renamed, deleted, unmounted) it says so and waits for it
// to come back, then builds it again. SIGINT or SIGTERM ends it with 0 (2 when the folder
// cannot be listed at the start).
int runConsoleWatch(const QString& folder, std::FILE* out, std::FILE* err,
                    const ConsoleOptions& options = {});

} // namespace quillane
