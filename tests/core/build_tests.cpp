// The build engine, against a literal oracle, and the batch build.

#include "build/batch_build.h"
#include "build/build_engine.h"
#include "build/headless_build.h"
#include "build/pour.h"
#include "core/command_line.h"
#include "formats/file_reader.h"
#include "support/fakes.h"
#include "support/special_files.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillane;
using namespace quillane::test;

namespace {

// The passes exactly as described: a plain replace for the title, then one per slot.
QString literalReplace(const QString& page, const QString& find, const QString& with) {
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = page.indexOf(find, from);
        if (at < 0) break;
        out += page.mid(from, at - from);
        out += with;
        from = at + find.size();
    }
    return out + page.mid(from);
}

QString oraclePour(QString page, const QString& title, const QStringList& names,
                   const QStringList& html) {
    page = literalReplace(page, "::title::", title);
    for (int slot = 1; slot < names.size(); ++slot)
        page = literalReplace(page, "::" + names[slot], html[slot]);
    return page;
}

const QByteArray kPlainPage = crlf({"#QT1#", "Plain page", "#DEFAULTHTML#", "<h1>::title::</h1>",
                                    "::body::", "::footer::", "#ENDDEFAULTHTML#", "#STARTSECTION#",
                                    "body", " 1 ", "<p>Text</p>", "#STARTSECTION#", "footer", " 0 ",
                                    "<hr>", "<p>Contact</p>", "#STARTSECTION#"});

} // namespace

TEST(Pour, MatchesTheLiteralPassesOnGeneratedTemplates) {
    QRandomGenerator rng(20260612);
    // Few letters, so names are prefixes of each other and colons meet inserted text.
    const QString alphabet = QStringLiteral("ab:::t");
    auto word = [&](int maxLen) {
        QString w;
        const int n = int(rng.bounded(maxLen + 1));
        for (int i = 0; i < n; ++i)
            w += alphabet[int(rng.bounded(int(alphabet.size())))];
        return w;
    };
    for (int round = 0; round < 20000; ++round) {
        const int slotCount = 1 + int(rng.bounded(6));
        QStringList names{QString()}, html{QString()};
        for (int s = 1; s <= slotCount; ++s) {
            names << (rng.bounded(5) == 0 ? QString() : word(3));
            html << word(6);
        }
        if (rng.bounded(2)) names.last().clear(); // usually a trailing free slot
        QString page;
        const int parts = int(rng.bounded(8));
        for (int i = 0; i < parts; ++i) {
            switch (rng.bounded(4)) {
            case 0:
                page += "::" + names[1 + int(rng.bounded(slotCount))];
                break;
            case 1:
                page += "::title::";
                break;
            default:
                page += word(5);
            }
        }
        const QString title = word(4);
        const QString expected = oraclePour(page, title, names, html);
        const QString got = pourPage(page, title, names, html).value();
        if (got != expected) {
            ADD_FAILURE() << "page '" << page.toStdString() << "' title '" << title.toStdString()
                          << "' names " << names.join('|').toStdString() << " html "
                          << html.join('|').toStdString() << "\n got      " << got.toStdString()
                          << "\n expected " << expected.toStdString();
            break;
        }
    }
}

TEST(Pour, MatchesTheLiteralPassesOnLargerPages) {
    QRandomGenerator rng(7);
    for (int round = 0; round < 200; ++round) {
        QStringList names{QString()}, html{QString()};
        const int slotCount = 2 + int(rng.bounded(40));
        for (int s = 1; s <= slotCount; ++s) {
            names << (s % 7 == 0 ? names[s / 2] + "x" : QStringLiteral("s%1").arg(rng.bounded(30)));
            QString h = QStringLiteral("<b>%1</b>").arg(s);
            if (rng.bounded(4) == 0) h += "::" + names[1 + int(rng.bounded(s))];
            if (rng.bounded(6) == 0) h += ":";
            html << h;
        }
        names << QString();
        html << QString();
        QString page;
        for (int i = 0; i < 300; ++i) {
            const int r = int(rng.bounded(10));
            if (r < 4)
                page += "::" + names[1 + int(rng.bounded(slotCount))] + (r == 0 ? "::" : "");
            else if (r == 4)
                page += ":";
            else
                page += "text ";
        }
        ASSERT_EQ(pourPage(page, "T::", names, html).value(), oraclePour(page, "T::", names, html))
            << round;
    }
}

