// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/registry_port.h"

#include <string>

namespace quillane::shell {

// The real registry through advapi32. Handles it returns are HKEY values.
class WindowsRegistry : public RegistryPort {
public:
    RegStatus createKeyEx(RegHandle parent, const std::string& subKey, std::uint32_t options,
                          std::uint32_t access, RegHandle& result) override;
    RegStatus setValue(RegHandle key, const std::string& subKey, std::uint32_t type,
                       const std::string& data) override;
    RegStatus openKeyEx(RegHandle parent, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegHandle& result) override;
    RegStatus queryValueEx(RegHandle key, const std::string& valueName, std::uint32_t& type,
                           unsigned char* data, std::uint32_t& size) override;
    RegStatus closeKey(RegHandle key) override;
};

// GetKeyValue over the real registry.
bool GetKeyValue(RegHandle KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                 std::string& KeyVal);

} // namespace quillane::shell
