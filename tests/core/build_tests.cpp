// SPDX-License-Identifier: GPL-3.0-or-later
// The build: the page from a template, writing it, reading a document with its template, the
// template cache, and the batch with its headless front end.

#include "build/batch.h"
#include "build/batch_report.h"
#include "build/console_batch.h"
#include "build/document_read.h"
#include "build/page.h"
#include "build/template_charset.h"
#include "formats/text_codec.h"
#include "support/files.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#ifdef _WIN32
#include "platform/console.h"

#include <io.h>
#else
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

using namespace quillane;
using namespace quillane::test;

namespace {

struct BuildFixture : ::testing::Test {
    QTemporaryDir dir;
    TemplateCache cache;
    QString put(const QString& name, const QByteArray& bytes) {
        QDir(dir.path()).mkpath(QFileInfo(name).path());
        return writeFile(dir, name, bytes);
    }
};

} // namespace

// --- The page --------------------------------------------------------------------------------

TEST_F(BuildFixture, PoursThePageInTheCharsetItDeclaresOrSaysWhyThereIsNone) {
    const QString tpl = put("plain.qtf", kPlainPage);
    const DocumentWithTemplate d = readDocumentWithTemplate(
        put("index.qht", lines("#QH1#|My first page|plain.qtf|index.htm|#STARTSECTION#|"
                               "<p>Hello</p>|#STARTSECTION#")),
        cache);
    EXPECT_EQ(pourTemplatePage(*d.templ, tpl, d.document.title, d.table).bytes,
              lines("<h1>My first page</h1>|<p>Hello</p>|<hr>|<p>Contact</p>|"));

    const QString invalid = "ERROR: Invalid template specified, cannot build!";
    const QString cut = "ERROR: The template 't.qtf' ends before its default HTML is complete, "
                        "cannot build!";
    const std::pair<QString, QByteArray> cases[] = {
        // One empty line of default HTML gives two line ends; the name line is never read.
        {"#QT1#|#DEFAULTHTML#|#DEFAULTHTML#||#ENDDEFAULTHTML#", "\r\n\r\n"},
        {"#QT1#|n|#DEFAULTHTML#|#ENDDEFAULTHTML#", "\r\n"},
        {"#QT1#|n|#DEFAULTHTML#|<meta charset=\"utf-8\">::title::|#ENDDEFAULTHTML#",
         QString::fromUtf8("<meta charset=\"utf-8\">Ωmega café\r\n\r\n").toUtf8()},
        {"#QT1#|n|#DEFAULTHTML#|<p>::title::</p>|#ENDDEFAULTHTML#",
         "<p>&#937;mega caf\xE9</p>\r\n\r\n"},
        // The page needs the default HTML only: a template broken after it still builds.
        {"#QT1#|n|#DEFAULTHTML#|x|#ENDDEFAULTHTML#|#STARTSECTION#|s", "x\r\n\r\n"},
        {"#QT2#|n|#DEFAULTHTML#|#ENDDEFAULTHTML#", invalid.toUtf8()},
        {"#QT1#|n|#DEFAULT#|#ENDDEFAULTHTML#", invalid.toUtf8()},
        {"#QT1#|n|#DEFAULTHTML#|<p>", cut.toUtf8()},
        {"#QT1#|n", cut.toUtf8()},
    };
    auto pour = [](const TemplateRead& t, const QString& path) {
        const PageBytes p = pourTemplatePage(t, path, QString::fromUtf8("Ωmega café"), {});
        EXPECT_EQ(p.bytes.isEmpty(), p.failure.has_value());
        return p.failure ? describe(*p.failure).toUtf8() : p.bytes;
    };
    for (const auto& [text, expected] : cases) {
        const QByteArray ending =
            expected.startsWith("ERROR") ? " | Quillane BuildEngine | exclamation | OK" : "";
        EXPECT_EQ(pour(parseTemplate(decodeText(lines(text)), "t.qtf"), "t.qtf"), expected + ending)
            << text.toStdString();
    }
    // Too large, and only when it is so, because sections insert each other.
    const TemplateRead big = parseTemplate(decodeText(lines("#QT1#|n|#DEFAULTHTML#|::a|"
                                                            "#ENDDEFAULTHTML#")),
                                           "t.qtf");
    SectionTable chain;
    chain.SectionNames = {"", "a", "b", "c", ""};
    chain.SectionHtml = {"", QString("::b").repeated(1000), QString("::c").repeated(1000),
                         QString("::d").repeated(1000), ""};
    chain.SectionEditable.assign(5, 0);
    const QString tooLarge = "ERROR: The page would be larger than 67108864 characters";
    EXPECT_EQ(pourTemplatePage(big, "t.qtf", "", chain).failure->text,
              tooLarge + " (its sections insert each other over and over), cannot build!");
    // 1100 placeholders of a section of 64 Ki characters.
    chain.SectionHtml = {"", QString(64 * 1024, u'x'), "", "", ""};
    const TemplateRead wide =
        parseTemplate(decodeText("#QT1#\r\nn\r\n#DEFAULTHTML#\r\n" +
                                 QByteArray("::a").repeated(1100) + "\r\n#ENDDEFAULTHTML#\r\n"),
                      "t.qtf");
    EXPECT_EQ(pourTemplatePage(wide, "t.qtf", "", chain).failure->text,
              tooLarge + ", cannot build!");
    const QString missing = dir.filePath("no.qtf");
    EXPECT_EQ(
        pour(*cache.read(missing), missing),
        "ERROR: Cannot read the template '" + missing.toUtf8() +
            "': File not found. Nothing was built. | Quillane BuildEngine | exclamation | OK");
}

