// SPDX-License-Identifier: GPL-3.0-or-later
#include "freedesktop/file_system.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillane::shell {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Where the bytes really go: the target of a symbolic link, else the path itself.
std::string resolvedTarget(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

// Through a temporary file in the same folder and a rename.
bool writeFileAtomically(const std::string& target, const std::string& content) {
    // Reading the umask means changing it for a moment, which would race with
    // other threads creating files; desktop files are world-readable anyway.
    mode_t mode = 0644;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        mode = info.st_mode & 07777;
    }

    std::string temporary = target + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    FileDescriptor file(::mkostemp(name.data(), O_CLOEXEC));
    if (file.get() < 0) {
        return false;
    }
    temporary.assign(name.data());
    const bool written = writeAll(file.get(), content) && ::fchmod(file.get(), mode) == 0 &&
                         ::fsync(file.get()) == 0;
    if (!file.close() || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

ReadOutcome readWholeFile(const std::string& path, std::string& content) {
    content.clear();
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    }
    char chunk[8192];
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got == 0) {
            return ReadOutcome::Read;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            content.clear();
            return ReadOutcome::Failed;
        }
        content.append(chunk, static_cast<std::size_t>(got));
    }
}

bool makeFolders(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::size_t position = 1;
    for (;;) {
        const std::size_t slash = path.find('/', position);
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
        position = slash + 1;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool writeDesktopFile(const std::string& path, const std::string& content) {
    const std::string target = resolvedTarget(path);
    std::string existing;
    if (readWholeFile(target, existing) == ReadOutcome::Read && existing == content) {
        return true;
    }
    // Every desktop file is written by this one call.
    return writeFileAtomically(target, content);
}

} // namespace quillane::shell
