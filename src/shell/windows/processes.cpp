// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/processes.h"

#include <vector>
#include <windows.h>

namespace quillane::shell {

std::string runningProgramPath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return "";
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        if (buffer.size() >= 32768) {
            return "";
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool startDetached(const std::string& programPath) {
    if (programPath.empty()) {
        return false;
    }
    // The application name is given separately and the command line quoted, so
    // a path with spaces can never start "C:\Program.exe" instead.
    std::string commandLine = "\"" + programPath + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace quillane::shell
