// SPDX-License-Identifier: GPL-3.0-or-later
// Text encodings, the two file formats read into values and written from them, stored paths,
// and reading and saving files safely.

#include "formats/document_file.h"
#include "formats/template_file.h"
#include "formats/text_codec.h"
#include "support/files.h"

#include <QDir>
#include <QFileDevice>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

using namespace quillane;
using namespace quillane::test;

// --- Text ------------------------------------------------------------------------------------

TEST(TextCodec, EveryWindows1252ByteSurvivesAndUtf8IsRecognisedAndWrittenOnlyWhenNeeded) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = decodeText(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text.mid(0x80, 2) + text[0x9D], QString::fromUtf16(u"\u20AC\u0081\u009D"));
    QByteArray back;
    ASSERT_TRUE(encodeCp1252(text, back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(encodeForStorage(text), all);

    EXPECT_EQ(decodeText("caf\xC3\xA9"), QString::fromUtf8("café")) << "valid UTF-8";
    EXPECT_EQ(decodeText("caf\xE9"), QString::fromUtf8("café")) << "Windows-1252";
    EXPECT_EQ(decodeText(QByteArray("\xEF\xBB\xBF") + "abc"), "abc") << "byte-order mark";
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
    const std::pair<const char*, bool> cases[] = {
        {"<meta charset=\"utf-8\">", true},
        {"<META CHARSET='UTF-8'>", true},
        {"<meta charset=utf8>", true},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">", true},
        {"<meta charset=\"windows-1252\">", false},
        {"<p>charset=utf-8</p>", false},
        {"", false},
    };
    for (const auto& [head, utf8] : cases)
        EXPECT_EQ(declaresUtf8(QString::fromUtf8(head)), utf8) << head;
    EXPECT_FALSE(declaresUtf8(QString(1100, u' ') + "<meta charset=utf-8>"))
        << "only the first 1024";
}

