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

} // namespace quillane
