// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/registry_port.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillane::shell::testing {

// A registry in memory that logs every call. Keys are full paths such as
// "HKEY_CLASSES_ROOT\.qht", spelled exactly; a key maps value names ("" is the
// default value) to values. Tests plant and inspect `keys` directly.
class MemoryRegistry : public RegistryPort {
public:
    struct Value {
        std::uint32_t type = kRegSz;
        std::string bytes;
        bool operator==(const Value&) const = default;
    };

    std::map<std::string, std::map<std::string, Value>> keys;
    std::set<std::string> refused; // paths whose creation is denied
    bool readOnly = false;         // every creation is denied
    std::map<RegHandle, std::string> open;
    std::vector<std::string> calls; // e.g. "create HKEY_CLASSES_ROOT\.qht options=0 access=0x2003F"

    std::optional<Value> value(const std::string& key, const std::string& name) const {
        const auto found = keys.find(key);
        if (found == keys.end() || found->second.count(name) == 0) return std::nullopt;
        return found->second.at(name);
    }

    RegStatus createKeyEx(RegHandle parent, const std::string& subKey, std::uint32_t options,
                          std::uint32_t access, RegHandle& result) override {
        const std::string path = below(parent, subKey);
        calls.push_back("create " + path + flags(options, access));
        result = 0;
        if (path.empty()) return kErrorInvalidHandle;
        if (readOnly || refused.count(path) != 0) return kErrorAccessDenied;
        keys[path];
        return opened(path, result);
    }
    RegStatus setValue(RegHandle key, const std::string& subKey, std::uint32_t type,
                       const std::string& data) override {
        const std::string path = below(key, subKey);
        calls.push_back("set " + path + " = " + data);
        if (path.empty()) return kErrorInvalidHandle;
        keys[path][""] = Value{type, data};
        return kErrorSuccess;
    }
    RegStatus openKeyEx(RegHandle parent, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegHandle& result) override {
        const std::string path = below(parent, subKey);
        calls.push_back("open " + path + flags(options, access));
        result = 0;
        return keys.count(path) == 0 ? kErrorFileNotFound : opened(path, result);
    }
    RegStatus queryValueEx(RegHandle key, const std::string& valueName, std::uint32_t& type,
                           unsigned char* data, std::uint32_t& size) override {
        const std::string path = below(key, "");
        calls.push_back("query " + path + " [" + valueName + "]");
        const std::optional<Value> found = value(path, valueName);
        if (!found) return kErrorFileNotFound;
        type = found->type;
        const std::uint32_t available = size;
        size = static_cast<std::uint32_t>(found->bytes.size());
        if (available < size) return kErrorMoreData;
        std::memcpy(data, found->bytes.data(), size);
        return kErrorSuccess;
    }
    RegStatus closeKey(RegHandle key) override {
        calls.push_back("close " + below(key, ""));
        return open.erase(key) == 0 ? kErrorInvalidHandle : kErrorSuccess;
    }

private:
    // The path of `subKey` below an open key or a root; "" for an unknown handle.
    std::string below(RegHandle key, const std::string& subKey) const {
        std::string path = key == kHkeyClassesRoot    ? "HKEY_CLASSES_ROOT"
                           : key == kHkeyLocalMachine ? "HKEY_LOCAL_MACHINE"
                           : open.count(key) != 0     ? open.at(key)
                                                      : "";
        return path.empty() || subKey.empty() ? path : path + "\\" + subKey;
    }
    static std::string flags(std::uint32_t options, std::uint32_t access) {
        char text[48];
        std::snprintf(text, sizeof text, " options=%u access=0x%X", options, access);
        return text;
    }
    RegStatus opened(const std::string& path, RegHandle& result) {
        result = m_next++;
        open[result] = path;
        return kErrorSuccess;
    }
    RegHandle m_next = 0x1000;
};

} // namespace quillane::shell::testing