TEST(Pour, EdgeCases) {
    struct Case {
        const char* what;
        QString page, title;
        QStringList names, html; // slot 0 unused
        QString expected;
    };
    const Case cases[] = {
        {"both colons", "[::body::]", "", {"", "body", ""}, {"", "B", ""}, "[B]"},
        {"front colons only", "[::body]", "", {"", "body", ""}, {"", "B", ""}, "[B]"},
        {"every :: goes", "a::before", "", {"", ""}, {"", ""}, "abefore"},
        {"title colons go", "<t>::title::</t>", "A::B", {"", ""}, {"", ""}, "<t>AB</t>"},
        {"title case matters", "::Title::", "x", {"", ""}, {"", ""}, "Title"},
        {"title inside a section", "::s::", "x", {"", "s", ""}, {"", "::title::", ""}, "title"},
        {"prefix clash", "::footer::", "", {"", "foot", "footer", ""}, {"", "F", "G", ""}, "Fer"},
        {"later placeholder in HTML",
         "::a::",
         "",
         {"", "a", "b", ""},
         {"", "<::b>", "B", ""},
         "<B>"},
        {"earlier placeholder in HTML",
         "::b::",
         "",
         {"", "a", "b", ""},
         {"", "A", "<::a>", ""},
         "<a>"},
        {"own placeholder not again", "::a", "", {"", "a"}, {"", "x::a"}, "x::a"},
        {"colons meet inserted text", ":::a", "", {"", "a", "b", ""}, {"", ":b", "B", ""}, "B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pourPage(c.page, c.title, c.names, c.html).value(), c.expected);
        EXPECT_EQ(oraclePour(c.page, c.title, c.names, c.html), c.expected);
    }
}

TEST(Pour, SectionsThatInsertEachOtherWithoutEndAreRefusedNotOverflowed) {
    // Each section inserts the next one twice: the page doubles with every slot.
    auto doubling = [](int count) {
        std::pair<QStringList, QStringList> t{{QString()}, {QString()}};
        for (int s = 1; s <= count; ++s) {
            t.first << QStringLiteral("s%1;").arg(s);
            t.second << QStringLiteral("::s%1;::s%1;").arg(s + 1);
        }
        t.first << QString();
        t.second << QString();
        return t;
    };
    const auto [names, html] = doubling(60);
    EXPECT_FALSE(pourPage("::s1;", "", names, html, 100000).has_value());

    // Ten doublings peak at 1024 times "::s11;" before the last pass takes the colons away.
    const auto [few, fewHtml] = doubling(10);
    EXPECT_FALSE(pourPage("::s1;", "", few, fewHtml, 6143).has_value());
    EXPECT_EQ(pourPage("::s1;", "", few, fewHtml, 6144).value(), QString("s11;").repeated(1024));
}

namespace {

struct BuildFixture : ::testing::Test {
    QTemporaryDir dir;
    FakeSession f;
    QString put(const QString& name, const QByteArray& bytes) {
        return writeFile(dir, name, bytes);
    }
};

} // namespace

TEST_F(BuildFixture, BuildsTheWorkedPage) {
    const QString tpl = put("plain.qtf", kPlainPage);
    const QString doc = put(
        "index.qht", "#QH1#\r\nMy first page\r\n" + tpl.toUtf8() +
                         "\r\nindex.htm\r\n#STARTSECTION#\r\n<p>Hello</p>\r\n#STARTSECTION#\r\n");
    const LoadResult r = LoadFile(f.s, doc, LoadMode::Document);
    ASSERT_TRUE(r.loaded());
    ASSERT_TRUE(BuildPage(f.s, f.editor.outputText, r.templatePath));
    EXPECT_EQ(readBytes(dir.filePath("index.htm")),
              crlf({"<h1>My first page</h1>", "<p>Hello</p>", "<hr>", "<p>Contact</p>", ""}));
    EXPECT_TRUE(f.prompter.shown.empty());

    // One empty line of default HTML gives two line ends; the name line is never read.
    const QString blank = put("blank.qtf", crlf({"#QT1#", "#DEFAULTHTML#", "#DEFAULTHTML#", "",
                                                 "#ENDDEFAULTHTML#", "#STARTSECTION#"}));
    ASSERT_TRUE(BuildPage(f.s, dir.filePath("blank.htm"), blank));
    EXPECT_EQ(readBytes(dir.filePath("blank.htm")), "\r\n\r\n");
}

TEST_F(BuildFixture, PagesAreWrittenInTheCharsetTheyDeclare) {
    f.editor.titleText = QString::fromUtf8("Ωmega café");
    const QString utf8 = put(
        "u.qtf", crlf({"#QT1#", "n", "#DEFAULTHTML#",
                       "<meta charset=\"utf-8\">::title::", "#ENDDEFAULTHTML#", "#STARTSECTION#"}));
    const QString plain = put("p.qtf", crlf({"#QT1#", "n", "#DEFAULTHTML#", "<p>::title::</p>",
                                             "#ENDDEFAULTHTML#", "#STARTSECTION#"}));
    ASSERT_TRUE(BuildPage(f.s, dir.filePath("u.htm"), utf8));
    ASSERT_TRUE(BuildPage(f.s, dir.filePath("p.htm"), plain));
    EXPECT_EQ(readBytes(dir.filePath("u.htm")),
              QString::fromUtf8("<meta charset=\"utf-8\">Ωmega café\r\n\r\n").toUtf8());
    EXPECT_EQ(readBytes(dir.filePath("p.htm")), QByteArray("<p>&#937;mega caf\xE9</p>\r\n\r\n"));
}

TEST_F(BuildFixture, FailuresAreToldAndLeaveTheOldPage) {
    const QString page = put("page.htm", "old page");
    const QString good = put("good.qtf", kPlainPage);
    struct Case {
        QString templatePath, output, text;
    };
    const Case cases[] = {
        {put("bad1.qtf", crlf({"#QT2#", "n", "#DEFAULTHTML#", "#ENDDEFAULTHTML#"})), page,
         "ERROR: Invalid template specified, cannot build!"},
        {put("bad3.qtf", crlf({"#QT1#", "n", "#DEFAULT#", "#ENDDEFAULTHTML#"})), page,
         "ERROR: Invalid template specified, cannot build!"},
        {dir.filePath("missing.qtf"), page,
         "ERROR: Cannot read the template '" + dir.filePath("missing.qtf") +
             "': File not found. Nothing was built."},
        {put("cut.qtf", crlf({"#QT1#", "n", "#DEFAULTHTML#", "<p>"})), page,
         "ERROR: The template '" + dir.filePath("cut.qtf") +
             "' ends before its default HTML is complete, cannot build!"},
        {put("short.qtf", crlf({"#QT1#", "n"})), page,
         "ERROR: The template '" + dir.filePath("short.qtf") +
             "' ends before its default HTML is complete, cannot build!"},
        {good, "", "ERROR: No output file is set, cannot build!"},
        {good, dir.filePath("no folder/x.htm"),
         "ERROR: Cannot write the page '" + dir.filePath("no folder/x.htm") +
             "': Path not found: the folder does not exist. Nothing was built."},
        {good, dir.path(),
         "ERROR: Cannot write the page '" + dir.path() +
             "': Path/File access error: it is a folder. Nothing was built."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        f.prompter.shown.clear();
        EXPECT_FALSE(BuildPage(f.s, c.output, c.templatePath));
        ASSERT_EQ(f.prompter.shown.size(), 1u);
        EXPECT_EQ(f.prompter.last().text, c.text);
        EXPECT_EQ(f.prompter.last().title, "Quillane BuildEngine");
        EXPECT_EQ(f.prompter.last().icon, MsgIcon::Exclamation);
        EXPECT_EQ(readBytes(page), "old page");
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QStringList{"*.tmp"}, QDir::Files | QDir::Hidden),
              QStringList{})
        << "no temporary file is left behind";
}

// --- What a page may replace ----------------------------------------------------------------

namespace {

struct PageFixture : BuildFixture {
    QString tpl, doc, here = QDir::currentPath();
    // What plain.qtf builds into with an empty section table.
    const QByteArray page = crlf({"<h1></h1>", "body", "footer", ""});
    void SetUp() override {
        tpl = put("plain.qtf", kPlainPage);
        doc = put("index.qht", "#QH1#\r\nT\r\nplain.qtf\r\nindex.htm\r\n#STARTSECTION#\r\n");
        f.s.ws.CurrentFile = doc;
    }
    void TearDown() override { QDir::setCurrent(here); }
    // BuildPage's message, "" when it built.
    QString build(const QString& output, WriteOutcome* outcome = nullptr, QString from = {}) {
        f.prompter.shown.clear();
        const bool built = BuildPage(f.s, output, from.isEmpty() ? tpl : from, outcome);
        EXPECT_EQ(built, f.prompter.shown.empty());
        return built ? QString() : f.prompter.last().text;
    }
    static QString refusal(const QString& path, const QString& reason) {
        return "ERROR: Cannot write the page '" + path + "': " + reason + ". Nothing was built.";
    }
};

} // namespace

TEST_F(PageFixture, OnlyAPageIsEverReplaced) {
    QDir::setCurrent(dir.path()); // the cases are named from here, where a Windows path would land
    ASSERT_TRUE(makeFifoAndSocket("fifo.htm", "socket.htm"));
    QFile::setPermissions(put("locked.htm", "old"),
                          QFileDevice::ReadOwner | QFileDevice::ReadOther);
    ASSERT_TRUE(QFile::link("gone.htm", "dangling.htm") && QFile::link(doc, "to-doc.htm"));
    const QString access = "Path/File access error: ", denied = "Permission denied: ";
    const QString windows = "Path not found: it is a Windows path, which this system cannot write";
    std::vector<std::pair<QString, QString>> cases = {
        {"fifo.htm", access + "it is a named pipe (FIFO), not a file"},
        {"socket.htm", access + "it is a socket, not a file"},
        {"dangling.htm", access + "it is a link to a file that does not exist"},
        {"locked.htm", denied + "the file is read-only"}, // by root too
        {"index.qht", denied + "it is the templated document being built"},
        {"to-doc.htm", denied + "it is the templated document being built"},
        {"plain.qtf", denied + "it is the template of this page"},
        {put("t.qtf", "#QT1#\r\n"), denied + "it is a template, not a page"},
        {put("bom.qtf", "\xEF\xBB\xBF#QT1#\r\n"), denied + "it is a template, not a page"},
        {put("d.qht", "#QH1#\r\n"), denied + "it is a templated document, not a page"},
        {put("bom.qht", "\xEF\xBB\xBF#QH1#"), denied + "it is a templated document, not a page"},
        {"C:\\site\\index.htm", windows},
        {"\\\\server\\share\\x.htm", windows},
    };
    if (makeDevice("device.htm"))
        cases.push_back({"device.htm", access + "it is a device, not a file"});
    const auto before = snapshot(dir.path());
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(build(path), refusal(path, reason));
    }
    EXPECT_EQ(snapshot(dir.path()), before);
    if (geteuid() != 0) GTEST_SKIP() << "the device case needs root to make a device node";
}

