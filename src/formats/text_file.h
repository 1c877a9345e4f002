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

// The whole content of a file. False with the reason when it cannot be read (missing, a
// folder, no permission, ...).
bool readFileBytes(const QString& path, QByteArray& bytes, FileError& error);

// Replaces a file atomically and waits until it is on disk: a failed or interrupted save
// leaves the old file whole. For the user's own documents and templates.
bool saveFileAtomically(const QString& path, const QByteArray& bytes, FileError& error);

// Replaces a file atomically (temporary file and rename) without waiting for the disk, for
// built pages: a batch must not pay a flush per page.
bool writeFileQuickly(const QString& path, const QByteArray& bytes, FileError& error);

// What identifies one version of a file without reading it: where it is, its size and its
// change times. Two equal signatures mean the content has not changed in between.
struct FileSignature {
    quint64 device = 0, inode = 0, size = 0;
    qint64 modifiedNs = 0, changedNs = 0;
    bool operator==(const FileSignature&) const = default;
};
// False where the file cannot be looked at (or the platform gives no such identity).
bool fileSignature(const QString& path, FileSignature& signature);

} // namespace quillane
