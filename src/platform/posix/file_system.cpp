// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_system.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillane::platform {

namespace {

SystemError fromErrno(int err) {
    switch (err) {
    case ENOENT:
        return {Failure::NotFound, {}};
    case EACCES:
    case EPERM:
        return {Failure::PermissionDenied, {}};
    case EISDIR:
        return {Failure::IsFolder, {}};
    case ENOTDIR:
        return {Failure::NotFolder, {}};
    case ENOSPC:
        return {Failure::NoSpace, {}};
    case EDQUOT:
        return {Failure::QuotaExceeded, {}};
    case EROFS:
        return {Failure::ReadOnlyFileSystem, {}};
    case ENAMETOOLONG:
        return {Failure::NameTooLong, {}};
    case ENOMEM:
        return {Failure::OutOfMemory, {}};
    default:
        return {Failure::Other, QString::fromLocal8Bit(std::strerror(err))};
    }
}

bool failed(SystemError& error, int err) {
    error = fromErrno(err);
    return false;
}

FileKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Folder;
    if (S_ISLNK(mode)) return FileKind::Link;
    if (S_ISFIFO(mode)) return FileKind::Fifo;
    if (S_ISSOCK(mode)) return FileKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
    return FileKind::Other;
}

// What every look needs to know about this process, asked once.
struct ProcessFacts {
    pid_t pid = ::getpid();
    uid_t euid = ::geteuid();
    gid_t egid = ::getegid();
    mode_t umask = 0;
    std::vector<gid_t> groups;
    ProcessFacts() {
        umask = ::umask(022); // the only way to learn it is to set it
        ::umask(umask);
        const int n = ::getgroups(0, nullptr);
        groups.resize(size_t(std::max(n, 0)));
        if (n > 0 && ::getgroups(n, groups.data()) != n) groups.clear();
    }
};
const ProcessFacts& process() {
    static const ProcessFacts p;
    return p;
}

// As access() would judge by the bits, except that root is held to them too.
bool writableByMode(const struct stat& st) {
    const ProcessFacts& p = process();
    if (p.euid == 0) return (st.st_mode & 0222) != 0;
    if (st.st_uid == p.euid) return (st.st_mode & S_IWUSR) != 0;
    if (st.st_gid == p.egid ||
        std::find(p.groups.begin(), p.groups.end(), st.st_gid) != p.groups.end())
        return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

FileFacts factsOf(const struct stat& st) {
    FileFacts f;
    f.kind = kindOf(st.st_mode);
    f.size = qint64(st.st_size);
    f.device = quint64(st.st_dev);
    f.inode = quint64(st.st_ino);
    f.mode = quint32(st.st_mode & 07777);
    f.uid = quint32(st.st_uid);
    f.gid = quint32(st.st_gid);
    f.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    f.changedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    f.writable = writableByMode(st);
    return f;
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

std::atomic<unsigned> g_counter = 0;

} // namespace

QByteArray encodePath(const QString& path) {
    return QFile::encodeName(path);
}

QString decodePath(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString sameFileKey(const QString& path) {
    return path;
}

bool lookAt(const QByteArray& path, bool followLinks, FileFacts& facts, SystemError& error) {
    struct stat st {};
    if ((followLinks ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) != 0) {
        if (errno != ENOENT) return failed(error, errno);
        facts = FileFacts();
        return true;
    }
    facts = factsOf(st);
    return true;
}

bool readRegularFile(const QByteArray& path, qint64 limit, QByteArray& bytes, FileFacts& seen,
                     SystemError& error) {
    // Looked at before it is opened: a device, named pipe or socket is never opened at all.
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) return failed(error, errno);
    seen = factsOf(st);
    if (!S_ISREG(st.st_mode)) {
        error = {S_ISDIR(st.st_mode) ? Failure::IsFolder : Failure::NotAFile, {}};
        return false;
    }
    if (st.st_size > limit) {
        error = {Failure::TooLarge, {}};
        return false;
    }
    // Should it be swapped for something else meanwhile, the open still does not wait and the
    // read still stops at the limit.
    Fd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.fd < 0) return failed(error, errno);
    // The size it had is what is read; only a file that claims to be empty is read to its end
    // (some system files do).
    const qsizetype want = st.st_size > 0 ? qsizetype(st.st_size) : qsizetype(limit) + 1;
    bytes.resize(std::min<qsizetype>(want, std::max<qsizetype>(qsizetype(st.st_size), 65536)));
    qsizetype got = 0;
    while (got < want) {
        if (got == bytes.size()) bytes.resize(std::min(want, 2 * got));
        const ssize_t n = ::read(fd.fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                seen.kind = FileKind::Fifo;
                error = {Failure::NotAFile, {}};
                return false;
            }
            return failed(error, errno);
        }
        if (n == 0) break;
        got += n;
    }
    if (got > limit) {
        error = {Failure::TooLarge, {}};
        return false;
    }
    bytes.truncate(got);
    return true;
}