TEST_F(PageFixture, LinksStayAndAnUnchangedPageIsNotWritten) {
    QDir().mkdir(dir.filePath("real"));
    const QString target = put("real/page.htm", "old"), link = dir.filePath("link.htm");
    ASSERT_EQ(::chmod(fsName(target).constData(), 0660), 0); // wider than the umask gives
    const QString a = put("a.htm", "old"), b = dir.filePath("b.htm");
    ASSERT_TRUE(QFile::link(target, link) && ::link(fsName(a), fsName(b)) == 0);
    const QString longName = dir.filePath(QString(246, u'p') + ".htm"); // 250 bytes
    for (const QString& out : {link, a, longName}) {
        WriteOutcome outcome{};
        EXPECT_EQ(build(out, &outcome), "");
        EXPECT_EQ(outcome, WriteOutcome::Written);
    }
    struct stat st {};
    ::stat(fsName(target).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0660u) << "the replaced page keeps its permissions";
    EXPECT_EQ(QFile::symLinkTarget(link), target);
    for (const QString& p : {target, b, longName})
        EXPECT_EQ(readBytes(p), page) << p.toStdString();

    // Built again: nothing written, time stamps kept, no temporary file anywhere.
    const timespec old[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, fsName(longName).constData(), old, 0), 0);
    const auto before = snapshot(dir.path());
    WriteOutcome outcome{};
    EXPECT_EQ(build(longName, &outcome), "");
    EXPECT_EQ(outcome, WriteOutcome::Unchanged);
    ::stat(fsName(longName).constData(), &st);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'000'000'000);
    EXPECT_EQ(snapshot(dir.path()), before);
    for (const auto& entry : before)
        EXPECT_EQ(entry.first.find(".quillane-"), std::string::npos);
}

