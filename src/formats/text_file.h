// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace quillane {

// Why a file could not be read or written: a number and a description, as the reader's
// "Error parsing file" message shows them.
struct FileError {
    int number = 0;
    QString description;
};

// The largest file the program reads: far above any real template or document, small enough
// that reading one (and the text decoded from it) always fits in memory.
inline constexpr qint64 kMaxReadBytes = qint64(64) * 1024 * 1024;

// The whole content of a regular file (symbolic links followed), at most kMaxReadBytes. False
// with the reason when it cannot be read: missing, no permission, too large, not a regular
// file (a folder, device, named pipe or socket is never opened, so reading never waits).
bool readFileBytes(const QString& path, QByteArray& bytes, FileError& error);

struct FileSignature;
// The same, telling also which file was read: its signature when it was looked at just before
// being opened (left as it is when there was nothing to look at).
bool readFileBytes(const QString& path, QByteArray& bytes, FileError& error, FileSignature* seen);

// A drive or network path written on Windows ("C:\x", "C:/x", "\\server\share\x"), which a
// system without drives cannot reach. Always false on Windows.
bool isWindowsPath(const QString& path);

// Durable: the user's own templates and documents; the data and the rename are on disk when
// the write returns. Page: built pages; no flush per page, and the target must be a page.
enum class WriteMode { Durable, Page };
enum class WriteOutcome { Written, Unchanged, Failed };

// A file the write must not replace, with the reason told when the target is that file.
struct WriteGuard {
    QString path;
    QString reason;
};

// The program's one way to write a file. It replaces only a regular file, and always with a
// new file: a temporary file in the target's folder is written and renamed over it, so a
// failed or interrupted write leaves the old file whole and no temporary file behind, whoever
// has the old file open goes on reading it whole, and nothing of the old file (its inode,
// ACL, extended attributes) is reused; only its mode, and its owner where we may set it, pass
// to the new one. A symbolic link is written through (its target is replaced, the link stays);
// other hard links to the old file keep the old content. Refused with the reason, touching nothing:
// a Windows path, anything that is not a regular file, a dangling link, a read-only file, and for
// pages a template or templated document or any file a guard names. Page mode writes nothing,
// keeping the time stamps, when the file already holds exactly these bytes (Unchanged).
WriteOutcome writeFileAtomically(const QString& path, const QByteArray& bytes, WriteMode mode,
                                 FileError& error, const std::vector<WriteGuard>& guards = {});

// Asked when the path of a page is a symbolic link, with that path; a reason given back
// ("leads to ..., which ...") refuses the write.
using LinkCheck = std::function<QString(const QString& link)>;

// The same write in two steps, so that the looking (reading the old file to compare, the
// checks) can be done ahead, away from the writing: planWrite touches nothing, commitWrite
// writes what the plan says. A plan holds while nothing else changes the file.
struct WritePlan {
    WriteOutcome outcome = WriteOutcome::Failed; // Written: commitWrite still has to write it
    FileError error;                             // when Failed
    QString linkRefusal;                         // Failed: the reason the link check gave
    // The file to replace (links followed) and what is there now: nothing (it is created), or
    // a file of this identity, mode and owner.
    QByteArray target;
    bool replaces = false;
    quint64 device = 0, inode = 0;
    quint32 mode = 0, uid = 0, gid = 0;
    QByteArray staged; // the new file, written beside the target already (stageWrite)
};
WritePlan planWrite(const QString& path, const QByteArray& bytes, WriteMode mode,
                    const std::vector<WriteGuard>& guards = {}, const LinkCheck& linkCheck = {});
WriteOutcome commitWrite(const WritePlan& plan, const QByteArray& bytes, WriteMode mode,
                         FileError& error);
// Writes the new file beside the target ahead of commitWrite, under a temporary name, so that
// committing it is only the rename that puts it in place. A failure to write it makes the plan
// a failure. A staged plan that is not committed must be discarded (the file is removed).
void stageWrite(WritePlan& plan, const QByteArray& bytes, WriteMode mode);
void discardStagedWrite(WritePlan& plan);

// What identifies one version of a file without reading it: where it is, its size and its
// change times. Two equal signatures mean the content has not changed in between.
struct FileSignature {
    quint64 device = 0, inode = 0, size = 0;
    qint64 modifiedNs = 0, changedNs = 0;
    bool operator==(const FileSignature&) const = default;
    bool known() const { return device != 0 || inode != 0; }
};
// False where the file cannot be looked at (or the platform gives no such identity).
bool fileSignature(const QString& path, FileSignature& signature);

} // namespace quillane
