#include "shell/file_association.h"
#include "shell/memory_registry.h"
#include "shell/program_paths.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace quillane::shell {
namespace {

const std::string kRoots = "HKEY_CURRENT_USER\nHKEY_LOCAL_MACHINE\nHKEY_USERS\n";

std::string defaultText(const MemoryRegistry& registry, const std::string& key) {
    const auto value = registry.value("HKEY_CLASSES_ROOT\\" + key, "");
    if (!value || value->type != kRegSz || value->bytes.empty() || value->bytes.back() != '\0') {
        return "<no text value>";
    }
    return value->bytes.substr(0, value->bytes.size() - 1);
}

TEST(RegistryAssociation, FreshRunWritesExactlyTheTwelveKeysAndClosesEveryHandle) {
    MemoryRegistry registry;
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");

    const std::string expected =
        "HKEY_CLASSES_ROOT\n"
        "HKEY_CLASSES_ROOT\\.qht\n"
        "HKEY_CLASSES_ROOT\\.qht [] = 1:\"Quillane HTML file\\x00\"\n"
        "HKEY_CLASSES_ROOT\\.qtf\n"
        "HKEY_CLASSES_ROOT\\.qtf [] = 1:\"Quillane template file\\x00\"\n"
        "HKEY_CLASSES_ROOT\\Quillane HTML file\n"
        "HKEY_CLASSES_ROOT\\Quillane HTML file [] = 1:\"Quillane HTML file\\x00\"\n"
        "HKEY_CLASSES_ROOT\\Quillane HTML file\\DefaultIcon\n"
        "HKEY_CLASSES_ROOT\\Quillane HTML file\\DefaultIcon [] = "
        "1:\"C:\\x5CTools\\x5CQuillane.exe,0\\x00\"\n"
        "HKEY_CLASSES_ROOT\\Quillane HTML file\\Shell\n"
        "HKEY_CLASSES_ROOT\\Quillane HTML file\\Shell\\Open\n"
        "HKEY_CLASSES_ROOT\\Quillane HTML file\\Shell\\Open\\Command\n"
        "HKEY_CLASSES_ROOT\\Quillane HTML file\\Shell\\Open\\Command [] = "
        "1:\"\\x22C:\\x5CTools\\x5CQuillane.exe\\x22 /H:%1\\x00\"\n"
        "HKEY_CLASSES_ROOT\\Quillane template file\n"
        "HKEY_CLASSES_ROOT\\Quillane template file [] = 1:\"Quillane template file\\x00\"\n"
        "HKEY_CLASSES_ROOT\\Quillane template file\\DefaultIcon\n"
        "HKEY_CLASSES_ROOT\\Quillane template file\\DefaultIcon [] = "
        "1:\"C:\\x5CTools\\x5CQuillane.exe,0\\x00\"\n"
        "HKEY_CLASSES_ROOT\\Quillane template file\\Shell\n"
        "HKEY_CLASSES_ROOT\\Quillane template file\\Shell\\Open\n"
        "HKEY_CLASSES_ROOT\\Quillane template file\\Shell\\Open\\Command\n"
        "HKEY_CLASSES_ROOT\\Quillane template file\\Shell\\Open\\Command [] = "
        "1:\"\\x22C:\\x5CTools\\x5CQuillane.exe\\x22 /T:%1\\x00\"\n" +
        kRoots;
    EXPECT_EQ(registry.dump(), expected);
    EXPECT_EQ(registry.openHandleCount(), 0u);
}

TEST(RegistryAssociation, CallsFollowTheStepsAndCloseDeepestKeysFirst) {
    MemoryRegistry registry;
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");

    const std::string c = "HKEY_CLASSES_ROOT\\Quillane HTML file";
    const std::string mask = " options=0 access=0x2003F";
    const std::vector<std::string> documentSteps = {
        "create HKEY_CLASSES_ROOT\\.qht" + mask,
        "set HKEY_CLASSES_ROOT\\.qht = \"Quillane HTML file\"",
        "close HKEY_CLASSES_ROOT\\.qht",
        "create " + c + mask,
        "set " + c + " = \"Quillane HTML file\"",
        "create " + c + "\\DefaultIcon" + mask,
        "set " + c + "\\DefaultIcon = \"C:\\x5CTools\\x5CQuillane.exe,0\"",
        "close " + c + "\\DefaultIcon",
        "create " + c + "\\Shell" + mask,
        "create " + c + "\\Shell\\Open" + mask,
        "create " + c + "\\Shell\\Open\\Command" + mask,
        "set " + c + "\\Shell\\Open\\Command = \"\\x22C:\\x5CTools\\x5CQuillane.exe\\x22 /H:%1\"",
        "close " + c + "\\Shell\\Open\\Command",
        "close " + c + "\\Shell\\Open",
        "close " + c + "\\Shell",
        "close " + c,
    };
    ASSERT_EQ(registry.calls().size(), 2 * documentSteps.size());
    const std::vector<std::string> first(registry.calls().begin(), registry.calls().begin() + 16);
    EXPECT_EQ(first, documentSteps);
    EXPECT_EQ(registry.calls()[16], "create HKEY_CLASSES_ROOT\\.qtf" + mask);
}

struct ProgramCase {
    const char* folder;
    const char* name;
    const char* icon;
    const char* documentCommand;
    const char* templateCommand;
};

TEST(RegistryAssociation, IconAndCommandsFollowTheProgramsFolderAndName) {
    const ProgramCase cases[] = {
        {"C:\\My Tools", "Quillane", "C:\\My Tools\\Quillane.exe,0",
         "\"C:\\My Tools\\Quillane.exe\" /H:%1", "\"C:\\My Tools\\Quillane.exe\" /T:%1"},
        {"D:\\Apps", "qedit", "D:\\Apps\\qedit.exe,0", "\"D:\\Apps\\qedit.exe\" /H:%1",
         "\"D:\\Apps\\qedit.exe\" /T:%1"},
    };
    for (const ProgramCase& program : cases) {
        SCOPED_TRACE(program.folder);
        MemoryRegistry registry;
        associateFilesInRegistry(registry, program.folder, program.name);
        EXPECT_EQ(defaultText(registry, "Quillane HTML file\\DefaultIcon"), program.icon);
        EXPECT_EQ(defaultText(registry, "Quillane template file\\DefaultIcon"), program.icon);
        EXPECT_EQ(defaultText(registry, "Quillane HTML file\\Shell\\Open\\Command"),
                  program.documentCommand);
        EXPECT_EQ(defaultText(registry, "Quillane template file\\Shell\\Open\\Command"),
                  program.templateCommand);
    }
}

TEST(RegistryAssociation, RunningAgainChangesNothingAndAMovedProgramIsRepaired) {
    MemoryRegistry registry;
    // Whatever else is registered for these types stays.
    registry.putValue("HKEY_CLASSES_ROOT\\.qht", "Content Type", kRegSz,
                      std::string("text/plain\0", 11));
    registry.putValue("HKEY_CLASSES_ROOT\\Quillane HTML file\\Shell\\Edit\\Command", "", kRegSz,
                      std::string("notepad.exe %1\0", 15));

    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    const std::string once = registry.dump();
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    EXPECT_EQ(registry.dump(), once);
    EXPECT_TRUE(registry.value("HKEY_CLASSES_ROOT\\.qht", "Content Type"));
    EXPECT_TRUE(registry.value("HKEY_CLASSES_ROOT\\Quillane HTML file\\Shell\\Edit\\Command", ""));

    associateFilesInRegistry(registry, "E:\\Moved", "Quillane");
    EXPECT_EQ(defaultText(registry, "Quillane template file\\DefaultIcon"),
              "E:\\Moved\\Quillane.exe,0");
    EXPECT_EQ(defaultText(registry, "Quillane HTML file\\Shell\\Open\\Command"),
              "\"E:\\Moved\\Quillane.exe\" /H:%1");
    EXPECT_EQ(registry.openHandleCount(), 0u);
}

TEST(RegistryAssociation, WithoutWriteAccessNothingIsWrittenAndItReturns) {
    MemoryRegistry registry;
    const std::string before = registry.dump();
    registry.setReadOnly(true);
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    EXPECT_EQ(registry.dump(), before);
    EXPECT_EQ(registry.openHandleCount(), 0u);
    // Only the two extension keys and the two class keys are tried; nothing below them.
    const auto& calls = registry.calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.rfind("create", 0) == 0; }),
              4);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.rfind("create", 0) != 0; }),
              0);
}

