// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a build without a window needs of the console it runs in.

#include <QString>
#include <QStringList>
#include <cstdio>

namespace quillane::platform {

// For as long as it lives: Ctrl+C (SIGINT) and SIGTERM, or the console's close and break
// events, ask the running batch to stop after the current page, and a second one ends the
// program at once. A reader that went away (a closed pipe) makes writes fail instead of
// ending the program with half the pages built. One at a time.
class StopRequests {
public:
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // The request that came, 0 while none has: the signal's number (SIGINT 2, SIGTERM 15).
    static int pending();
    // Asks for a stop as a signal would (tests, and a window that ends a watch).
    static void request(int signal);
    // "SIGINT", "SIGTERM"
    static QString name(int signal);
    // The exit status a stop ends the program with: 128 + the signal.
    static int exitStatus(int signal) { return 128 + signal; }
};

// Whether the stream goes to a person at a terminal (rather than a file or a pipe).
bool isTerminal(std::FILE* stream);

// The program's arguments as they were given: on Windows from the UTF-16 command line, as
// argv holds them in the ANSI code page, which may not have every character of a path.
QStringList programArguments(int argc, char* argv[]);

// Before the program opens its windows: a console the system opened for it alone (started from
// Explorer or the Start menu rather than a command prompt) is closed. Nothing elsewhere.
void leaveOwnConsole();

} // namespace quillane::platform
