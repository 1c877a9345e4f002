// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/file_write.h"

#include "formats/file_errors.h"

#include <QFileInfo>
#include <cstring>
#include <new>
#include <optional>

namespace quillane {

using platform::FileFacts;
using platform::FileKind;
using platform::SystemError;

namespace {

const FileError kOutOfMemory{7, QStringLiteral("Out of memory")};

// Why a file that starts like this must not be replaced by a page, or nullptr.
const char* magicReason(QByteArrayView head) {
    if (head.startsWith("\xEF\xBB\xBF")) head = head.sliced(3);
    if (head.startsWith("#QT1#")) return "it is a template, not a page";
    if (head.startsWith("#QH1#")) return "it is a templated document, not a page";
    return nullptr;
}
constexpr qsizetype kMagicBytes = 8; // a byte-order mark and a magic

QByteArray folderOf(const QByteArray& path) {
    return path.left(std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1);
}

// No file can be made beside the target: a permission problem is the folder's.
FileError cannotCreate(const SystemError& e, const QByteArray& target) {
    if (e.failure == platform::Failure::NotFound || e.failure == platform::Failure::NotFolder)
        return {76, QStringLiteral("Path not found: the folder does not exist")};
    if (e.failure != platform::Failure::PermissionDenied) return fileError(e);
    return {70, QStringLiteral("Permission denied: files cannot be created in the folder '") +
                    QFileInfo(platform::decodePath(target)).absolutePath() + u'\''};
}

// Looks at what a write would replace, touching nothing.
class Planner {
public:
    Planner(const QByteArray& bytes, WriteMode mode, const std::vector<WriteGuard>& guards,
            const LinkCheck& linkCheck)
        : m_bytes(bytes), m_mode(mode), m_guards(guards), m_linkCheck(linkCheck) {}

    WritePlan run(QByteArray target) {
        FileFacts facts;
        SystemError e;
        if (!platform::lookAt(target, false, facts, e)) return fail(fileError(e));
        if (facts.kind == FileKind::Missing) {
            m_plan.target = target;
            m_plan.outcome = WriteOutcome::Written;
            return std::move(m_plan);
        }
        if (facts.kind == FileKind::Link) {
            if (m_linkCheck) {
                if (QString reason = m_linkCheck(platform::decodePath(target)); !reason.isEmpty()) {
                    m_plan.linkRefusal = reason;
                    return fail({70, QStringLiteral("Permission denied: it ") + reason});
                }
            }
            // Written through: the file the link names is replaced in its own folder.
            QByteArray real;
            if (!platform::resolveLinks(target, real, e) ||
                !platform::lookAt(real, false, facts, e))
                return fail(fileError(e));
            target = real;
        }
        if (facts.kind != FileKind::Regular)
            return fail(fileError({facts.kind == FileKind::Folder ? platform::Failure::IsFolder
                                                                  : platform::Failure::NotAFile,
                                   {}},
                                  facts.kind));
        m_plan.target = target;
        m_plan.replaces = true;
        m_plan.old = facts;

        if (m_mode == WriteMode::Page) {
            bool same = false;
            QByteArray head;
            compare(target, facts, same, head);
            if (same) {
                m_plan.outcome = WriteOutcome::Unchanged;
                return std::move(m_plan);
            }
            if (const char* reason = magicReason(head)) {
                // Which one it is, when it is one the caller named.
                for (const WriteGuard& g : m_guards) {
                    FileFacts other;
                    if (!g.path.isEmpty() &&
                        platform::lookAt(platform::encodePath(g.path), true, other, e) &&
                        other.kind != FileKind::Missing && other.device == facts.device &&
                        other.inode == facts.inode)
                        return fail({70, QStringLiteral("Permission denied: ") + g.reason});
                }
                return fail({70, QStringLiteral("Permission denied: ") + QLatin1String(reason)});
            }
        }
        if (!facts.writable)
            return fail({70, QStringLiteral("Permission denied: the file is read-only")});
        m_plan.outcome = WriteOutcome::Written;
        return std::move(m_plan);
    }

private:
    WritePlan fail(const FileError& e) {
        m_plan.outcome = WriteOutcome::Failed;
        m_plan.error = e;
        return std::move(m_plan);
    }

    // Whether the file holds exactly the bytes to write, and its first bytes. A file that
    // cannot be read is taken as different.
    void compare(const QByteArray& target, const FileFacts& facts, bool& same, QByteArray& head) {
        const bool sameSize = facts.size == m_bytes.size();
        if (!sameSize && facts.size < 5) return; // too short to be a template or a document
        // Only as much as tells: the whole file when it may be the same, else its first bytes.
        QByteArray old;
        SystemError e;
        if (!platform::readStart(target, sameSize ? facts.size : kMagicBytes, old, e)) return;
        head = old.left(kMagicBytes);
        same = sameSize && old == m_bytes;
    }

