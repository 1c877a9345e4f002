// SPDX-License-Identifier: GPL-3.0-or-later
#include "freedesktop/processes.h"

#include "common/processes.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillane::shell {

extern "C" char** environ;

namespace {

pid_t waitFor(pid_t child, int& status) {
    pid_t result;
    do {
        result = waitpid(child, &status, 0);
    } while (result < 0 && errno == EINTR);
    return result;
}

// Between fork and exec only async-signal-safe calls are allowed: the program
// that calls us (a Qt application) has other threads.
[[noreturn]] void execInChild(const char* path, char* const argv[], int errorPipe) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(path, argv, environ);
    const int error = errno;
    if (errorPipe >= 0) {
        [[maybe_unused]] const ssize_t written = write(errorPipe, &error, sizeof error);
    }
    _exit(127);
}

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

} // namespace

bool startDetached(const std::string& programPath) {
    if (programPath.empty()) {
        return false;
    }
    // Reports from the grandchild: nothing (closed on exec) means it started.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    std::string path = programPath;
    char* argv[] = {path.data(), nullptr};

    const pid_t middle = fork();
    if (middle < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (middle == 0) {
        // The middle process starts a new session, forks the program and leaves
        // at once, so the program is adopted by init and we only reap `middle`.
        close(report[0]);
        setsid();
        const pid_t program = fork();
        if (program < 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t written = write(report[1], &error, sizeof error);
            _exit(1);
        }
        if (program == 0) {
            execInChild(path.c_str(), argv, report[1]);
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    waitFor(middle, status);

    int error = 0;
    ssize_t got;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    return got == 0;
}

bool runQuietly(const std::string& programPath, const std::vector<std::string>& arguments) {
    std::vector<std::string> texts;
    texts.push_back(programPath);
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) {
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(devNull);
        return false;
    }
    if (child == 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execInChild(programPath.c_str(), argv.data(), -1);
    }
    close(devNull);
    int status = 0;
    if (waitFor(child, status) != child) {
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string findProgramOnPath(const std::string& name, const std::string& searchPath) {
    if (name.empty() || name.find('/') != std::string::npos) {
        return "";
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) {
            end = searchPath.size();
        }
        const std::string folder = searchPath.substr(start, end - start);
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = folder + (folder.back() == '/' ? "" : "/") + name;
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return "";
}

std::string runningProgramPath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0) {
            return "";
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        if (buffer.size() >= (1u << 20)) {
            return "";
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace quillane::shell
