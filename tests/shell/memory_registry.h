#pragma once

#include "common/registry_port.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillane::shell {

// A registry held in memory, for tests and for checking what a routine writes.
// Keys and value names match case-insensitively and keep their first spelling,
// as in the real registry. It can be told to refuse writes or the creation of
// particular keys, and values of any type and byte content can be planted.
class MemoryRegistry : public RegistryPort {
public:
    struct Value {
        std::uint32_t type = kRegNone;
        std::string bytes;
    };

    MemoryRegistry();

    RegStatus createKeyEx(RegHandle parent, const std::string& subKey, std::uint32_t options,
                          std::uint32_t access, RegHandle& result) override;
    RegStatus setValue(RegHandle key, const std::string& subKey, std::uint32_t type,
                       const std::string& data) override;
    RegStatus openKeyEx(RegHandle parent, const std::string& subKey, std::uint32_t options,
                        std::uint32_t access, RegHandle& result) override;
    RegStatus queryValueEx(RegHandle key, const std::string& valueName, std::uint32_t& type,
                           unsigned char* data, std::uint32_t& size) override;
    RegStatus closeKey(RegHandle key) override;

    // Simulated conditions. Paths are full paths such as "HKEY_CLASSES_ROOT\.qht".
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void failCreationOf(const std::string& keyPath);
    void putValue(const std::string& keyPath, const std::string& valueName, std::uint32_t type,
                  const std::string& bytes);

    // Inspection.
    bool hasKey(const std::string& keyPath) const;
    std::optional<Value> value(const std::string& keyPath, const std::string& valueName) const;
    // Every key with its values, one line each, sorted: `path` or `path [name] = type:"bytes"`.
    std::string dump() const;
    // Every call made, in order, e.g. "create HKEY_CLASSES_ROOT\.qht options=0 access=0x2003F".
    const std::vector<std::string>& calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    std::size_t openHandleCount() const { return m_handles.size(); }

private:
    struct Key {
        std::string path;                              // as first spelled
        std::map<std::string, std::string> valueNames; // folded name -> spelling
        std::map<std::string, Value> values;           // folded name -> value
    };
    struct OpenKey {
        std::string folded;
        std::uint32_t access = 0;
    };

    std::optional<std::string> pathOf(RegHandle handle) const;
    // A key's path below an open key; the sub-key alone when the parent is not open.
    static std::string joined(const std::optional<std::string>& parent, const std::string& subKey);
    std::string ensureKey(const std::string& path);
    RegHandle newHandle(const std::string& folded, std::uint32_t access);

    std::map<std::string, Key> m_keys; // folded path -> key
    std::map<RegHandle, OpenKey> m_handles;
    std::set<std::string> m_failCreation; // folded paths
    std::vector<std::string> m_calls;
    RegHandle m_nextHandle = 0x1000;
    bool m_readOnly = false;
};

// "HKEY_CLASSES_ROOT" for 0x80000000 and so on; "" for anything else.
std::string rootKeyName(RegHandle root);

} // namespace quillane::shell
