// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/message.h"
#include "formats/text_file.h"

#include <QString>
#include <optional>

namespace quillane {

// Why a file could not be taken: the message the user is told, and what kind of failure it was.
struct ReadFailure {
    enum class Kind {
        Rejected,           // not a file of this kind
        Unreadable,         // could not be read to its end
        StoppedAtEmptyLine, // a document stops at an empty line where a block should start
    };
    Kind kind = Kind::Unreadable;
    Message message; // no text for StoppedAtEmptyLine: the reader says nothing then
};

// "Error parsing file '<path>':" CR LF description " (" number ")"
ReadFailure unreadableFile(const QString& path, const FileError& error);

// Saves a template's or a document's text the way the editors save: in the storage encoding,
// replacing the file atomically and durably. On failure the message names the path and the
// reason, and the old file is whole.
std::optional<Message> saveTextFile(const QString& path, const QString& text);

inline const QString kParseErrorTitle = QStringLiteral("Error parsing file!");

} // namespace quillane