    const QByteArray& m_bytes;
    WriteMode m_mode;
    const std::vector<WriteGuard>& m_guards;
    const LinkCheck& m_linkCheck;
    WritePlan m_plan;
};

// Writes the new file beside the plan's target; false with the reason when it cannot.
bool stage(WritePlan& plan, const QByteArray& bytes, WriteMode mode, FileError& error) {
    SystemError e;
    if (!plan.staged.create(folderOf(plan.target), plan.replaces ? &plan.old : nullptr, e)) {
        plan.folderMissing = e.failure == platform::Failure::NotFound;
        error = e.failure == platform::Failure::PermissionDenied ||
                        e.failure == platform::Failure::NotFound ||
                        e.failure == platform::Failure::NotFolder
                    ? cannotCreate(e, plan.target)
                    : fileError(e);
        return false;
    }
    if (!plan.staged.write(bytes, e) ||
        (mode == WriteMode::Durable && !plan.staged.flushToDisk(e))) {
        plan.staged.discard();
        error = fileError(e);
        return false;
    }
    if (mode == WriteMode::Page && plan.replaces) plan.staged.startWriteback();
    if (!plan.staged.close(e)) {
        plan.staged.discard();
        error = fileError(e);
        return false;
    }
    return true;
}

// Why the path cannot be written at all, before anything is looked at.
std::optional<FileError> unwritablePath(const QString& path) {
    if (path.isEmpty()) return FileError{75, QStringLiteral("No file name was given")};
    if (isWindowsPath(path)) return windowsPathError("write");
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
        return Planner(bytes, mode, guards, linkCheck).run(platform::encodePath(path));
    } catch (const std::bad_alloc&) {
        plan.outcome = WriteOutcome::Failed;
        plan.error = kOutOfMemory;
        return plan;
    }
}

void stageWrite(WritePlan& plan, const QByteArray& bytes, WriteMode mode) {
    if (plan.outcome != WriteOutcome::Written || plan.staged.exists()) return;
    try {
        if (!stage(plan, bytes, mode, plan.error)) plan.outcome = WriteOutcome::Failed;
    } catch (const std::bad_alloc&) {
        plan.outcome = WriteOutcome::Failed;
        plan.error = kOutOfMemory;
    }
}

WriteOutcome commitWrite(WritePlan& plan, const QByteArray& bytes, WriteMode mode,
                         FileError& error) {
    if (plan.outcome == WriteOutcome::Failed) error = plan.error;
    if (plan.outcome != WriteOutcome::Written) return plan.outcome;
    try {
        if (!plan.staged.exists() && !stage(plan, bytes, mode, error)) return WriteOutcome::Failed;
        SystemError e;
        if (!plan.staged.replace(plan.target, mode == WriteMode::Durable, e)) {
            plan.staged.discard();
            error = e.failure == platform::Failure::PermissionDenied ? cannotCreate(e, plan.target)
                                                                     : fileError(e);
            return WriteOutcome::Failed;
        }
        return WriteOutcome::Written;
    } catch (const std::bad_alloc&) {
        plan.staged.discard();
        error = kOutOfMemory;
        return WriteOutcome::Failed;
    }
}

WriteOutcome writeFileAtomically(const QString& path, const QByteArray& bytes, WriteMode mode,
                                 FileError& error, const std::vector<WriteGuard>& guards) {
    WritePlan plan = planWrite(path, bytes, mode, guards);
    return commitWrite(plan, bytes, mode, error);
}

int removeLeftoverTemporaries(const QString& folder) {
    const QByteArray dir = platform::encodePath(folder.isEmpty() ? QStringLiteral(".") : folder);
    std::vector<platform::FolderEntry> entries;
    SystemError e;
    if (!platform::listFolder(dir, entries, e)) return 0;
    const QByteArray prefix = dir.endsWith('/') || dir.endsWith('\\') ? dir : dir + '/';
    const qint64 self = platform::currentProcess();
    int removed = 0;
    for (const platform::FolderEntry& entry : entries) {
        // ".quillane-<process>-<number>.tmp"
        const QByteArray& name = entry.name;
        if (entry.link || entry.kind != FileKind::Regular || !name.startsWith(".quillane-") ||
            !name.endsWith(".tmp"))
            continue;
        const QList<QByteArray> parts = name.mid(10, name.size() - 14).split('-');
        bool pidOk = false, numberOk = false;
        const qint64 process = parts.size() == 2 ? parts[0].toLongLong(&pidOk) : 0;
        if (parts.size() == 2) parts[1].toULongLong(&numberOk);
        if (!pidOk || !numberOk || process == self || platform::processRuns(process)) continue;
        FileFacts facts;
        if (!platform::lookAt(prefix + name, false, facts, e) || facts.kind != FileKind::Regular ||
            facts.uid != platform::currentUser())
            continue;
        if (platform::removeFile(prefix + name)) ++removed;
    }
    return removed;
}

} // namespace quillane
