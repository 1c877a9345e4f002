// Text encodings, the file reader and the two writers.

#include "formats/file_reader.h"
#include "formats/file_writers.h"
#include "formats/text_codec.h"
#include "formats/text_file.h"
#include "support/fakes.h"
#include "support/special_files.h"

#include <QFileDevice>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace quillane;
using namespace quillane::test;

namespace {

// The worked template: "Plain page", an editable body and a two-line footer.
const QByteArray kPlainPage = crlf({"#QT1#", "Plain page", "#DEFAULTHTML#", "<h1>::title::</h1>",
                                    "::body::", "::footer::", "#ENDDEFAULTHTML#", "#STARTSECTION#",
                                    "body", " 1 ", "<p>Text</p>", "#STARTSECTION#", "footer", " 0 ",
                                    "<hr>", "<p>Contact</p>", "#STARTSECTION#"});

struct Fixture : ::testing::Test {
    QTemporaryDir dir;
    FakeSession f;
    Workspace& ws = f.s.ws;

    QString put(const QString& name, const QByteArray& bytes) {
        return writeFile(dir, name, bytes);
    }
    LoadResult load(const QByteArray& bytes, int mode, const QString& name = "t.qtf") {
        return LoadFile(f.s, put(name, bytes), mode);
    }
    QString parseError(const QString& path, const QString& description, int number) {
        return "Error parsing file '" + path + "':\r\n" + description + " (" +
               QString::number(number) + ")";
    }
};

} // namespace

// --- Text ------------------------------------------------------------------------------------