TEST_F(PageFixture, AFullDiskSaysSoAndLeavesTheOldPageWhole) {
    const QString disk = dir.filePath("disk");
    QDir().mkdir(disk);
    if (::mount("tmpfs", fsName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "needs root, to mount a small file system of its own";
    const QByteArray mountPoint = fsName(disk);
    const std::unique_ptr<const char, int (*)(const char*)> unmount(mountPoint, ::umount);
    // Pages larger than the one block each old page holds, onto a disk with no block left.
    const QString big = put("big.qtf", crlf({"#QT1#", "n", "#DEFAULTHTML#"}) +
                                           QByteArray(10000, 'x') + "\r\n#ENDDEFAULTHTML#\r\n");
    const QString old = put("disk/page.htm", "old page"), a = put("disk/a.htm", "old a");
    ASSERT_EQ(::link(fsName(a), fsName(disk + "/b.htm")), 0);
    QFile fill(disk + "/fill");
    fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    while (fill.write(QByteArray(4096, 'f')) > 0) {
    }
    const auto before = snapshot(disk);
    for (const QString& out : {old, a})
        EXPECT_EQ(build(out, nullptr, big), refusal(out, "No space left on device"));
    EXPECT_EQ(snapshot(disk), before);
}

// --- Batch -----------------------------------------------------------------------------------

TEST(NonPage, OnlyWebPagesOutsideHiddenFoldersAreWrittenWithoutLeave) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("s/public"));
    QFile::link(dir.filePath(".secret"), dir.filePath("s/public/secret.html"));
    const QString notPage = "is not a web page (its name does not end in .htm, .html, .xhtml, "
                            ".xht, .shtml, .php, .asp, .aspx or .jsp)";
    const struct {
        QString output, folder, reason;
    } cases[] = {
        {"/h/dl/s/../../.bashrc", "/h/dl/s/", "is a hidden file"},
        {"/root/.bashrc", "/h/dl/s", "is a hidden file"},
        {"/h/dl/s/public/index.html", "/h/dl/s", ""},
        {"/var/www/html/x.htm", "/h/dl/s", ""},
        {"/h/dl/s/.hidden/x.html", "/h/dl/s", "is inside the hidden folder '.hidden'"},
        {"/h/.sites/other/x.xhtml", "/h/.sites/s", ""},
        {"/s/x.HTML", "/s", ""},
        {"/s/x.txt", "/s", notPage},
        {"/s/x", "/s", notPage},
        {dir.filePath("s/public/secret.html"), dir.filePath("s"),
         "leads to '" + dir.filePath(".secret") + "', which is a hidden file"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nonPageReason(c.output, c.folder), c.reason) << c.output.toStdString();
}

TEST(CommandLine, AllowOtherFilesIsTakenOnlyBeforeTheArgumentText) {
    QStringList args{"--allow-other-files", "/B:my", "--allow-other-files"}, plain{"/B:x"};
    EXPECT_TRUE(takeLeadingOptions(args).allowOtherFiles);
    EXPECT_EQ(argumentText(args), "/B:my --allow-other-files");
    EXPECT_FALSE(takeLeadingOptions(plain).allowOtherFiles);
}

namespace {

struct Site : BuildFixture {
    QString tpl;
    QByteArray cafe; // a name that is not valid UTF-8, which Qt cannot remove with the folder
    void SetUp() override { tpl = put("site.qtf", kPlainPage); }
    void TearDown() override { ::unlink(cafe); }
    void putCafe(const QString& folder) {
        cafe = QFile::encodeName(folder) + "/caf\xE9.qht";
        ::close(::open(cafe, O_CREAT | O_WRONLY, 0600));
    }
    QString doc(const QString& name, const QString& title, const QString& output) {
        return put(name, "#QH1#\r\n" + title.toUtf8() + "\r\n" + tpl.toUtf8() + "\r\n" +
                             output.toUtf8() + "\r\n#STARTSECTION#\r\n<p>" + title.toUtf8() +
                             "</p>\r\n#STARTSECTION#\r\n");
    }
    struct Run {
        int status;
        QString out, err;
    };
    // Standard output goes to `out` when given, else to a file read back into Run::out.
    Run headless(const QString& folder, HeadlessOptions options = {}, std::FILE* out = nullptr) {
        std::FILE* own = out ? nullptr : std::tmpfile();
        std::FILE* err = std::tmpfile();
        Run r{runHeadlessBatch(folder, dir.path(), out ? out : own, err, options), {}, {}};
        auto slurp = [](std::FILE* fp) {
            std::rewind(fp);
            QByteArray b;
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0)
                b.append(buf, qsizetype(n));
            std::fclose(fp);
            return QString::fromUtf8(b);
        };
        if (own) r.out = slurp(own);
        r.err = slurp(err);
        return r;
    }
    // Every regular file under the folder with its bytes.
    QStringList disk() const {
        QStringList files;
        QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files << path + ": " + readBytes(path);
        }
        files.sort();
        return files;
    }
};