TEST(RegistryAssociation, AStepWhoseKeyWasNotCreatedWritesNothing) {
    // The class key fails: nothing may land in another key instead, and the
    // other file type is still registered in full.
    MemoryRegistry registry;
    registry.failCreationOf("HKEY_CLASSES_ROOT\\Quillane HTML file");
    associateFilesInRegistry(registry, "C:\\Tools", "Quillane");
    EXPECT_EQ(defaultText(registry, ".qht"), "Quillane HTML file");
    EXPECT_FALSE(registry.hasKey("HKEY_CLASSES_ROOT\\Quillane HTML file"));
    EXPECT_FALSE(registry.hasKey("HKEY_CLASSES_ROOT\\DefaultIcon"));
    EXPECT_FALSE(registry.hasKey("HKEY_CLASSES_ROOT\\Shell"));
    EXPECT_EQ(defaultText(registry, "Quillane template file\\Shell\\Open\\Command"),
              "\"C:\\Tools\\Quillane.exe\" /T:%1");
    EXPECT_EQ(registry.openHandleCount(), 0u);

    // A missing Open key leaves Command out but keeps the icon.
    MemoryRegistry partial;
    partial.failCreationOf("HKEY_CLASSES_ROOT\\Quillane template file\\Shell\\Open");
    associateFilesInRegistry(partial, "C:\\Tools", "Quillane");
    EXPECT_EQ(defaultText(partial, "Quillane template file\\DefaultIcon"),
              "C:\\Tools\\Quillane.exe,0");
    EXPECT_TRUE(partial.hasKey("HKEY_CLASSES_ROOT\\Quillane template file\\Shell"));
    EXPECT_FALSE(partial.hasKey("HKEY_CLASSES_ROOT\\Quillane template file\\Shell\\Open"));
    EXPECT_FALSE(partial.value("HKEY_CLASSES_ROOT\\Quillane template file\\Shell", ""));
    EXPECT_EQ(partial.openHandleCount(), 0u);
}

TEST(RegistryAssociation, ProgramPathSplitsIntoFolderAndNameWithoutExtension) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"C:\\Tools\\Quillane.exe", "C:\\Tools", "Quillane"},
        {"C:\\My Tools\\quill.v2.EXE", "C:\\My Tools", "quill.v2"},
        {"C:\\Quillane.exe", "C:", "Quillane"}, // drive root: no doubled backslash later
        {"\\\\server\\share\\Quillane.exe", "\\\\server\\share", "Quillane"},
        {"Quillane", "", "Quillane"},
    };
    for (const Case& c : cases) {
        const WindowsProgramLocation location = splitWindowsProgramPath(c.path);
        EXPECT_EQ(location.folder, c.folder) << c.path;
        EXPECT_EQ(location.name, c.name) << c.path;
    }
}

} // namespace
} // namespace quillane::shell
