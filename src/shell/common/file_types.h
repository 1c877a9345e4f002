// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillane::shell {

// The two file types every desktop registration carries.
inline constexpr const char* kDocumentExtension = ".qht";
inline constexpr const char* kDocumentDescription = "Quillane HTML file";
inline constexpr const char* kTemplateExtension = ".qtf";
inline constexpr const char* kTemplateDescription = "Quillane template file";

} // namespace quillane::shell
