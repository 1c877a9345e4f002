// SPDX-License-Identifier: GPL-3.0-or-later
// Started by the registry check as the "system-information program": leaves a
// file next to itself to show that it ran.
#include <string>
#include <windows.h>

int main() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string marker(path, length);
    marker += ".started";
    HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(file);
    return 0;
}
