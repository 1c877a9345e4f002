// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/processes.h"
#include "common/registry_port.h"

#include <cstddef>
#include <string>

namespace quillane::shell {

inline constexpr const char* kMsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kMsinfoPathValue = "PATH";
inline constexpr const char* kSharedToolsLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSharedToolsLocationValue = "MSINFO";
inline constexpr const char* kMsinfoFileName = "MSINFO32.EXE";

inline constexpr std::size_t kKeyValueBufferSize = 1024;

enum class KeyValueRead {
    Read,        // KeyVal holds the value (or, for a type we do not render, its text on entry)
    NotRead,     // key or value missing, value too large, any other error: KeyVal is ""
    Unterminated // the value filled the whole buffer without a zero byte: KeyVal is ""
};

// Reads one registry value as text and tells the three outcomes apart. The key
// is closed on every path.
KeyValueRead readKeyValue(RegistryPort& registry, RegHandle KeyRoot, const std::string& KeyName,
                          const std::string& SubKeyRef, std::string& KeyVal);

// True when the value was read. A value that filled the buffer without a zero
// byte counts as not read here; StartSysInfo treats it as a hard failure.
bool GetKeyValue(RegistryPort& registry, RegHandle KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Does a plain file exist at a path (a name match, no wildcards)?
class FileProbe {
public:
    virtual ~FileProbe() = default;
    virtual bool fileExists(const std::string& path) = 0;
};

// Looks the system-information program up in the registry (the "PATH" value
// first, then the shared-tools folder with MSINFO32.EXE in it) and starts it.
// Returns false when the caller must show kSysInfoUnavailableMessage.
bool StartSysInfo(RegistryPort& registry, FileProbe& files, ProgramLauncher& launcher);

} // namespace quillane::shell
