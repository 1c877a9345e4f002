// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/console_batch.h"

namespace quillane {

// --serve /W:<folder>: the watch of /W:, with the folder its pages are seen from served on
// 127.0.0.1 (port 0: the first free one from 8080), every page shown reloading itself when it
// or what it uses is written again. The server's address is printed on standard output. The
// watch runs on a thread of its own beside the server's event loop. Ctrl+C ends both with 0;
// a server that cannot start ends the watch with 1.
int runServedWatch(const QString& folder, const ConsoleOptions& options, int port);

} // namespace quillane
