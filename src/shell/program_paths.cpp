#include "shell/program_paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <vector>

namespace quillane::shell {

std::string runningProgramPath() {
#ifdef _WIN32
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
#else
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
#endif
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
