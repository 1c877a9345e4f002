// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace quillane::shell {

// A registry key handle as the port passes it around. Root keys use the
// 32-bit predefined values below; opened keys get whatever the back end hands out.
using RegHandle = std::uintptr_t;
using RegStatus = std::int32_t;

inline constexpr RegHandle kHkeyClassesRoot = 0x80000000u;
inline constexpr RegHandle kHkeyLocalMachine = 0x80000002u;

// READ_CONTROL + KEY_QUERY_VALUE + KEY_SET_VALUE + KEY_CREATE_SUB_KEY +
// KEY_ENUMERATE_SUB_KEYS + KEY_NOTIFY + KEY_CREATE_LINK: used for every key we touch.
inline constexpr std::uint32_t kKeyAllAccessMask = 0x2003Fu;
inline constexpr std::uint32_t kRegOptionNonVolatile = 0u;

inline constexpr std::uint32_t kRegNone = 0u;
inline constexpr std::uint32_t kRegSz = 1u;
inline constexpr std::uint32_t kRegExpandSz = 2u;
inline constexpr std::uint32_t kRegBinary = 3u;
inline constexpr std::uint32_t kRegDword = 4u;

inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr RegStatus kErrorFileNotFound = 2;
inline constexpr RegStatus kErrorAccessDenied = 5;
inline constexpr RegStatus kErrorInvalidHandle = 6;
inline constexpr RegStatus kErrorMoreData = 234;

// The handful of advapi32 registry calls the program makes, one method each,
// with the arguments that vary between our calls. Text is single-byte (code page)
// text, as the "A" functions take it.
class RegistryPort {
public:
    virtual ~RegistryPort() = default;

    // RegCreateKeyExA(parent, subKey, 0, "", options, access, nullptr, &result, &disposition)
    virtual RegStatus createKeyEx(RegHandle parent, const std::string& subKey,
                                  std::uint32_t options, std::uint32_t access,
                                  RegHandle& result) = 0;
    // RegSetValueA(key, subKey, type, data, size): sets the default value of key\subKey.
    virtual RegStatus setValue(RegHandle key, const std::string& subKey, std::uint32_t type,
                               const std::string& data) = 0;
    // RegOpenKeyExA(parent, subKey, options, access, &result)
    virtual RegStatus openKeyEx(RegHandle parent, const std::string& subKey, std::uint32_t options,
                                std::uint32_t access, RegHandle& result) = 0;
    // RegQueryValueExA(key, valueName, nullptr, &type, data, &size)
    virtual RegStatus queryValueEx(RegHandle key, const std::string& valueName, std::uint32_t& type,
                                   unsigned char* data, std::uint32_t& size) = 0;
    // RegCloseKey(key)
    virtual RegStatus closeKey(RegHandle key) = 0;
};

} // namespace quillane::shell