TEST(TextCodec, EveryWindows1252ByteSurvivesARoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = decodeText(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text[0x80], QChar(0x20AC));
    EXPECT_EQ(text[0x81], QChar(0x81));
    EXPECT_EQ(text[0x9D], QChar(0x9D));
    QByteArray back;
    ASSERT_TRUE(encodeCp1252(text, back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(encodeForStorage(text), all);
}

TEST(TextCodec, RecognisesUtf8AndWritesItOnlyWhenNeeded) {
    EXPECT_EQ(decodeText("caf\xC3\xA9"), QString::fromUtf8("café")) << "valid UTF-8";
    EXPECT_EQ(decodeText("caf\xE9"), QString::fromUtf8("café")) << "Windows-1252";
    EXPECT_EQ(decodeText("\xEF\xBB\xBF"
                         "abc"),
              "abc")
        << "byte-order mark";
    EXPECT_EQ(decodeText("\xC3\xA9\xFF"), QString::fromUtf8("Ã©ÿ")) << "invalid UTF-8 is 1252";
    EXPECT_EQ(decodeText("\xC0\xAF"), QString::fromUtf8("À¯")) << "overlong form is not UTF-8";

    EXPECT_EQ(encodeForStorage(QString::fromUtf8("café €")), QByteArray("caf\xE9 \x80"));
    EXPECT_EQ(encodeForStorage(QString::fromUtf8("Ωmega")), QByteArray("\xEF\xBB\xBF\xCE\xA9mega"));
    // Regression: 1252 text whose bytes form valid UTF-8 came back as other characters.
    const QString looksUtf8 = QString::fromUtf8("Ã©");
    EXPECT_EQ(decodeText(encodeForStorage(looksUtf8)), looksUtf8);
    EXPECT_EQ(encodeForStorage(looksUtf8), QByteArray("\xEF\xBB\xBF\xC3\x83\xC2\xA9"));
}

TEST(TextCodec, PagesFollowTheirDeclaredCharset) {
    const QString text = QString::fromUtf8("é Ω 😀");
    EXPECT_EQ(encodeCp1252WithReferences(text), QByteArray("\xE9 &#937; &#128512;"));
    struct Case {
        const char* head;
        bool utf8;
    };
    const Case cases[] = {
        {"<meta charset=\"utf-8\">", true},
        {"<META CHARSET='UTF-8'>", true},
        {"<meta charset=utf8>", true},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">", true},
        {"<meta charset=\"windows-1252\">", false},
        {"<p>charset=utf-8</p>", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        EXPECT_EQ(declaresUtf8(QString::fromUtf8(c.head)), c.utf8);
    }
    EXPECT_FALSE(declaresUtf8(QString(1100, u' ') + "<meta charset=utf-8>"))
        << "only the first 1024";
    EXPECT_EQ(encodePage("<meta charset=utf-8>" + text), ("<meta charset=utf-8>" + text).toUtf8());
}

TEST(TextCodec, LinesEndAtCrLfOrALoneCrButNotAtALoneLf) {
    struct Case {
        const char* bytes;
        QStringList lines;
    };
    const Case cases[] = {
        {"a\r\nb", {"a", "b"}}, {"a\rb\r", {"a", "b"}},
        {"a\nb\r\n", {"a\nb"}}, {"a\r\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},         {"", {}},
        {"\n", {"\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        LineReader r(QString::fromLatin1(c.bytes));
        QStringList got;
        QString line;
        while (r.readLine(line))
            got << line;
        EXPECT_EQ(got, c.lines);
        EXPECT_TRUE(r.atEnd());
    }
}

// --- Template reader -------------------------------------------------------------------------

TEST_F(Fixture, TheWorkedTemplateReadsIntoTheDesigner) {
    ASSERT_TRUE(load(kPlainPage, LoadMode::Designer).loaded());
    EXPECT_EQ(f.designer.name, "Plain page");
    EXPECT_EQ(f.designer.html, "<h1>::title::</h1>\r\n::body::\r\n::footer::");
    EXPECT_EQ(f.designer.list, (QStringList{"body", "footer"}));
    ASSERT_EQ(ws.lastSlot(), 3);
    EXPECT_EQ(ws.SectionNames[1], "body");
    EXPECT_EQ(ws.SectionEditable[1], 1);
    EXPECT_EQ(ws.SectionHtml[1], "<p>Text</p>");
    EXPECT_EQ(ws.SectionNames[2], "footer");
    EXPECT_EQ(ws.SectionEditable[2], 0);
    EXPECT_EQ(ws.SectionHtml[2], "<hr>\r\n<p>Contact</p>");
    EXPECT_TRUE(ws.SectionNames[3].isEmpty());
    EXPECT_FALSE(ws.IsDirty);
    EXPECT_TRUE(f.prompter.shown.empty());

    // Mode 1 takes only the sections and the caption.
    FakeSession g;
    ASSERT_TRUE(LoadFile(g.s, dir.filePath("t.qtf"), LoadMode::TemplateForEditor).loaded());
    EXPECT_EQ(g.editor.caption, "Template used: Plain page");
    EXPECT_EQ(g.editor.list, QStringList{"body"});
    EXPECT_EQ(g.editor.itemData, std::vector<int>{1});
    EXPECT_TRUE(g.designer.html.isEmpty());
}

TEST_F(Fixture, ReadsTheUnusualButValidShapes) {
    struct Case {
        const char* what;
        QByteArray bytes;
        QStringList names;        // slots 1..N
        QStringList html;         // slots 1..N
        const char* templateName; // nullptr: not set
        QString defaultHtml;
    };
    const Case cases[] = {
        {"no sections",
         crlf({"#QT1#", "N", "#DEFAULTHTML#", "x", "#ENDDEFAULTHTML#", "#STARTSECTION#"}),
         {""},
         {""},
         "N",
         "x"},
        {"empty default HTML",
         crlf({"#QT1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#"}),
         {""},
         {""},
         "N",
         ""},
        {"default HTML ending in a line break",
         crlf({"#QT1#", "N", "#DEFAULTHTML#", "a", "", "#ENDDEFAULTHTML#", "#STARTSECTION#"}),
         {""},
         {""},
         "N",
         "a\r\n"},
        {"marker inside a section ends it",
         crlf({"#QT1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#", "a", " 1 ", "x",
               "#STARTSECTION#", "b", " 0 ", "y", "#STARTSECTION#"}),
         {"a", "b", ""},
         {"x", "y", ""},
         "N",
         ""},
        {"cut after the last HTML line loses that line",
         crlf({"#QT1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#", "a", " 1 ", "x",
               "y"}),
         {"a", ""},
         {"x", ""},
         "N",
         ""},
        {"empty line after the default HTML stops quietly",
         crlf(
             {"#QT1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "", "a", " 1 ", "#STARTSECTION#"}),
         {""},
         {""},
         nullptr,
         ""},
        {"a nameless section counts as a free slot",
         crlf({"#QT1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#", "", " 1 ", "x",
               "#STARTSECTION#", "b", " 1 ", "y", "#STARTSECTION#"}),
         {"", "b", ""},
         {"x", "y", ""},
         "N",
         ""},
        {"lone CR line ends and a lone LF kept inside a line",
         QByteArray("#QT1#\rN\r#DEFAULTHTML#\ra\nb\r#ENDDEFAULTHTML#\r#STARTSECTION#\r"),
         {""},
         {""},
         "N",
         "a\nb"},
        {"the name line may be anything",
         crlf({"#QT1#", "#DEFAULTHTML#", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#"}),
         {""},
         {""},
         "#DEFAULTHTML#",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSession g;
        g.designer.name = "(unset)";
        ASSERT_TRUE(LoadFile(g.s, put("case.qtf", c.bytes), LoadMode::Designer).loaded());
        QStringList names, html;
        for (int slot = 1; slot <= g.s.ws.lastSlot(); ++slot) {
            names << g.s.ws.SectionNames[slot];
            html << g.s.ws.SectionHtml[slot];
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(html, c.html);
        EXPECT_EQ(g.designer.name, c.templateName ? QString(c.templateName) : QString("(unset)"));
        EXPECT_EQ(g.designer.html, c.defaultHtml);
        EXPECT_TRUE(g.prompter.shown.empty());
    }
}

TEST_F(Fixture, FlagLinesAreReadAsNumbers) {
    struct Case {
        const char* line;
        int flag; // -1: read error
    };
    const Case cases[] = {{" 1 ", 1},  {"2", 2},    {" 2 ", 2}, {"abc", 0},   {"", 0},
                          {"1.5", 2},  {"2.5", 2},  {"0.5", 0}, {"255", 255}, {"1e2", 100},
                          {"7abc", 7}, {"300", -1}, {"-1", -1}, {"256", -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FakeSession g;
        const QString path =
            put("flag.qtf", crlf({"#QT1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#",
                                  "#STARTSECTION#", "s", c.line, "x", "#STARTSECTION#"}));
        const bool ok = LoadFile(g.s, path, LoadMode::Designer).loaded();
        EXPECT_EQ(ok, c.flag >= 0);
        if (ok)
            EXPECT_EQ(g.s.ws.SectionEditable[1], c.flag);
        else
            EXPECT_EQ(g.prompter.last().text, parseError(path, "Overflow", 6));
    }
}

TEST_F(Fixture, RejectsWhatIsNotATemplate) {
    const QByteArray rejected[] = {
        crlf({"#qt1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#"}),
        crlf({"#QT1# ", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#"}),
        crlf({"#QT1#", "N", "#DEFAULTHTM#", "#ENDDEFAULTHTML#", "#STARTSECTION#"}),
        crlf({"#QT1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "junk", "a"}),
        crlf({"#QH1#", "t", "x.qtf", "o.htm", "#STARTSECTION#"}),
        QByteArray("\x7F"
                   "ELF\x02\x01\x01\x00\x00\x00\r\n\x00\xFF\xFE",
                   16),
    };
    for (const QByteArray& bytes : rejected) {
        SCOPED_TRACE(bytes.left(12).toStdString());
        FakeSession g;
        g.designer.name = "(unset)";
        EXPECT_FALSE(LoadFile(g.s, put("bad.qtf", bytes), LoadMode::TemplateForEditor).loaded());
        ASSERT_EQ(g.prompter.shown.size(), 1u);
        const Message& m = g.prompter.last();
        EXPECT_EQ(m.text, "This file is not a Quillane file!");
        EXPECT_EQ(m.title, "Quillane template designer");
        EXPECT_EQ(m.icon, MsgIcon::Exclamation);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
        EXPECT_TRUE(g.editor.caption.isEmpty());
    }
}

TEST_F(Fixture, ReadErrorsNameThePathAndKeepWhatWasRead) {
    // One empty line after the final marker is taken as a section name; the flag read then
    // runs past the end.
    const QString extra = put("extra.qtf", kPlainPage + "\r\n");
    f.designer.name = "(unset)";
    EXPECT_FALSE(LoadFile(f.s, extra, LoadMode::Designer).loaded());
    const Message& m = f.prompter.last();
    EXPECT_EQ(m.text, parseError(extra, "Input past end of file", 62));
    EXPECT_EQ(m.title, "Error parsing file!");
    EXPECT_EQ(m.icon, MsgIcon::Exclamation);
    EXPECT_EQ(f.designer.name, "(unset)") << "the name is not set after a failure";
    EXPECT_EQ(f.designer.html, "<h1>::title::</h1>\r\n::body::\r\n::footer::")
        << "what was read stays";
    EXPECT_EQ(ws.SectionNames[2], "footer");
    EXPECT_TRUE(ws.IsDirty) << "the failed read does not reset the change flag";

    struct Case {
        QString path;
        QString description;
        int number;
    };
    const QString missing = dir.filePath("no such file.qtf");
    const QString truncated = put("cut.qtf", crlf({"#QT1#", "N", "#DEFAULTHTML#", "a"}));
    const QString ends = put("ends.qtf", crlf({"#QT1#", "N", "#DEFAULTHTML#", "#ENDDEFAULTHTML#"}));
    const QString empty = put("empty.qtf", "");
    const Case cases[] = {{missing, "File not found", 53},
                          {dir.path(), "Path/File access error: it is a folder", 75},
                          {"", "File not found", 53},
                          {truncated, "Input past end of file", 62},
                          {ends, "Input past end of file", 62},
                          {empty, "Input past end of file", 62}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        FakeSession g;
        EXPECT_FALSE(LoadFile(g.s, c.path, LoadMode::Designer).loaded());
        EXPECT_EQ(g.prompter.last().text, parseError(c.path, c.description, c.number));
    }
    if (geteuid() != 0) { // root reads everything
        const QString locked = put("locked.qtf", kPlainPage);
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        FakeSession g;
        EXPECT_FALSE(LoadFile(g.s, locked, LoadMode::Designer).loaded());
        EXPECT_EQ(g.prompter.last().text, parseError(locked, "Permission denied", 70));
    }
}

TEST_F(Fixture, ReadsOnlyRegularFilesUpToTheLimitAndNeverWaits) {
    // Nothing here is opened, so a named pipe cannot hang the test.
    const QString fifo = dir.filePath("fifo.qtf"), socket = dir.filePath("socket.qtf");
    const QString huge = put("huge.qtf", kPlainPage), device = dir.filePath("device.qtf");
    ASSERT_TRUE(makeFifoAndSocket(fifo, socket));
    ASSERT_TRUE(QFile::link(fifo, dir.filePath("link.qtf")));
    ASSERT_TRUE(QFile::resize(huge, qint64(64) << 30)) << "a sparse file of 64 GiB";
    const QString pipe = "Path/File access error: it is a named pipe (FIFO), not a file";
    const QString windows = "Path not found: it is a Windows path, which this system cannot read";
    std::vector<std::pair<QString, FileError>> cases = {
        {fifo, {75, pipe}},
        {dir.filePath("link.qtf"), {75, pipe}},
        {socket, {75, "Path/File access error: it is a socket, not a file"}},
        {huge, {75, "Path/File access error: the file is too large (the limit is 64 MiB)"}},
        {"c:/site/plain.qtf", {76, windows}},
    };
    if (makeDevice(device))
        cases.push_back({device, {75, "Path/File access error: it is a device, not a file"}});
    const auto before = snapshot(dir.path());
    for (const auto& [path, error] : cases) {
        SCOPED_TRACE(path.toStdString());
        FakeSession g;
        EXPECT_FALSE(LoadFile(g.s, path, LoadMode::Designer).loaded());
        EXPECT_EQ(g.prompter.last().text, parseError(path, error.description, error.number));
    }
    EXPECT_EQ(snapshot(dir.path()), before);
    if (geteuid() != 0) GTEST_SKIP() << "the device case needs root to make a device node";
}

TEST_F(Fixture, HugeLinesAndNulBytesAreKept) {
    const QByteArray big(3'000'000, 'x');
    const QByteArray withNul("a\0b", 3);
    ASSERT_TRUE(load(crlf({"#QT1#", "N", "#DEFAULTHTML#"}) + big + "\r\n" + withNul +
                         crlf({"", "#ENDDEFAULTHTML#", "#STARTSECTION#"}),
                     LoadMode::Designer)
                    .loaded());
    EXPECT_EQ(f.designer.html.size(), 3'000'000 + 2 + 3);
    EXPECT_TRUE(f.designer.html.endsWith(QString::fromLatin1(withNul)));
}

// --- Document reader -------------------------------------------------------------------------

TEST_F(Fixture, TheWorkedDocumentReadsWithItsTemplate) {
    const QString tpl = put("plain.qtf", kPlainPage);
    const QString doc =
        put("index.qht", "#QH1#\r\nMy first page\r\n" + tpl.toUtf8() + "\r\n" +
                             dir.filePath("index.htm").toUtf8() +
                             "\r\n#STARTSECTION#\r\n<p>Hello</p>\r\n#STARTSECTION#\r\n");
    const LoadResult r = LoadFile(f.s, doc, LoadMode::Document);
    ASSERT_TRUE(r.loaded());
    EXPECT_EQ(r.templatePath, tpl);
    EXPECT_EQ(f.editor.titleText, "My first page");
    EXPECT_EQ(f.editor.outputText, dir.filePath("index.htm"));
    EXPECT_EQ(f.editor.caption, "Template used: Plain page");
    EXPECT_EQ(ws.SectionHtml[1], "<p>Hello</p>");
    EXPECT_EQ(ws.SectionHtml[2], "<hr>\r\n<p>Contact</p>");
    EXPECT_EQ(ws.lastSlot(), 3);
    EXPECT_FALSE(ws.IsDirty);
}

TEST_F(Fixture, BlocksGoToEditableSlotsInOrder) {
    const QString tpl =
        put("t.qtf", crlf({"#QT1#",          "T", "#DEFAULTHTML#", "#ENDDEFAULTHTML#",
                           "#STARTSECTION#", "a", " 1 ",           "A",
                           "#STARTSECTION#", "b", " 0 ",           "B",
                           "#STARTSECTION#", "c", " 1 ",           "C",
                           "#STARTSECTION#", "d", " 1 ",           "D",
                           "#STARTSECTION#"}));
    auto doc = [&](std::initializer_list<const char*> blocks) {
        QByteArray d = "#QH1#\r\nTitle\r\n" + tpl.toUtf8() + "\r\nout.htm\r\n#STARTSECTION#\r\n";
        for (const char* b : blocks)
            d += QByteArray(b) + "\r\n#STARTSECTION#\r\n";
        return put("d.qht", d);
    };
    ASSERT_TRUE(LoadFile(f.s, doc({"1", "3"}), LoadMode::Document).loaded());
    EXPECT_EQ(ws.SectionHtml[1], "1");
    EXPECT_EQ(ws.SectionHtml[2], "B");
    EXPECT_EQ(ws.SectionHtml[3], "3");
    EXPECT_EQ(ws.SectionHtml[4], "D") << "no block: the template's HTML";
    EXPECT_EQ(f.editor.outputText, dir.filePath("out.htm")) << "relative to the document";

    const QString tooMany = doc({"1", "2", "3", "4"});
    EXPECT_FALSE(LoadFile(f.s, tooMany, LoadMode::Document).loaded());
    EXPECT_EQ(f.prompter.last().text,
              parseError(tooMany,
                         "Subscript out of range: the document has more sections than its "
                         "template can take",
                         9));
}

TEST_F(Fixture, DocumentFailuresAndEarlyStops) {
    const QString tpl = put("plain.qtf", kPlainPage);
    const QByteArray head = "#QH1#\r\nT\r\n" + tpl.toUtf8() + "\r\nout.htm\r\n";

    // A template given as a document is rejected.
    FakeSession a;
    const QString asDoc = put("a.qht", kPlainPage);
    EXPECT_EQ(LoadFile(a.s, asDoc, LoadMode::Document).kind, LoadResult::Kind::Failed);
    EXPECT_EQ(a.prompter.last().text, "This file is not a Quillane TEMPLATED-HTML file!");
    EXPECT_EQ(a.prompter.last().title, "Quillane HTML Editor");
    EXPECT_EQ(a.prompter.last().icon, MsgIcon::Exclamation);

    // Ends after its fourth line.
    FakeSession b;
    const QString four = put("b.qht", "#QH1#\r\nT\r\n" + tpl.toUtf8() + "\r\nout.htm\r\n");
    EXPECT_FALSE(LoadFile(b.s, four, LoadMode::Document).loaded());
    EXPECT_EQ(b.prompter.last().text, parseError(four, "Input past end of file", 62));
    EXPECT_TRUE(b.editor.titleText.isEmpty()) << "title and output are not set after a failure";

    // An empty line where a block should start: the empty result, no message, fields unset.
    FakeSession c;
    const LoadResult early = LoadFile(c.s, put("c.qht", head + "\r\nx\r\n"), LoadMode::Document);
    EXPECT_EQ(early.kind, LoadResult::Kind::Empty);
    EXPECT_TRUE(c.prompter.shown.empty());
    EXPECT_TRUE(c.editor.titleText.isEmpty());
    EXPECT_FALSE(c.s.ws.IsDirty);

    // A missing template: its own message, then the document fails at its first block.
    FakeSession d;
    const QString orphan =
        put("d.qht", "#QH1#\r\nT\r\nmissing.qtf\r\no\r\n#STARTSECTION#\r\nx\r\n#STARTSECTION#\r\n");
    EXPECT_FALSE(LoadFile(d.s, orphan, LoadMode::Document).loaded());
    ASSERT_EQ(d.prompter.shown.size(), 2u);
    EXPECT_EQ(d.prompter.shown[0].text,
              parseError(dir.filePath("missing.qtf"), "File not found", 53));
    EXPECT_EQ(d.prompter.shown[1].text.left(16), "Error parsing fi");

    // ... while a document with no blocks still loads.
    FakeSession e;
    const LoadResult noBlocks =
        LoadFile(e.s, put("e.qht", "#QH1#\r\n\r\nmissing.qtf\r\n\r\n#STARTSECTION#\r\n"),
                 LoadMode::Document);
    EXPECT_TRUE(noBlocks.loaded());
    EXPECT_EQ(noBlocks.templatePath, dir.filePath("missing.qtf"));
    EXPECT_TRUE(e.editor.outputText.isEmpty()) << "an empty output line stays empty";

    // A document naming itself as its template: the template reader rejects it.
    FakeSession g;
    const QString self = put("self.qht", "#QH1#\r\nT\r\nself.qht\r\no\r\n#STARTSECTION#\r\n");
    EXPECT_TRUE(LoadFile(g.s, self, LoadMode::Document).loaded());
    EXPECT_EQ(g.prompter.last().text, "This file is not a Quillane file!");
}

TEST(StoredPaths, RelativePathsFollowTheDocument) {
    EXPECT_EQ(resolveStoredPath("t.qtf", "/site/docs/a.qht"), "/site/docs/t.qtf");
    EXPECT_EQ(resolveStoredPath("../t.qtf", "/site/docs/a.qht"), "/site/t.qtf");
    EXPECT_EQ(resolveStoredPath("/abs/t.qtf", "/site/a.qht"), "/abs/t.qtf");
    EXPECT_EQ(resolveStoredPath("C:\\site\\plain.qtf", "/site/a.qht"), "C:\\site\\plain.qtf");
    EXPECT_EQ(resolveStoredPath("", "/site/a.qht"), "");
}

// --- Writers ---------------------------------------------------------------------------------

TEST_F(Fixture, TheTemplateWriterWritesTheFormatByteForByte) {
    ASSERT_TRUE(load(kPlainPage, LoadMode::Designer).loaded());
    const QString out = dir.filePath("again.qtf");
    ASSERT_TRUE(writeTemplateFile(f.s, out));
    EXPECT_EQ(readBytes(out), kPlainPage);
    EXPECT_FALSE(ws.IsDirty);
    EXPECT_EQ(f.app.busyDepth, 0);
    EXPECT_EQ(f.app.maxBusyDepth, 1) << "busy while saving";

    // Free slots are skipped and the sections renumbered on reading.
    ws.SectionNames[1].clear();
    f.designer.name = QString::fromUtf8("Ωmega");
    ASSERT_TRUE(writeTemplateFile(f.s, out));
    const QByteArray bytes = readBytes(out);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF#QT1#\r\n\xCE\xA9mega\r\n"))
        << "UTF-8 only when needed";
    FakeSession g;
    ASSERT_TRUE(LoadFile(g.s, out, LoadMode::Designer).loaded());
    EXPECT_EQ(g.designer.name, QString::fromUtf8("Ωmega"));
    EXPECT_EQ(g.s.ws.SectionNames[1], "footer");
}

TEST_F(Fixture, TheDocumentWriterWritesABlockForEveryEditableSlotNamedOrNot) {
    // Regression: writing only named editable slots shifted every later block on reading.
    const QString tpl =
        put("t.qtf", crlf({"#QT1#", "T", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#", "",
                           " 1 ", "N", "#STARTSECTION#", "b", " 0 ", "B", "#STARTSECTION#", "c",
                           " 1 ", "C", "#STARTSECTION#"}));
    const QByteArray doc =
        "#QH1#\r\nPage\r\n" + tpl.toUtf8() + "\r\n/o.htm\r\n" +
        crlf({"#STARTSECTION#", "one", "#STARTSECTION#", "two", "", "#STARTSECTION#"});
    const QString path = put("d.qht", doc);
    ASSERT_TRUE(LoadFile(f.s, path, LoadMode::Document).loaded());
    ws.TemplatePath = tpl;
    const QString again = dir.filePath("again.qht");
    ASSERT_TRUE(writeDocumentFile(f.s, again));
    EXPECT_EQ(readBytes(again), doc);
}

TEST_F(Fixture, RelativePathsAreWrittenBackRelativeWhileTheyNameTheSameFiles) {
    put("plain.qtf", kPlainPage);
    const QByteArray doc = crlf({"#QH1#", "T", "plain.qtf", "out/index.htm", "#STARTSECTION#",
                                 "<p>Hello</p>", "#STARTSECTION#"});
    const QString path = put("d.qht", doc);
    ASSERT_TRUE(LoadFile(f.s, path, LoadMode::Document).loaded());
    ws.TemplatePath = dir.filePath("plain.qtf");
    ASSERT_TRUE(writeDocumentFile(f.s, path));
    EXPECT_EQ(readBytes(path), doc);

    // Saved elsewhere, the same files need their full paths.
    QDir(dir.path()).mkdir("sub");
    const QString moved = dir.filePath("sub/d.qht");
    ASSERT_TRUE(writeDocumentFile(f.s, moved));
    EXPECT_TRUE(readBytes(moved).startsWith("#QH1#\r\nT\r\n" + dir.filePath("plain.qtf").toUtf8() +
                                            "\r\n" + dir.filePath("out/index.htm").toUtf8()));
}

TEST_F(Fixture, AFailedSaveIsToldAndChangesNothing) {
    ASSERT_TRUE(load(kPlainPage, LoadMode::Designer).loaded());
    f.designer.html = "changed";
    ws.IsDirty = true;
    // A folder that takes no new files, for root too (who ignores its permissions).
    const QString closed = dir.filePath("closed");
    QDir().mkdir(closed);
    QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const int fd = ::open(fsName(closed).constData(), O_RDONLY | O_DIRECTORY);
    int flags = FS_IMMUTABLE_FL;
    const bool immutable = geteuid() == 0 && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    std::vector<std::pair<QString, QString>> failing = {
        {dir.filePath("missing folder/x.qtf"), "Path not found: the folder does not exist"},
        {dir.path(), "Path/File access error: it is a folder"},
        {"C:\\site\\t.qtf", "Path not found: it is a Windows path, which this system cannot write"},
    };
    if (geteuid() != 0 || immutable)
        failing.push_back(
            {closed + "/x.qtf",
             "Permission denied: files cannot be created in the folder '" + closed + "'"});
    const auto before = snapshot(dir.path());
    for (const auto& [path, reason] : failing) {
        SCOPED_TRACE(path.toStdString());
        f.prompter.shown.clear();
        EXPECT_FALSE(writeTemplateFile(f.s, path));
        EXPECT_EQ(f.prompter.texts(), QStringList{"Could not save '" + path + "':\r\n" + reason});
        EXPECT_TRUE(ws.IsDirty);
    }
    EXPECT_EQ(snapshot(dir.path()), before);
    flags = 0;
    if (immutable) ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    QFile::setPermissions(closed,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
