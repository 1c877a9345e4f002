// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>
#include <vector>

namespace quillane::shell {

// One of the program's icons as an icon theme holds it: <folder>/apps/<file>, folder being
// "16x16" and so on, or "scalable".
struct ProgramIcon {
    const char* folder;
    const char* file;
    std::string_view bytes;
};

// Every size the program's icon comes in, built into the program so that the registration
// installs it wherever the program runs from.
const std::vector<ProgramIcon>& programIcons();

} // namespace quillane::shell
