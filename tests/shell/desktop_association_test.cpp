#include "shell/desktop_association.h"
#include "shell/file_association.h"
#include "shell/program_paths.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace quillane::shell {
namespace {

using testing::commandOutput;
using testing::readText;
using testing::shellQuoted;
using testing::TempFolder;
using testing::waitForFile;
using testing::writeText;

const char* const kExpectedPackage = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-quillane-document">
    <comment>Quillane HTML file</comment>
    <sub-class-of type="text/plain"/>
    <icon name="quillane"/>
    <glob pattern="*.qht"/>
    <magic priority="50">
      <match type="string" offset="0" value="#QH1#"/>
      <match type="big16" offset="0" value="0xefbb">
        <match type="byte" offset="2" value="0xbf">
          <match type="string" offset="3" value="#QH1#"/>
        </match>
      </match>
    </magic>
  </mime-type>
  <mime-type type="application/x-quillane-template">
    <comment>Quillane template file</comment>
    <sub-class-of type="text/plain"/>
    <icon name="quillane"/>
    <glob pattern="*.qtf"/>
    <magic priority="50">
      <match type="string" offset="0" value="#QT1#"/>
      <match type="big16" offset="0" value="0xefbb">
        <match type="byte" offset="2" value="0xbf">
          <match type="string" offset="3" value="#QT1#"/>
        </match>
      </match>
    </magic>
  </mime-type>
</mime-info>
)";

const char* const kExpectedList = "[Default Applications]\n"
                                  "application/x-quillane-document=quillane-document.desktop;\n"
                                  "application/x-quillane-template=quillane-template.desktop;\n";