QStringList sortedLines(const QString& text) {
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

} // namespace

TEST_F(Site, TheFolderSelectionFollowsTheNameRules) {
    doc("a.qht", "A", "a.htm");
    doc("plainqht", "B", "b.htm");
    doc("C.QHT", "C", "c.htm");
    doc(".hidden.qht", "H", "h.htm");
    doc("d.qht.bak", "D", "d.htm");
    QDir(dir.path()).mkpath("sub.qht");
    QDir(dir.path()).mkpath("inner");
    put("inner/e.qht", "#QH1#\r\nE\r\n../site.qtf\r\ne.htm\r\n#STARTSECTION#\r\n");
    // Only regular files after links: a FIFO or a link to one would block when opened; a
    // dangling link is left for the reader to report.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.qht")), 0600), 0);
    QFile::link("fifo.qht", dir.filePath("to-fifo.qht"));
    QFile::link("a.qht", dir.filePath("link.qht"));
    QFile::link("gone", dir.filePath("dangling.qht"));
    putCafe(dir.path());
    QList<BatchDocument> docs;
    QString reason;
    ASSERT_TRUE(listBatchDocuments(dir.path(), docs, reason));
    QStringList names;
    for (const BatchDocument& d : docs)
        names << d.name + (d.nameIsUtf8 ? "" : " (not UTF-8)");
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.qht", "caf\\xE9.qht (not UTF-8)", "dangling.qht", "link.qht",
                                  "plainqht"}));

    EXPECT_FALSE(listBatchDocuments(dir.filePath("nope"), docs, reason));
    EXPECT_EQ(reason, "no such folder");
    EXPECT_FALSE(listBatchDocuments(tpl, docs, reason));
    EXPECT_EQ(reason, "not a folder");

    EXPECT_EQ(folderOfChoice("/site/docs/x.qht", "x.qht"), "/site/docs/");
    EXPECT_EQ(folderOfChoice("/site/docs/", ""), "/site/docs/");
}

