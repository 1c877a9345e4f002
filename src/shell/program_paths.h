#pragma once

#include <string>

namespace quillane::shell {

// The full path of the running program's file as the system reports it
// (/proc/self/exe, or the module file name on Windows); "" when it cannot tell.
std::string runningProgramPath();

// A Windows program path split the way the file-type registration uses it:
// the folder without a trailing backslash and the file name without its extension.
struct WindowsProgramLocation {
    std::string folder;
    std::string name;
};
WindowsProgramLocation splitWindowsProgramPath(const std::string& path);

} // namespace quillane::shell
