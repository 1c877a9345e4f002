// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/registry_system_info.h"
#include "freedesktop/system_info.h"
#include "memory_registry.h"
#include "test_support.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <set>
#include <stdexcept>
#include <sys/wait.h>

namespace quillane::shell {
namespace {

using testing::MemoryRegistry;
using testing::readText;
using testing::TempFolder;
using testing::waitForFile;
using testing::writeText;

const std::string kLocal = "HKEY_LOCAL_MACHINE\\";

TEST(GetKeyValue, ReadsTextUpToTheFirstZeroByteAndClosesTheKey) {
    struct Case {
        const char* what;
        std::uint32_t type;
        std::string bytes;
        bool read;
        std::string text; // afterwards; "on entry" before the call
        std::string key = "SOFTWARE\\Test", name = "Name";
    };
    const std::string full(1024, 'x');
    const Case cases[] = {
        {"plain text", kRegSz, std::string("C:\\Tools\\msinfo32.exe\0", 22), true,
         "C:\\Tools\\msinfo32.exe"},
        {"text after an embedded zero", kRegSz, std::string("abc\0def\0", 8), true, "abc"},
        {"no terminating zero", kRegSz, "abc", true, "abc"},
        {"1023 bytes and a zero", kRegSz, std::string(1023, 'y') + '\0', true,
         std::string(1023, 'y')},
        {"buffer full, no zero", kRegSz, full, false, ""},
        {"larger than the buffer", kRegSz, full + "y", false, ""},
        {"DWORD, little-endian", kRegDword, "\x78\x56\x34\x12", true, "305419896"},
        {"expandable text keeps text on entry", kRegExpandSz, std::string("%windir%\0", 9), true,
         "on entry"},
        {"missing key", kRegSz, "x", false, "", "SOFTWARE\\Missing"},
        {"missing value", kRegSz, "x", false, "", "SOFTWARE\\Test", "Other"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRegistry registry;
        registry.keys[kLocal + "SOFTWARE\\Test"]["Name"] = {c.type, c.bytes};
        std::string value = "on entry";
        EXPECT_EQ(GetKeyValue(registry, kHkeyLocalMachine, c.key, c.name, value), c.read);
        EXPECT_EQ(value, c.text);
        EXPECT_EQ(registry.open.size(), 0u);
        EXPECT_EQ(registry.calls.front(), "open " + kLocal + c.key + " options=0 access=0x2003F");
    }
}

class FakeFiles : public FileProbe {
public:
    std::set<std::string> existing;
    bool fileExists(const std::string& path) override { return existing.count(path) != 0; }
};

class RecordingLauncher : public ProgramLauncher {
public:
    std::vector<std::string> started;
    std::set<std::string> startable; // empty: everything starts
    bool throws = false;
    bool start(const std::string& path) override {
        if (throws) throw std::runtime_error("cannot start");
        if (!startable.empty() && startable.count(path) == 0) return false;
        started.push_back(path);
        return true;
    }
};

TEST(StartSysInfo, ReadsThePathValueThenTheToolsFolderAndFailsWithTheMessage) {
    const std::string folder = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo";
    const std::string inFolder = folder + "\\MSINFO32.EXE";
    const std::string named = std::string("D:\\Info\\msinfo32.exe\0", 21);
    struct Case {
        const char* what;
        std::string pathValue; // empty: no PATH value
        std::uint32_t pathType;
        bool folderKnown, programInFolder, refuses, throws;
        std::string started; // empty: fails
        bool folderConsulted;
    };
    const Case cases[] = {
        {"PATH wins", named, kRegSz, true, true, false, false, "D:\\Info\\msinfo32.exe", false},
        {"folder with the program", "", kRegSz, true, true, false, false, inFolder, true},
        {"folder without the program", "", kRegSz, true, false, false, false, "", true},
        {"nothing registered", "", kRegSz, false, false, false, false, "", true},
        {"PATH cannot start", named, kRegSz, true, true, true, false, "", false},
        {"starter throws", named, kRegSz, false, false, false, true, "", false},
        {"PATH fills the buffer", std::string(1024, 'C'), kRegSz, true, true, false, false, "",
         false},
        {"PATH of another type", "binary", kRegBinary, false, false, false, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRegistry registry;
        FakeFiles files;
        RecordingLauncher launcher;
        if (!c.pathValue.empty())
            registry.keys[kLocal + kMsinfoKey]["PATH"] = {c.pathType, c.pathValue};
        if (c.folderKnown)
            registry.keys[kLocal + kSharedToolsLocationKey]["MSINFO"] = {kRegSz, folder + '\0'};
        if (c.programInFolder) files.existing.insert(inFolder);
        if (c.refuses) launcher.startable.insert("something else");
        launcher.throws = c.throws;

        EXPECT_EQ(StartSysInfo(registry, files, launcher), !c.started.empty());
        EXPECT_EQ(launcher.started, std::vector<std::string>(!c.started.empty(), c.started));
        const std::string calls = ::testing::PrintToString(registry.calls);
        EXPECT_EQ(calls.find("Shared Tools Location") != std::string::npos, c.folderConsulted);
        EXPECT_EQ(registry.open.size(), 0u);
    }
}

TEST(StartSysInfo, StartsTheFirstListedProgramFoundOnPath) {
    TempFolder root;
    // hardinfo2 heads the list, but here it cannot run, is a folder or sits in a relative entry.
    writeText(root / "a/hardinfo2", "not executable\n");
    std::filesystem::create_directories(root / "b/hardinfo2");
    writeText(root / "c/hardinfo2", "#!/bin/sh\n", true);
    writeText(root / "d/gnome-system-monitor", "#!/bin/sh\n", true);
    writeText(root / "e/hardinfo", "#!/bin/sh\n", true);
    const std::string relative =
        std::filesystem::relative(root / "c", std::filesystem::current_path()).string();
    const std::string searchPath = (root / "a") + ":" + relative + ":" + (root / "b") +
                                   "::" + (root / "d") + ":" + (root / "e");

    // hardinfo comes before gnome-system-monitor in the list, whatever the PATH order.
    RecordingLauncher launcher;
    EXPECT_TRUE(StartSysInfo(searchPath, launcher));
    EXPECT_EQ(launcher.started, std::vector<std::string>{root / "e/hardinfo"});

    // When the first found cannot start, the next one is tried.
    RecordingLauncher picky;
    picky.startable.insert(root / "d/gnome-system-monitor");
    EXPECT_TRUE(StartSysInfo(searchPath, picky));
    EXPECT_EQ(picky.started, std::vector<std::string>{root / "d/gnome-system-monitor"});

    RecordingLauncher none;
    EXPECT_FALSE(StartSysInfo(root / "a", none));
    EXPECT_FALSE(StartSysInfo("", none));
    EXPECT_TRUE(none.started.empty());
}

bool haveChildren() {
    errno = 0;
    return waitpid(-1, nullptr, WNOHANG) != -1 || errno != ECHILD;
}

TEST(StartDetached, StartsWithoutWaitingAndLeavesNoChildBehind) {
    TempFolder root;
    writeText(root / "plain", "#!/bin/sh\n", false);
    std::filesystem::create_directories(root / "folder");
    for (const std::string& path :
         {root / "missing", root / "plain", root / "folder", std::string()}) {
        EXPECT_FALSE(startDetached(path)) << path;
    }
    EXPECT_FALSE(haveChildren());

    // The program outlives the call; it writes its session id when it runs.
    const std::string marker = root / "started";
    // Its name holds a space, so the fields are counted after the ")" that ends it.
    writeText(root / "tool dir/sys info",
              "#!/bin/sh\nsleep 0.3\nstat=$(cat /proc/$$/stat)\nset -- ${stat##*) }\necho $4 > '" +
                  marker + "'\n",
              true);
    EXPECT_TRUE(DetachedLauncher().start(root / "tool dir/sys info"));
    EXPECT_FALSE(std::filesystem::exists(marker)) << "the call waited for the program";
    EXPECT_FALSE(haveChildren()) << "the program should belong to init, not to us";
    ASSERT_TRUE(waitForFile(marker));
    // Its own session, so closing our terminal or process group does not end it.
    EXPECT_NE(std::stoi(readText(marker)), getsid(0));
}

} // namespace
} // namespace quillane::shell
