// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/file_errors.h"

namespace quillane {

FileError fileError(const platform::SystemError& error, platform::FileKind kind) {
    using platform::Failure;
    using platform::FileKind;
    const QString access = QStringLiteral("Path/File access error: ");
    switch (error.failure) {
    case Failure::None:
    case Failure::NotFound:
        return {53, QStringLiteral("File not found")};
    case Failure::PermissionDenied:
        return {70, QStringLiteral("Permission denied")};
    case Failure::IsFolder:
        return {75, access + QStringLiteral("it is a folder")};
    case Failure::NotFolder:
        return {76, QStringLiteral("Path not found: a part of the path is not a folder")};
    case Failure::NotAFile: {
        const char* what = kind == FileKind::Fifo     ? "a named pipe (FIFO)"
                           : kind == FileKind::Socket ? "a socket"
                           : kind == FileKind::Device ? "a device"
                                                      : "a special file";
        return {75, access + QStringLiteral("it is %1, not a file").arg(QLatin1String(what))};
    }
    case Failure::TooLarge:
        return {75, access + QStringLiteral("the file is too large (the limit is %1 MiB)")
                                 .arg(kMaxReadBytes >> 20)};
    case Failure::DanglingLink:
        return {75, access + QStringLiteral("it is a link to a file that does not exist")};
    case Failure::NoSpace:
        return {61, QStringLiteral("No space left on device")};
    case Failure::QuotaExceeded:
        return {61, QStringLiteral("Disk quota exceeded")};
    case Failure::ReadOnlyFileSystem:
        return {75, access + QStringLiteral("the file system is read-only")};
    case Failure::NameTooLong:
        return {52, QStringLiteral("Bad file name or number: the name is too long")};
    case Failure::ReservedName:
        return {75, access + QStringLiteral("the name is reserved for a device")};
    case Failure::OutOfMemory:
        return {7, QStringLiteral("Out of memory")};
    case Failure::Other:
        break;
    }
    return {75, access + error.text};
}

FileError windowsPathError(const char* verb) {
    return {76, QStringLiteral("Path not found: it is a Windows path, which this system cannot ") +
                    QLatin1String(verb)};
}

} // namespace quillane
