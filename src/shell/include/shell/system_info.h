// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillane::shell {

// The message the caller shows (OK, no icon, titled "Quillane") when
// StartSysInfo returns false.
inline constexpr const char* kSysInfoUnavailableMessage =
    "System Information Is Unavailable At This Time";

// Starts the system-information program of this desktop: the registry look-up on
// Windows, the first known tool on PATH elsewhere. Shows nothing itself; false
// means the caller must show kSysInfoUnavailableMessage.
bool StartSysInfo();

} // namespace quillane::shell
