// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console.h"

#include <csignal>
#include <unistd.h>

namespace quillane::platform {

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void onStopSignal(int signal) {
    g_stop = signal;
}

constexpr int kStopSignals[2] = {SIGINT, SIGTERM};
struct sigaction g_old[2]{};
struct sigaction g_oldPipe {};

} // namespace

StopRequests::StopRequests() {
    g_stop = 0;
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    // The handler goes at once, so that a second signal ends the program.
    stop.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int i = 0; i < 2; ++i) {
        ::sigaction(kStopSignals[i], nullptr, &g_old[i]);
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        if (g_old[i].sa_handler != SIG_IGN) ::sigaction(kStopSignals[i], &stop, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &g_oldPipe);
}

StopRequests::~StopRequests() {
    for (int i = 0; i < 2; ++i)
        ::sigaction(kStopSignals[i], &g_old[i], nullptr);
    ::sigaction(SIGPIPE, &g_oldPipe, nullptr);
}

int StopRequests::pending() {
    return g_stop;
}

void StopRequests::request(int signal) {
    g_stop = signal;
}

QString StopRequests::name(int signal) {
    return signal == SIGINT    ? QStringLiteral("SIGINT")
           : signal == SIGTERM ? QStringLiteral("SIGTERM")
                               : QStringLiteral("signal %1").arg(signal);
}

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

QStringList programArguments(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

void leaveOwnConsole() {}

} // namespace quillane::platform
