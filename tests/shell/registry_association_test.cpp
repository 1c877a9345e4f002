// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/registry_association.h"
#include "memory_registry.h"

#include <array>
#include <gtest/gtest.h>

namespace quillane::shell {
namespace {

using testing::MemoryRegistry;

const std::string kClasses = "HKEY_CLASSES_ROOT\\";

std::string defaultText(const MemoryRegistry& registry, const std::string& key) {
    const auto value = registry.value(kClasses + key, "");
    return value && value->type == kRegSz ? value->bytes : "<no text value>";
}

// Every call registering one type for C:\Tools\Quillane.exe: the twelve keys and
// six values in order, each key closed once its sub-keys are done.
std::vector<std::string> callsFor(const std::string& extension, const std::string& description,
                                  const std::string& option) {
    const std::string x = kClasses + extension, c = kClasses + description;
    const std::string mask = " options=0 access=0x2003F";
    return {
        "create " + x + mask,
        "set " + x + " = " + description,
        "close " + x,
        "create " + c + mask,
        "set " + c + " = " + description,
        "create " + c + "\\DefaultIcon" + mask,
        "set " + c + "\\DefaultIcon = C:\\Tools\\Quillane.exe,0",
        "close " + c + "\\DefaultIcon",
        "create " + c + "\\Shell" + mask,
        "create " + c + "\\Shell\\Open" + mask,
        "create " + c + "\\Shell\\Open\\Command" + mask,
        "set " + c + "\\Shell\\Open\\Command = \"C:\\Tools\\Quillane.exe\" " + option + "%1",
        "close " + c + "\\Shell\\Open\\Command",
        "close " + c + "\\Shell\\Open",
        "close " + c + "\\Shell",
        "close " + c,
    };
}

TEST(RegistryAssociation, FreshRunWritesTheTwelveKeysAndClosesDeepestFirst) {
    MemoryRegistry registry;
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    std::vector<std::string> expected = callsFor(".qht", "Quillane HTML file", "/H:");
    const std::vector<std::string> templateCalls =
        callsFor(".qtf", "Quillane template file", "/T:");
    expected.insert(expected.end(), templateCalls.begin(), templateCalls.end());
    EXPECT_EQ(registry.calls, expected);
    EXPECT_EQ(defaultText(registry, "Quillane template file\\Shell\\Open\\Command"),
              "\"C:\\Tools\\Quillane.exe\" /T:%1");
    EXPECT_EQ(registry.open.size(), 0u);
}

TEST(RegistryAssociation, RunningAgainChangesNothingAndAMovedProgramIsRepaired) {
    MemoryRegistry registry;
    // Whatever else is registered for these types stays.
    registry.keys[kClasses + ".qht"]["Content Type"] = {kRegSz, "text/plain"};
    registry.keys[kClasses + "Quillane HTML file\\Shell\\Edit\\Command"][""] = {kRegSz,
                                                                                "notepad.exe %1"};
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    const auto once = registry.keys;
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    EXPECT_EQ(registry.keys, once);
    EXPECT_TRUE(registry.value(kClasses + ".qht", "Content Type"));
    EXPECT_TRUE(registry.value(kClasses + "Quillane HTML file\\Shell\\Edit\\Command", ""));

    // Moved and renamed, into a folder with a space that the command must quote.
    associateFilesInRegistry(registry, "D:\\My Apps", "qedit");
    const std::pair<std::string, const char*> types[] = {{"Quillane HTML file", " /H:%1"},
                                                         {"Quillane template file", " /T:%1"}};
    for (const auto& [type, option] : types) {
        EXPECT_EQ(defaultText(registry, type + "\\DefaultIcon"), "D:\\My Apps\\qedit.exe,0");
        EXPECT_EQ(defaultText(registry, type + "\\Shell\\Open\\Command"),
                  std::string("\"D:\\My Apps\\qedit.exe\"") + option);
    }
    EXPECT_EQ(registry.open.size(), 0u);
}

TEST(RegistryAssociation, WithoutWriteAccessNothingIsWritten) {
    MemoryRegistry registry;
    registry.readOnly = true;
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    EXPECT_TRUE(registry.keys.empty());
    EXPECT_EQ(registry.open.size(), 0u);
    // Only the extension and class keys are tried; nothing below them, nothing set.
    ASSERT_EQ(registry.calls.size(), 4u);
    for (const std::string& call : registry.calls) {
        EXPECT_EQ(call.rfind("create ", 0), 0u) << call;
    }
}

TEST(RegistryAssociation, AKeyThatWasNotCreatedGetsNothingWrittenElsewhere) {
    MemoryRegistry registry;
    registry.refused = {kClasses + "Quillane HTML file",
                        kClasses + "Quillane template file\\Shell\\Open"};
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    EXPECT_EQ(defaultText(registry, ".qht"), "Quillane HTML file");
    for (const char* key :
         {"Quillane HTML file", "DefaultIcon", "Shell", "Open", "Command",
          "Quillane template file\\Shell\\Open", "Quillane template file\\Shell\\Command"}) {
        EXPECT_FALSE(registry.keys.count(kClasses + key)) << key;
    }
    // The rest of the template type is still there, and the Shell key holds no command.
    EXPECT_EQ(defaultText(registry, "Quillane template file\\DefaultIcon"),
              "C:\\Tools\\Quillane.exe,0");
    EXPECT_TRUE(registry.keys.count(kClasses + "Quillane template file\\Shell"));
    EXPECT_FALSE(registry.value(kClasses + "Quillane template file\\Shell", ""));
    EXPECT_EQ(registry.open.size(), 0u);
}

TEST(RegistryAssociation, ProgramPathSplitsIntoFolderAndNameWithoutExtension) {
    const std::array<std::string, 3> cases[] = {
        {"C:\\Tools\\Quillane.exe", "C:\\Tools", "Quillane"},
        {"C:\\My Tools\\quill.v2.EXE", "C:\\My Tools", "quill.v2"},
        {"C:\\Quillane.exe", "C:", "Quillane"}, // drive root: no doubled backslash later
        {"\\\\server\\share\\Quillane.exe", "\\\\server\\share", "Quillane"},
        {"Quillane", "", "Quillane"},
    };
    for (const auto& [path, folder, name] : cases) {
        const WindowsProgramLocation location = splitWindowsProgramPath(path);
        EXPECT_EQ(location.folder + "|" + location.name, folder + "|" + name);
    }
}

} // namespace
} // namespace quillane::shell
