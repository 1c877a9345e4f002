// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdio>

namespace quillane {

// Starts the windowed program for the argument text and runs it to its end. Without a display
// it does what needs none (runWithoutDisplay) instead of failing in Qt.
int runWindows(int& argc, char** argv, const QString& argumentText);

// True when windows can be shown: an X11 or Wayland display, or a Qt platform chosen in
// QT_QPA_PLATFORM that needs none (offscreen, vnc, ...). Always on other systems. Never when
// QUILLANE_NO_DISPLAY is set to anything but "".
bool displayAvailable();

// The start-up routine without a display: /A: registers the file types, an invalid option is
// reported, and what needs a window says so. Messages go to err; the exit status is 0 for /A:
// and 2 for everything else.
int runWithoutDisplay(const QString& argumentText, std::FILE* err);

} // namespace quillane
