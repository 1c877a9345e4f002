// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/document_file.h"

#include "formats/block_lines.h"
#include "formats/template_file.h"

#include <QDir>
#include <QFileInfo>
#include <new>

namespace quillane {

using detail::BlockLines;
using detail::fileText;
using detail::ReadError;
using detail::Rejected;

DocumentRead readDocumentFile(const QString& path, FileSignature* seen) {
    QByteArray bytes;
    FileError error;
    if (!readFileBytes(path, bytes, error, seen)) {
        DocumentRead r;
        r.failure = unreadableFile(path, error);
        return r;
    }
    try {
        return parseDocument(decodeText(bytes), path);
    } catch (const std::bad_alloc&) {
        DocumentRead r;
        r.failure = unreadableFile(path, {7, QStringLiteral("Out of memory")});
        return r;
    }
}

DocumentRead parseDocument(const QString& text, const QString& path) {
    DocumentRead r;
    DocumentFile& d = r.value;
    try {
        BlockLines lines(text);
        if (lines.next() != kDocumentMagic) throw Rejected{};
        d.title = lines.next().toString();
        d.templateStored = lines.next().toString();
        d.outputStored = lines.next().toString();
        d.templatePath = resolveStoredPath(d.templateStored, path);
        d.output = resolveStoredPath(d.outputStored, path);
        r.headerRead = true;

        QStringView line = lines.next();
        for (;;) {
            if (lines.atEnd()) break;
            r.failureAtBlock = true;
            if (line.isEmpty()) {
                r.failure = ReadFailure{ReadFailure::Kind::StoppedAtEmptyLine, {}};
                return r;
            }
            if (line != kSectionMarker) throw Rejected{};
            r.failureAtBlock = false;
            d.blocks.append(lines.block(kSectionMarker));
            line = kSectionMarker;
        }
    } catch (const Rejected&) {
        r.failure = ReadFailure{ReadFailure::Kind::Rejected,
                                {QStringLiteral("This file is not a Quillane TEMPLATED-HTML file!"),
                                 QStringLiteral("Quillane HTML Editor"), MsgIcon::Exclamation}};
    } catch (const ReadError& e) {
        r.failure = unreadableFile(path, e.error);
    }
    return r;
}

QString documentFileText(const DocumentFile& file) {
    QStringList lines{kDocumentMagic, file.title, file.templateStored, file.outputStored,
                      kSectionMarker};
    for (const QString& block : file.blocks)
        lines << block << kSectionMarker;
    return fileText(lines);
}

QString resolveStoredPath(const QString& stored, const QString& documentPath) {
    if (stored.isEmpty()) return stored;
    // A drive or network path written on Windows stays as it is too.
    if (isWindowsPath(stored) || QDir::isAbsolutePath(stored)) return stored;
    return QDir::cleanPath(QFileInfo(documentPath).absoluteDir().filePath(stored));
}

QString pathToStore(const QString& path, const QString& storedText, const QString& documentPath) {
    if (path.isEmpty() || isWindowsPath(path) || QDir::isRelativePath(path)) return path;
    if (!storedText.isEmpty() && resolveStoredPath(storedText, documentPath) == path)
        return storedText;
    const QString folder = QFileInfo(documentPath).absolutePath();
    const QString clean = QDir::cleanPath(path);
    if (clean.startsWith(folder + u'/')) return clean.mid(folder.size() + 1);
    return path;
}

} // namespace quillane
