// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quillane::shell {

enum class ReadOutcome { Read, Missing, Failed };

// Reads a whole file. Missing (no such file) is told apart from a file that
// exists but cannot be read, so callers never overwrite what they could not read.
ReadOutcome readWholeFile(const std::string& path, std::string& content);

// Creates a folder and its missing parents (new ones with mode 0700, as the
// XDG base directory rules ask). True when the folder exists afterwards.
bool makeFolders(const std::string& path);

// Replaces the file at `path` with `content` so that readers see the old or the
// new file, never a part. An identical file is left untouched (not even its
// time stamp); a symbolic link is followed so the link itself survives. Keeps
// an existing file's permissions; a new file gets 0644.
bool writeDesktopFile(const std::string& path, const std::string& content);

} // namespace quillane::shell
