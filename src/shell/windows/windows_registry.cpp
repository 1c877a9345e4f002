// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/windows_registry.h"

#include "common/registry_system_info.h"

#include <windows.h>

namespace quillane::shell {

namespace {

// The predefined roots are 32-bit values that Windows sign-extends into a
// pointer-sized HKEY; every other handle is an HKEY we were given.
HKEY toHkey(RegHandle handle) {
    if (handle >= 0x80000000u && handle <= 0x800000FFu) {
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(
            static_cast<LONG_PTR>(static_cast<LONG>(static_cast<DWORD>(handle)))));
    }
    return reinterpret_cast<HKEY>(handle);
}

RegHandle fromHkey(HKEY key) {
    return reinterpret_cast<RegHandle>(key);
}

} // namespace

RegStatus WindowsRegistry::createKeyEx(RegHandle parent, const std::string& subKey,
                                       std::uint32_t options, std::uint32_t access,
                                       RegHandle& result) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    char noClass[] = "";
    const LONG status =
        RegCreateKeyExA(toHkey(parent), subKey.c_str(), 0, noClass, options,
                        static_cast<REGSAM>(access), nullptr, &opened, &disposition);
    result = status == ERROR_SUCCESS ? fromHkey(opened) : 0;
    return status;
}

RegStatus WindowsRegistry::setValue(RegHandle key, const std::string& subKey, std::uint32_t type,
                                    const std::string& data) {
    return RegSetValueA(toHkey(key), subKey.c_str(), type, data.c_str(),
                        static_cast<DWORD>(data.size()));
}

RegStatus WindowsRegistry::openKeyEx(RegHandle parent, const std::string& subKey,
                                     std::uint32_t options, std::uint32_t access,
                                     RegHandle& result) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(toHkey(parent), subKey.c_str(), options,
                                      static_cast<REGSAM>(access), &opened);
    result = status == ERROR_SUCCESS ? fromHkey(opened) : 0;
    return status;
}

RegStatus WindowsRegistry::queryValueEx(RegHandle key, const std::string& valueName,
                                        std::uint32_t& type, unsigned char* data,
                                        std::uint32_t& size) {
    DWORD valueType = 0;
    DWORD valueSize = size;
    const LONG status =
        RegQueryValueExA(toHkey(key), valueName.c_str(), nullptr, &valueType, data, &valueSize);
    type = valueType;
    size = valueSize;
    return status;
}

RegStatus WindowsRegistry::closeKey(RegHandle key) {
    return RegCloseKey(toHkey(key));
}

bool GetKeyValue(RegHandle KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                 std::string& KeyVal) {
    WindowsRegistry registry;
    return GetKeyValue(registry, KeyRoot, KeyName, SubKeyRef, KeyVal);
}

} // namespace quillane::shell
