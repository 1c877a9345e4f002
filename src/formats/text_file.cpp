#include "formats/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillane {

namespace {

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
    case ENOSPC:
        return {61, QStringLiteral("Disk full")};
    default:
        return {75, QStringLiteral("Path/File access error: ") +
                        QString::fromLocal8Bit(std::strerror(err))};
    }
}
#endif

FileError qtFileError(const QFileDevice& f) {
    switch (f.error()) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError:
    default:
        return {75, f.errorString()};
    }
}

} // namespace

bool readFileBytes(const QString& path, QByteArray& bytes, FileError& error) {
    if (path.isEmpty()) {
        error = {53, QStringLiteral("File not found")};
        return false;
    }
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errnoError(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = errnoError(S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return false;
    }
    bytes.resize(S_ISREG(st.st_mode) ? qsizetype(st.st_size) : 0);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) bytes.resize(got + 65536 > 2 * got ? got + 65536 : 2 * got);
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errnoError(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(got);
    return true;
#else
    if (QFileInfo(path).isDir()) {
        error = {75, QStringLiteral("Path/File access error: it is a folder")};
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.exists() ? FileError{75, f.errorString()}
                           : FileError{53, QStringLiteral("File not found")};
        return false;
    }
    bytes = f.readAll();
    return true;
#endif
}

bool fileSignature(const QString& path, FileSignature& sig) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return false;
    sig.device = quint64(st.st_dev);
    sig.inode = quint64(st.st_ino);
    sig.size = quint64(st.st_size);
    sig.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    sig.changedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return true;
#else
    Q_UNUSED(path);
    Q_UNUSED(sig);
    return false;
#endif
}

bool saveFileAtomically(const QString& path, const QByteArray& bytes, FileError& error) {
    if (path.isEmpty()) {
        error = {75, QStringLiteral("No file name was given")};
        return false;
    }
    if (QFileInfo(path).isDir()) {
        error = {75, QStringLiteral("It is a folder")};
        return false;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        error = qtFileError(f);
        return false;
    }
    if (f.write(bytes) != bytes.size()) {
        error = qtFileError(f);
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        error = qtFileError(f);
        return false;
    }
    return true;
}

bool writeFileQuickly(const QString& path, const QByteArray& bytes, FileError& error) {
    if (path.isEmpty()) {
        error = {75, QStringLiteral("No file name was given")};
        return false;
    }
#ifdef Q_OS_UNIX
    static std::atomic<unsigned> counter{0};
    const QByteArray target = QFile::encodeName(path);
    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode)) {
        error = errnoError(EISDIR);
        return false;
    }
    const QByteArray temp = target + ".~" + QByteArray::number(::getpid()) + '-' +
                            QByteArray::number(counter.fetch_add(1)) + ".tmp";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        // Creating a file fails with "not found" only when its folder is missing.
        error = errno == ENOENT
                    ? FileError{76, QStringLiteral("Path not found: the folder does not exist")}
                    : errnoError(errno);
        return false;
    }
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errnoError(errno);
            ::close(fd);
            ::unlink(temp.constData());
            return false;
        }
        p += n;
        left -= n;
    }
    // A replaced page keeps the permissions it had.
    if (existed) ::fchmod(fd, old.st_mode & 07777);
    if (::close(fd) != 0 || ::rename(temp.constData(), target.constData()) != 0) {
        error = errnoError(errno);
        ::unlink(temp.constData());
        return false;
    }
    return true;
#else
    return saveFileAtomically(path, bytes, error);
#endif
}

} // namespace quillane
