// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <new>
#include <optional>

#ifdef Q_OS_UNIX
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#else
#include <QSaveFile>
#endif

namespace quillane {

namespace {

const FileError kOutOfMemory{7, QStringLiteral("Out of memory")};

FileError tooLarge() {
    return {75,
            QStringLiteral("Path/File access error: the file is too large (the limit is %1 MiB)")
                .arg(kMaxReadBytes >> 20)};
}

FileError windowsPath(const char* verb) {
    return {76, QStringLiteral("Path not found: it is a Windows path, which this system cannot ") +
                    QLatin1String(verb)};
}

#ifdef Q_OS_UNIX

FileError errnoError(int err) {
    switch (err) {
    case ENOENT:
        return {53, QStringLiteral("File not found")};
    case EACCES:
    case EPERM:
        return {70, QStringLiteral("Permission denied")};
    case EISDIR:
        return {75, QStringLiteral("Path/File access error: it is a folder")};
    case ENOTDIR:
        return {76, QStringLiteral("Path not found: a part of the path is not a folder")};
    case ENOSPC:
        return {61, QStringLiteral("No space left on device")};
    case EDQUOT:
        return {61, QStringLiteral("Disk quota exceeded")};
    case EROFS:
        return {75, QStringLiteral("Path/File access error: the file system is read-only")};
    case ENAMETOOLONG:
        return {52, QStringLiteral("Bad file name or number: the name is too long")};
    case ENOMEM:
        return kOutOfMemory;
    default:
        return {75, QStringLiteral("Path/File access error: ") +
                        QString::fromLocal8Bit(std::strerror(err))};
    }
}

// What a path names when it is not a regular file.
FileError notAFile(mode_t mode) {
    if (S_ISDIR(mode)) return errnoError(EISDIR);
    const char* what = S_ISFIFO(mode)                   ? "a named pipe (FIFO)"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "a special file";
    return {75, QStringLiteral("Path/File access error: it is %1, not a file").arg(what)};
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
    int release() { return std::exchange(fd, -1); }
};

bool writeAll(int fd, const char* p, qsizetype left, off_t offset = -1) {
    while (left > 0) {
        const ssize_t n =
            offset < 0 ? ::write(fd, p, size_t(left)) : ::pwrite(fd, p, size_t(left), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= n;
        if (offset >= 0) offset += n;
    }
    return true;
}

#endif

} // namespace

bool isWindowsPath(const QString& path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    const auto letter = [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    };
    return (path.size() >= 3 && letter(path[0]) && path[1] == u':' &&
            (path[2] == u'\\' || path[2] == u'/')) ||
           path.startsWith(QLatin1String("\\\\"));
#endif
}

// --- Reading ---------------------------------------------------------------------------------

namespace {

#ifdef Q_OS_UNIX
FileSignature signatureOf(const struct stat& st) {
    FileSignature sig;
    sig.device = quint64(st.st_dev);
    sig.inode = quint64(st.st_ino);
    sig.size = quint64(st.st_size);
    sig.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    sig.changedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return sig;
}
#endif

bool readBounded(const QString& path, QByteArray& bytes, FileError& error, FileSignature* seen) {
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened: a device, named pipe or socket is never opened at all.
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        error = errnoError(errno);
        return false;
    }
    if (seen) *seen = signatureOf(st);
    if (!S_ISREG(st.st_mode)) {
        error = notAFile(st.st_mode);
        return false;
    }
    if (st.st_size > kMaxReadBytes) {
        error = tooLarge();
        return false;
    }
    // Should it be swapped for something else meanwhile, the open still does not wait and the
    // read still stops at the limit.
    Fd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.fd < 0) {
        error = errnoError(errno);
        return false;
    }
    // The size it had is what is read; only a file that claims to be empty is read to its end
    // (some system files do).
    const qsizetype want = st.st_size > 0 ? qsizetype(st.st_size) : kMaxReadBytes + 1;
    bytes.resize(std::min<qsizetype>(want, std::max<qsizetype>(qsizetype(st.st_size), 65536)));
    qsizetype got = 0;
    while (got < want) {
        if (got == bytes.size()) bytes.resize(std::min(want, 2 * got));
        const ssize_t n = ::read(fd.fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno == EAGAIN ? notAFile(S_IFIFO) : errnoError(errno);
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    if (got > kMaxReadBytes) {
        error = tooLarge();
        return false;
    }
    bytes.truncate(got);
    return true;
#else
    Q_UNUSED(seen);
    const QFileInfo info(path);
    if (info.isDir()) {
        error = {75, QStringLiteral("Path/File access error: it is a folder")};
        return false;
    }
    if (info.size() > kMaxReadBytes) {
        error = tooLarge();
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.exists() ? FileError{75, f.errorString()}
                           : FileError{53, QStringLiteral("File not found")};
        return false;
    }
    bytes = f.read(kMaxReadBytes + 1);
    if (bytes.size() > kMaxReadBytes) {
        error = tooLarge();
        return false;
    }
    return true;
#endif
}

} // namespace

bool readFileBytes(const QString& path, QByteArray& bytes, FileError& error) {
    return readFileBytes(path, bytes, error, nullptr);
}

bool readFileBytes(const QString& path, QByteArray& bytes, FileError& error, FileSignature* seen) {
    if (path.isEmpty()) {
        error = {53, QStringLiteral("File not found")};
        return false;
    }
    if (isWindowsPath(path)) {
        error = windowsPath("read");
        return false;
    }
    try {
        if (readBounded(path, bytes, error, seen)) return true;
    } catch (const std::bad_alloc&) {
        error = kOutOfMemory;
    }
    bytes = QByteArray();
    return false;
}

bool fileSignature(const QString& path, FileSignature& sig) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    sig = signatureOf(st);
    return S_ISREG(st.st_mode);
#else
    Q_UNUSED(path);
    Q_UNUSED(sig);
    return false;
#endif
}

// --- Writing ---------------------------------------------------------------------------------

namespace {

// Why a file that starts like this must not be replaced by a page, or nullptr.
const char* magicReason(QByteArrayView head) {
    if (head.startsWith("\xEF\xBB\xBF")) head = head.sliced(3);
    if (head.startsWith("#QT1#")) return "it is a template, not a page";
    if (head.startsWith("#QH1#")) return "it is a templated document, not a page";
    return nullptr;
}
constexpr qsizetype kMagicBytes = 8; // a byte-order mark and a magic

#ifdef Q_OS_UNIX

// What every write needs to know about this process, asked once.
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
const ProcessFacts& facts() {
    static const ProcessFacts f;
    return f;
}

// Whether this process may write the file, by its mode bits alone (as access() would judge,
// except that root, who may write anything, is held to the bits too: no write bit at all is a
// read-only file to everyone).
bool writableByMode(const struct stat& st) {
    const ProcessFacts& p = facts();
    if (p.euid == 0) return (st.st_mode & 0222) != 0;
    if (st.st_uid == p.euid) return (st.st_mode & S_IWUSR) != 0;
    if (st.st_gid == p.egid ||
        std::find(p.groups.begin(), p.groups.end(), st.st_gid) != p.groups.end())
        return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

// Looks at what a write would replace, touching nothing.
class Planner {
public:
    Planner(const QByteArray& bytes, WriteMode mode, const std::vector<WriteGuard>& guards,
            const LinkCheck& linkCheck)
        : m_bytes(bytes), m_mode(mode), m_guards(guards), m_linkCheck(linkCheck) {}

    WritePlan run(QByteArray target) {
        struct stat st {};
        if (::lstat(target.constData(), &st) != 0) {
            if (errno != ENOENT) return fail(errnoError(errno));
            m_plan.target = target;
            m_plan.outcome = WriteOutcome::Written;
            return m_plan;
        }
        if (S_ISLNK(st.st_mode)) {
            if (m_linkCheck) {
                if (QString reason = m_linkCheck(QFile::decodeName(target)); !reason.isEmpty()) {
                    m_plan.linkRefusal = reason;
                    return fail({70, QStringLiteral("Permission denied: it ") + reason});
                }
            }
            // Written through: the file the link names is replaced in its own folder.
            char* real = ::realpath(target.constData(), nullptr);
            if (!real)
                return fail(
                    errno == ENOENT
                        ? FileError{75, QStringLiteral("Path/File access error: it is a "
                                                       "link to a file that does not exist")}
                        : errnoError(errno));
            target = real;
            std::free(real);
            if (::lstat(target.constData(), &st) != 0) return fail(errnoError(errno));
        }
        if (!S_ISREG(st.st_mode)) return fail(notAFile(st.st_mode));
        m_plan.target = target;
        m_plan.replaces = true;
        m_plan.device = quint64(st.st_dev);
        m_plan.inode = quint64(st.st_ino);
        m_plan.mode = quint32(st.st_mode);
        m_plan.uid = quint32(st.st_uid);
        m_plan.gid = quint32(st.st_gid);

        if (m_mode == WriteMode::Page) {
            bool same = false;
            QByteArray head;
            compare(target, st, same, head);
            if (same) {
                m_plan.outcome = WriteOutcome::Unchanged;
                return m_plan;
            }
            if (const char* reason = magicReason(head)) {
                // Which one it is, when it is one the caller named.
                for (const WriteGuard& g : m_guards) {
                    struct stat other {};
                    if (!g.path.isEmpty() &&
                        ::stat(QFile::encodeName(g.path).constData(), &other) == 0 &&
                        other.st_dev == st.st_dev && other.st_ino == st.st_ino)
                        return fail({70, QStringLiteral("Permission denied: ") + g.reason});
                }
                return fail({70, QStringLiteral("Permission denied: ") + QLatin1String(reason)});
            }
        }
        if (!writableByMode(st))
            return fail({70, QStringLiteral("Permission denied: the file is read-only")});
        m_plan.outcome = WriteOutcome::Written;
        return m_plan;
    }

private:
    WritePlan fail(const FileError& e) {
        m_plan.outcome = WriteOutcome::Failed;
        m_plan.error = e;
        return m_plan;
    }

    // Whether the file holds exactly the bytes to write, and its first bytes. A file that
    // cannot be read is taken as different.
    void compare(const QByteArray& target, const struct stat& st, bool& same, QByteArray& head) {
        const bool sameSize = st.st_size == m_bytes.size();
        if (!sameSize && st.st_size < 5) return; // too short to be a template or a document
        Fd fd(
            ::open(target.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
        if (fd.fd < 0) return;
        const qsizetype want = sameSize ? m_bytes.size() : kMagicBytes;
        QByteArray chunk(std::min<qsizetype>(want, 65536), Qt::Uninitialized);
        qsizetype got = 0;
        same = sameSize;
        while (got < want) {
            const ssize_t n =
                ::read(fd.fd, chunk.data(), size_t(std::min(chunk.size(), want - got)));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                same = false;
                break;
            }
            if (got == 0) head = chunk.left(std::min<qsizetype>(n, kMagicBytes));
            if (!sameSize) break;
            if (std::memcmp(chunk.constData(), m_bytes.constData() + got, size_t(n)) != 0) {
                same = false;
                break;
            }
            got += n;
        }
    }

    const QByteArray& m_bytes;
    WriteMode m_mode;
    const std::vector<WriteGuard>& m_guards;
    const LinkCheck& m_linkCheck;
    WritePlan m_plan;
};

// Does what a plan says.
class Writer {
public:
    Writer(const QByteArray& bytes, WriteMode mode, FileError& error)
        : m_bytes(bytes), m_mode(mode), m_error(error) {}

    WriteOutcome run(const WritePlan& plan) {
        if (plan.outcome != WriteOutcome::Written) {
            if (plan.outcome == WriteOutcome::Failed) m_error = plan.error;
            return plan.outcome;
        }
        if (!plan.staged.isEmpty()) return publish(plan.staged, plan.target);
        return replace(plan.target, plan);
    }

    void stageFor(WritePlan& plan) {
        if (plan.outcome != WriteOutcome::Written || !plan.staged.isEmpty()) return;
        QByteArray temp;
        if (stage(plan.target, plan, temp) == WriteOutcome::Written) {
            plan.staged = temp;
        } else {
            plan.outcome = WriteOutcome::Failed;
            plan.error = m_error;
        }
    }

private:
    WriteOutcome fail(const FileError& e) {
        m_error = e;
        return WriteOutcome::Failed;
    }

    // Writes the bytes into a new file beside the target and renames it over the target (or
    // into its place when there is none yet).
    WriteOutcome replace(const QByteArray& target, const WritePlan& old) {
        QByteArray temp;
        const WriteOutcome staged = stage(target, old, temp);
        return staged == WriteOutcome::Failed ? staged : publish(temp, target);
    }

    // The new file, complete and closed, beside the target under a temporary name.
    WriteOutcome stage(const QByteArray& target, const WritePlan& old, QByteArray& temp) {
        const ProcessFacts& p = facts();
        const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
        const mode_t mode = old.replaces ? (mode_t(old.mode) & 07777) : 0666;
        int fd = -1;
        for (int attempt = 0; attempt < 100; ++attempt) {
            // Short and independent of the target's name, so that any valid name can be built.
            temp = folder + ".quillane-" + QByteArray::number(p.pid) + '-' +
                   QByteArray::number(s_counter++) + ".tmp";
            fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        mode);
            if (fd >= 0 || errno != EEXIST) break;
        }
        if (fd < 0) return fail(cannotCreate(errno, target));
        Temporary cleanup{temp, fd};
        if (old.replaces && p.euid == 0 && (old.uid != p.euid || old.gid != p.egid) &&
            ::fchown(fd, uid_t(old.uid), gid_t(old.gid)) != 0)
            return fail(errnoError(errno));
        if (old.replaces && ((mode & ~p.umask) != mode || (mode & 07000) != 0) &&
            ::fchmod(fd, mode) != 0)
            return fail(errnoError(errno));
        if (!writeAll(fd, m_bytes.constData(), m_bytes.size()) ||
            (m_mode == WriteMode::Durable && ::fsync(fd) != 0))
            return fail(errnoError(errno));
#ifdef SYNC_FILE_RANGE_WRITE
        // Renaming over a file makes some file systems (ext4) send the new data to the disk
        // first, and wait. Started here, that happens while the page is still to be renamed,
        // away from the renames that must follow one another.
        if (m_mode == WriteMode::Page && old.replaces)
            ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
        cleanup.fd = -1;
        if (::close(fd) != 0) return fail(errnoError(errno));
        cleanup.path.clear();
        return WriteOutcome::Written;
    }

    // Renames the staged file over the target (or into its place when there is none yet).
    WriteOutcome publish(const QByteArray& temp, const QByteArray& target) {
        Temporary cleanup{temp, -1};
        if (::rename(temp.constData(), target.constData()) != 0)
            return fail(errno == EACCES || errno == EPERM ? cannotCreate(errno, target)
                                                          : errnoError(errno));
        cleanup.path.clear();
        if (m_mode == WriteMode::Durable) {
            // The rename itself is on disk once its folder is.
            const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
            Fd dir(::open(folder.isEmpty() ? "." : folder.constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (dir.fd >= 0) ::fsync(dir.fd);
        }
        return WriteOutcome::Written;
    }

    // No file can be made beside the target: a permission problem is the folder's.
    static FileError cannotCreate(int err, const QByteArray& target) {
        if (err == ENOENT) return {76, QStringLiteral("Path not found: the folder does not exist")};
        if (err != EACCES && err != EPERM) return errnoError(err);
        return {70, QStringLiteral("Permission denied: files cannot be created in the folder '") +
                        QFileInfo(QFile::decodeName(target)).absolutePath() + u'\''};
    }

    // Closes and removes the temporary file unless the write got through.
    struct Temporary {
        QByteArray path;
        int fd;
        ~Temporary() {
            if (fd >= 0) ::close(fd);
            if (!path.isEmpty()) ::unlink(path.constData());
        }
    };

    const QByteArray& m_bytes;
    WriteMode m_mode;
    FileError& m_error;
    static inline std::atomic<unsigned> s_counter = 0;
};

#endif

// Why the path cannot be written at all, before anything is looked at.
std::optional<FileError> unwritablePath(const QString& path) {
    if (path.isEmpty()) return FileError{75, QStringLiteral("No file name was given")};
    if (isWindowsPath(path)) return windowsPath("write");
    return std::nullopt;
}

} // namespace

WritePlan planWrite(const QString& path, const QByteArray& bytes, WriteMode mode,
                    const std::vector<WriteGuard>& guards, const LinkCheck& linkCheck) {
    WritePlan plan;
    if (const std::optional<FileError> e = unwritablePath(path)) {
        plan.error = *e;
        return plan;
    }
    try {
#ifdef Q_OS_UNIX
        return Planner(bytes, mode, guards, linkCheck).run(QFile::encodeName(path));
#else
        Q_UNUSED(guards);
        Q_UNUSED(linkCheck);
        plan.target = path.toUtf8();
        const QFileInfo info(path);
        if (info.isDir()) {
            plan.error = {75, QStringLiteral("Path/File access error: it is a folder")};
            return plan;
        }
        QFile old(path);
        if (mode == WriteMode::Page && info.size() == bytes.size() &&
            old.open(QIODevice::ReadOnly) && old.readAll() == bytes) {
            plan.outcome = WriteOutcome::Unchanged;
            return plan;
        }
        old.close();
        if (mode == WriteMode::Page && old.open(QIODevice::ReadOnly)) {
            if (const char* reason = magicReason(old.read(kMagicBytes))) {
                plan.error = {70, QStringLiteral("Permission denied: ") + QLatin1String(reason)};
                return plan;
            }
        }
        plan.outcome = WriteOutcome::Written;
        return plan;
#endif
    } catch (const std::bad_alloc&) {
        plan.outcome = WriteOutcome::Failed;
        plan.error = kOutOfMemory;
        return plan;
    }
}

WriteOutcome commitWrite(const WritePlan& plan, const QByteArray& bytes, WriteMode mode,
                         FileError& error) {
    try {
#ifdef Q_OS_UNIX
        return Writer(bytes, mode, error).run(plan);
#else
        Q_UNUSED(mode);
        if (plan.outcome != WriteOutcome::Written) {
            if (plan.outcome == WriteOutcome::Failed) error = plan.error;
            return plan.outcome;
        }
        QSaveFile f(QString::fromUtf8(plan.target));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
            error = {75, f.errorString()};
            return WriteOutcome::Failed;
        }
        return WriteOutcome::Written;
#endif
    } catch (const std::bad_alloc&) {
        error = kOutOfMemory;
        return WriteOutcome::Failed;
    }
}

void stageWrite(WritePlan& plan, const QByteArray& bytes, WriteMode mode) {
#ifdef Q_OS_UNIX
    FileError error;
    try {
        Writer(bytes, mode, error).stageFor(plan);
    } catch (const std::bad_alloc&) {
        plan.outcome = WriteOutcome::Failed;
        plan.error = kOutOfMemory;
    }
#else
    Q_UNUSED(plan);
    Q_UNUSED(bytes);
    Q_UNUSED(mode);
#endif
}

void discardStagedWrite(WritePlan& plan) {
#ifdef Q_OS_UNIX
    if (!plan.staged.isEmpty()) ::unlink(plan.staged.constData());
#endif
    plan.staged.clear();
}

WriteOutcome writeFileAtomically(const QString& path, const QByteArray& bytes, WriteMode mode,
                                 FileError& error, const std::vector<WriteGuard>& guards) {
    return commitWrite(planWrite(path, bytes, mode, guards), bytes, mode, error);
}

} // namespace quillane
