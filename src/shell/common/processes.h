// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quillane::shell {

// Each platform folder defines these two.

// The full path of the running program's file as the system reports it
// (/proc/self/exe, or the module file name on Windows); "" when it cannot tell.
std::string runningProgramPath();

// Starts the program file at `programPath` with no arguments and does not wait
// for it. The program runs on its own (on POSIX systems in its own session,
// reparented away from us, so it never becomes our zombie; on Windows in a
// normal focused window). Returns false when it could not be started.
bool startDetached(const std::string& programPath);

// Starts a program file without waiting for it.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual bool start(const std::string& programPath) = 0;
};

class DetachedLauncher : public ProgramLauncher {
public:
    bool start(const std::string& programPath) override { return startDetached(programPath); }
};

} // namespace quillane::shell
