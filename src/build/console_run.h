// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The steps /B: and /W: share.

#include "build/console_batch.h"
#include "build/console_output.h"

namespace quillane {

BatchRequest consoleRequest(const QString& folder, const FolderBatch& batch,
                            const ConsoleOptions& options);
// Lists the folder's documents and finds its site; false after saying on standard error why
// it cannot (the folder, or the site file, and then nothing is built).
bool listForConsole(const QString& folder, FolderBatch& batch, Stream& err);
// The lines that end a run (assets, broken links, temporary files removed) and the count.
void finishConsoleRun(const BatchReport& report, Stream& out, Stream& err);
// Whether broken links fail the run: --strict, or the site's check = strict.
bool failsStrictly(const BatchReport& report, const FolderBatch& batch,
                   const ConsoleOptions& options);
// Says why standard output failed, once, and flushes both.
void tellOutputError(Stream& out, Stream& err);

} // namespace quillane
