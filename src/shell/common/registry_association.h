// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/registry_port.h"

#include <string>

namespace quillane::shell {

// Writes the extension and class keys of both file types under
// HKEY_CLASSES_ROOT for the program `<folder>\<name>.exe`. Every failing step is
// passed over; a step whose key could not be created writes nothing.
void associateFilesInRegistry(RegistryPort& registry, const std::string& folder,
                              const std::string& name);

// A Windows program path split the way the registration uses it: the folder
// without a trailing backslash and the file name without its extension.
struct WindowsProgramLocation {
    std::string folder;
    std::string name;
};
WindowsProgramLocation splitWindowsProgramPath(const std::string& path);

} // namespace quillane::shell
