// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/processes.h"

#include <string>

namespace quillane::shell {

// Starts the first of the known system-information tools found in `searchPath`
// (PATH-style) that can be started. Returns false when none could.
bool StartSysInfo(const std::string& searchPath, ProgramLauncher& launcher);

} // namespace quillane::shell
