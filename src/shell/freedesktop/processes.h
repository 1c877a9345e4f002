// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace quillane::shell {

// Runs `programPath` with `arguments`, its input and output sent to /dev/null,
// and waits for it. Returns true when it ran and exited with status 0.
bool runQuietly(const std::string& programPath, const std::vector<std::string>& arguments);

// The first executable regular file called `name` in the folders of `searchPath`
// (a PATH-style list separated by ':'), or "". Empty and relative entries are
// skipped, so nothing is ever picked up from the current folder.
std::string findProgramOnPath(const std::string& name, const std::string& searchPath);

} // namespace quillane::shell
