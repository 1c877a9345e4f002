// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folder_watch.h"

#include "platform/console.h"

#include <QHash>
#include <algorithm>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace quillane::platform {

struct FolderWatch::State {
    QHash<QString, HANDLE> folders;
};

FolderWatch::FolderWatch() : m_state(std::make_unique<State>()) {}

FolderWatch::~FolderWatch() {
    clear();
}

void FolderWatch::add(const QString& folder) {
    if (folder.isEmpty() || m_state->folders.contains(folder)) return;
    const HANDLE h = FindFirstChangeNotificationW(
        reinterpret_cast<const wchar_t*>(folder.utf16()), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
            FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_ATTRIBUTES);
    if (h != INVALID_HANDLE_VALUE) m_state->folders.insert(folder, h);
}

void FolderWatch::clear() {
    for (const HANDLE h : std::as_const(m_state->folders))
        FindCloseChangeNotification(h);
    m_state->folders.clear();
}

bool FolderWatch::wait(int ms) {
    std::vector<HANDLE> handles(m_state->folders.cbegin(), m_state->folders.cend());
    if (handles.empty() || handles.size() > MAXIMUM_WAIT_OBJECTS) {
        for (int slept = 0; slept < std::min(ms, 500) && !StopRequests::pending(); slept += 50)
            Sleep(50);
        return true;
    }
    // In short steps, so that a stop request is seen.
    for (int waited = 0; waited < ms && !StopRequests::pending(); waited += 50) {
        const DWORD r = WaitForMultipleObjects(DWORD(handles.size()), handles.data(), FALSE,
                                               DWORD(std::min(50, ms - waited)));
        if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size()) {
            for (const HANDLE h : handles)
                if (WaitForSingleObject(h, 0) == WAIT_OBJECT_0) FindNextChangeNotification(h);
            return true;
        }
        if (r == WAIT_FAILED) return true;
    }
    return false;
}

} // namespace quillane::platform
