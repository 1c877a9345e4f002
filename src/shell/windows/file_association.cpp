// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/file_association.h"

#include "common/processes.h"
#include "common/registry_association.h"
#include "windows/windows_registry.h"

namespace quillane::shell {

void AssociateFiles() {
    try {
        const std::string program = runningProgramPath();
        if (program.empty()) {
            return;
        }
        const WindowsProgramLocation location = splitWindowsProgramPath(program);
        WindowsRegistry registry;
        associateFilesInRegistry(registry, location.folder, location.name);
    } catch (...) {
    }
}

} // namespace quillane::shell
