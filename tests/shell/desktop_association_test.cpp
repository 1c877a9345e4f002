// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/processes.h"
#include "freedesktop/desktop_association.h"
#include "shell/file_association.h"
#include "test_support.h"

#include <array>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>

namespace quillane::shell {
namespace {

using testing::commandOutput;
using testing::readText;
using testing::shellQuoted;
using testing::TempFolder;
using testing::waitForFile;
using testing::writeText;

// clang-format off
std::string mimeType(const std::string& type, const std::string& comment, const std::string& glob,
                     const std::string& marker) {
    return "  <mime-type type=\"" + type + "\">\n"
           "    <comment>" + comment + "</comment>\n"
           "    <sub-class-of type=\"text/plain\"/>\n"
           "    <icon name=\"quillane\"/>\n"
           "    <glob pattern=\"" + glob + "\"/>\n"
           "    <magic priority=\"50\">\n"
           "      <match type=\"string\" offset=\"0\" value=\"" + marker + "\"/>\n"
           "      <match type=\"big16\" offset=\"0\" value=\"0xefbb\">\n"
           "        <match type=\"byte\" offset=\"2\" value=\"0xbf\">\n"
           "          <match type=\"string\" offset=\"3\" value=\"" + marker + "\"/>\n"
           "        </match>\n"
           "      </match>\n"
           "    </magic>\n"
           "  </mime-type>\n";
}
// clang-format on

const std::string kExpectedPackage =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n" +
    mimeType("application/x-quillane-document", "Quillane HTML file", "*.qht", "#QH1#") +
    mimeType("application/x-quillane-template", "Quillane template file", "*.qtf", "#QT1#") +
    "</mime-info>\n";

const std::string kOurDefaults = "application/x-quillane-document=quillane-document.desktop;\n"
                                 "application/x-quillane-template=quillane-template.desktop;\n";
const std::string kExpectedList = "[Default Applications]\n" + kOurDefaults;

std::string desktopFile(const std::string& name, const std::string& comment,
                        const std::string& type, const std::string& exec) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nComment=" + comment +
           "\nIcon=quillane\nExec=" + exec + "\nMimeType=" + type +
           ";\nNoDisplay=true\nTerminal=false\n";
}

class DesktopAssociationTest : public ::testing::Test {
protected:
    DesktopAssociationTest() { writeText(program, "#!/bin/sh\n", true); }

    // Our four files and what each holds for `programPath`.
    std::vector<std::pair<std::string, std::string>>
    expectedFiles(const std::string& programPath) const {
        const std::string exec = "\"" + programPath + "\" ";
        return {{data + "/mime/packages/quillane.xml", kExpectedPackage},
                {documentEntry, desktopFile("Quillane HTML editor", "Quillane HTML file",
                                            "application/x-quillane-document", exec + "/H:%f")},
                {data + "/applications/quillane-template.desktop",
                 desktopFile("Quillane template designer", "Quillane template file",
                             "application/x-quillane-template", exec + "/T:%f")},
                {listFile, kExpectedList}};
    }
    // Checks every file's content and mode; returns their modification times.
    std::vector<std::int64_t> checkFiles(const std::string& programPath) const {
        std::vector<std::int64_t> times;
        for (const auto& [file, text] : expectedFiles(programPath)) {
            EXPECT_EQ(readText(file), text) << file;
            struct stat info {};
            EXPECT_EQ(stat(file.c_str(), &info), 0) << file;
            EXPECT_EQ(info.st_mode & 0777, 0644u) << file;
            times.push_back(info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec);
        }
        return times;
    }
    // The icons installed in the user's theme, each as "folder: what it is", with their times.
    std::string checkIcons(std::vector<std::int64_t>& times) const {
        std::string found;
        for (const char* folder : {"16x16", "32x32", "48x48", "64x64", "128x128", "scalable"}) {
            const bool png = folder != std::string("scalable");
            const std::string file =
                data + "/icons/hicolor/" + folder + "/apps/quillane." + (png ? "png" : "svg");
            const std::string bytes = readText(file);
            // A PNG's size stands in its header, big-endian, at 16 (width) and 20 (height).
            const auto at = [&](std::size_t i) { return int(std::uint8_t(bytes.at(i))); };
            found += std::string(folder) + ": " +
                     (!png ? (bytes.find("<svg ") != std::string::npos ? "SVG" : "?")
                           : bytes.substr(1, 3) + " " + std::to_string(at(18) * 256 + at(19)) +
                                 "x" + std::to_string(at(22) * 256 + at(23))) +
                     "\n";
            struct stat info {};
            stat(file.c_str(), &info);
            EXPECT_EQ(info.st_mode & 0777, 0644u) << file;
            times.push_back(info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec);
        }
        return found;
    }