TEST_F(Site, HeadlessBuildGoesOnAfterBadDocumentsAndReportsEachOne) {
    doc("one.qht", "One", "one.htm");
    doc("two.qht", "Two", "two.htm");
    put("rejected.qht", "#QT1#\r\nnot a document\r\n");
    put("early.qht", "#QH1#\r\nT\r\nsite.qtf\r\nearly.htm\r\n\r\nx\r\n");
    doc("unbuilt.qht", "U", "");

    const Run r = headless(dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readBytes(dir.filePath("one.htm")),
              crlf({"<h1>One</h1>", "<p>One</p>", "<hr>", "<p>Contact</p>", ""}));
    EXPECT_TRUE(QFile::exists(dir.filePath("two.htm")));
    EXPECT_TRUE(r.out.contains(dir.filePath("one.htm") + "\n"));
    EXPECT_TRUE(r.out.contains(dir.filePath("two.htm") + "\n"));
    EXPECT_TRUE(r.out.endsWith("5 templated documents found, 2 built.\n"));
    EXPECT_TRUE(r.err.contains(
        dir.filePath("rejected.qht") +
        ": Quillane HTML Editor: This file is not a Quillane TEMPLATED-HTML file!\n"));
    EXPECT_TRUE(r.err.contains(dir.filePath("early.qht") + ": not built: "));
    EXPECT_TRUE(
        r.err.contains(dir.filePath("unbuilt.qht") +
                       ": Quillane BuildEngine: ERROR: No output file is set, cannot build!\n"));
    EXPECT_EQ(r.err.count('\n'), 3);
}

