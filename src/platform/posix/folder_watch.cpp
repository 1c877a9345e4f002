// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folder_watch.h"

#include "platform/console.h"

#include <QFile>
#include <QSet>
#include <algorithm>
#include <chrono>
#include <poll.h>
#include <thread>
#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace quillane::platform {

struct FolderWatch::State {
    int fd = -1;
    QSet<QString> folders;
};

FolderWatch::FolderWatch() : m_state(std::make_unique<State>()) {
#ifdef __linux__
    m_state->fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
#endif
}

FolderWatch::~FolderWatch() {
    if (m_state->fd >= 0) ::close(m_state->fd);
}

void FolderWatch::add(const QString& folder) {
#ifdef __linux__
    if (m_state->fd < 0 || folder.isEmpty() || m_state->folders.contains(folder)) return;
    m_state->folders.insert(folder);
    ::inotify_add_watch(m_state->fd, QFile::encodeName(folder).constData(),
                        IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                            IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF);
#else
    Q_UNUSED(folder);
#endif
}

void FolderWatch::clear() {
#ifdef __linux__
    if (m_state->fd < 0) return;
    // Closing forgets every watch at once; a new descriptor starts with none.
    ::close(m_state->fd);
    m_state->fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
#endif
    m_state->folders.clear();
}

bool FolderWatch::wait(int ms) {
    if (m_state->fd < 0) {
        // No notices: look again soon, in short sleeps so that a stop is seen.
        for (int slept = 0; slept < std::min(ms, 500) && !StopRequests::pending(); slept += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return true;
    }
    pollfd p{m_state->fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    char buffer[16384];
    while (::read(m_state->fd, buffer, sizeof buffer) > 0) {
    }
    return true;
}

} // namespace quillane::platform
