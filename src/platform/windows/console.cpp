// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console.h"

#include <atomic>
#include <csignal>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace quillane::platform {

namespace {

std::atomic<int> g_stop = 0;

// Ctrl+C and Ctrl+Break ask for a stop; closing the console or ending the session asks too,
// as SIGTERM does elsewhere. A second request is left to the system, which ends the program.
BOOL WINAPI onConsoleEvent(DWORD event) {
    const int signal = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    int none = 0;
    return g_stop.compare_exchange_strong(none, signal) ? TRUE : FALSE;
}

} // namespace

StopRequests::StopRequests() {
    g_stop = 0;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopRequests::~StopRequests() {
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

int StopRequests::pending() {
    return g_stop;
}

void StopRequests::request(int signal) {
    g_stop = signal;
}

QString StopRequests::name(int signal) {
    return signal == SIGINT    ? QStringLiteral("Ctrl+C")
           : signal == SIGTERM ? QStringLiteral("closing the console")
                               : QStringLiteral("signal %1").arg(signal);
}

bool isTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

} // namespace quillane::platform
