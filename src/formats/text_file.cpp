// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/text_file.h"

#include "formats/file_errors.h"
#include "platform/file_system.h"

#include <new>

namespace quillane {

bool isWindowsPath(const QString& path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    const auto letter = [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    };
    return (path.size() >= 3 && letter(path[0]) && path[1] == u':' &&
            (path[2] == u'\\' || path[2] == u'/')) ||
           path.startsWith(QLatin1String("\\\\"));
#endif
}

FileSignature signatureOf(const platform::FileFacts& facts) {
    if (facts.kind == platform::FileKind::Missing) return {};
    return {facts.device, facts.inode, quint64(facts.size), facts.modifiedNs, facts.changedNs};
}

bool readFileBytes(const QString& path, QByteArray& bytes, FileError& error) {
    return readFileBytes(path, bytes, error, nullptr);
}

bool readFileBytes(const QString& path, QByteArray& bytes, FileError& error, FileSignature* seen) {
    if (path.isEmpty()) {
        error = {53, QStringLiteral("File not found")};
        return false;
    }
    if (isWindowsPath(path)) {
        error = windowsPathError("read");
        return false;
    }
    try {
        platform::FileFacts facts;
        platform::SystemError e;
        const bool read =
            platform::readRegularFile(platform::encodePath(path), kMaxReadBytes, bytes, facts, e);
        if (seen && facts.kind != platform::FileKind::Missing) *seen = signatureOf(facts);
        if (read) return true;
        error = fileError(e, facts.kind);
    } catch (const std::bad_alloc&) {
        error = fileError({platform::Failure::OutOfMemory, {}});
    }
    bytes = QByteArray();
    return false;
}

bool fileSignature(const QString& path, FileSignature& sig) {
    platform::FileFacts facts;
    platform::SystemError ignored;
    if (path.isEmpty() || !platform::lookAt(platform::encodePath(path), true, facts, ignored) ||
        facts.kind != platform::FileKind::Regular)
        return false;
    sig = signatureOf(facts);
    return true;
}

} // namespace quillane
