// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/text_file.h"
#include "platform/file_system.h"

namespace quillane {

// What the user is told for a failure of the file system: the number and description the
// reader's "Error parsing file" message and the writers' messages show. `kind` says what the
// path named, for NotAFile.
FileError fileError(const platform::SystemError& error,
                    platform::FileKind kind = platform::FileKind::Other);

// "Path not found: it is a Windows path, which this system cannot <verb>"
FileError windowsPathError(const char* verb);

// The signature of the file the facts describe (unknown when there is none).
FileSignature signatureOf(const platform::FileFacts& facts);

} // namespace quillane
