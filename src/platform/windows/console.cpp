// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console.h"

#include <atomic>
#include <csignal>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// (needs windows.h before it)
#include <shellapi.h>

namespace quillane::platform {

namespace {

std::atomic<int> g_stop = 0;

// Ctrl+C and Ctrl+Break ask for a stop; closing the console or ending the session ask too,
// as SIGTERM does elsewhere. A second request is left to the system, which ends the program.
BOOL WINAPI onConsoleEvent(DWORD event) {
    const int signal = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    int none = 0;
    if (!g_stop.compare_exchange_strong(none, signal)) return FALSE;
    // The system ends the program as soon as a close or log-off handler returns: the page
    // being written is given the time the system allows (five seconds) to be put in place.
    if (signal == SIGTERM) Sleep(4000);
    return TRUE;
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
    // _isatty is true for any character device, the NUL device included; only a console is a
    // person's.
    const HANDLE h = HANDLE(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

QStringList programArguments(int, char*[]) {
    QStringList args;
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list) return args;
    for (int i = 1; i < count; ++i)
        args.append(QString::fromWCharArray(list[i]));
    LocalFree(list);
    return args;
}

void leaveOwnConsole() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

} // namespace quillane::platform
