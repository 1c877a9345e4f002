// SPDX-License-Identifier: GPL-3.0-or-later
// Sites: the site file.

#include "site/site_file.h"
#include "support/files.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::test;

// --- The site file ------------------------------------------------------------------------------

TEST(SiteFile, AGoodFileGivesEverySettingAndItsTextReadsBackTheSame) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "quillane-site.ini",
                                   "; my site\n[site]\n  output = \"public/www\"  \r\n"
                                   "# pictures\r\nassets=static\rsubfolders = no\n"
                                   "links = as-written\ncheck = strict\n");
    const SiteFileRead read = readSiteFile(path);
    ASSERT_TRUE(read.settings) << read.problem.toStdString();
    const SiteSettings& s = *read.settings;
    EXPECT_EQ(s.folder, QDir::cleanPath(dir.path()));
    EXPECT_EQ(s.output, s.folder + "/public/www");
    EXPECT_EQ(s.assets, s.folder + "/static");
    EXPECT_EQ(s.subfolders, SiteSubfolders::No);
    EXPECT_EQ(s.links, SiteLinks::AsWritten);
    EXPECT_EQ(s.check, SiteCheck::Strict);

    const SiteFileRead again = parseSiteFile(siteFileText(s), path);
    ASSERT_TRUE(again.settings);
    EXPECT_EQ(siteFileText(*again.settings), siteFileText(s));
    const SiteFileRead fresh = parseSiteFile(siteFileText(newSiteSettings(dir.path())), path);
    ASSERT_TRUE(fresh.settings);
    EXPECT_EQ(fresh.settings->output, s.folder + "/public");
    EXPECT_EQ(fresh.settings->assets, "");
    EXPECT_EQ(fresh.settings->links, SiteLinks::Relative);
    EXPECT_EQ(fresh.settings->check, SiteCheck::Yes);
    EXPECT_EQ(fresh.settings->subfolders, SiteSubfolders::Yes);
}

TEST(SiteFile, ABadFileSaysWhereAndWhatToDo) {
    const std::pair<const char*, const char*> cases[] = {
        {"[site]\noutput = public\nouput = x",
         ":3: unknown key 'ouput': the keys are output, assets, subfolders, links and check, in "
         "lower case"},
        {"[site]\nOutput = public", ":2: unknown key 'Output'"},
        {"output = public\n[site]", ":1: 'output' stands outside the [site] group"},
        {"[site]\noutput = public\n[build]", ":3: unknown group [build]"},
        {"[site]\noutput public", ":2: 'output public' is not a setting: write key = value"},
        {"[site]\noutput = public\nlinks = absolute",
         ":3: 'absolute' is not a value of links: write relative or as-written"},
        {"[site]\noutput = public\ncheck = Yes", ":3: 'Yes' is not a value of check"},
        {"[site]\noutput = a\n\noutput = b", ":4: 'output' is set twice (first on line 2)"},
        {"[site]\noutput = public ; pages", ":2: a comment must stand on a line of its own"},
        {"[site]\noutput =", ":2: 'output' has no value"},
        {"[site]\nlinks = relative", ": the site file names no output folder"},
        {"", ": the site file names no output folder"},
        {"[site]\noutput = .", ":2: the output folder '.' is the site folder itself"},
        {"[site]\noutput = ../public",
         ":2: the output folder '../public' does not lie inside the site folder"},
        {"[site]\noutput = public/../..", ":2: the output folder 'public/../..' does not lie"},
        {"[site]\noutput = public\nassets = ../shared",
         ":3: the assets folder '../shared' does not lie inside the site folder"},
        {"[site]\noutput = public\nassets = public/img",
         ":3: the assets folder 'public/img' lies inside the output folder 'public'"},
        {"[site]\noutput = public\nassets = public/", ":3: the assets folder 'public/' is the "},
        {"[site]\noutput = www/public\nassets = www",
         ":3: the assets folder 'www' holds the output folder 'www/public'"},
        {"[site]\noutput = public\nassets = .", ":3: the assets folder '.' holds the output"},
    };
    for (const auto& [text, problem] : cases) {
        const SiteFileRead read = parseSiteFile(text, "/site/quillane-site.ini");
        EXPECT_FALSE(read.settings) << text;
        EXPECT_TRUE(read.problem.startsWith(QStringLiteral("/site/quillane-site.ini") + problem))
            << read.problem.toStdString();
        EXPECT_EQ(read.problem.count(u'\n'), 0);
    }
}

TEST(SiteFile, TheNearestFileIsFoundAndOneThatCannotBeReadSaysSo) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("site/blog/2024");
    QDir(dir.path()).mkpath("site/docs/quillane-site.ini");
    writeFile(dir, "site/quillane-site.ini", "[site]\noutput = public\n");
    writeFile(dir, "site/blog/quillane-site.ini", "[site]\noutput = out\n");
    EXPECT_EQ(findSiteFile(dir.filePath("site/blog/2024")),
              dir.filePath("site/blog/quillane-site.ini"));
    EXPECT_EQ(findSiteFile(dir.filePath("site")), dir.filePath("site/quillane-site.ini"));
    EXPECT_EQ(findSiteFile(dir.filePath("site/docs")), dir.filePath("site/docs/quillane-site.ini"));
    const SiteFileRead folder = readSiteFile(dir.filePath("site/docs/quillane-site.ini"));
    EXPECT_FALSE(folder.settings);
    EXPECT_TRUE(folder.problem.startsWith(dir.filePath("site/docs/quillane-site.ini") +
                                          ": the site file cannot be read: "))
        << folder.problem.toStdString();
    EXPECT_EQ(folder.line, 0);
}
