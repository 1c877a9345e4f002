// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/registry_association.h"

#include "common/file_types.h"

namespace quillane::shell {

namespace {

struct FileType {
    const char* extension;
    const char* description;
    const char* option;
};

constexpr FileType kFileTypes[] = {
    {kDocumentExtension, kDocumentDescription, "/H:"},
    {kTemplateExtension, kTemplateDescription, "/T:"},
};

// Creates or opens `subKey` below `parent`; 0 when it could not (or the parent
// itself is missing), so that nothing is written into a key that is not there.
RegHandle createKey(RegistryPort& registry, RegHandle parent, const std::string& subKey) {
    if (parent == 0) {
        return 0;
    }
    RegHandle key = 0;
    if (registry.createKeyEx(parent, subKey, kRegOptionNonVolatile, kKeyAllAccessMask, key) !=
        kErrorSuccess) {
        return 0;
    }
    return key;
}

void setDefaultValue(RegistryPort& registry, RegHandle key, const std::string& text) {
    if (key != 0) {
        registry.setValue(key, "", kRegSz, text);
    }
}

void closeKey(RegistryPort& registry, RegHandle key) {
    if (key != 0) {
        registry.closeKey(key);
    }
}

void registerFileType(RegistryPort& registry, const FileType& type, const std::string& program) {
    RegHandle top = createKey(registry, kHkeyClassesRoot, type.extension);
    setDefaultValue(registry, top, type.description);
    closeKey(registry, top);

    top = createKey(registry, kHkeyClassesRoot, type.description);
    setDefaultValue(registry, top, type.description);

    RegHandle second = createKey(registry, top, "DefaultIcon");
    setDefaultValue(registry, second, program + ",0");
    closeKey(registry, second);

    second = createKey(registry, top, "Shell");
    const RegHandle open = createKey(registry, second, "Open");
    const RegHandle command = createKey(registry, open, "Command");
    setDefaultValue(registry, command, "\"" + program + "\" " + type.option + "%1");

    closeKey(registry, command);
    closeKey(registry, open);
    closeKey(registry, second);
    closeKey(registry, top);
}

} // namespace

void associateFilesInRegistry(RegistryPort& registry, const std::string& folder,
                              const std::string& name) {
    try {
        const std::string program = folder + "\\" + name + ".exe";
        for (const FileType& type : kFileTypes) {
            registerFileType(registry, type, program);
        }
    } catch (...) {
        // Registration is best effort; the caller reports completion regardless.
    }
}

WindowsProgramLocation splitWindowsProgramPath(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    WindowsProgramLocation location;
    std::string file;
    if (slash == std::string::npos) {
        file = path;
    } else {
        location.folder = path.substr(0, slash);
        file = path.substr(slash + 1);
    }
    const std::size_t dot = file.rfind('.');
    location.name = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    return location;
}

} // namespace quillane::shell
