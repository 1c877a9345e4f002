#pragma once

#include "shell/host_ports.h"
#include "shell/registry_port.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quillane::shell {

// The message the caller shows (OK, no icon, titled "Quillane") when
// StartSysInfo returns false.
inline constexpr const char* kSysInfoUnavailableMessage =
    "System Information Is Unavailable At This Time";

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
// The same over the real registry (always false where there is none).
bool GetKeyValue(RegHandle KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                 std::string& KeyVal);

// Looks the system-information program up in the registry (the "PATH" value
// first, then the shared-tools folder with MSINFO32.EXE in it) and starts it.
// Returns false when the caller must show kSysInfoUnavailableMessage.
bool StartSysInfo(RegistryPort& registry, FileProbe& files, ProgramLauncher& launcher);

// The system-information programs looked for on desktops without a registry, in order.
const std::vector<std::string>& sysInfoPrograms();

#ifndef _WIN32
// Starts the first of sysInfoPrograms() found in `searchPath` (PATH-style) that
// can be started. Returns false when none could.
bool StartSysInfo(const std::string& searchPath, ProgramLauncher& launcher);
#endif

// Starts the system-information program of this desktop: the registry look-up on
// Windows, the PATH search elsewhere. Shows nothing itself; false means the caller
// must show kSysInfoUnavailableMessage.
bool StartSysInfo();

} // namespace quillane::shell
