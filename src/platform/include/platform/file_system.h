// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few things the program asks of the file system, each in one call, so that the rules
// built on them (what may be read, what a page may replace, how a file is replaced) are
// written once for every system. Paths are bytes in the encoding of encodePath. One
// implementation per system, chosen by CMake.

#include <QByteArray>
#include <QString>
#include <vector>

namespace quillane::platform {

// A path as the calls below take it: the file system's own bytes where names are bytes
// (QFile::encodeName), UTF-8 where they are text (Windows).
QByteArray encodePath(const QString& path);
QString decodePath(const QByteArray& path);

// The same text for two absolute paths exactly when they name the same file as far as their
// spelling goes: Windows does not tell letters' case apart in names, POSIX does.
QString sameFileKey(const QString& path);

// Why a call failed, in the terms the program tells the user.
enum class Failure {
    None,
    NotFound,
    PermissionDenied,
    IsFolder,
    NotFolder,    // a part of the path is not a folder
    NotAFile,     // a device, named pipe, socket or other special file (FileFacts::kind says which)
    TooLarge,     // larger than the limit the caller gave
    DanglingLink, // a symbolic link to a file that does not exist
    NoSpace,
    QuotaExceeded,
    ReadOnlyFileSystem,
    NameTooLong,
    ReservedName, // a name the system keeps for devices (CON, NUL, COM1 on Windows)
    OutOfMemory,
    Other, // SystemError::text says what
};

struct SystemError {
    Failure failure = Failure::None;
    QString text; // the system's own description, for Other
};

enum class FileKind { Missing, Regular, Folder, Link, Fifo, Socket, Device, Other };

// One look at a file: what it is, and what identifies this version of it.
struct FileFacts {
    FileKind kind = FileKind::Missing;
    qint64 size = 0;
    quint64 device = 0, inode = 0; // 0, 0 where the system gives no identity
    quint32 mode = 0;              // permission bits (07777), where the system has them
    quint32 uid = 0, gid = 0;
    qint64 modifiedNs = 0, changedNs = 0;
    // Whether this process may write the file, by its permission bits alone: a file with no
    // write bit (or the read-only attribute) is read-only to everyone, root included.
    bool writable = false;
};

// Looks at what the path names, following symbolic links or not. Missing is no failure: the
// kind says so.
bool lookAt(const QByteArray& path, bool followLinks, FileFacts& facts, SystemError& error);

// Reads a regular file whole (links followed), at most `limit` bytes; anything else (a folder,
// device, named pipe, socket) is refused without being opened, and nothing ever waits. `seen`
// is what the file was when it was looked at, just before it was opened.
bool readRegularFile(const QByteArray& path, qint64 limit, QByteArray& bytes, FileFacts& seen,
                     SystemError& error);

// Up to `count` bytes from the start of the file at path, which is not followed when it is a
// symbolic link and never waited for; fewer when the file is shorter.
bool readStart(const QByteArray& path, qsizetype count, QByteArray& bytes, SystemError& error);

// The file a path finally names, every symbolic link on the way followed. A link to nothing
// fails with DanglingLink.
bool resolveLinks(const QByteArray& path, QByteArray& real, SystemError& error);

// A new file beside the one it will replace, under a temporary name of the program's own
// (".quillane-<process>-<number>.tmp"), written and then renamed over its target. Until then
// it is removed when it goes. A file that replaces nothing may have no name at all until it is
// put in place, where the system allows it (Linux): one directory entry made instead of three,
// and nothing left behind by a build that is killed.
class NewFile {
public:
    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    NewFile(NewFile&& other) noexcept;
    NewFile& operator=(NewFile&& other) noexcept;
    ~NewFile();

    // Creates it in `folder` (ending in the separator, or empty for the current folder). With
    // `replacing`, it gets that file's permission bits and, where this process may set them,
    // its owner and group; otherwise the system's defaults for a new file.
    bool create(const QByteArray& folder, const FileFacts* replacing, SystemError& error);
    bool write(const QByteArray& bytes, SystemError& error);
    // On the disk before it returns (the user's own files).
    bool flushToDisk(SystemError& error);
    // Starts sending it to the disk without waiting (pages that will replace others).
    void startWriteback();
    bool close(SystemError& error);
    // Puts it in place of target, replacing what is there; with `durable`, the new name is on
    // the disk too before it returns. On failure the file is removed and target is untouched.
    bool replace(const QByteArray& target, bool durable, SystemError& error);
    // Removes it (nothing when it was put in place).
    void discard();
    // Made and not yet in place or gone.
    bool exists() const { return m_handle != -1 || !m_path.isEmpty(); }

private:
    QByteArray m_path; // the temporary name; empty for a file without one
    qintptr m_handle = -1;
    bool m_unnamed = false; // its open handle is all there is of it
};

bool removeFile(const QByteArray& path);

// One entry of a folder, "." and ".." left out.
struct FolderEntry {
    QByteArray name;
    FileKind kind = FileKind::Other; // links followed; a dangling link is Missing
    bool link = false;               // the entry itself is a symbolic link
    bool hidden = false;             // a name starting with "." or the system's hidden mark
};
// The entries in the order the file system lists them.
bool listFolder(const QByteArray& folder, std::vector<FolderEntry>& entries, SystemError& error);

// The process this is, and whether another one still runs.
qint64 currentProcess();
bool processRuns(qint64 process);
// The user this process runs as (0 where the system has no such number).
quint32 currentUser();

} // namespace quillane::platform
