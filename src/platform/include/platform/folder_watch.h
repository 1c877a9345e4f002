// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

namespace quillane::platform {

// Folders to wake up for: a change of a file in one of them (saved in place, or by rename as
// editors do), and the folder itself renamed or deleted, is told at once. Where the system
// gives no such notice, every wait ends after at most half a second, as if something had
// changed, and the caller looks for itself.
class FolderWatch {
public:
    FolderWatch();
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    void add(const QString& folder);
    // Forgets every folder (before they are added again, after one came back).
    void clear();
    // Waits up to `ms` for a change; true when one came (or when there is no notice to wait
    // for). A stop request (see StopRequests) ends the wait early.
    bool wait(int ms);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace quillane::platform