TEST_F(Site, AHeadlessBatchReportsEveryDocumentOnOneLineAndWritesOnlyPagesUnlessAllowed) {
    const QString rc = put("home/.bashrc", "original"), site = dir.filePath("home/dl/site");
    QDir(dir.path()).mkpath("home/dl/site/public");
    doc("home/dl/site/index.qht", "touch x; #", "../../.bashrc");
    doc("home/dl/site/ok.qht", "OK", "public/ok.html");
    QFile::link("gone", site + "/new\nline.qht");
    putCafe(site);
    QStringList before = disk();
    const Run r = headless(site);
    EXPECT_EQ(r.status, 1);
    const QString nl = site + "/new\\nline.qht";
    EXPECT_EQ(sortedLines(r.err),
              (QStringList{site + "/caf\\xE9.qht: not built: its name is not valid UTF-8; rename "
                                  "it to build it",
                           site + "/index.qht: not built: its output '" + rc +
                               "' is a hidden file; a batch writes such files only when "
                               "--allow-other-files is given before /B:",
                           nl + ": Error parsing file!: Error parsing file '" + nl +
                               "': File not found (53)"}));
    EXPECT_EQ(r.out, site + "/public/ok.html\n4 templated documents found, 1 built.\n");
    before << site + "/public/ok.html: " + readBytes(site + "/public/ok.html");
    before.sort();
    EXPECT_EQ(disk(), before);

    EXPECT_TRUE(headless(site, {true}).out.endsWith("4 templated documents found, 2 built.\n"));
    EXPECT_TRUE(readBytes(rc).contains("<h1>touch x; #</h1>"));
}

