// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillane::shell {

// Registers the two file types with the desktop for the running program: the
// registry on Windows, the freedesktop files elsewhere. Shows nothing, reports
// nothing and never throws; callers always report completion.
void AssociateFiles();

} // namespace quillane::shell