    TempFolder root;
    std::string data = root / "my data", config = root / "config";
    std::string documentEntry = data + "/applications/quillane-document.desktop";
    std::string listFile = config + "/mimeapps.list";
    std::string program = root / "My Tools/quillane";
    DesktopPlaces places{data, config, root / "bin"}; // no database tools unless a test adds them
};

TEST_F(DesktopAssociationTest, WritesEachFileOnceAndAgainOnlyForAMovedProgram) {
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    std::vector<std::int64_t> written = checkFiles(program);
    EXPECT_EQ(checkIcons(written), "16x16: PNG 16x16\n32x32: PNG 32x32\n48x48: PNG 48x48\n"
                                   "64x64: PNG 64x64\n128x128: PNG 128x128\nscalable: SVG\n");

    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    std::vector<std::int64_t> again = checkFiles(program);
    checkIcons(again);
    EXPECT_EQ(again, written) << "an unchanged file was written again";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data + "/applications"), {}), 2)
        << "temporary files left behind";

    ASSERT_TRUE(associateFilesWithDesktop(places, root / "elsewhere/quillane"));
    checkFiles(root / "elsewhere/quillane");
}

TEST(ExecArgument, QuotesThenEscapesForTheKeyFile) {
    const std::pair<const char*, const char*> cases[] = {
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
    const std::pair<std::string, std::string> cases[] = {
        {"", kExpectedList},
        // Other sections stay, even with a last line lacking its line end; ours follows a blank.
        {"[Added Associations]\ntext/plain=gedit.desktop;",
         "[Added Associations]\ntext/plain=gedit.desktop;\n\n" + kExpectedList},
        // Our keys are replaced where they stand or added after the section's last line;
        // comments, spacing, keys that merely start like ours and other sections stay.
        {"# mine\n[Default Applications]\napplication/x-quillane-template = old.desktop;\n"
         "application/x-quillane-document-old=x.desktop;\n\n"
         "[Removed Associations]\napplication/x-quillane-document=a.desktop;\n",
         "# mine\n[Default Applications]\n"
         "application/x-quillane-template=quillane-template.desktop;\n"
         "application/x-quillane-document-old=x.desktop;\n"
         "application/x-quillane-document=quillane-document.desktop;\n\n"
         "[Removed Associations]\napplication/x-quillane-document=a.desktop;\n"},
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
    std::filesystem::create_directories(config);
    std::filesystem::create_symlink(real, listFile);
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    EXPECT_TRUE(std::filesystem::is_symlink(listFile));
    EXPECT_EQ(readText(real),
              "[Default Applications]\ntext/html=firefox.desktop;\n" + kOurDefaults);
}

TEST_F(DesktopAssociationTest, WritesWhatItCanWhereSomePlacesAreBlocked) {
    // Files and folders standing in the way block even root, unlike permissions.
    const std::tuple<std::string, bool, std::string> cases[] = {
        {data + "/applications", false, listFile},
        {config, false, documentEntry},
        {listFile, true, data + "/mime/packages/quillane.xml"}, // a list it cannot read stays
    };
    for (const auto& [blocked, folder, written] : cases) {
        if (folder) {
            std::filesystem::create_directories(blocked);
        } else {
            writeText(blocked, "in the way");
        }
        EXPECT_FALSE(associateFilesWithDesktop(places, program)) << blocked;
        EXPECT_EQ(std::filesystem::is_directory(blocked), folder) << blocked;
        EXPECT_TRUE(std::filesystem::exists(written)) << written;
        std::filesystem::remove_all(data);
        std::filesystem::remove_all(config);
    }
    EXPECT_FALSE(associateFilesWithDesktop(DesktopPlaces{}, program));
}

TEST_F(DesktopAssociationTest, RefreshesTheDesktopDatabasesWhereTheToolsExist) {
    const std::string record = root / "record";
    for (const std::string tool : {"update-mime-database", "update-desktop-database"}) {
        writeText(places.searchPath + "/" + tool,
                  "#!/bin/sh\nprintf '%s|' " + tool + " \"$@\" >> '" + record + "'\n", true);
    }
    ASSERT_TRUE(associateFilesWithDesktop(places, program));
    EXPECT_EQ(readText(record), "update-mime-database|" + data + "/mime|update-desktop-database|" +
                                    data + "/applications|");
}

TEST(AssociateFiles, RegistersTheRunningProgramWhereTheEnvironmentSays) {
    TempFolder root;
    if (const pid_t child = fork(); child == 0) { // the environment changes in the child only
        setenv("HOME", (root / "home").c_str(), 1);
        setenv("XDG_DATA_HOME", "relative/data", 1); // not absolute: ignored
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        setenv("PATH", (root / "bin").c_str(), 1);
        AssociateFiles();
        _exit(0);
    } else {
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
    }
    EXPECT_EQ(readText(root / "home/.local/share/applications/quillane-document.desktop"),
              desktopFile("Quillane HTML editor", "Quillane HTML file",
                          "application/x-quillane-document",
                          execArgument(runningProgramPath()) + " /H:%f"));
    EXPECT_EQ(readText(root / "config/mimeapps.list"), kExpectedList);
    EXPECT_FALSE(std::filesystem::exists(root / "home/.config"));
}

// The registration as GLib reads it: the defaults, the types by name and by content,
// and the Exec line starting a program whose path is full of hard characters.
class DesktopWithGio : public DesktopAssociationTest {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        places.searchPath = path != nullptr ? path : "";
        if (!installed("gio")) GTEST_SKIP() << "gio is not installed (package libglib2.0-bin)";
    }
    static bool installed(const std::string& name) {
        return !commandOutput("command -v " + name + " 2>/dev/null").empty();
    }
    std::string gio(const std::string& arguments) const {
        return commandOutput(
            "env -u XDG_CURRENT_DESKTOP -u XDG_DATA_DIRS -u XDG_CONFIG_DIRS HOME=" +
            shellQuoted(root.path()) + " XDG_DATA_HOME=" + shellQuoted(data) +
            " XDG_CONFIG_HOME=" + shellQuoted(config) + " gio " + arguments + " 2>&1");
    }
};

TEST_F(DesktopWithGio, OpensOurTypesWithTheProgram) {
    const std::string odd = root / "Tools \"quoted\" $HOME `id` back\\slash it's/quillane";
    const std::string record = root / "arguments";
    writeText(odd, "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + record + "'\n", true);
    ASSERT_TRUE(associateFilesWithDesktop(places, odd));
    for (const std::string kind : {"document", "template"}) {
        const std::string answer = gio("mime application/x-quillane-" + kind);
        EXPECT_NE(answer.find(": quillane-" + kind + ".desktop\n"), std::string::npos) << answer;
    }
    const std::string document = root / "my page.qht";
    writeText(document, "#QH1#\r\n");
    const std::string output =
        gio("launch " + shellQuoted(documentEntry) + " " + shellQuoted(document));
    ASSERT_TRUE(waitForFile(record)) << output;
    EXPECT_EQ(readText(record), odd + "\n/H:" + document + "\n");

    if (!installed("update-mime-database")) {
        GTEST_SKIP() << "update-mime-database is not installed (package shared-mime-info)";
    }
    const std::array<const char*, 3> files[] = {
        {"page.qht", "anything\r\n", "application/x-quillane-document"},
        {"design.qtf", "anything\r\n", "application/x-quillane-template"},
        {"document-without-extension", "#QH1#\r\nTitle\r\n", "application/x-quillane-document"},
        {"template-with-mark", "\xEF\xBB\xBF#QT1#\r\nName\r\n", "application/x-quillane-template"},
    };
    for (const auto& [file, content, type] : files) {
        writeText(root / file, content);
        const std::string info =
            gio("info -a standard::content-type,standard::icon " + shellQuoted(root / file));
        EXPECT_NE(info.find(std::string("standard::content-type: ") + type + "\n"),
                  std::string::npos)
            << info;
        // The file manager shows the program's icon for both types.
        EXPECT_NE(info.find("standard::icon: quillane,"), std::string::npos) << info;
    }
}

} // namespace
} // namespace quillane::shell