bool readStart(const QByteArray& path, qsizetype count, QByteArray& bytes, SystemError& error) {
    Fd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (fd.fd < 0) return failed(error, errno);
    bytes.resize(count);
    qsizetype got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd.fd, bytes.data() + got, size_t(count - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed(error, errno);
        if (n == 0) break;
        got += n;
    }
    bytes.truncate(got);
    return true;
}

bool resolveLinks(const QByteArray& path, QByteArray& real, SystemError& error) {
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved) {
        if (errno == ENOENT) {
            error = {Failure::DanglingLink, {}};
            return false;
        }
        return failed(error, errno);
    }
    real = resolved;
    std::free(resolved);
    return true;
}

NewFile::NewFile(NewFile&& other) noexcept
    : m_path(std::exchange(other.m_path, {})), m_handle(std::exchange(other.m_handle, -1)),
      m_unnamed(std::exchange(other.m_unnamed, false)) {}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_path = std::exchange(other.m_path, {});
        m_handle = std::exchange(other.m_handle, -1);
        m_unnamed = std::exchange(other.m_unnamed, false);
    }
    return *this;
}

NewFile::~NewFile() {
    discard();
}

namespace {

// Unnamed files are held open until they are put in place; a batch that has many of them in
// flight keeps to this many, and names the others.
constexpr int kMaxUnnamed = 256;
std::atomic<int> g_unnamed = 0;

// An unnamed file is given its name through /proc; without it none is made.
bool unnamedFilesWork() {
#ifdef O_TMPFILE
    static const bool works = ::access("/proc/self/fd", X_OK) == 0;
    return works;
#else
    return false;
#endif
}

QByteArray handlePath(qintptr handle) {
    return "/proc/self/fd/" + QByteArray::number(qint64(handle));
}

} // namespace

bool NewFile::create(const QByteArray& folder, const FileFacts* replacing, SystemError& error) {
    discard();
    const ProcessFacts& p = process();
#ifdef O_TMPFILE
    if (!replacing && unnamedFilesWork() && g_unnamed.fetch_add(1) < kMaxUnnamed) {
        const int fd = ::open(folder.isEmpty() ? "." : folder.constData(),
                              O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_handle = fd;
            m_unnamed = true;
            return true;
        }
        --g_unnamed;
        // A file system without unnamed files (or a folder not there): a named one says why.
    } else if (!replacing && unnamedFilesWork()) {
        --g_unnamed;
    }
#endif
    const mode_t mode = replacing ? mode_t(replacing->mode) : 0666;
    int fd = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Short and independent of the target's name, so that any valid name can be built.
        m_path = folder + ".quillane-" + QByteArray::number(p.pid) + '-' +
                 QByteArray::number(g_counter++) + ".tmp";
        fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) break;
    }
    if (fd < 0) {
        m_path.clear();
        return failed(error, errno);
    }
    m_handle = fd;
    if (replacing && p.euid == 0 && (replacing->uid != p.euid || replacing->gid != p.egid) &&
        ::fchown(fd, uid_t(replacing->uid), gid_t(replacing->gid)) != 0)
        return failed(error, errno);
    // The umask may have taken bits away, and set-id bits are not given by open at all.
    if (replacing && ((mode & ~p.umask) != mode || (mode & 07000) != 0) && ::fchmod(fd, mode) != 0)
        return failed(error, errno);
    return true;
}

bool NewFile::write(const QByteArray& bytes, SystemError& error) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(int(m_handle), data, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return failed(error, errno);
        }
        data += n;
        left -= n;
    }
    return true;
}

