// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/text_file.h"
#include "platform/file_system.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace quillane {

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
// to the new one. A symbolic link is written through (its target is replaced, the link
// stays); other hard links to the old file keep the old content. Refused with the reason,
// touching nothing: a Windows path where there are no drives, anything that is not a regular
// file, a dangling link, a read-only file, and for pages a template or templated document or
// any file a guard names. Page mode writes nothing, keeping the time stamps, when the file
// already holds exactly these bytes (Unchanged).
WriteOutcome writeFileAtomically(const QString& path, const QByteArray& bytes, WriteMode mode,
                                 FileError& error, const std::vector<WriteGuard>& guards = {});

// Asked when the path of a page is a symbolic link, with that path; a reason given back
// ("leads to ..., which ...") refuses the write.
using LinkCheck = std::function<QString(const QString& link)>;

// The same write in steps, so that the looking (reading the old file to compare, the checks)
// and the writing of the new file can be done ahead, away from putting it in place:
// planWrite touches nothing, stageWrite writes the new file beside the target, commitWrite
// puts it in place (staging it first when that was not done). A plan holds while nothing else
// changes the file; one that is dropped before its commit takes its new file with it.
struct WritePlan {
    WriteOutcome outcome = WriteOutcome::Failed; // Written: commitWrite still has to write it
    FileError error;                             // when Failed
    QString linkRefusal;                         // Failed: the reason the link check gave
    // The file to replace (links followed) and what is there now: nothing (it is created), or
    // that file.
    QByteArray target;
    bool replaces = false;
    platform::FileFacts old;
    platform::NewFile staged;   // the new file, written beside the target (stageWrite)
    bool folderMissing = false; // Failed because the target's folder does not exist
};
WritePlan planWrite(const QString& path, const QByteArray& bytes, WriteMode mode,
                    const std::vector<WriteGuard>& guards = {}, const LinkCheck& linkCheck = {});
// A failure to write the new file makes the plan a failure.
void stageWrite(WritePlan& plan, const QByteArray& bytes, WriteMode mode);
WriteOutcome commitWrite(WritePlan& plan, const QByteArray& bytes, WriteMode mode,
                         FileError& error);

// The temporary files a killed build left in a folder: of the program's own pattern, owned by
// this user, made by a process that no longer runs. Each is removed; the number removed.
int removeLeftoverTemporaries(const QString& folder);

} // namespace quillane
