// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Files for the tests: literal file contents, files written and read back, files that are not
// plain files (made inside a test's own folder), and a picture of a folder that shows whether
// anything in it changed.

#include "formats/message.h"
#include "formats/section_table.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <map>
#include <ostream>
#include <string>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace quillane::test {

// Whether the program was built with its preview server (Qt HTTP Server was there).
#ifdef QUILLANE_NO_SERVER
inline constexpr bool kPreviewServer = false;
#else
inline constexpr bool kPreviewServer = true;
#endif

// A path as messages show it: with the system's separators (backslashes on Windows).
inline QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Lines joined with CR LF, each one ended by it.
inline QByteArray crlf(std::initializer_list<const char*> lines) {
    QByteArray out;
    for (const char* l : lines)
        out += QByteArray(l) + "\r\n";
    return out;
}
// The same from "line|line|line", in UTF-8.
inline QByteArray lines(const QString& barred) {
    QByteArray out;
    for (const QString& l : barred.split(u'|'))
        out += l.toUtf8() + "\r\n";
    return out;
}

// The worked template: "Plain page", an editable body and a two-line footer.
inline const QByteArray kPlainPage =
    lines("#QT1#|Plain page|#DEFAULTHTML#|<h1>::title::</h1>|::body::|::footer::|#ENDDEFAULTHTML#|"
          "#STARTSECTION#|body| 1 |<p>Text</p>|#STARTSECTION#|footer| 0 |<hr>|<p>Contact</p>|"
          "#STARTSECTION#");

// Slots 1..N as "name,flag,html;...".
inline QString dump(const SectionTable& t) {
    QStringList out;
    for (int slot = 1; slot <= t.lastSlot(); ++slot)
        out << t.SectionNames[slot] + u',' + QString::number(t.SectionEditable[size_t(slot)]) +
                   u',' + t.SectionHtml[slot];
    return out.join(u';');
}

// What the user sees of a message, on one line: "text | title | icon | buttons".
inline QString describe(const Message& m) {
    const char* icons[] = {"no icon", "critical", "exclamation", "question", "information"};
    const char* buttons[] = {"OK", "Yes/No", "Yes/No/Cancel"};
    return QStringList{m.text, m.title, icons[int(m.icon)],
                       m.captions.isEmpty() ? buttons[int(m.buttons)] : m.captions.join(u'/')}
        .join(" | ");
}

inline QString parseError(const QString& path, const QString& description, int number) {
    return "Error parsing file '" + path + "':\r\n" + description + " (" + QString::number(number) +
           ")";
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return path;
}

inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray fsName(const QString& path) {
    return QFile::encodeName(path);
}

// Puts `from` in place of `to` in one step, as an editor's save by rename does.
inline bool renameOver(const QString& from, const QString& to) {
#ifdef _WIN32
    return MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()),
                       reinterpret_cast<const wchar_t*>(to.utf16()), MOVEFILE_REPLACE_EXISTING);
#else
    return ::rename(fsName(from).constData(), fsName(to).constData()) == 0;
#endif
}

#ifdef _WIN32
// Wine, which runs the Windows tests on Linux, and differs from Windows in a few places.
inline bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// What a snapshot says of an entry before its content: kind and attributes.
inline QByteArray entryFacts(const QString& path, bool& regular, qint64& size) {
    const QFileInfo info(path);
    regular = info.isFile();
    size = info.size();
    return QByteArray::number(int(info.permissions()), 16) + (info.isDir() ? " d " : " f ");
}
#else
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

// What a snapshot says of an entry before its content: kind and mode, links, link target.
inline QByteArray entryFacts(const QString& path, bool& regular, qint64& size) {
    struct stat st {};
    ::lstat(fsName(path).constData(), &st);
    regular = S_ISREG(st.st_mode);
    size = st.st_size;
    return QByteArray::number(st.st_mode, 8) + ' ' + QByteArray::number(st.st_nlink) + ' ' +
           fsName(QFile::symLinkTarget(path)) + ' ';
}
#endif

// Every entry under a folder: its facts and content (or the size alone over 1 MiB).
inline std::map<std::string, std::string> snapshot(const QString& folder) {
    std::map<std::string, std::string> all;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        bool regular = false;
        qint64 size = 0;
        QByteArray d = entryFacts(path, regular, size);
        QFile f(path);
        if (regular && size <= (1 << 20) && f.open(QIODevice::ReadOnly))
            d += f.readAll();
        else
            d += QByteArray::number(size);
        all[path.mid(folder.size()).toStdString()] = d.toStdString();
    }
    return all;
}

} // namespace quillane::test

// Failures show texts rather than pointers. A template, so that a test's own PrintTo wins.
template <typename = void> void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