TEST(TextCodec, LinesEndAtCrLfOrALoneCrButNotAtALoneLf) {
    const std::pair<const char*, QStringList> cases[] = {
        {"a\r\nb", {"a", "b"}}, {"a\rb\r", {"a", "b"}},
        {"a\nb\r\n", {"a\nb"}}, {"a\r\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},         {"", {}},
        {"\n", {"\n"}},
    };
    for (const auto& [bytes, expected] : cases) {
        LineReader r(QString::fromLatin1(bytes));
        QStringList got;
        QString line;
        while (r.readLine(line))
            got << line;
        EXPECT_EQ(got, expected) << bytes;
        EXPECT_TRUE(r.atEnd());
    }
}

// --- Template file ---------------------------------------------------------------------------

namespace {

TemplateRead parsed(const QString& barred) {
    return parseTemplate(decodeText(lines(barred)), "t.qtf");
}

// "name | default HTML | slots", or the failure's text; "(no name)" when the read stopped
// before the name counts.
QString outcome(const TemplateRead& r) {
    if (r.failure) return r.failure->message.text;
    return QStringList{r.nameRead ? r.value.name : "(no name)", r.value.defaultHtml,
                       dump(r.value.sections)}
        .join(" | ");
}

// A template without sections, for the lines that follow.
const QString kHead = "#QT1#|N|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#";

} // namespace

TEST(TemplateFile, TheWorkedTemplateReadsIntoAValueAndIsWrittenBackByteForByte) {
    const TemplateRead r = parseTemplate(decodeText(kPlainPage), "t.qtf");
    EXPECT_TRUE(r.fileRead && r.defaultHtmlRead);
    EXPECT_EQ(outcome(r), "Plain page | <h1>::title::</h1>\r\n::body::\r\n::footer:: | "
                          "body,1,<p>Text</p>;footer,0,<hr>\r\n<p>Contact</p>;,0,");
    EXPECT_EQ(encodeForStorage(templateFileText(r.value)), kPlainPage);
    // Huge lines and NUL bytes are kept.
    const QString huge = QString(3'000'000, u'x') + "\r\na" + QChar(0) + "b";
    EXPECT_EQ(parsed("#QT1#|N|#DEFAULTHTML#|" + huge + "|#ENDDEFAULTHTML#").value.defaultHtml,
              huge);
    // Free slots are not written, so reading numbers the sections afresh.
    TemplateFile t = r.value;
    t.sections.SectionNames[1].clear();
    t.name = QString::fromUtf8("Ωmega");
    EXPECT_EQ(outcome(parseTemplate(templateFileText(t), "t.qtf")),
              QString::fromUtf8("Ωmega | ") + t.defaultHtml +
                  " | footer,0,<hr>\r\n<p>Contact</p>;,0,");
}

TEST(TemplateFile, ReadsEveryShapeRejectsWhatIsNoTemplateAndStopsAtTheEnd) {
    const QString notOne = "This file is not a Quillane file!";
    const QString pastEnd = parseError("t.qtf", "Input past end of file", 62);
    const std::pair<QString, QString> cases[] = {
        {"#QT1#|N|#DEFAULTHTML#|x|#ENDDEFAULTHTML#|#STARTSECTION#", "N | x | ,0,"},
        {kHead, "N |  | ,0,"},
        {"#QT1#|N|#DEFAULTHTML#|a||#ENDDEFAULTHTML#|#STARTSECTION#", "N | a\r\n | ,0,"},
        // A marker inside a section ends it; a cut after its last line loses that line.
        {kHead + "|a| 1 |x|#STARTSECTION#|b| 0 |y|#STARTSECTION#", "N |  | a,1,x;b,0,y;,0,"},
        {kHead + "|a| 1 |x|y", "N |  | a,1,x;,0,"},
        // An empty line after the default HTML stops the read quietly.
        {"#QT1#|N|#DEFAULTHTML#|#ENDDEFAULTHTML#||a| 1 |#STARTSECTION#", "(no name) |  | ,0,"},
        {kHead + "|| 1 |x|#STARTSECTION#|b| 1 |y|#STARTSECTION#", "N |  | ,1,x;b,1,y;,0,"},
        {"#QT1#|#DEFAULTHTML#|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#",
         "#DEFAULTHTML# |  | ,0,"},
        {"#qt1#|N|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#", notOne},
        {"#QT1# |N|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#", notOne},
        {"#QT1#|N|#DEFAULTHTM#|#ENDDEFAULTHTML#|#STARTSECTION#", notOne},
        {"#QT1#|N|#DEFAULTHTML#|#ENDDEFAULTHTML#|junk|a", notOne},
        {"#QH1#|t|x.qtf|o.htm|#STARTSECTION#", notOne},
        // An empty line after the last marker is a section's name; its flag is past the end.
        {kHead + "|", pastEnd},
        {"#QT1#|N|#DEFAULTHTML#|a", pastEnd},
        {"#QT1#|N|#DEFAULTHTML#|#ENDDEFAULTHTML#", pastEnd},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(outcome(parsed(text)), expected) << text.toStdString();
    const TemplateRead refused = parsed("#qt1#");
    EXPECT_EQ(describe(refused.failure->message), notOne + " | Quillane template designer | "
                                                           "exclamation | OK");
    EXPECT_EQ(refused.failure->kind, ReadFailure::Kind::Rejected);
    // What was read before a read error stays, all but the name.
    const TemplateRead cut = parseTemplate(decodeText(kPlainPage + "\r\n"), "t.qtf");
    EXPECT_EQ(describe(cut.failure->message),
              pastEnd + " | Error parsing file! | exclamation | OK");
    EXPECT_EQ(cut.failure->kind, ReadFailure::Kind::Unreadable);
    EXPECT_TRUE(cut.defaultHtmlRead && !cut.nameRead);
    EXPECT_EQ(dump(cut.value.sections), "body,1,<p>Text</p>;footer,0,<hr>\r\n<p>Contact</p>;,0,");
    EXPECT_FALSE(parsed("#QT1#|N|#DEFAULTHTML#|a").defaultHtmlRead);

    // Flag lines are numbers.
    const std::pair<const char*, int> flags[] = {
        // -1: a read error
        {" 1 ", 1}, {"2", 2},     {" 2 ", 2},   {"abc", 0},  {"", 0},     {"1.5", 2}, {"2.5", 2},
        {"0.5", 0}, {"255", 255}, {"1e2", 100}, {"7abc", 7}, {"300", -1}, {"-1", -1}, {"256", -1}};
    for (const auto& [line, flag] : flags) {
        const TemplateRead r = parsed(kHead + "|s|" + line + "|x|#STARTSECTION#");
        EXPECT_EQ(outcome(r), flag < 0 ? parseError("t.qtf", "Overflow", 6)
                                       : "N |  | s," + QString::number(flag) + ",x;,0,")
            << line;
    }
}

// --- Document file ---------------------------------------------------------------------------

TEST(DocumentFile, TheWorkedDocumentReadsIntoAValueAndIsWrittenBackByteForByte) {
    const QByteArray bytes = lines(
        "#QH1#|My first page|plain.qtf|/site/index.htm|#STARTSECTION#|<p>Hello</p>|#STARTSECTION#");
    const DocumentFile d = parseDocument(decodeText(bytes), "/site/docs/index.qht").value;
    // Where paths have drives, "/site" is on the current one.
    const QString docs = QFileInfo("/site/docs").absoluteFilePath();
    EXPECT_EQ(QStringList({d.title, d.templateStored, d.templatePath, d.outputStored, d.output,
                           d.blocks.join(u',')})
                  .join(" | "),
              "My first page | plain.qtf | " + docs +
                  "/plain.qtf | /site/index.htm | /site/index.htm | <p>Hello</p>");
    EXPECT_EQ(encodeForStorage(documentFileText(d)), bytes);
}

TEST(DocumentFile, ShapesFailuresAndEarlyStops) {
    auto outcome = [](const QString& barred) {
        const DocumentRead r = parseDocument(decodeText(lines(barred)), "d.qht");
        const char* kinds[] = {"rejected", "unreadable", "stopped"};
        return QString(r.failure ? kinds[int(r.failure->kind)] : "read") +
               (r.headerRead ? "" : " before its header") +
               (r.failureAtBlock ? " at a block" : "") + ": " + r.value.blocks.join(u',');
    };
    const std::pair<QString, QString> cases[] = {
        {"#QT1#|T|#DEFAULTHTML#", "rejected before its header: "},
        {"#QH1#|T|t.qtf|o.htm", "unreadable: "},
        {"#QH1#|T|t.qtf|o.htm||x", "stopped at a block: "},
        {"#QH1#|T|t.qtf|o.htm|junk|x", "rejected at a block: "},
        {"#QH1#|T|t.qtf|o.htm|#STARTSECTION#|a|b", "read: a"}, // cut inside its last block
        {"#QH1#||||#STARTSECTION#", "read: "},
        {"#QH1#|T|t|o|#STARTSECTION#|one|#STARTSECTION#||#STARTSECTION#", "read: one,"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(outcome(text), expected) << text.toStdString();
    EXPECT_EQ(describe(parseDocument("#QT1#", "d.qht").failure->message),
              "This file is not a Quillane TEMPLATED-HTML file! | Quillane HTML Editor | "
              "exclamation | OK");
    EXPECT_EQ(parseDocument(decodeText(lines("#QH1#|T|t|o")), "d.qht").failure->message.text,
              parseError("d.qht", "Input past end of file", 62));
}

#ifndef _WIN32 // paths from "/" without a drive; Windows: windows_files_test.cpp
TEST(StoredPaths, RelativePathsAreTakenFromAndStoredForTheDocumentsFolder) {
    EXPECT_EQ(resolveStoredPath("t.qtf", "/site/docs/a.qht"), "/site/docs/t.qtf");
    EXPECT_EQ(resolveStoredPath("../t.qtf", "/site/docs/a.qht"), "/site/t.qtf");
    EXPECT_EQ(resolveStoredPath("/abs/t.qtf", "/site/a.qht"), "/abs/t.qtf");
    EXPECT_EQ(resolveStoredPath("C:\\site\\plain.qtf", "/site/a.qht"), "C:\\site\\plain.qtf");
    EXPECT_EQ(resolveStoredPath("", "/site/a.qht"), "");

    // Path, what the document was read with -> what it stores.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/site/t.qtf", "", "t.qtf"},
        {"/site/pages/o.htm", "", "pages/o.htm"},
        {"/site/pages/../o.htm", "", "o.htm"},
        {"/sites/o.htm", "", "/sites/o.htm"}, // a neighbour whose name starts the same
        {"/other/t.qtf", "", "/other/t.qtf"},
        {"/other/t.qtf", "../other/t.qtf", "../other/t.qtf"}, // kept while it names the file
        {"/site/t.qtf", "/site/t.qtf", "/site/t.qtf"},
        {"/site/a.htm", "b.htm", "a.htm"},
        {"typed/o.htm", "", "typed/o.htm"},
        {"C:\\site\\t.qtf", "", "C:\\site\\t.qtf"},
        {"", "x.htm", ""},
    };
    for (const auto& [path, stored, expected] : cases)
        EXPECT_EQ(pathToStore(path, stored, "/site/d.qht"), expected) << path;
}
#endif

// --- Reading and saving files ----------------------------------------------------------------

#ifndef _WIN32 // POSIX file kinds and permissions; Windows: windows_files_test.cpp
TEST(Files, ReadsOnlyRegularFilesUpToTheLimitAndNeverWaits) {
    QTemporaryDir dir;
    // Nothing here is opened, so a named pipe cannot hang the test.
    const QString fifo = dir.filePath("fifo.qtf"), socket = dir.filePath("socket.qtf");
    const QString huge = writeFile(dir, "huge.qtf", kPlainPage), device = dir.filePath("dev.qtf");
    ASSERT_TRUE(makeFifoAndSocket(fifo, socket));
    ASSERT_TRUE(QFile::link(fifo, dir.filePath("link.qtf")));
    ASSERT_TRUE(QFile::resize(huge, qint64(64) << 30)) << "a sparse file of 64 GiB";
    const QString access = "Path/File access error: ",
                  pipe = "it is a named pipe (FIFO), not a file";
    std::vector<std::pair<QString, FileError>> cases = {
        {dir.filePath("missing.qtf"), {53, "File not found"}},
        {"", {53, "File not found"}},
        {dir.path(), {75, access + "it is a folder"}},
        {fifo, {75, access + pipe}},
        {dir.filePath("link.qtf"), {75, access + pipe}},
        {socket, {75, access + "it is a socket, not a file"}},
        {huge, {75, access + "the file is too large (the limit is 64 MiB)"}},
        {"c:/site/plain.qtf",
         {76, "Path not found: it is a Windows path, which this system cannot read"}},
    };
    if (makeDevice(device)) cases.push_back({device, {75, access + "it is a device, not a file"}});
    if (geteuid() != 0) { // root reads everything
        const QString locked = writeFile(dir, "locked.qtf", kPlainPage);
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        cases.push_back({locked, {70, "Permission denied"}});
    }
    const auto before = snapshot(dir.path());
    for (const auto& [path, expected] : cases) {
        QByteArray bytes;
        FileError e;
        EXPECT_FALSE(readFileBytes(path, bytes, e));
        EXPECT_EQ(QString::number(e.number) + ' ' + e.description,
                  QString::number(expected.number) + ' ' + expected.description)
            << path.toStdString();
    }
    EXPECT_EQ(snapshot(dir.path()), before);

    // Either reader tells it in its message; a template says it was never read.
    const TemplateRead t = readTemplateFile(fifo);
    EXPECT_TRUE(!t.fileRead && t.unreadableReason == access + pipe);
    EXPECT_EQ(t.failure->message.text, parseError(fifo, access + pipe, 75));
    EXPECT_EQ(readDocumentFile(fifo).failure->message.text, t.failure->message.text);
    if (geteuid() != 0) GTEST_SKIP() << "the device case needs root to make a device node";
}
#endif

#ifndef _WIN32 // POSIX file kinds and permissions; Windows: windows_files_test.cpp
TEST(Files, AFailedSaveIsToldAndChangesNothing) {
    QTemporaryDir dir;
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
    for (const auto& [path, reason] : failing)
        EXPECT_EQ(describe(saveTextFile(path, "text").value()),
                  "Could not save '" + path + "':\r\n" + reason + " | Quillane | exclamation | OK");
    EXPECT_EQ(snapshot(dir.path()), before);
    EXPECT_FALSE(saveTextFile(dir.filePath("ok.qtf"), QString::fromUtf8("Ωmega")));
    EXPECT_EQ(readBytes(dir.filePath("ok.qtf")), encodeForStorage(QString::fromUtf8("Ωmega")));
    flags = 0;
    if (immutable) ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    QFile::setPermissions(closed,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
#endif
