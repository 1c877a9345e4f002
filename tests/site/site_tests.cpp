// SPDX-License-Identifier: GPL-3.0-or-later
// Sites: the site file, links made relative to each page, what a page links to, the link check.

#include "site/link_check.h"
#include "site/page_links.h"
#include "site/site_file.h"
#include "support/files.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::test;

namespace {

const QStringList kPageEndings = {"htm", "html", "xhtml", "php"};

// Scans with both readers, which must agree.
ScannedPage scan(const QString& page, const QString& path, SiteLinks links = SiteLinks::Relative) {
    ScannedPage quick = scanPage(page, path, links);
    ScannedPage full = scanPage(page, path, links, MarkupReader::Full);
    EXPECT_EQ(quick.page, full.page) << page.toStdString();
    EXPECT_TRUE(quick.links == full.links) << page.toStdString();
    return quick;
}

} // namespace

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

// --- Links at every depth --------------------------------------------------------------------

TEST(PageLinks, RootRelativeUrlsAreWrittenRelativeToThePageAndNothingElseChanges) {
    struct Case {
        const char* path;
        const char* page;
        const char* expected;
    };
    const Case cases[] = {
        {"index.html", "<link rel=stylesheet href=\"/css/site.css\">",
         "<link rel=stylesheet href=\"css/site.css\">"},
        {"blog/a.html", "<a href='/css/site.css'>", "<a href='../css/site.css'>"},
        {"blog/2024/a.html", "<img src=/img/a.png alt=x>", "<img src=../../img/a.png alt=x>"},
        {"blog/a.html", "<a href=\"/\">", "<a href=\"../index.html\">"},
        {"index.html", "<a href=\" /a/?q#x \">", "<a href=\" a/index.html?q#x \">"},
        {"blog/a.html", "<a href=/blog/b.html><a href=/blog/>",
         "<a href=b.html><a href=index.html>"},
        {"blog/2024/a.html", "<a href=/blog/x/y.html>", "<a href=../x/y.html>"},
        {"index.html", "<a href=/a:b.html><a href=/blog//x>",
         "<a href=./a:b.html><a href=blog//x>"},
        {"blog/a.html", "<a href=/blog//x>", "<a href=.//x>"},
        {"blog/a.html", "<img srcset=\"/a.png 1x,/b.png 2x, c.png 3x\">",
         "<img srcset=\"../a.png 1x,../b.png 2x, c.png 3x\">"},
        {"blog/a.html", "<div style=\"background: url(/a.png), url( '/b.png' )\">",
         "<div style=\"background: url(../a.png), url( '../b.png' )\">"},
        {"blog/a.html",
         "<style>@import \"/a.css\"; /* url(/no) */ p{content:\"url(/no)\";b:url(/c.png)}</style>",
         "<style>@import \"../a.css\"; /* url(/no) */ p{content:\"url(/no)\";b:url(../c.png)}"
         "</style>"},
        {"blog/a.html",
         "<form action=/send><button formaction=/b></button></form><video poster=/p.jpg "
         "src=/v.mp4></video><object data=/o.svg></object>",
         "<form action=../send><button formaction=../b></button></form><video poster=../p.jpg "
         "src=../v.mp4></video><object data=../o.svg></object>"},
        // Character references: what is kept is kept byte for byte.
        {"blog/a.html", "<a href=\"/a?x=1&amp;y=2&lang=en\">",
         "<a href=\"../a?x=1&amp;y=2&lang=en\">"},
        {"blog/a.html", "<a href=\"&#47;css/a.css\">", "<a href=\"../css/a.css\">"},
        // Regression: gumbo misplaced an unquoted value opening with a reference, and named
        // the attribute after a repeated one after both.
        {"blog/a.html", "<a href=&#47;b id=1 id src=/c>", "<a href=../b id=1 id src=../c>"},
        {"blog/a.html", "<a href=\"/caf&eacute;/\">", "<a href=\"/caf&eacute;/\">"},
        // Another host, another scheme, a relative URL, and slashes that are no URL.
        {"blog/a.html",
         "<a href=//cdn.example/x><a href=http://x/y><a href=mailto:a@b><a href=img/a.png>"
         "<a href=/\\x>",
         "<a href=//cdn.example/x><a href=http://x/y><a href=mailto:a@b><a href=img/a.png>"
         "<a href=/\\x>"},
        {"blog/a.html",
         "<p>See /x or <em>/y</em>.</p><!-- <a href=\"/x\"> --><script>s = \"<a href='/x'>\""
         "</script><title><a href=/x></title><textarea><img src=/x></textarea>"
         "<p data-x=\"/x\" title=\"/x\">",
         "<p>See /x or <em>/y</em>.</p><!-- <a href=\"/x\"> --><script>s = \"<a href='/x'>\""
         "</script><title><a href=/x></title><textarea><img src=/x></textarea>"
         "<p data-x=\"/x\" title=\"/x\">"},
        {"blog/a.html", "<script><!-- <script> </script> <a href=/x> --></script><a href=/y>",
         "<script><!-- <script> </script> <a href=/x> --></script><a href=../y>"},
        // Text in other scripts around it, and inline SVG (read by the full parser).
        {"é/a.html", "<p>Ω café 😀</p><a href=\"/é/b.html\" title=\"Ω\">",
         "<p>Ω café 😀</p><a href=\"b.html\" title=\"Ω\">"},
        {"blog/a.html", "<svg><use href=\"/i.svg#a\"/><style>a{b:url(/c.png)}</style></svg>",
         "<svg><use href=\"../i.svg#a\"/><style>a{b:url(../c.png)}</style></svg>"},
        {"blog/a.html",
         "<svg viewBox=\"0 0 1 1\"><title>Menu</title><use xlink:href=\"/i.svg#m\"/></svg>",
         "<svg viewBox=\"0 0 1 1\"><title>Menu</title><use xlink:href=\"../i.svg#m\"/></svg>"},
        {"blog/a.html", "<table><td><table><td><a href=/x>", "<table><td><table><td><a href=../x>"},
        // A base changes where every URL starts from: nothing is touched.
        {"blog/a.html", "<base href=\"/\"><a href=/x>", "<base href=\"/\"><a href=/x>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scan(QString::fromUtf8(c.page), c.path).page, QString::fromUtf8(c.expected))
            << c.page;
    const QString page = QStringLiteral("<a href=/x><img src=/y.png>");
    EXPECT_EQ(scan(page, "blog/a.html", SiteLinks::AsWritten).page, page);
}

TEST(PageLinks, APageWithNothingToChangeIsReturnedAsItIs) {
    const QString page =
        QString::fromUtf8("<!DOCTYPE html>\r\n<p id=a>é\0x</p>\r<a href=b.html>", 44);
    const ScannedPage scanned = scan(page, "blog/a.html");
    EXPECT_EQ(scanned.page, page);
    EXPECT_EQ(scanned.page.constData(), page.constData()) << "not even copied";
}

TEST(PageLinks, EveryLocalUrlIsFoundWithItsKindAndEveryTargetOnce) {
    const QString page = QString::fromUtf8(
        "<html id=top><head><base target=_blank><link rel=\"icon stylesheet\" href=/s.css>"
        "<link rel=icon href=/i.png><script src=/j.js></script>"
        "<style>a{b:url(/bg.png)}</style></head><body id=body>"
        "<a href=\"#top\" name=anchor>x</a><a href=\"x.html?q=1&amp;r=2#f\"></a>"
        "<img src=i.png srcset=\"a.png 1x, b.png 2x\" id=pic><form action=/f name=form>"
        "<input src=in.png></form><audio src=a.ogg><track src=t.vtt></audio>"
        "<iframe src=f.html></iframe><embed src=e.swf><p style=\"background:url(p.png)\" "
        "id=café><a href=https://x/><a href=\"\"><p id=pic><a href=//host/x>");
    const PageLinks links = scan(page, "index.html", SiteLinks::AsWritten).links;
    const std::vector<PageLink> expected = {
        {LinkKind::Stylesheet, "/s.css"},
        {LinkKind::Other, "/i.png"},
        {LinkKind::Script, "/j.js"},
        {LinkKind::StyleUrl, "/bg.png"},
        {LinkKind::Link, "#top"},
        {LinkKind::Link, "x.html?q=1&r=2#f"},
        {LinkKind::Image, "i.png"},
        {LinkKind::ImageCandidate, "a.png"},
        {LinkKind::ImageCandidate, "b.png"},
        {LinkKind::Form, "/f"},
        {LinkKind::Image, "in.png"},
        {LinkKind::Media, "a.ogg"},
        {LinkKind::Media, "t.vtt"},
        {LinkKind::Frame, "f.html"},
        {LinkKind::Object, "e.swf"},
        {LinkKind::StyleUrl, "p.png"},
    };
    EXPECT_TRUE(links.links == expected);
    EXPECT_EQ(links.targets, QStringList({"anchor", "body", "café", "pic", "top"}))
        << "a form's name is no target";
    EXPECT_EQ(links.base, "");
    EXPECT_EQ(scan("<base href=' /sub/ '><base href=/no/>", "a.html").links.base, "/sub/");
}

TEST(PageLinks, APageOnDiskIsReadInTheCharsetItDeclares) {
    const std::pair<QByteArray, const char*> cases[] = {
        {"<p id=caf\xE9>", "café"},
        {"<meta charset=utf-8><p id=caf\xC3\xA9>", "café"},
        {"<p id=caf\xC3\xA9>", "cafÃ©"}, // undeclared: Windows-1252, as the build wrote it
        {"\xEF\xBB\xBF<p id=caf\xC3\xA9>", "café"},
        {"<meta charset=windows-1252><p id=\x80>", "€"},
    };
    for (const auto& [bytes, id] : cases)
        EXPECT_EQ(pageLinks(bytes).targets, QStringList{QString::fromUtf8(id)}) << bytes.data();
}

// --- The link check -------------------------------------------------------------------------

TEST(LinkCheck, BrokenLinksAndMissingFragmentsAreReportedOnceEachInPageOrder) {
    QTemporaryDir dir;
    const QString out = dir.filePath("public");
    QDir(out).mkpath("css");
    QDir(out).mkpath("empty");
    QDir(out).mkpath("docs");
    QDir(out).mkpath("été");
    writeFile(dir, "public/css/site.css", "");
    writeFile(dir, "public/docs/index.htm", "<h1 id=intro>");
    writeFile(dir, "public/static.html", "<meta charset=utf-8><h2 id=\"münchen\">");
    writeFile(dir, "public/été/a b.png", "");
    writeFile(dir, "outside.html", "");

    auto page = [](const char* path, const char* html) {
        const QString text = QString::fromUtf8(html);
        return CheckedPage{QStringLiteral("/site/") + path, path,
                           scanPage(text, path, SiteLinks::Relative).links};
    };
    const std::vector<CheckedPage> pages = {
        page("index.html",
             "<link rel=stylesheet href=/css/site.css><a href=/blog/a.html#part><a href=#top>"
             "<a href=#nowhere><a href=/blog/><a href=docs/#intro><a href=docs/#outro>"
             "<a href=/empty/><a href=/empty><a href=/css/><a href=/missing.css>"
             "<a href=mailto:x@y><a href=https://x.example/none><a href=//cdn/none>"
             "<form action=/cgi-bin/none></form>"),
        page("blog/a.html",
             "<h2 id=part><a href=\"../../outside.html\"><img src=\"/%C3%A9t%C3%A9/a%20b.png\">"
             "<img src=\"/été/a b.png?v=2\"><a href=\"/static.html#m%C3%BCnchen\">"
             "<a href=/static.html#zürich><a href=../index.html#nowhere><a href=\"?x#part\">"),
    };
    std::vector<QString> lines;
    for (const BrokenLink& b : checkLinks(out, pages, kPageEndings))
        lines.push_back(b.line);
    const std::vector<QString> expected = {
        "/site/index.html: broken link '#nowhere' (no element with id 'nowhere')",
        "/site/index.html: broken link 'blog/index.html'",
        "/site/index.html: broken link 'docs/#outro' (no element with id 'outro')",
        "/site/index.html: broken link 'empty/index.html'",
        "/site/index.html: broken link 'empty'",
        "/site/index.html: broken link 'css/index.html'",
        "/site/index.html: broken link 'missing.css'",
        "/site/blog/a.html: broken link '../../outside.html' (outside the output folder)",
        "/site/blog/a.html: broken link '../static.html#zürich' (no element with id 'zürich')",
        "/site/blog/a.html: broken link '../index.html#nowhere' (no element with id 'nowhere')",
    };
    EXPECT_EQ(lines, expected);
}
