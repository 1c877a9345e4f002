#include "shell/host_ports.h"
#include "shell/processes.h"
#include "test_support.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace quillane::shell {
namespace {

using testing::readText;
using testing::TempFolder;
using testing::waitForFile;
using testing::writeText;

TEST(StartDetached, StartsWithoutWaitingAndLeavesNoChildBehind) {
    TempFolder root;
    const std::string marker = root / "started";
    // The program outlives the call; it writes its session id when it runs.
    writeText(root / "tool dir/sys info",
              "#!/bin/sh\nsleep 0.3\nread -r _ _ _ _ _ sid _ < /proc/$$/stat\necho $sid > '" +
                  marker + "'\n",
              true);

    EXPECT_TRUE(DetachedLauncher().start(root / "tool dir/sys info"));
    EXPECT_FALSE(std::filesystem::exists(marker)) << "the call waited for the program";
    // Nothing of ours is left to reap: the program belongs to init, not to us.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    ASSERT_TRUE(waitForFile(marker));
    // Its own session, so closing our terminal or process group does not end it.
    EXPECT_NE(std::stoi(readText(marker)), getsid(0));
}

TEST(StartDetached, ReportsWhatCannotBeStarted) {
    TempFolder root;
    writeText(root / "plain", "#!/bin/sh\n", false);
    std::filesystem::create_directories(root / "folder");
    for (const std::string& path :
         {root / "missing", root / "plain", root / "folder", std::string()}) {
        EXPECT_FALSE(startDetached(path)) << path;
    }
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(RunQuietly, PassesArgumentsUnchangedAndReportsTheExitStatus) {
    TempFolder root;
    const std::string record = root / "arguments";
    writeText(root / "tool",
              "#!/bin/sh\nprintf '%s|' \"$@\" > '" + record + "'\necho noise\nexit \"$EXIT\"\n",
              true);
    setenv("EXIT", "0", 1);
    EXPECT_TRUE(runQuietly(root / "tool", {"a b", "$HOME", "'q'"}));
    EXPECT_EQ(readText(record), "a b|$HOME|'q'|");
    setenv("EXIT", "3", 1);
    EXPECT_FALSE(runQuietly(root / "tool", {}));
    unsetenv("EXIT");
    EXPECT_FALSE(runQuietly(root / "missing", {}));
}

TEST(FindProgramOnPath, SkipsRelativeEntriesFoldersAndFilesThatCannotRun) {
    TempFolder root;
    writeText(root / "a/tool", "x", false);
    std::filesystem::create_directories(root / "b/tool");
    writeText(root / "c/tool", "#!/bin/sh\n", true);
    writeText(root / "d/tool", "#!/bin/sh\n", true);
    const std::string path =
        (root / "a") + ":.:" + (root / "b") + ":" + (root / "c") + "/:" + (root / "d");
    EXPECT_EQ(findProgramOnPath("tool", path), root / "c/tool");
    EXPECT_EQ(findProgramOnPath("c/tool", root.path()), "");
    EXPECT_EQ(findProgramOnPath("other", path), "");
}

} // namespace
} // namespace quillane::shell
