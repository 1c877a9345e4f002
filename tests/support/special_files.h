#pragma once

// Files that are not plain files, made inside a test's own folder, and a picture of a folder
// that shows whether anything in it changed.

#include <QDirIterator>
#include <QFile>
#include <QString>
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

inline bool makeFifo(const QString& path) {
    return ::mkfifo(fsName(path).constData(), 0600) == 0;
}

inline bool makeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = fsName(path);
    if (fd < 0 || size_t(name.size()) >= sizeof addr.sun_path) return false;
    std::copy(name.begin(), name.end(), addr.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return bound;
}

// A null device of its own (only root can make one).
inline bool makeDevice(const QString& path) {
    return ::mknod(fsName(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

// Every entry under a folder, with its kind, mode, links, link target and content (the size
// alone for a file over 1 MiB).
inline std::map<std::string, std::string> snapshot(const QString& folder) {
    std::map<std::string, std::string> all;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        ::lstat(fsName(path).constData(), &st);
        QByteArray d = QByteArray::number(st.st_mode, 8) + ' ' + QByteArray::number(st.st_nlink);
        if (S_ISLNK(st.st_mode)) d += " -> " + fsName(QFile::symLinkTarget(path));
        if (S_ISREG(st.st_mode) && st.st_size > (1 << 20))
            d += " size " + QByteArray::number(qint64(st.st_size));
        else if (S_ISREG(st.st_mode)) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly)) d += ' ' + f.readAll();
        }
        all[path.mid(folder.size()).toStdString()] = d.toStdString();
    }
    return all;
}

} // namespace quillane::test
