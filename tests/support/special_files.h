#pragma once

// Files that are not plain files, made inside a test's own folder, and a picture of a folder
// that shows whether anything in it changed.

#include <QDirIterator>
#include <QFile>
#include <map>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillane::test {

inline QByteArray fsName(const QString& path) {
    return QFile::encodeName(path);
}

// A named pipe and a socket; a null device of its own only for root.
inline bool makeFifoAndSocket(const QString& fifo, const QString& socket) {
    sockaddr_un addr{AF_UNIX, {}};
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    qstrncpy(addr.sun_path, fsName(socket).constData(), sizeof addr.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return bound && ::mkfifo(fsName(fifo).constData(), 0600) == 0;
}
inline bool makeDevice(const QString& path) {
    return ::mknod(fsName(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

// Every entry under a folder: kind and mode, links, link target, content (or the size alone
// over 1 MiB).
inline std::map<std::string, std::string> snapshot(const QString& folder) {
    std::map<std::string, std::string> all;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        ::lstat(fsName(path).constData(), &st);
        QFile f(path);
        QByteArray d = QByteArray::number(st.st_mode, 8) + ' ' + QByteArray::number(st.st_nlink) +
                       ' ' + fsName(QFile::symLinkTarget(path)) + ' ';
        if (S_ISREG(st.st_mode) && st.st_size <= (1 << 20) && f.open(QIODevice::ReadOnly))
            d += f.readAll();
        else
            d += QByteArray::number(qint64(st.st_size));
        all[path.mid(folder.size()).toStdString()] = d.toStdString();
    }
    return all;
}

} // namespace quillane::test