// Sets environment variables for one test and puts the old values back.
class ScopedEnvironment {
public:
    void set(const char* name, const std::string& value) {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            it->second ? setenv(it->first.c_str(), it->second->c_str(), 1)
                       : unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

class DesktopAssociationTest : public ::testing::Test {
protected:
    DesktopAssociationTest() {
        places.dataHome = root / "data";
        places.configHome = root / "config";
        places.searchPath = root / "bin"; // no database tools unless a test adds them
        writeText(program, "#!/bin/sh\n", true);
    }
    std::string packageFile() const { return places.dataHome + "/mime/packages/quillane.xml"; }
    std::string documentEntry() const {
        return places.dataHome + "/applications/quillane-document.desktop";
    }
    std::string templateEntry() const {
        return places.dataHome + "/applications/quillane-template.desktop";
    }
    std::string listFile() const { return places.configHome + "/mimeapps.list"; }
    std::vector<std::string> ourFiles() const {
        return {packageFile(), documentEntry(), templateEntry(), listFile()};
    }

    TempFolder root;
    std::string program = root / "My Tools/quillane";
    DesktopPlaces places;
};

TEST_F(DesktopAssociationTest, FreshRunWritesPackageEntriesAndDefaults) {
    EXPECT_TRUE(associateFilesWithDesktop(places, program));
    EXPECT_EQ(readText(packageFile()), kExpectedPackage);
    EXPECT_EQ(readText(documentEntry()), "[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Quillane HTML editor\n"
                                         "Comment=Quillane HTML file\n"
                                         "Icon=quillane\n"
                                         "Exec=\"" +
                                             program +
                                             "\" /H:%f\n"
                                             "MimeType=application/x-quillane-document;\n"
                                             "NoDisplay=true\n"
                                             "Terminal=false\n");
    const std::string templateText = readText(templateEntry());
    EXPECT_NE(templateText.find("\nExec=\"" + program + "\" /T:%f\n"), std::string::npos);
    EXPECT_NE(templateText.find("\nMimeType=application/x-quillane-template;\n"),
              std::string::npos);
    EXPECT_NE(templateText.find("\nNoDisplay=true\n"), std::string::npos);
    EXPECT_EQ(readText(listFile()), kExpectedList);
    struct stat info {};
    ASSERT_EQ(stat(documentEntry().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(DesktopAssociationTest, SecondRunLeavesEveryFileUntouched) {
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    std::map<std::string, std::pair<std::string, timespec>> before;
    for (const std::string& file : ourFiles()) {
        struct stat info {};
        ASSERT_EQ(stat(file.c_str(), &info), 0) << file;
        before[file] = {readText(file), info.st_mtim};
    }
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    for (const std::string& file : ourFiles()) {
        struct stat info {};
        ASSERT_EQ(stat(file.c_str(), &info), 0) << file;
        EXPECT_EQ(readText(file), before[file].first) << file;
        EXPECT_EQ(info.st_mtim.tv_sec, before[file].second.tv_sec) << file;
        EXPECT_EQ(info.st_mtim.tv_nsec, before[file].second.tv_nsec) << file;
    }
    // No temporary files left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(places.dataHome + "/applications"),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(DesktopAssociationTest, MovedProgramIsPointedAtTheNewPlace) {
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    const std::string moved = root / "elsewhere/quillane";
    ASSERT_TRUE(associateFilesWithDesktop(places, moved));
    EXPECT_NE(readText(documentEntry()).find("\nExec=\"" + moved + "\" /H:%f\n"),
              std::string::npos);
    EXPECT_NE(readText(templateEntry()).find("\nExec=\"" + moved + "\" /T:%f\n"),
              std::string::npos);
    EXPECT_EQ(readText(documentEntry()).find(program), std::string::npos);
    EXPECT_EQ(readText(listFile()), kExpectedList);
}

TEST(ExecArgument, QuotesThenEscapesForTheKeyFile) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/quillane", R"("/usr/bin/quillane")"},
        {"/opt/My Tools/quillane", R"("/opt/My Tools/quillane")"},
        {R"(/a"b)", R"("/a\\"b")"},
        {R"(/a\b)", R"("/a\\\\b")"},
        {"/a$HOME`id`", R"("/a\\$HOME\\`id\\`")"},
        {"/100%/x %f", R"("/100%%/x %%f")"},
        {"/a\nb\tc", R"("/a\nb\tc")"},
        {"/it's;&|<>*?#()~", R"("/it's;&|<>*?#()~")"},
    };
    for (const auto& [argument, written] : cases) {
        EXPECT_EQ(execArgument(argument), written) << argument;
    }
}

TEST(DefaultApplications, SetsBothTypesAndKeepsEveryOtherLine) {
    const std::string ours = "application/x-quillane-document=quillane-document.desktop;\n"
                             "application/x-quillane-template=quillane-template.desktop;\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "[Default Applications]\n" + ours},
        // Other sections stay; ours is added after a blank line.
        {"[Added Associations]\ntext/plain=gedit.desktop;\n",
         "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n" + ours},
        // Our keys are replaced where they stand; comments, order and spacing stay.
        {"# mine\n[Default Applications]\ntext/html=firefox.desktop;\n"
         "application/x-quillane-template = old.desktop;\n\n[Removed "
         "Associations]\ntext/x-c=a.desktop;\n",
         "# mine\n[Default Applications]\ntext/html=firefox.desktop;\n"
         "application/x-quillane-template=quillane-template.desktop;\n"
         "application/x-quillane-document=quillane-document.desktop;\n\n"
         "[Removed Associations]\ntext/x-c=a.desktop;\n"},
        // A last line without its line end.
        {"[Default Applications]\ntext/html=firefox.desktop;",
         "[Default Applications]\ntext/html=firefox.desktop;\n" + ours},
        // A key of another type that merely starts like ours, and our key in another section.
        {"[Added Associations]\napplication/x-quillane-document=other.desktop;\n[Default "
         "Applications]\n"
         "application/x-quillane-document-old=x.desktop;\n",
         "[Added Associations]\napplication/x-quillane-document=other.desktop;\n[Default "
         "Applications]\n"
         "application/x-quillane-document-old=x.desktop;\n" +
             ours},
    };
    const std::vector<std::pair<std::string, std::string>> defaults = {
        {"application/x-quillane-document", "quillane-document.desktop"},
        {"application/x-quillane-template", "quillane-template.desktop"},
    };
    for (const auto& [existing, expected] : cases) {
        const std::string once = withDefaultApplications(existing, defaults);
        EXPECT_EQ(once, expected) << existing;
        EXPECT_EQ(withDefaultApplications(once, defaults), once) << existing;
    }
}

TEST_F(DesktopAssociationTest, ExistingListIsMergedAndALinkedListStaysALink) {
    const std::string real = root / "dotfiles/mimeapps.list";
    writeText(real, "[Default Applications]\ntext/html=firefox.desktop;\n");
    std::filesystem::create_directories(places.configHome);
    std::filesystem::create_symlink(real, listFile());
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    EXPECT_TRUE(std::filesystem::is_symlink(listFile()));
    EXPECT_EQ(readText(real), "[Default Applications]\ntext/html=firefox.desktop;\n"
                              "application/x-quillane-document=quillane-document.desktop;\n"
                              "application/x-quillane-template=quillane-template.desktop;\n");
}

TEST_F(DesktopAssociationTest, WritesWhatItCanWhenSomePlacesAreBlocked) {
    // Blocked by files standing where folders belong (works even for root).
    writeText(places.dataHome + "/applications", "not a folder");
    EXPECT_FALSE(associateFilesWithDesktop(places, program));
    EXPECT_EQ(readText(packageFile()), kExpectedPackage);
    EXPECT_EQ(readText(listFile()), kExpectedList);

    TempFolder other;
    DesktopPlaces blockedConfig{other / "data", other / "config", other / "bin"};
    writeText(blockedConfig.configHome, "not a folder");
    EXPECT_FALSE(associateFilesWithDesktop(blockedConfig, program));
    EXPECT_TRUE(std::filesystem::exists(blockedConfig.dataHome +
                                        "/applications/quillane-document.desktop"));

    // A list that cannot be read is not replaced by ours.
    TempFolder third;
    DesktopPlaces unreadable{third / "data", third / "config", third / "bin"};
    std::filesystem::create_directories(unreadable.configHome + "/mimeapps.list");
    EXPECT_FALSE(associateFilesWithDesktop(unreadable, program));
    EXPECT_TRUE(std::filesystem::is_directory(unreadable.configHome + "/mimeapps.list"));
    EXPECT_TRUE(std::filesystem::exists(unreadable.dataHome + "/mime/packages/quillane.xml"));

    // Nowhere to write at all.
    EXPECT_FALSE(associateFilesWithDesktop(DesktopPlaces{}, program));
}

TEST_F(DesktopAssociationTest, RefreshesTheDesktopDatabasesWhereTheToolsExist) {
    const std::string record = root / "record";
    for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
        writeText(places.searchPath + "/" + tool,
                  std::string("#!/bin/sh\necho \"") + tool + " $*\" >> '" + record + "'\n", true);
    }
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    EXPECT_EQ(readText(record), "update-mime-database " + places.dataHome + "/mime\n" +
                                    "update-desktop-database " + places.dataHome +
                                    "/applications\n");
}

TEST(DesktopPlaces, FallBackToTheHomeFolderForUnsetOrRelativeValues) {
    ScopedEnvironment environment;
    environment.set("HOME", "/home/tester");
    environment.set("XDG_DATA_HOME", "relative/data");
    environment.set("XDG_CONFIG_HOME", "");
    DesktopPlaces places = desktopPlacesFromEnvironment();
    EXPECT_EQ(places.dataHome, "/home/tester/.local/share");
    EXPECT_EQ(places.configHome, "/home/tester/.config");
    environment.set("XDG_DATA_HOME", "/x/data");
    environment.set("XDG_CONFIG_HOME", "/x/config");
    places = desktopPlacesFromEnvironment();
    EXPECT_EQ(places.dataHome, "/x/data");
    EXPECT_EQ(places.configHome, "/x/config");
}

TEST(AssociateFiles, RegistersTheRunningProgramInTheUsersFolders) {
    TempFolder root;
    ScopedEnvironment environment;
    environment.set("HOME", root / "home");
    environment.set("XDG_DATA_HOME", root / "data");
    environment.set("XDG_CONFIG_HOME", root / "config");
    environment.set("PATH", root / "bin");
    AssociateFiles();
    EXPECT_NE(readText(root / "data/applications/quillane-document.desktop")
                  .find("\nExec=" + execArgument(runningProgramPath()) + " /H:%f\n"),
              std::string::npos);
    EXPECT_EQ(readText(root / "config/mimeapps.list"), kExpectedList);
    EXPECT_FALSE(std::filesystem::exists(root / "home"));
}

// Checks the registration with GLib's own reading of it: defaults, type detection by
// name and by content, and the Exec line starting the program with the file.
class DesktopWithGio : public DesktopAssociationTest {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        places.searchPath = path != nullptr ? path : "";
        if (findOnPath("gio").empty()) {
            GTEST_SKIP() << "gio is not installed (Debian package libglib2.0-bin)";
        }
    }
    std::string findOnPath(const std::string& name) const {
        return commandOutput("command -v " + name + " 2>/dev/null");
    }
    std::string gio(const std::string& arguments) const {
        return commandOutput(
            "env -u XDG_CURRENT_DESKTOP -u XDG_DATA_DIRS -u XDG_CONFIG_DIRS HOME=" +
            shellQuoted(root.path()) + " XDG_DATA_HOME=" + shellQuoted(places.dataHome) +
            " XDG_CONFIG_HOME=" + shellQuoted(places.configHome) + " gio " + arguments + " 2>&1");
    }
};

TEST_F(DesktopWithGio, EachTypesDefaultIsOurDesktopFile) {
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    EXPECT_NE(gio("mime application/x-quillane-document").find(": quillane-document.desktop\n"),
              std::string::npos)
        << gio("mime application/x-quillane-document");
    EXPECT_NE(gio("mime application/x-quillane-template").find(": quillane-template.desktop\n"),
              std::string::npos)
        << gio("mime application/x-quillane-template");
}

TEST_F(DesktopWithGio, TypesAreRecognisedByNameAndByContent) {
    if (findOnPath("update-mime-database").empty()) {
        GTEST_SKIP() << "update-mime-database is not installed (Debian package shared-mime-info)";
    }
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    writeText(root / "page.qht", "anything\r\n");
    writeText(root / "design.qtf", "anything\r\n");
    writeText(root / "document-without-extension", "#QH1#\r\nTitle\r\n");
    writeText(root / "template-with-mark", "\xEF\xBB\xBF#QT1#\r\nName\r\n");
    const std::pair<const char*, const char*> files[] = {
        {"page.qht", "application/x-quillane-document"},
        {"design.qtf", "application/x-quillane-template"},
        {"document-without-extension", "application/x-quillane-document"},
        {"template-with-mark", "application/x-quillane-template"},
    };
    for (const auto& [file, type] : files) {
        const std::string info = gio("info -a standard::content-type " + shellQuoted(root / file));
        EXPECT_NE(info.find(std::string("standard::content-type: ") + type + "\n"),
                  std::string::npos)
            << info;
    }
}

TEST_F(DesktopWithGio, ExecStartsTheProgramWithTheOptionAndTheFile) {
    // A program path full of characters that the Exec key must protect.
    const std::string odd = root / "Tools \"quoted\" $HOME `id` back\\slash it's/quillane";
    const std::string record = root / "arguments";
    writeText(odd, "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + record + "'\n", true);
    ASSERT_TRUE(associateFilesWithDesktop(places, odd));
    const std::string document = root / "my page.qht";
    writeText(document, "#QH1#\r\n");

    gio("launch " + shellQuoted(documentEntry()) + " " + shellQuoted(document));
    ASSERT_TRUE(waitForFile(record))
        << gio("launch " + shellQuoted(documentEntry()) + " " + shellQuoted(document));
    EXPECT_EQ(readText(record), odd + "\n/H:" + document + "\n");
}

} // namespace
} // namespace quillane::shell
