// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The steps /B: and /W: share.

#include "build/console_batch.h"
#include "build/console_output.h"

namespace quillane {

BatchRequest consoleRequest(const QString& folder, const QList<BatchDocument>& documents,
                            const ConsoleOptions& options);
// Lists the folder's documents; false after saying on standard error why it cannot.
bool listForConsole(const QString& folder, QList<BatchDocument>& documents, Stream& err);
// The lines that end a run: the temporary files removed, the count.
void finishConsoleRun(const BatchReport& report, Stream& out, Stream& err);
// Says why standard output failed, once, and flushes both.
void tellOutputError(Stream& out, Stream& err);

} // namespace quillane