TEST_F(Site, SigtermStopsAfterTheCurrentPageAndAClosedPipeIsAnErrorNotTheEnd) {
    for (const QString n : {"a", "b", "c"})
        doc(n + ".qht", n, n + ".htm");
    // Standard output that raises SIGTERM as the first page is printed.
    QByteArray printed;
    cookie_io_functions_t io{};
    io.write = [](void* cookie, const char* bytes, size_t n) -> ssize_t {
        if (static_cast<QByteArray*>(cookie)->isEmpty()) std::raise(SIGTERM);
        static_cast<QByteArray*>(cookie)->append(bytes, qsizetype(n));
        return ssize_t(n);
    };
    std::FILE* out = fopencookie(&printed, "w", io);
    std::setvbuf(out, nullptr, _IOLBF, 0);
    EXPECT_EQ(headless(dir.path(), {}, out).status, 143);
    std::fclose(out);
    const QStringList built = QDir(dir.path()).entryList({"*.htm"});
    ASSERT_EQ(built.size(), 1);
    EXPECT_EQ(QString(printed), dir.filePath(built[0]) +
                                    "\n3 templated documents found, 1 built; "
                                    "SIGTERM stopped the build after 1 of them.\n");
    EXPECT_EQ(QDir(dir.path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList{});

    // A reader that went away: every page is still built, and the status says something failed.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    std::FILE* closed = ::fdopen(fds[1], "w");
    const Run r = headless(dir.path(), {}, closed);
    std::fclose(closed);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot write to standard output: Broken pipe\n");
    EXPECT_EQ(QDir(dir.path()).entryList({"*.htm"}).size(), 3);
}

TEST_F(Site, HeadlessBuildExitStatuses) {
    EXPECT_EQ(headless(dir.path()).status, 0) << "an empty folder builds nothing and fails nothing";
    doc("one.qht", "One", "one.htm");
    const Run ok = headless(dir.path());
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, dir.filePath("one.htm") + "\n1 templated document found, 1 built.\n");
    EXPECT_TRUE(ok.err.isEmpty());

    const Run missing = headless(dir.filePath("gone"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err,
              "Cannot list the folder '" + dir.filePath("gone") + "': no such folder\n");

    // An empty folder text is the current folder.
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const Run current = headless("");
    QDir::setCurrent(here);
    EXPECT_EQ(current.status, 0);
    EXPECT_TRUE(current.out.contains("one.htm\n"));
}

TEST_F(Site, TheWindowsBatchLeavesTheLastDocumentAndNeverAStaleFileName) {
    doc("a.qht", "A", "same.htm");
    doc("b.qht", "B", "same.htm");
    QList<BatchDocument> docs;
    QString reason;
    ASSERT_TRUE(listBatchDocuments(dir.path(), docs, reason));
    f.s.ws.CurrentFile = "/elsewhere/open-before.qht";
    BatchObserver quiet;
    const BatchSummary sum = BatchCompile(f.s, dir.path() + "/", docs, quiet);
    EXPECT_EQ(sum.built, 2);
    EXPECT_EQ(f.app.eventTurns, 2);
    const QString last = docs.last().name;
    // Two documents naming one page: the one listed later wins.
    EXPECT_TRUE(readBytes(dir.filePath("same.htm"))
                    .contains("<p>" + last.left(1).toUpper().toUtf8() + "</p>"));
    EXPECT_EQ(f.s.ws.CurrentFile, dir.path() + "/" + last)
        << "Save must not write over the old document";
    EXPECT_EQ(f.s.ws.TemplatePath, tpl);
    EXPECT_FALSE(f.s.ws.IsDirty);

    // A failed last document leaves no file name for a Save to overwrite.
    put("z.qht", "garbage");
    docs.append({"z.qht"});
    BatchCompile(f.s, dir.path() + "/", docs, quiet);
    EXPECT_TRUE(f.s.ws.CurrentFile.isEmpty());

    // A stop after the current document.
    struct StopAtOnce : BatchObserver {
        bool stopRequested() override { return true; }
    } stop;
    const BatchSummary stopped = BatchCompile(f.s, dir.path() + "/", docs, stop);
    EXPECT_EQ(stopped.done, 1);
    EXPECT_TRUE(stopped.stopped);

    // Running out of memory on a document fails that one only.
    struct Starved : FakeHtmlEditor {
        using FakeHtmlEditor::FakeHtmlEditor;
        void setOutput(const QString& t) override {
            if (!t.isEmpty()) throw std::bad_alloc();
        }
    } starved{f.s.ws};
    f.s.htmlEditor = &starved;
    f.prompter.shown.clear();
    EXPECT_EQ(BatchCompile(f.s, dir.path(), docs, quiet).done, 3);
    ASSERT_FALSE(f.prompter.shown.empty());
    EXPECT_EQ(f.prompter.texts()[0],
              "Error parsing file '" + dir.filePath(docs[0].name) + "':\r\nOut of memory (7)");
}
