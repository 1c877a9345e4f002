// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

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
