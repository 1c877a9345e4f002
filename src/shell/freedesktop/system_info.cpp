// SPDX-License-Identifier: GPL-3.0-or-later
#include "freedesktop/system_info.h"

#include "freedesktop/processes.h"
#include "shell/system_info.h"

#include <cstdlib>

namespace quillane::shell {

bool StartSysInfo(const std::string& searchPath, ProgramLauncher& launcher) {
    // In order of preference.
    const char* const programs[] = {
        "hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor", "mate-system-monitor",
    };
    try {
        for (const char* name : programs) {
            const std::string path = findProgramOnPath(name, searchPath);
            if (!path.empty() && launcher.start(path)) {
                return true;
            }
        }
    } catch (...) {
    }
    return false;
}

bool StartSysInfo() {
    const char* searchPath = std::getenv("PATH");
    DetachedLauncher launcher;
    return StartSysInfo(searchPath != nullptr ? searchPath : "", launcher);
}

} // namespace quillane::shell