// --- Writing the page ------------------------------------------------------------------------

namespace {

struct PageFixture : BuildFixture {
    QString tpl, doc, here = QDir::currentPath();
    // What plain.qtf builds into with an empty section table.
    const QByteArray page = lines("<h1></h1>|body|footer|");
    void SetUp() override {
        tpl = put("plain.qtf", kPlainPage);
        doc = put("index.qht", lines("#QH1#|T|plain.qtf|index.htm|#STARTSECTION#"));
    }
    void TearDown() override { QDir::setCurrent(here); }
    // "written", "unchanged" or the message.
    QString build(const QString& output, const QString& from = {}) {
        const PageOutcome o =
            buildPageFile(cache, from.isEmpty() ? tpl : from, "", {}, output, doc);
        return o.built() ? o.kind == PageOutcome::Kind::Written ? "written" : "unchanged"
                         : describe(o.failure);
    }
    static QString refusal(const QString& path, const QString& reason) {
        return "ERROR: Cannot write the page '" + path + "': " + reason +
               ". Nothing was built. | Quillane BuildEngine | exclamation | OK";
    }
};

} // namespace

#ifndef _WIN32 // POSIX file kinds, modes, links and signals; Windows: windows_files_test.cpp
TEST_F(PageFixture, OnlyAPageIsEverReplaced) {
    QDir::setCurrent(dir.path()); // the cases are named from here, where a Windows path would land
    ASSERT_TRUE(makeFifoAndSocket("fifo.htm", "socket.htm"));
    QFile::setPermissions(put("locked.htm", "old"),
                          QFileDevice::ReadOwner | QFileDevice::ReadOther);
    ASSERT_TRUE(QFile::link("gone.htm", "dangling.htm") && QFile::link(doc, "to-doc.htm"));
    const QString access = "Path/File access error: ", denied = "Permission denied: ";
    const QString windows = "Path not found: it is a Windows path, which this system cannot write";
    std::vector<std::pair<QString, QString>> cases = {
        {"index.qht/x.htm", "Path not found: a part of the path is not a folder"},
        {dir.path(), access + "it is a folder"},
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
    EXPECT_EQ(build(""), "ERROR: No output file is set, cannot build! | Quillane BuildEngine | "
                         "exclamation | OK");
    for (const auto& [path, reason] : cases)
        EXPECT_EQ(build(path), refusal(path, reason));
    EXPECT_EQ(snapshot(dir.path()), before) << "nothing changed, no temporary file left";
    // A missing folder inside the document's own folder is made.
    EXPECT_EQ(build("no folder/x.htm"), "written");
    if (geteuid() != 0) GTEST_SKIP() << "the device case needs root to make a device node";
}

TEST_F(PageFixture, LinksStayAndAnUnchangedPageIsNotWritten) {
    QDir().mkdir(dir.filePath("real"));
    const QString target = put("real/page.htm", "old"), link = dir.filePath("link.htm");
    ASSERT_EQ(::chmod(fsName(target).constData(), 0660), 0); // wider than the umask gives
    const QString a = put("a.htm", "old"), b = dir.filePath("b.htm");
    ASSERT_TRUE(QFile::link(target, link) && ::link(fsName(a), fsName(b)) == 0);
    const QString longName = dir.filePath(QString(246, u'p') + ".htm"); // 250 bytes
    for (const QString& out : {link, a, longName})
        EXPECT_EQ(build(out), "written");
    struct stat st {};
    ::stat(fsName(target).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0660u) << "the replaced page keeps its permissions";
    EXPECT_EQ(QFile::symLinkTarget(link), target);
    for (const QString& p : {target, a, longName})
        EXPECT_EQ(readBytes(p), page) << p.toStdString();
    EXPECT_EQ(readBytes(b), "old") << "another hard link keeps the page it had";

    // The same length with one byte changed late in the page (a title "Cat" retitled "Dog"):
    // written again.
    QByteArray retitled = page;
    retitled[retitled.size() - 5] = 'X';
    put(QFileInfo(longName).fileName(), retitled);
    EXPECT_EQ(build(longName), "written");
    EXPECT_EQ(readBytes(longName), page);

    // Built again: nothing written, time stamps kept, no temporary file anywhere.
    const timespec old[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, fsName(longName).constData(), old, 0), 0);
    const auto before = snapshot(dir.path());
    EXPECT_EQ(build(longName), "unchanged");
    ::stat(fsName(longName).constData(), &st);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'000'000'000);
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST_F(PageFixture, AFullDiskSaysSoAndLeavesTheOldPageWhole) {
    const QString disk = dir.filePath("disk");
    QDir().mkdir(disk);
    if (::mount("tmpfs", fsName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "needs root, to mount a small file system of its own";
    const QByteArray mountPoint = fsName(disk);
    const std::unique_ptr<const char, int (*)(const char*)> unmount(mountPoint, ::umount);
    // Pages larger than the one block each old page holds, onto a disk with no block left.
    const QString big = put("big.qtf", lines("#QT1#|n|#DEFAULTHTML#") + QByteArray(10000, 'x') +
                                           "\r\n#ENDDEFAULTHTML#\r\n");
    const QString old = put("disk/page.htm", "old page"), a = put("disk/a.htm", "old a");
    ASSERT_EQ(::link(fsName(a), fsName(disk + "/b.htm")), 0);
    QFile fill(disk + "/fill");
    fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    while (fill.write(QByteArray(4096, 'f')) > 0) {
    }
    const auto before = snapshot(disk);
    for (const QString& out : {old, a})
        EXPECT_EQ(build(out, big), refusal(out, "No space left on device"));
    EXPECT_EQ(snapshot(disk), before);
}
#endif

// --- A document with its template ------------------------------------------------------------

// Each block goes to the next editable section; the template's messages come first.
TEST_F(BuildFixture, ADocumentIsReadWithItsTemplateAndStopsWhereItMust) {
    put("t.qtf", lines("#QT1#|T|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#|a| 1 |A|"
                       "#STARTSECTION#|b| 0 |B|#STARTSECTION#|c| 1 |C|#STARTSECTION#|d| 1 |D|"
                       "#STARTSECTION#"));
    put("bad.qtf", "#QT1#\r\n");
    const QString more = "Subscript out of range: the document has more sections than its "
                         "template can take (9)";
    const QString pastEnd = "':\r\nInput past end of file (62)";
    const QString missing = "Error parsing file 'missing.qtf':\r\nFile not found (53)";
    const QString notADocument = "This file is not a Quillane TEMPLATED-HTML file!";
    const std::pair<QString, QString> cases[] = {
        // No block for d: the template's HTML.
        {"#QH1#|T|t.qtf|o|#STARTSECTION#|1|#STARTSECTION#|3|#STARTSECTION#",
         "loaded | a,1,1;b,0,B;c,1,3;d,1,D;,0,"},
        {"#QH1#|T|t.qtf|o|#STARTSECTION#|1|#STARTSECTION#|2|#STARTSECTION#|3|#STARTSECTION#|4|"
         "#STARTSECTION#",
         "failed | Error parsing file 'd.qht':\r\n" + more},
        {"#QH1#|T|missing.qtf|o|#STARTSECTION#|x|#STARTSECTION#",
         "failed | " + missing + " | Error parsing file 'd.qht':\r\n" + more},
        {"#QH1#||missing.qtf||#STARTSECTION#", "loaded | ,0, | " + missing},
        {"#QH1#|T|d.qht|o|#STARTSECTION#", "loaded | ,0, | This file is not a Quillane file!"},
        // The section of a block is looked for before its first line is.
        {"#QH1#|T|bad.qtf|o|junk|x", "failed | Error parsing file 'bad.qtf" + pastEnd +
                                         " | Error parsing file 'd.qht':\r\n" + more},
        {"#QH1#|T|t.qtf|o|junk|x", "failed | " + notADocument},
        {"#QH1#|T|t.qtf|o||x", "stopped early"},
        {"#QH1#|T|t.qtf|o", "failed | Error parsing file 'd.qht" + pastEnd},
        {"#QT1#|x", "failed | " + notADocument},
    };
    for (const auto& [text, expected] : cases) {
        const DocumentWithTemplate d = readDocumentWithTemplate(put("d.qht", lines(text)), cache);
        const char* results[] = {"loaded", "stopped early", "failed"};
        QStringList got{results[int(d.result)]};
        if (d.result == DocumentWithTemplate::Result::Loaded) got << dump(d.table);
        for (const Message& m : d.messages)
            got << m.text;
        EXPECT_EQ(got.join(" | ").replace(dir.path() + u'/', QString()), expected)
            << text.toStdString();
    }
}

TEST_F(BuildFixture, TheTemplateCacheReadsAFileOnceWhileItStaysTheSame) {
    const QString path = dir.filePath("t.qtf");
    EXPECT_TRUE(cache.read(path)->failure) << "missing";
    put("t.qtf", kPlainPage);
    const std::shared_ptr<const TemplateRead> first = cache.read(path);
    EXPECT_FALSE(first->failure) << "a file that could not be read is not kept";
    EXPECT_EQ(cache.read(path), first);
    put("t.qtf", lines("#QT1#|Changed|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#"));
    EXPECT_EQ(cache.read(path)->value.name, "Changed");
}

// --- Batch -----------------------------------------------------------------------------------

#ifndef _WIN32 // POSIX file kinds, modes, links and signals; Windows: windows_files_test.cpp
TEST(Batch, OnlyWebPagesOutsideHiddenFoldersAreWrittenWithoutLeave) {
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
#endif

namespace {

struct Site : BuildFixture {
    QString tpl;
    QByteArray cafe; // a name that is not valid UTF-8, which Qt cannot remove with the folder
    void SetUp() override { tpl = put("site.qtf", kPlainPage); }
    void TearDown() override {
        if (!cafe.isEmpty()) ::unlink(cafe);
    }
    void putCafe(const QString& folder) {
        cafe = QFile::encodeName(folder) + "/caf\xE9.qht";
        ::close(::open(cafe, O_CREAT | O_WRONLY, 0600));
    }
    QString doc(const QString& name, const QString& title, const QString& output) {
        return put(name, lines("#QH1#|" + title + u'|' + tpl + u'|' + output +
                               "|#STARTSECTION#|<p>" + title + "</p>|#STARTSECTION#"));
    }
    struct Run {
        int status;
        QString out, err;
    };
    // Standard output goes to `out` when given, else into Run::out.
    Run headless(const QString& folder, ConsoleOptions options = {}, std::FILE* out = nullptr) {
#ifdef _WIN32
        // No memory streams here: files of the test's own, outside the folder it builds.
        QTemporaryDir streams;
        std::FILE* own = out ? nullptr : std::fopen(qPrintable(streams.filePath("out")), "w+b");
        std::FILE* err = std::fopen(qPrintable(streams.filePath("err")), "w+b");
        Run r{runConsoleBatch(folder, out ? out : own, err, options), {}, {}};
        if (own) std::fclose(own);
        std::fclose(err);
        r.out = QString::fromUtf8(readBytes(streams.filePath("out")));
        r.err = QString::fromUtf8(readBytes(streams.filePath("err")));
#else
        char *o = nullptr, *e = nullptr;
        size_t on = 0, en = 0;
        std::FILE* own = out ? nullptr : open_memstream(&o, &on);
        std::FILE* err = open_memstream(&e, &en);
        Run r{runConsoleBatch(folder, out ? out : own, err, options), {}, {}};
        if (own) std::fclose(own);
        std::fclose(err);
        r.out = QString::fromUtf8(o, qsizetype(on));
        r.err = QString::fromUtf8(e, qsizetype(en));
        std::free(o);
        std::free(e);
#endif
        return r;
    }
};

[[maybe_unused]] QStringList sortedLines(const QString& text) {
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

} // namespace

#ifndef _WIN32 // POSIX file kinds, modes, links and signals; Windows: windows_files_test.cpp
TEST_F(Site, TheFolderSelectionFollowsTheNameRules) {
    QDir(dir.path()).mkpath("sub.qht");
    QDir(dir.path()).mkpath("inner");
    for (const char* name :
         {"a.qht", "plainqht", "C.QHT", ".hidden.qht", "d.qht.bak", "inner/e.qht"})
        put(name, "");
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
}

TEST_F(Site, AHeadlessBatchReportsEveryDocumentOnOneLineAndWritesOnlyPagesUnlessAllowed) {
    const QString rc = put("home/.bashrc", "original"), site = dir.filePath("home/dl/site");
    QDir(dir.path()).mkpath("home/dl/site/public");
    doc("home/dl/site/index.qht", "touch x; #", "../../.bashrc");
    doc("home/dl/site/ok.qht", "OK", "public/ok.html");
    doc("home/dl/site/abs.qht", "Abs", site + "/public/abs.htm");
    doc("home/dl/site/unbuilt.qht", "U", "");
    put("home/dl/site/rejected.qht", "#QT1#\r\nnot a document\r\n");
    put("home/dl/site/early.qht", lines("#QH1#|T|" + tpl + "|early.htm||x"));
    QFile::link("gone", site + "/new\nline.qht");
    putCafe(site);
    const auto before = snapshot(dir.path());
    const Run r = headless(site);
    EXPECT_EQ(r.status, 1);
    const QString nl = site + "/new\\nline.qht";
    EXPECT_EQ(sortedLines(r.err).join(u'\n').replace(site + u'/', QString()),
              "caf\\xE9.qht: not built: its name is not valid UTF-8; rename it to build it\n"
              "early.qht: not built: the document stops at an empty line where a section should "
              "start\n"
              "index.qht: not built: its output '" +
                  rc +
                  "' is a hidden file; a batch writes such files only when you allow it "
                  "(--allow-other-files before /B:)\n"
                  "new\\nline.qht: Error parsing file!: Error parsing file 'new\\nline.qht': File "
                  "not found (53)\n"
                  "rejected.qht: Quillane HTML Editor: This file is not a Quillane TEMPLATED-HTML "
                  "file!\n"
                  "unbuilt.qht: Quillane BuildEngine: ERROR: No output file is set, cannot build!");
    EXPECT_EQ(sortedLines(r.out),
              (QStringList{site + "/public/abs.htm", site + "/public/ok.html",
                           "8 templated documents found, 2 built, 0 unchanged."}));
    EXPECT_TRUE(r.out.endsWith("8 templated documents found, 2 built, 0 unchanged.\n"));
    EXPECT_EQ(readBytes(site + "/public/ok.html"),
              lines("<h1>OK</h1>|<p>OK</p>|<hr>|<p>Contact</p>|"))
        << "a relative output is taken from the document's folder";
    EXPECT_TRUE(QFile::remove(site + "/public/ok.html") && QFile::remove(site + "/public/abs.htm"));
    EXPECT_EQ(snapshot(dir.path()), before) << "nothing else written";

    EXPECT_TRUE(headless(site, {true})
                    .out.endsWith("8 templated documents found, 3 built, 0 unchanged.\n"));
    EXPECT_TRUE(readBytes(rc).contains("<h1>touch x; #</h1>"));
}

TEST_F(Site, ExitStatusesSignalsAndAClosedPipe) {
    const Run empty = headless(dir.path());
    EXPECT_EQ(empty.status, 0) << "an empty folder builds nothing and fails nothing";
    EXPECT_EQ(empty.out, "0 templated documents found, 0 built, 0 unchanged.\n");
    const Run missing = headless(dir.filePath("gone"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err,
              "Cannot list the folder '" + dir.filePath("gone") + "': no such folder\n");
    // An empty folder text is the current folder.
    for (const QString n : {"a", "b", "c"})
        doc(n + ".qht", n, n + ".htm");
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const Run current = headless("");
    QDir::setCurrent(here);
    EXPECT_EQ(current.status, 0);
    EXPECT_TRUE(current.out.endsWith(".htm\n3 templated documents found, 3 built, 0 unchanged.\n"));
    for (const QString n : {"a", "b", "c"})
        QFile::remove(dir.filePath(n + ".htm"));

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
                                    "\n3 templated documents found, 1 built, 0 unchanged; "
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
#endif

TEST_F(Site, AHeadlessBatchWarnsOnceAboutEachTemplateAndBuildsOn) {
    const QString flawed = put("flawed.qtf", lines("#QT1#|F|#DEFAULTHTML#|<head></head>::body::|"
                                                   "::aside::|#ENDDEFAULTHTML#|#STARTSECTION#|"
                                                   "body| 1 |B|#STARTSECTION#"));
    for (const QString name : {"a", "b"})
        put(name + ".qht", lines("#QH1#|T|flawed.qtf|" + name + ".htm|#STARTSECTION#"));
    doc("c.qht", "C", "c.htm");
    const Run r = headless(dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, flawed +
                         ": warning: The placeholder ::aside:: in the default HTML, line 2, "
                         "is filled by no section: the page shows 'aside' there.\n" +
                         flawed + ": warning: " + charsetWarning("<head>") + "\n");
    EXPECT_TRUE(r.out.endsWith("3 templated documents found, 3 built, 0 unchanged.\n"));
}

#ifdef _WIN32
// Windows does not tell 'Page.htm' from 'page.htm': two documents writing them share one page,
// which the batch says as it does for the same spelling, and no asset is copied over it.
TEST_F(Site, OutputsDifferingOnlyInCaseAreOnePageOnWindows) {
    put("cased/quillane-site.ini", "[site]\r\noutput = pub\r\nassets = assets\r\n");
    put("cased/t.qtf", kPlainPage);
    put("cased/a.qht", lines("#QH1#|A|t.qtf|pub/Page.htm|#STARTSECTION#|a|#STARTSECTION#"));
    put("cased/b.qht", lines("#QH1#|B|t.qtf|pub/page.htm|#STARTSECTION#|b|#STARTSECTION#"));
    put("cased/assets/PAGE.HTM", "asset");
    const Run r = headless(dir.filePath("cased"));
    const QString said = r.out + r.err;
    EXPECT_TRUE(said.contains("' is also the output of '")) << said.toStdString();
    EXPECT_TRUE(said.contains("PAGE.HTM: not copied: ")) << said.toStdString();
    EXPECT_TRUE(readBytes(dir.filePath("cased/pub/page.htm")).contains("<h1>B</h1>"));
}
#endif

// --- Many workers, and watching --------------------------------------------------------------

TEST_F(Site, ManyWorkersBuildExactlyWhatOneBuilds) {
    const QString site = dir.filePath("tangle");
    // Documents drawn at random: broken ones, missing and invalid templates, outputs shared by
    // several documents, and outputs that are another document or a template of the batch.
    const auto make = [&](quint32 seed) {
        QDir(site).removeRecursively();
        QDir().mkpath(site + "/pub");
        put("tangle/good.qtf", kPlainPage);
        put("tangle/junk.qtf", "junk");
        QRandomGenerator rng(seed);
        const QStringList templates{"good.qtf", "good.qtf", "junk.qtf", "missing.qtf", "d7.qht"};
        const QStringList outputs{"pub/a.html",  "pub/b.html", "pub/c.htm", "pub/c.htm",
                                  "missing.qtf", "junk.qtf",   "d3.qht",    "d4.qht"};
        for (int i = 0; i < 40; ++i) {
            const QString name = QString("tangle/d%1.qht").arg(i);
            const quint32 kind = rng.bounded(6);
            put(name, kind == 0   ? QByteArray("junk")
                      : kind == 1 ? lines("#QH1#|T|good.qtf|pub/early.html||x")
                                  : lines(QString("#QH1#|P%1|%2|%3|#STARTSECTION#|<p>%4</p>|"
                                                  "#STARTSECTION#")
                                              .arg(i)
                                              .arg(templates[rng.bounded(5)])
                                              .arg(outputs[rng.bounded(8)])
                                              .arg(rng.generate())));
        }
    };
    QString all;
    for (const auto& [seed, allow] : {std::pair{1u, true}, {2u, true}, {3u, false}, {4u, true}}) {
        std::vector<std::string> seen[2];
        for (const int jobs : {1, 4}) {
            make(seed);
            for (int run = 0; run < 2; ++run) { // a build, then again over it
                const Run r = headless(site, {allow, jobs});
                all += r.out + r.err;
                seen[jobs > 1].push_back(std::to_string(r.status) + '\n' + r.out.toStdString() +
                                         r.err.toStdString());
                for (const auto& [path, content] : snapshot(site))
                    seen[jobs > 1].push_back(path + ": " + content);
            }
        }
        EXPECT_EQ(seen[0], seen[1]) << "seed " << seed;
    }
    EXPECT_TRUE(all.contains("' is also the output of '")) << "a collision is told";
    EXPECT_TRUE(all.contains(QRegularExpression(" built, [1-9][0-9]* unchanged\\.")));
}

#ifndef _WIN32 // POSIX file kinds, modes, links and signals; Windows: windows_files_test.cpp
// Every page of a rebuild is a new file renamed over the old one: whoever has an old page open
// reads it whole to the end, and no page's inode, ACL or extended attributes reach another
// page. Each page keeps its own mode, and nothing is left beside the pages.
TEST_F(Site, ARebuildReplacesEachPageWithANewFileOfItsOwnMode) {
    const std::pair<QString, mode_t> pages[] = {{"a", 0644}, {"b", 0600}, {"c", 0640},
                                                {"d", 0644}, {"e", 0600}, {"f", 0604}};
    for (const auto& [name, mode] : pages)
        doc(name + ".qht", name, name + ".htm");
    // Read access for one more user on the 0640 page, as `setfacl -m u:65534:r` writes it.
    const quint32 acl[] = {2,   0x00060001, ~0u, 0x00040002, 65534, 0x00040004,
                           ~0u, 0x00040010, ~0u, 0x00000020, ~0u};
    for (const int jobs : {1, 3}) {
        headless(dir.path(), {false, jobs});
        std::vector<std::pair<int, QByteArray>> open; // each old page, held open
        bool attributes = true;
        for (const auto& [name, mode] : pages) {
            const QByteArray path = fsName(dir.filePath(name + ".htm"));
            ASSERT_EQ(::chmod(path, mode), 0);
            open.emplace_back(::open(path, O_RDONLY), readBytes(dir.filePath(name + ".htm")));
            attributes = attributes && ::setxattr(path, "user.page", path.constData(),
                                                  size_t(path.size()), 0) == 0;
        }
        attributes = attributes && ::setxattr(fsName(dir.filePath("c.htm")),
                                              "system.posix_acl_access", acl, sizeof acl, 0) == 0;
        const QByteArray heading = jobs == 1 ? "<h2>" : "<h3>";
        put("site.qtf", QByteArray(kPlainPage).replace("<h1>", heading));
        const Run r = headless(dir.path(), {false, jobs});
        EXPECT_TRUE(r.out.endsWith("6 templated documents found, 6 built, 0 unchanged.\n"));
        for (size_t i = 0; i < std::size(pages); ++i) {
            const QString page = dir.filePath(pages[i].first + ".htm");
            QByteArray held(4096, 0);
            held.resize(::pread(open[i].first, held.data(), size_t(held.size()), 0));
            ::close(open[i].first);
            EXPECT_EQ(held, open[i].second) << "an open old page reads whole";
            struct stat st {};
            ::stat(fsName(page), &st);
            EXPECT_EQ(st.st_mode & 07777, pages[i].second) << page.toStdString();
            EXPECT_TRUE(readBytes(page).contains(heading));
            char names[256];
            EXPECT_EQ(::listxattr(fsName(page), names, sizeof names), 0)
                << page.toStdString() << " carries no attribute or ACL of any old page";
        }
        EXPECT_EQ(QDir(dir.path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList{});
        if (!attributes) GTEST_SKIP() << "this file system keeps no extended attributes or ACLs";
    }
}

TEST_F(Site, ABatchRemovesTheTemporaryFilesAKilledBuildLeftWhereItWrites) {
    QDir(dir.path()).mkpath("pub");
    doc("a.qht", "A", "pub/a.htm");
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const auto temporary = [&](qint64 pid, int n) {
        return put(QString("pub/.quillane-%1-%2.tmp").arg(pid).arg(n), "half a page");
    };
    const QString left = temporary(dead, 7);
    // Kept: this process's own, one of a process that runs, a name of another pattern, and
    // (where the test may give it away) one of another user.
    const QStringList kept = {temporary(::getpid(), 3), temporary(1, 3),
                              put("pub/.quillane-x-3.tmp", "")};
    const QString others = temporary(dead, 8);
    const bool otherUser = ::chown(fsName(others), 65534, 65534) == 0;
    const Run r = headless(dir.path());
    EXPECT_EQ(r.err,
              "Removed 1 temporary file left beside the pages by a build that was killed.\n");
    EXPECT_FALSE(QFile::exists(left));
    for (const QString& path : kept)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_EQ(QFile::exists(others), otherUser);
}
#endif

// A site: its sub-folders built in the order of their names, links written relative to each
// page, folders made inside its output folder and nowhere else, assets copied beside the pages
// but never over one, and every link of the pages checked.
TEST_F(Site, ASiteBuildsItsSubFoldersRelativeLinksAssetsAndChecksItsLinks) {
    const QString site = dir.filePath("site") + u'/';
    put("site/quillane-site.ini", "[site]\noutput = public\nassets = assets\n");
    put("site/site.qtf", lines("#QT1#|S|#DEFAULTHTML#|<link href=\"/css/a.css\"><a href=\"/\">"
                               "h</a>::body::|#ENDDEFAULTHTML#|#STARTSECTION#|body| 1 ||"
                               "#STARTSECTION#"));
    const auto page = [&](const QString& name, const QString& output, const QString& body) {
        const QString up = QString("../").repeated(name.count(u'/'));
        put("site/" + name, lines("#QH1#|T|" + up + "site.qtf|" + up + output + "|#STARTSECTION#|" +
                                  body + "|#STARTSECTION#"));
    };
    page("index.qht", "public/index.html", "<p id=\"top\"><a href=\"/blog/a.html#x\">a</a>");
    page("blog/a.qht", "public/blog/a.html", "<h2 id=\"x\"><a href=\"/gone.html\">g</a>");
    page("blog/old/b.qht", "public/blog/old/b.html", "<a href=\"/#top\">t</a>");
    page("out.qht", "../outside/x.html", ""); // outside the output, in a folder not there
    page(".hidden/h.qht", "public/h.html", "");
    put("site/assets/css/a.css", "body {}");
    put("site/assets/blog/a.html", "an asset over a page");
    Run r = headless(site);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, site + "public/blog/a.html\n" + site + "public/blog/old/b.html\n" + site +
                         "public/index.html\n4 templated documents found, 3 built, 0 unchanged, "
                         "1 broken link.\n")
        << "sorted by name, the hidden folder passed over";
    const QString outside = dir.filePath("outside/x.html");
    EXPECT_EQ(r.err, site + "out.qht: Quillane BuildEngine: ERROR: Cannot write the page '" +
                         outside +
                         "': Path not found: the folder does not exist. Nothing was built.\n" +
                         site + "out.qht: warning: its page '" + outside +
                         "' lies outside the site's output folder '" + site +
                         "public'; its links are left as written and not checked\n" + site +
                         "assets/blog/a.html: not copied: '" + site +
                         "public/blog/a.html' is a page of this build\n" + site +
                         "public/blog/a.html: broken link '../gone.html'\n");
    EXPECT_EQ(readBytes(site + "public/blog/old/b.html"),
              lines("<link href=\"../../css/a.css\"><a href=\"../../index.html\">h</a><a "
                    "href=\"../../index.html#top\">t</a>|"));
    EXPECT_EQ(readBytes(site + "public/css/a.css"), "body {}");

    // Strictly, the broken link fails the build; a planted missing fragment is told too.
    page("blog/a.qht", "public/blog/a.html", "<h2 id=\"y\">");
    ConsoleOptions strict;
    strict.strict = true;
    r = headless(site, strict);
    EXPECT_TRUE(r.err.endsWith(site + "public/index.html: broken link 'blog/a.html#x' (no element "
                                      "with id 'x')\n"));
    EXPECT_TRUE(r.out.endsWith("3 built, 2 unchanged, 1 broken link.\n"));
    EXPECT_EQ(r.status, 1);

    // A site file that is wrong: its line, and nothing built.
    put("site/quillane-site.ini", "[site]\noutput = .\n");
    const auto before = snapshot(dir.path());
    r = headless(site);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.startsWith(site + "quillane-site.ini:2: ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith(" Nothing was built.\n"));
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST_F(Site, WithoutASiteFileNothingChangesButTheHintAboutSubFolders) {
    put("site.qtf", lines("#QT1#|S|#DEFAULTHTML#|<a href=\"/x/\">::title::</a>|#ENDDEFAULTHTML#|"
                          "#STARTSECTION#"));
    put("a.qht", lines("#QH1#|A|site.qtf|pages/a.htm|#STARTSECTION#"));
    put("sub/b.qht", lines("#QH1#|B|../site.qtf|b.htm|#STARTSECTION#"));
    put("sub/c.qht", lines("#QH1#|C|../site.qtf|c.htm|#STARTSECTION#"));
    put("d.qht", lines("#QH1#|D|site.qtf|../no folder/d.htm|#STARTSECTION#"));
    const Run r = headless(dir.path());
    EXPECT_TRUE(r.out.endsWith("2 templated documents found, 1 built, 0 unchanged. 2 more "
                               "templated documents in its sub-folders were not built: a batch "
                               "builds sub-folders only in a site (put a quillane-site.ini in "
                               "this folder or above it).\n"));
    EXPECT_EQ(readBytes(dir.filePath("pages/a.htm")), lines("<a href=\"/x/\">A</a>|"))
        << "the folder made inside the document's folder; the link as written";
    EXPECT_TRUE(r.err.contains("d.qht: Quillane BuildEngine: ERROR: Cannot write the page '"));
}

namespace {

// A watch running beside the test, its standard output and error read as they come.
class Watching {
public:
    explicit Watching(const QString& folder) {
        for (int i = 0; i < 2; ++i) {
            int fds[2];
#ifdef _WIN32
            _pipe(fds, 1 << 16, _O_BINARY);
#else
            ::pipe(fds);
#endif
            m_stream[i] = ::fdopen(fds[1], "w");
            std::setvbuf(m_stream[i], nullptr, _IOLBF, 0);
            // Read as it comes, until the watch's end closes the stream.
            m_readers[i] = std::thread([this, i, fd = fds[0]] {
                char buffer[4096];
                for (int n; (n = int(::read(fd, buffer, sizeof buffer))) > 0;) {
                    const std::lock_guard lock(m_mutex);
                    m_got[i].append(buffer, n);
                }
                ::close(fd);
            });
        }
        m_thread = std::thread([this, folder] {
            m_status = runConsoleWatch(folder, m_stream[0], m_stream[1], {false, 2});
        });
    }
    ~Watching() {
        if (m_thread.joinable()) stop();
        for (int i = 0; i < 2; ++i) {
            std::fclose(m_stream[i]);
            m_readers[i].join();
        }
    }
    // Whether the stream (0 out, 1 err) says this line within ten seconds; what it said before
    // the line is passed over.
    bool says(int stream, const QString& line) {
        const QByteArray want = line.toUtf8() + '\n';
        qsizetype at = -1;
        QByteArray got;
        eventually([&] {
            const std::lock_guard lock(m_mutex);
            got = m_got[stream];
            at = got.indexOf(want);
            if (at >= 0) m_got[stream].remove(0, at + want.size());
            return at >= 0;
        });
        if (at < 0) {
            ADD_FAILURE() << "not said: " << line.toStdString() << "\nsaid: " << got.toStdString();
            return false;
        }
        return true;
    }
    // Whether the condition holds within ten seconds.
    static bool eventually(const std::function<bool()>& condition) {
        QElapsedTimer waited;
        waited.start();
        bool held = condition();
        while (!held && waited.elapsed() < 10000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            held = condition();
        }
        return held;
    }
    int stop() {
#ifdef _WIN32
        platform::StopRequests::request(SIGTERM); // what a console's close event does
#else
        ::kill(::getpid(), SIGTERM);
#endif
        m_thread.join();
        return m_status;
    }

private:
    std::FILE* m_stream[2];
    std::thread m_readers[2];
    std::mutex m_mutex;
    QByteArray m_got[2];
    std::thread m_thread;
    int m_status = -1;
};

} // namespace

TEST_F(Site, WatchingRebuildsAPageWhenItsDocumentOrItsTemplateIsRewritten) {
    const QString page = dir.filePath("w.htm");
    doc("w.qht", "First", "w.htm");
    Watching watch(dir.path());
    EXPECT_TRUE(watch.says(0, page + "\n1 templated document found, 1 built, 0 unchanged."));
    doc("w.qht", "Second", "w.htm");
    EXPECT_TRUE(watch.says(0, page));
    EXPECT_TRUE(readBytes(page).contains("<h1>Second</h1>"));
    // Saved as editors do: a new file renamed over the old one.
    put("new.qtf", QByteArray(kPlainPage).replace("<h1>", "<h2>"));
    ASSERT_TRUE(renameOver(dir.filePath("new.qtf"), tpl));
    EXPECT_TRUE(watch.says(0, page));
    EXPECT_TRUE(readBytes(page).contains("<h2>Second</h1>"));
    EXPECT_EQ(watch.stop(), 0);
}

// A copy of a document names the same page: as in /B:, the later of the two in the folder's
// order wins and is warned about, and when one goes the other's page comes back. A folder
// that goes away is told, and built again when it is back.
TEST_F(Site, WatchingBuildsSharedPagesAsABatchDoesAndSaysWhenItsFolderGoes) {
    const QString site = dir.filePath("site"), page = site + "/p.htm";
    QDir().mkpath(site);
    const QString a = doc("site/a.qht", "A", "p.htm");
    Watching watch(site);
    ASSERT_TRUE(watch.says(0, page + "\n1 templated document found, 1 built, 0 unchanged."));
    const QString b = doc("site/b.qht", "B", "p.htm");
    QList<BatchDocument> listed;
    QString reason;
    ASSERT_TRUE(listBatchDocuments(site, listed, reason));
    const bool bLast = listed.last().name == "b.qht";
    const QString later = bLast ? b : a, earlier = bLast ? a : b;
    EXPECT_TRUE(watch.says(1, later + ": warning: its output '" + page +
                                  "' is also the output of '" + earlier +
                                  "', built before it; this page replaces that one"));
    EXPECT_TRUE(readBytes(page).contains(bLast ? "<h1>B</h1>" : "<h1>A</h1>"));
    ASSERT_TRUE(QFile::remove(later));
    EXPECT_TRUE(watch.says(1, later + ": no longer in the folder; its page stays as it is"));
    EXPECT_TRUE(Watching::eventually(
        [&] { return readBytes(page).contains(bLast ? "<h1>A</h1>" : "<h1>B</h1>"); }));

    const QString gone = "'" + site +
                         "' is gone (renamed, deleted or unmounted); waiting for it to come back. "
                         "Ctrl+C stops.";
    ASSERT_TRUE(QDir().rename(site, site + "2"));
    EXPECT_TRUE(watch.says(1, gone));
    ASSERT_TRUE(QDir().rename(site + "2", site));
    EXPECT_TRUE(watch.says(1, "'" + site + "' is back; building it again."));
    EXPECT_TRUE(watch.says(0, "1 templated document found, 1 built, 1 unchanged."));
#ifdef _WIN32
    // Wine keeps a folder that a Windows program deleted, fully there, as long as the watch
    // holds a handle on it; deleted from Linux the watch says it is gone (windows-check.sh).
    if (underWine()) {
        EXPECT_EQ(watch.stop(), 0);
        return;
    }
#endif
    ASSERT_TRUE(QDir(site).removeRecursively());
    EXPECT_TRUE(watch.says(1, gone));
    EXPECT_EQ(watch.stop(), 0);
}
