// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The batch service's front end without a window: /B:<folder> and /W:<folder>.

#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>

namespace quillane {

struct ConsoleOptions {
    // --allow-other-files: also write outputs that are no web pages or that are hidden.
    bool allowOtherFiles = false;
    // --jobs=N or QUILLANE_JOBS: documents read and built at the same time; 0: one per
    // processor. Whatever the number, pages, lines and status are those of one at a time.
    int jobs = 0;
    // --strict: broken links make the exit status 1, as `check = strict` does.
    bool strict = false;
};

// /B: builds the folder: messages go to standard error as one line each (control characters
// in names escaped), built pages to standard output, then the count. SIGINT and SIGTERM stop
// it after the current page (a second one ends the program at once); a closed pipe is a write
// error, not the end. Returns the exit status: 0 all built, 1 some not or a line could not be
// written (or, strictly, a link is broken), 2 the folder cannot be listed or its site file is
// wrong, 128 + the signal (130, 143) when a signal stopped it. Inside a site (a
// quillane-site.ini in the folder or above it) it builds as the site says: sub-folders, links
// made relative, folders made in the output folder, assets copied, links checked.
int runConsoleBatch(const QString& folder, std::FILE* out, std::FILE* err,
                    const ConsoleOptions& options = {});

// /W: builds the folder as /B: does, then keeps watching it and the folders of the templates
// its documents use: a document that is added or changed, or whose template changed, is built
// again, printing its page on standard output when it was written; a document removed is told
// on standard error. Two documents with one output are built as /B: builds them, whichever of
// them changed. When the folder goes (renamed, deleted, unmounted) it says so and waits for it
// to come back, then builds it again. SIGINT or SIGTERM ends it with 0 (2 when the folder
// cannot be listed at the start).
// hooks, for a front end that serves what the watch builds: `built` hears, after each build,
// the folder the pages are seen from (the site's output folder, or without a site the
// watched folder itself) and the files written (pages and assets). Called on the watch's
// thread.
struct WatchHooks {
    std::function<void(const QString& root, const QStringList& written)> built;
};
int runConsoleWatch(const QString& folder, std::FILE* out, std::FILE* err,
                    const ConsoleOptions& options = {}, const WatchHooks& hooks = {});

} // namespace quillane