bool NewFile::flushToDisk(SystemError& error) {
    return ::fsync(int(m_handle)) == 0 || failed(error, errno);
}

void NewFile::startWriteback() {
#ifdef SYNC_FILE_RANGE_WRITE
    // Replacing a file makes some file systems (ext4) send the new data to the disk first,
    // and wait. Started here, that happens away from the renames that follow one another.
    ::sync_file_range(int(m_handle), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool NewFile::close(SystemError& error) {
    if (m_unnamed) return true; // held open: it is all there is of the file
    const int fd = int(std::exchange(m_handle, -1));
    return fd < 0 || ::close(fd) == 0 || failed(error, errno);
}

bool NewFile::replace(const QByteArray& target, bool durable, SystemError& error) {
    if (m_unnamed) {
        // Named where it goes, in one step; should something have come there meanwhile, it is
        // replaced as a rename would, through a temporary name.
        const QByteArray handle = handlePath(m_handle);
        if (::linkat(AT_FDCWD, handle.constData(), AT_FDCWD, target.constData(),
                     AT_SYMLINK_FOLLOW) != 0) {
            if (errno != EEXIST) return failed(error, errno);
            const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
            m_path = folder + ".quillane-" + QByteArray::number(process().pid) + '-' +
                     QByteArray::number(g_counter++) + ".tmp";
            if (::linkat(AT_FDCWD, handle.constData(), AT_FDCWD, m_path.constData(),
                         AT_SYMLINK_FOLLOW) != 0) {
                m_path.clear();
                return failed(error, errno);
            }
            m_unnamed = false;
            --g_unnamed;
            return replace(target, durable, error);
        }
        m_unnamed = false;
        --g_unnamed;
        ::close(int(std::exchange(m_handle, -1)));
    } else {
        if (m_handle >= 0 && !close(error)) return false;
        if (::rename(m_path.constData(), target.constData()) != 0) return failed(error, errno);
        m_path.clear();
    }
    if (durable) {
        // The new name is on disk once its folder is.
        const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
        Fd dir(::open(folder.isEmpty() ? "." : folder.constData(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.fd >= 0) ::fsync(dir.fd);
    }
    return true;
}

void NewFile::discard() {
    if (m_unnamed) {
        m_unnamed = false;
        --g_unnamed;
    }
    if (m_handle >= 0) ::close(int(std::exchange(m_handle, -1)));
    if (!m_path.isEmpty()) ::unlink(std::exchange(m_path, {}).constData());
}

bool removeFile(const QByteArray& path) {
    return ::unlink(path.constData()) == 0;
}

bool listFolder(const QByteArray& folder, std::vector<FolderEntry>& entries, SystemError& error) {
    entries.clear();
    DIR* listing = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!listing) return failed(error, errno);
    const int fd = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        FolderEntry e;
        e.name = name;
        e.hidden = name[0] == '.';
        e.link = entry->d_type == DT_LNK;
        switch (entry->d_type) {
        case DT_REG:
            e.kind = FileKind::Regular;
            break;
        case DT_DIR:
            e.kind = FileKind::Folder;
            break;
        case DT_FIFO:
            e.kind = FileKind::Fifo;
            break;
        case DT_SOCK:
            e.kind = FileKind::Socket;
            break;
        case DT_CHR:
        case DT_BLK:
            e.kind = FileKind::Device;
            break;
        default: {
            // A link, or a file system that does not say: look, following links.
            struct stat st {};
            if (::fstatat(fd, name, &st, 0) == 0) {
                e.kind = kindOf(st.st_mode);
            } else {
                e.kind = FileKind::Missing;
            }
            if (entry->d_type == DT_UNKNOWN && ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                e.link = S_ISLNK(st.st_mode);
        }
        }
        entries.push_back(std::move(e));
    }
    ::closedir(listing);
    return true;
}

qint64 currentProcess() {
    return qint64(process().pid);
}

bool processRuns(qint64 pid) {
    if (pid <= 0 || pid != qint64(pid_t(pid))) return false;
    // Another user's process cannot be signalled, but it runs all the same.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

quint32 currentUser() {
    return quint32(process().euid);
}

} // namespace quillane::platform
