#pragma once

#include "shell/registry_port.h"

#include <string>

namespace quillane::shell {

inline constexpr const char* kDocumentExtension = ".qht";
inline constexpr const char* kDocumentDescription = "Quillane HTML file";
inline constexpr const char* kTemplateExtension = ".qtf";
inline constexpr const char* kTemplateDescription = "Quillane template file";

// Registers the two file types with the desktop for the running program: the
// registry on Windows, the freedesktop files elsewhere. Shows nothing, reports
// nothing and never throws; callers always report completion.
void AssociateFiles();

// The registry back end: writes the extension and class keys under
// HKEY_CLASSES_ROOT for the program `<folder>\<name>.exe`. Every failing step is
// passed over; a step whose key could not be created writes nothing.
void associateFilesInRegistry(RegistryPort& registry, const std::string& folder,
                              const std::string& name);

} // namespace quillane::shell
