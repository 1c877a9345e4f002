// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/system_info.h"

#include "common/registry_system_info.h"
#include "windows/windows_registry.h"

#include <windows.h>

namespace quillane::shell {

namespace {

// A file that a plain name search with normal attributes finds: not a folder,
// not hidden, not a system file.
class SystemFileProbe : public FileProbe {
public:
    bool fileExists(const std::string& path) override {
        if (path.empty()) {
            return false;
        }
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return false;
        }
        return (attributes &
                (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
    }
};

} // namespace

bool StartSysInfo() {
    WindowsRegistry registry;
    SystemFileProbe files;
    DetachedLauncher launcher;
    return StartSysInfo(registry, files, launcher);
}

} // namespace quillane::shell
