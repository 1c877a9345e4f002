// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the Windows side of the shell code against a real registry (Wine's) and
// reads everything back with plain advapi32 calls, independently of our port.
#include "common/processes.h"
#include "common/registry_system_info.h"
#include "shell/file_association.h"
#include "shell/system_info.h"
#include "windows/windows_registry.h"

#include <cstdio>
#include <string>
#include <vector>
#include <windows.h>

using namespace quillane::shell;

namespace {

int g_failures = 0;
int g_checks = 0;

void check(bool ok, const std::string& what) {
    ++g_checks;
    if (!ok) {
        ++g_failures;
    }
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
}

// The default value of HKEY_CLASSES_ROOT\<key>, or "<missing>".
std::string classesDefault(const std::string& key, DWORD* typeOut = nullptr) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &handle) !=
        ERROR_SUCCESS) {
        return "<missing>";
    }
    char buffer[2048] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExA(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (typeOut != nullptr) {
        *typeOut = type;
    }
    return status == ERROR_SUCCESS ? std::string(buffer) : "<no value>";
}

void putMachineValue(const char* key, const char* name, DWORD type, const std::string& bytes) {
    HKEY handle = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                    nullptr);
    RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(handle);
}

void deleteMachineKey(const char* key) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
}

bool waitForFile(const std::string& path) {
    for (int i = 0; i < 100; ++i) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: registry_check <path of the started-marker program>\n");
        return 2;
    }
    const std::string markerProgram = argv[1];
    // Our file name ends in ".exe", so the registered path is exactly the module path.
    const std::string program = runningProgramPath();
    std::printf("program: %s\n", program.c_str());

    AssociateFiles();
    struct Expected {
        std::string key;
        std::string value;
    };
    const std::vector<Expected> table = {
        {".qht", "Quillane HTML file"},
        {"Quillane HTML file", "Quillane HTML file"},
        {"Quillane HTML file\\DefaultIcon", program + ",0"},
        {"Quillane HTML file\\Shell", ""},
        {"Quillane HTML file\\Shell\\Open", ""},
        {"Quillane HTML file\\Shell\\Open\\Command", "\"" + program + "\" /H:%1"},
        {".qtf", "Quillane template file"},
        {"Quillane template file", "Quillane template file"},
        {"Quillane template file\\DefaultIcon", program + ",0"},
        {"Quillane template file\\Shell", ""},
        {"Quillane template file\\Shell\\Open", ""},
        {"Quillane template file\\Shell\\Open\\Command", "\"" + program + "\" /T:%1"},
    };
    for (const Expected& entry : table) {
        DWORD type = 0;
        const std::string found = classesDefault(entry.key, &type);
        if (entry.value.empty()) {
            check(found == "<no value>",
                  "key HKCR\\" + entry.key + " exists without a value (" + found + ")");
        } else {
            check(found == entry.value && type == REG_SZ, "HKCR\\" + entry.key + " = " + found);
        }
    }

    AssociateFiles();
    bool unchanged = true;
    for (const Expected& entry : table) {
        const std::string found = classesDefault(entry.key);
        unchanged =
            unchanged && (entry.value.empty() ? found == "<no value>" : found == entry.value);
    }
    check(unchanged, "a second run leaves the twelve keys as they were");

    const char* testKey = "SOFTWARE\\Quillane Check";
    putMachineValue(testKey, "Text", REG_SZ, std::string("C:\\Tools\\tool.exe\0", 18));
    putMachineValue(testKey, "Embedded", REG_SZ, std::string("abc\0def\0", 8));
    putMachineValue(testKey, "Full", REG_BINARY, std::string(1024, 'x'));
    putMachineValue(testKey, "Number", REG_DWORD, std::string("\x00\x01\x00\x00", 4));
    std::string value = "on entry";
    bool read = GetKeyValue(kHkeyLocalMachine, testKey, "Text", value);
    check(read && value == "C:\\Tools\\tool.exe", "GetKeyValue reads a text value: " + value);
    read = GetKeyValue(kHkeyLocalMachine, testKey, "Embedded", value);
    check(read && value == "abc", "GetKeyValue cuts at the first zero byte: " + value);
    read = GetKeyValue(kHkeyLocalMachine, testKey, "Number", value);
    check(read && value == "256", "GetKeyValue renders a DWORD: " + value);
    WindowsRegistry registry;
    check(readKeyValue(registry, kHkeyLocalMachine, testKey, "Full", value) ==
                  KeyValueRead::Unterminated &&
              value.empty(),
          "a value filling the buffer without a zero byte is told apart");
    value = "stale";
    check(!GetKeyValue(kHkeyLocalMachine, testKey, "Missing", value) && value.empty(),
          "a missing value reads as empty");
    check(!GetKeyValue(kHkeyLocalMachine, "SOFTWARE\\Quillane Missing", "Text", value) &&
              value.empty(),
          "a missing key reads as empty");
    deleteMachineKey(testKey);

    // The system-information look-up over the real registry, with our marker
    // program (in a folder with spaces) standing in for the real one.
    const char* msinfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    putMachineValue(msinfo, "PATH", REG_SZ, markerProgram + '\0');
    check(StartSysInfo(), "StartSysInfo starts the program named by PATH");
    check(waitForFile(markerProgram + ".started"), "the started program ran");
    putMachineValue(msinfo, "PATH", REG_SZ, std::string("C:\\Nowhere\\msinfo32.exe\0", 24));
    check(!StartSysInfo(), "StartSysInfo reports a PATH value naming a missing file");

    std::printf("wine-check: %d passed, %d failed\n", g_checks - g_failures, g_failures);
    return g_failures == 0 ? 0 : 1;
}
