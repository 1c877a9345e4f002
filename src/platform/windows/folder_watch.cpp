// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folder_watch.h"

#include "platform/console.h"

#include <QHash>
#include <algorithm>
#include <utility>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace quillane::platform {

namespace {

bool folderThere(const QString& folder) {
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(folder.utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

struct FolderWatch::State {
    QHash<QString, HANDLE> folders;
};

FolderWatch::FolderWatch() : m_state(std::make_unique<State>()) {}

FolderWatch::~FolderWatch() {
    clear();
}

void FolderWatch::add(const QString& folder) {
    if (folder.isEmpty() || m_state->folders.contains(folder)) return;
    // A change of a file's name, size, time or attributes in the folder itself (not below it,
    // as inotify does), the way an editor's save by rename shows too.
    const HANDLE h = FindFirstChangeNotificationW(
        reinterpret_cast<const wchar_t*>(folder.utf16()), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
            FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_ATTRIBUTES);
    m_state->folders.insert(folder, h);
}

void FolderWatch::clear() {
    for (const HANDLE h : std::as_const(m_state->folders))
        if (h != INVALID_HANDLE_VALUE) FindCloseChangeNotification(h);
    m_state->folders.clear();
}

bool FolderWatch::wait(int ms) {
    std::vector<HANDLE> handles;
    bool unwatched = false; // a folder the system would not watch: looked at by the caller
    for (const HANDLE h : std::as_const(m_state->folders)) {
        if (h == INVALID_HANDLE_VALUE)
            unwatched = true;
        else
            handles.push_back(h);
    }
    if (handles.empty() || unwatched) ms = std::min(ms, 500);
    // In short steps, so that a stop request is seen; more folders than one wait can take are
    // looked at in turns. A folder renamed or deleted tells nothing through its own handle,
    // so every half second each one is looked for.
    for (int waited = 0; waited < ms && !StopRequests::pending(); waited += 50) {
        const int step = std::min(50, ms - waited);
        if (handles.empty()) {
            Sleep(DWORD(step));
            continue;
        }
        bool changed = false;
        for (size_t first = 0; first < handles.size() && !changed; first += MAXIMUM_WAIT_OBJECTS) {
            const DWORD count =
                DWORD(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, handles.size() - first));
            const DWORD r = WaitForMultipleObjects(count, handles.data() + first, FALSE,
                                                   first == 0 ? DWORD(step) : 0);
            changed = r < WAIT_OBJECT_0 + count || r == WAIT_FAILED;
        }
        if (!changed && (waited + step) % 500 < 50)
            for (auto it = m_state->folders.cbegin(); it != m_state->folders.cend() && !changed;
                 ++it)
                changed = !folderThere(it.key());
        if (changed) {
            // Every notice that came is taken, so that the next wait waits for a new one.
            for (const HANDLE h : handles)
                if (WaitForSingleObject(h, 0) == WAIT_OBJECT_0) FindNextChangeNotification(h);
            return true;
        }
    }
    return handles.empty() || unwatched;
}

} // namespace quillane::platform
