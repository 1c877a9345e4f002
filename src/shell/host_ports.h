#pragma once

#include <string>

namespace quillane::shell {

// Does a plain file exist at a path (a name match, no wildcards)?
class FileProbe {
public:
    virtual ~FileProbe() = default;
    virtual bool fileExists(const std::string& path) = 0;
};

// Starts a program file without waiting for it.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual bool start(const std::string& programPath) = 0;
};

// The real file system: a regular file; on Windows also one that is neither
// hidden nor a system file (what a plain name search with normal attributes finds).
class SystemFileProbe : public FileProbe {
public:
    bool fileExists(const std::string& path) override;
};

// Starts the program on its own, in a normal focused window where that applies.
class DetachedLauncher : public ProgramLauncher {
public:
    bool start(const std::string& programPath) override;
};

} // namespace quillane::shell
