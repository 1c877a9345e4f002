// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/registry_system_info.h"

#include <array>

namespace quillane::shell {

namespace {

// Closes a key on every way out of the reader.
class KeyCloser {
public:
    KeyCloser(RegistryPort& registry, RegHandle key) : m_registry(registry), m_key(key) {}
    ~KeyCloser() { m_registry.closeKey(m_key); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    RegistryPort& m_registry;
    RegHandle m_key;
};

// A DWORD shown as its unsigned decimal number, read little-endian from the data
// the registry returned (shorter data counts as zero-padded).
std::string dwordText(const unsigned char* data, std::uint32_t size) {
    std::uint32_t number = 0;
    for (std::uint32_t i = 0; i < size && i < 4; ++i) {
        number |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    return std::to_string(number);
}

} // namespace

KeyValueRead readKeyValue(RegistryPort& registry, RegHandle KeyRoot, const std::string& KeyName,
                          const std::string& SubKeyRef, std::string& KeyVal) {
    RegHandle key = 0;
    if (registry.openKeyEx(KeyRoot, KeyName, 0, kKeyAllAccessMask, key) != kErrorSuccess) {
        KeyVal.clear();
        return KeyValueRead::NotRead;
    }
    KeyCloser closer(registry, key);

    std::array<unsigned char, kKeyValueBufferSize> buffer{};
    std::uint32_t size = kKeyValueBufferSize;
    std::uint32_t type = kRegNone;
    if (registry.queryValueEx(key, SubKeyRef, type, buffer.data(), size) != kErrorSuccess) {
        KeyVal.clear();
        return KeyValueRead::NotRead;
    }

    std::size_t length = 0;
    while (length < buffer.size() && buffer[length] != 0) {
        ++length;
    }
    if (length == buffer.size()) {
        KeyVal.clear();
        return KeyValueRead::Unterminated;
    }

    if (type == kRegSz) {
        KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), length);
    } else if (type == kRegDword) {
        KeyVal = dwordText(buffer.data(), size);
    }
    return KeyValueRead::Read;
}

bool GetKeyValue(RegistryPort& registry, RegHandle KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
    return readKeyValue(registry, KeyRoot, KeyName, SubKeyRef, KeyVal) == KeyValueRead::Read;
}

bool StartSysInfo(RegistryPort& registry, FileProbe& files, ProgramLauncher& launcher) {
    // Any failure on the way, thrown or returned, ends in the one message.
    try {
        std::string toolPath;
        KeyValueRead found =
            readKeyValue(registry, kHkeyLocalMachine, kMsinfoKey, kMsinfoPathValue, toolPath);
        if (found == KeyValueRead::Unterminated) {
            return false;
        }
        if (found == KeyValueRead::NotRead) {
            found = readKeyValue(registry, kHkeyLocalMachine, kSharedToolsLocationKey,
                                 kSharedToolsLocationValue, toolPath);
            if (found != KeyValueRead::Read) {
                return false;
            }
            const std::string candidate = toolPath + "\\" + kMsinfoFileName;
            if (!files.fileExists(candidate)) {
                return false;
            }
            toolPath = candidate;
        }
        return !toolPath.empty() && launcher.start(toolPath);
    } catch (...) {
        return false;
    }
}

} // namespace quillane::shell
