#include "memory_registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quillane::shell {

namespace {

std::string folded(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::string hex(std::uint32_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(number));
    return text;
}

// Shows bytes readably: printable ASCII as is, everything else as \xNN.
std::string printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}

} // namespace

std::string rootKeyName(RegHandle root) {
    switch (root) {
    case kHkeyClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser:
        return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case kHkeyUsers:
        return "HKEY_USERS";
    default:
        return "";
    }
}

MemoryRegistry::MemoryRegistry() {
    for (RegHandle root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers}) {
        ensureKey(rootKeyName(root));
    }
}

std::optional<std::string> MemoryRegistry::pathOf(RegHandle handle) const {
    if (const std::string root = rootKeyName(handle); !root.empty()) {
        return m_keys.at(folded(root)).path;
    }
    const auto open = m_handles.find(handle);
    if (open == m_handles.end()) {
        return std::nullopt;
    }
    const auto key = m_keys.find(open->second.folded);
    if (key == m_keys.end()) {
        return std::nullopt;
    }
    return key->second.path;
}

std::string MemoryRegistry::ensureKey(const std::string& path) {
    // Creates every missing key along the path, keeping existing spellings.
    std::string built;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (!part.empty()) {
            const std::string candidate = built.empty() ? part : built + "\\" + part;
            const auto found = m_keys.find(folded(candidate));
            if (found == m_keys.end()) {
                m_keys[folded(candidate)].path = candidate;
                built = candidate;
            } else {
                built = found->second.path;
            }
        }
        start = end + 1;
    }
    return folded(built);
}

std::string MemoryRegistry::joined(const std::optional<std::string>& parent,
                                   const std::string& subKey) {
    if (!parent) return subKey;
    return subKey.empty() ? *parent : *parent + "\\" + subKey;
}

RegHandle MemoryRegistry::newHandle(const std::string& foldedPath, std::uint32_t access) {
    const RegHandle handle = m_nextHandle++;
    m_handles[handle] = OpenKey{foldedPath, access};
    return handle;
}

RegStatus MemoryRegistry::createKeyEx(RegHandle parent, const std::string& subKey,
                                      std::uint32_t options, std::uint32_t access,
                                      RegHandle& result) {
    result = 0;
    const auto parentPath = pathOf(parent);
    const std::string path = joined(parentPath, subKey);
    m_calls.push_back("create " + path + " options=" + std::to_string(options) +
                      " access=" + hex(access));
    if (!parentPath) {
        return kErrorInvalidHandle;
    }
    const bool writing = (access & (kKeySetValue | kKeyCreateSubKey)) != 0;
    const bool missing = m_keys.count(folded(path)) == 0;
    if (m_failCreation.count(folded(path)) != 0 || (m_readOnly && (writing || missing))) {
        return kErrorAccessDenied;
    }
    result = newHandle(ensureKey(path), access);
    return kErrorSuccess;
}

RegStatus MemoryRegistry::setValue(RegHandle key, const std::string& subKey, std::uint32_t type,
                                   const std::string& data) {
    const auto keyPath = pathOf(key);
    const std::string path = joined(keyPath, subKey);
    m_calls.push_back("set " + path + " = \"" + printable(data) + "\"");
    if (!keyPath) {
        return kErrorInvalidHandle;
    }
    const auto open = m_handles.find(key);
    const bool mayWrite = open == m_handles.end() || (open->second.access & kKeySetValue) != 0;
    if (m_readOnly || !mayWrite) {
        return kErrorAccessDenied;
    }
    if (type != kRegSz) {
        return kErrorInvalidParameter; // RegSetValueA takes REG_SZ only
    }
    Key& target = m_keys[ensureKey(path)];
    target.valueNames[""] = "";
    target.values[""] = Value{kRegSz, data + std::string(1, '\0')};
    return kErrorSuccess;
}

RegStatus MemoryRegistry::openKeyEx(RegHandle parent, const std::string& subKey,
                                    std::uint32_t options, std::uint32_t access,
                                    RegHandle& result) {
    result = 0;
    const auto parentPath = pathOf(parent);
    const std::string path = joined(parentPath, subKey);
    m_calls.push_back("open " + path + " options=" + std::to_string(options) +
                      " access=" + hex(access));
    if (!parentPath) {
        return kErrorInvalidHandle;
    }
    if (m_keys.count(folded(path)) == 0) {
        return kErrorFileNotFound;
    }
    if (m_readOnly && (access & (kKeySetValue | kKeyCreateSubKey)) != 0) {
        return kErrorAccessDenied;
    }
    result = newHandle(folded(path), access);
    return kErrorSuccess;
}

RegStatus MemoryRegistry::queryValueEx(RegHandle key, const std::string& valueName,
                                       std::uint32_t& type, unsigned char* data,
                                       std::uint32_t& size) {
    const auto keyPath = pathOf(key);
    m_calls.push_back("query " + (keyPath ? *keyPath : std::string("?")) + " [" + valueName + "]");
    if (!keyPath) {
        return kErrorInvalidHandle;
    }
    const Key& stored = m_keys.at(folded(*keyPath));
    const auto found = stored.values.find(folded(valueName));
    if (found == stored.values.end()) {
        return kErrorFileNotFound;
    }
    const Value& value = found->second;
    type = value.type;
    const auto needed = static_cast<std::uint32_t>(value.bytes.size());
    if (data == nullptr) {
        size = needed;
        return kErrorSuccess;
    }
    if (size < needed) {
        size = needed;
        return kErrorMoreData;
    }
    std::memcpy(data, value.bytes.data(), value.bytes.size());
    size = needed;
    return kErrorSuccess;
}

RegStatus MemoryRegistry::closeKey(RegHandle key) {
    const auto keyPath = pathOf(key);
    m_calls.push_back("close " + (keyPath ? *keyPath : std::string("?")));
    if (m_handles.erase(key) == 0) {
        return kErrorInvalidHandle;
    }
    return kErrorSuccess;
}

void MemoryRegistry::failCreationOf(const std::string& keyPath) {
    m_failCreation.insert(folded(keyPath));
}

void MemoryRegistry::putValue(const std::string& keyPath, const std::string& valueName,
                              std::uint32_t type, const std::string& bytes) {
    Key& key = m_keys[ensureKey(keyPath)];
    const std::string name = folded(valueName);
    if (key.valueNames.count(name) == 0) {
        key.valueNames[name] = valueName;
    }
    key.values[name] = Value{type, bytes};
}

bool MemoryRegistry::hasKey(const std::string& keyPath) const {
    return m_keys.count(folded(keyPath)) != 0;
}

std::optional<MemoryRegistry::Value> MemoryRegistry::value(const std::string& keyPath,
                                                           const std::string& valueName) const {
    const auto key = m_keys.find(folded(keyPath));
    if (key == m_keys.end()) {
        return std::nullopt;
    }
    const auto found = key->second.values.find(folded(valueName));
    if (found == key->second.values.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string MemoryRegistry::dump() const {
    std::string out;
    for (const auto& [foldedPath, key] : m_keys) {
        out += key.path + "\n";
        for (const auto& [name, value] : key.values) {
            out += key.path + " [" + key.valueNames.at(name) + "] = " + std::to_string(value.type) +
                   ":\"" + printable(value.bytes) + "\"\n";
        }
    }
    return out;
}

} // namespace quillane::shell
