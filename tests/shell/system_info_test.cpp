#include "shell/memory_registry.h"
#include "shell/system_info.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <set>
#include <stdexcept>

namespace quillane::shell {
namespace {

using testing::TempFolder;
using testing::writeText;

const std::string kLocal = "HKEY_LOCAL_MACHINE\\";

struct ValueCase {
    const char* what;
    std::uint32_t type;
    std::string bytes;
    bool read;
    const char* text; // KeyVal afterwards; it holds "on entry" before the call
};

TEST(GetKeyValue, ReadsTextUpToTheFirstZeroByteAndClosesTheKey) {
    const std::string full(1024, 'x');
    const std::vector<ValueCase> cases = {
        {"plain text", kRegSz, std::string("C:\\Tools\\msinfo32.exe\0", 22), true,
         "C:\\Tools\\msinfo32.exe"},
        {"text after an embedded zero", kRegSz, std::string("abc\0def\0", 8), true, "abc"},
        {"no terminating zero", kRegSz, "abc", true, "abc"},
        {"empty text", kRegSz, std::string("\0", 1), true, ""},
        {"1023 bytes and a zero", kRegSz, std::string(1023, 'y') + '\0', true, nullptr},
        {"buffer full, no zero", kRegSz, full, false, ""},
        {"larger than the buffer", kRegSz, full + "y", false, ""},
        {"DWORD", kRegDword, std::string("\x00\x01\x00\x00", 4), true, "256"},
        {"DWORD high bytes", kRegDword, "\x78\x56\x34\x12", true, "305419896"},
        {"binary keeps text on entry", kRegBinary, "xyz", true, "on entry"},
        {"expandable text keeps text on entry", kRegExpandSz, std::string("%windir%\0", 9), true,
         "on entry"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRegistry registry;
        registry.putValue(kLocal + "SOFTWARE\\Test", "Name", c.type, c.bytes);
        std::string value = "on entry";
        EXPECT_EQ(GetKeyValue(registry, kHkeyLocalMachine, "SOFTWARE\\Test", "Name", value),
                  c.read);
        EXPECT_EQ(value, c.text != nullptr ? std::string(c.text) : std::string(1023, 'y'));
        EXPECT_EQ(registry.openHandleCount(), 0u);
        EXPECT_EQ(registry.calls().front(),
                  "open HKEY_LOCAL_MACHINE\\SOFTWARE\\Test options=0 access=0x2003F");
    }
}

TEST(GetKeyValue, MissingKeyOrValueEmptiesTheText) {
    MemoryRegistry registry;
    registry.putValue(kLocal + "SOFTWARE\\Test", "Other", kRegSz, std::string("x\0", 2));
    std::string value = "stale";
    EXPECT_FALSE(GetKeyValue(registry, kHkeyLocalMachine, "SOFTWARE\\Missing", "Name", value));
    EXPECT_EQ(value, "");
    value = "stale";
    EXPECT_FALSE(GetKeyValue(registry, kHkeyLocalMachine, "SOFTWARE\\Test", "Name", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(registry.openHandleCount(), 0u);

    std::string full(1024, 'x');
    registry.putValue(kLocal + "SOFTWARE\\Test", "Full", kRegSz, full);
    EXPECT_EQ(readKeyValue(registry, kHkeyLocalMachine, "SOFTWARE\\Test", "Full", value),
              KeyValueRead::Unterminated);
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
        if (throws) {
            throw std::runtime_error("cannot start");
        }
        if (!startable.empty() && startable.count(path) == 0) {
            return false;
        }
        started.push_back(path);
        return true;
    }
};

const std::string kToolPath =
    "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
const std::string kToolFolder = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo";

class StartSysInfoTest : public ::testing::Test {
protected:
    void putPath(const std::string& bytes, std::uint32_t type = kRegSz) {
        registry.putValue(kLocal + kMsinfoKey, "PATH", type, bytes);
    }
    void putFolder(const std::string& folder) {
        registry.putValue(kLocal + kSharedToolsLocationKey, "MSINFO", kRegSz, folder + '\0');
    }
    bool locationConsulted() const {
        for (const std::string& call : registry.calls()) {
            if (call.find("Shared Tools Location") != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    bool run() { return StartSysInfo(registry, files, launcher); }

    MemoryRegistry registry;
    FakeFiles files;
    RecordingLauncher launcher;
};

TEST_F(StartSysInfoTest, PathValueWinsWithoutCheckingTheFolderLocation) {
    putPath(kToolPath + '\0');
    putFolder("D:\\Elsewhere");
    files.existing.insert("D:\\Elsewhere\\MSINFO32.EXE");
    EXPECT_TRUE(run());
    EXPECT_EQ(launcher.started, std::vector<std::string>{kToolPath});
    EXPECT_FALSE(locationConsulted());
    EXPECT_EQ(registry.openHandleCount(), 0u);
}

TEST_F(StartSysInfoTest, FolderLocationIsUsedOnlyWhenTheProgramIsThere) {
    putFolder(kToolFolder);
    EXPECT_FALSE(run());
    EXPECT_TRUE(launcher.started.empty());

    files.existing.insert(kToolFolder + "\\MSINFO32.EXE");
    EXPECT_TRUE(run());
    EXPECT_EQ(launcher.started, std::vector<std::string>{kToolFolder + "\\MSINFO32.EXE"});
}

TEST_F(StartSysInfoTest, EveryFailureAsksForTheMessage) {
    // Nothing registered.
    EXPECT_FALSE(run());
    // A PATH value naming a file that cannot be started.
    putPath("C:\\Gone\\msinfo32.exe");
    launcher.startable.insert(kToolPath);
    EXPECT_FALSE(run());
    // A starter that throws.
    putPath(kToolPath + '\0');
    launcher.throws = true;
    EXPECT_FALSE(run());
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(registry.openHandleCount(), 0u);
}

TEST_F(StartSysInfoTest, UnterminatedPathValueFailsAtOnceWithoutTryingTheFolder) {
    putPath(std::string(1024, 'C'));
    putFolder(kToolFolder);
    files.existing.insert(kToolFolder + "\\MSINFO32.EXE");
    EXPECT_FALSE(run());
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_FALSE(locationConsulted());
    EXPECT_EQ(registry.openHandleCount(), 0u);
}

TEST_F(StartSysInfoTest, PathValueOfAnotherTypeGivesNothingToStart) {
    putPath("binary", kRegBinary);
    EXPECT_FALSE(run());
    EXPECT_TRUE(launcher.started.empty());
}

TEST(StartSysInfoOnPath, StartsTheFirstListedProgramFoundOnPath) {
    TempFolder root;
    writeText(root / "one/gnome-system-monitor", "#!/bin/sh\n", true);
    writeText(root / "two/hardinfo", "#!/bin/sh\n", true);
    writeText(root / "two/hardinfo2", "not executable\n", false);
    std::filesystem::create_directories(root / "one/kinfocenter");
    writeText(root / "three/hardinfo2", "#!/bin/sh\n", true);
    const std::string searchPath = "relative:" + (root / "one") + "::" + (root / "two");

    RecordingLauncher launcher;
    EXPECT_TRUE(StartSysInfo(searchPath, launcher));
    // hardinfo comes before gnome-system-monitor in the list, whatever the PATH order;
    // a relative PATH entry is never searched.
    EXPECT_EQ(launcher.started, std::vector<std::string>{root / "two/hardinfo"});

    // When the first found cannot start, the next one is tried.
    RecordingLauncher picky;
    picky.startable.insert(root / "one/gnome-system-monitor");
    EXPECT_TRUE(StartSysInfo(searchPath, picky));
    EXPECT_EQ(picky.started, std::vector<std::string>{root / "one/gnome-system-monitor"});

    RecordingLauncher none;
    EXPECT_FALSE(StartSysInfo(root / "empty", none));
    EXPECT_FALSE(StartSysInfo("", none));
    EXPECT_TRUE(none.started.empty());
}

} // namespace
} // namespace quillane::shell
