// The build engine, against a literal oracle, and the batch build.

#include "build/batch_build.h"
#include "build/build_engine.h"
#include "build/headless_build.h"
#include "build/pour.h"
#include "formats/file_reader.h"
#include "support/fakes.h"

#include <QRandomGenerator>
#include <cstdio>
#include <gtest/gtest.h>

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

// The page after every pass, and the largest it was on the way.
struct Oracle {
    QString page;
    qsizetype peak = 0;
};

Oracle oraclePour(const QString& page, const QString& title, const QStringList& names,
                  const QStringList& html) {
    Oracle o{literalReplace(page, "::title::", title), page.size()};
    o.peak = std::max(o.peak, o.page.size());
    for (int slot = 1; slot < names.size(); ++slot) {
        o.page = literalReplace(o.page, "::" + names[slot], html[slot]);
        o.peak = std::max(o.peak, o.page.size());
    }
    return o;
}

// The engine's ways of running a pass, each pushed to its extreme: as built; every pass a
// sweep; every pass in place, with walks that leave notes from the first, second or fourth
// character on; notes and sweeps together; in place and swept away before almost every pass.
constexpr qint64 kNever = qint64(1) << 40;
const PourTuning kTunings[] = {
    {},       {kNever, 32, 4096}, {0, 0, kNever}, {0, 1, kNever}, {0, 3, kNever}, {64, 1, kNever},
    {0, 1, 0}};

// Empty when every tuning pours the page as the literal passes do, and refuses it exactly when
// some pass makes it larger than the limit (checked at the largest size, and one below).
std::string pourDiffers(const QString& page, const QString& title, const QStringList& names,
                        const QStringList& html) {
    const Oracle o = oraclePour(page, title, names, html);
    for (size_t t = 0; t < std::size(kTunings); ++t) {
        for (const qsizetype limit : {kMaxPageChars, o.peak, std::max<qsizetype>(o.peak - 1, 0)}) {
            const PourResult got = pourPageTuned(page, title, names, html, limit, kTunings[t]);
            const bool refused = got.failure != PourFailure::None;
            if (refused != (limit < o.peak) || (!refused && got.page != o.page))
                return "tuning " + std::to_string(t) + " limit " + std::to_string(limit) +
                       " page '" + page.toStdString() + "' title '" + title.toStdString() +
                       "' names " + names.join('|').toStdString() + " html " +
                       html.join('|').toStdString() + "\n got      " +
                       (refused ? "(refused)" : got.page.toStdString()) + "\n expected " +
                       o.page.toStdString();
        }
    }
    return {};
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
        for (int s = 1; s <= slotCount; ++s)
            names << (rng.bounded(5) == 0 ? QString() : word(3));
        if (rng.bounded(2)) names.last().clear(); // usually a trailing free slot
        for (int s = 1; s <= slotCount; ++s) {
            // Now and then HTML around a placeholder, so that pages may grow pass after pass.
            const QString h = word(6);
            html << (rng.bounded(8) == 0 ? h + "::" + names[1 + int(rng.bounded(slotCount))] + h
                                         : h);
        }
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
        const std::string diff = pourDiffers(page, word(4), names, html);
        ASSERT_EQ(diff, "") << round;
    }
}

TEST(Pour, MatchesTheLiteralPassesOnLargerPages) {
    QRandomGenerator rng(7);
    for (int round = 0; round < 200; ++round) {
        QStringList names{QString()}, html{QString()};
        const int slotCount = 2 + int(rng.bounded(40));
        for (int s = 1; s <= slotCount; ++s) {
            // Long names now and then: walks that read far and leave notes.
            const QString base = rng.bounded(9) == 0 ? QString(40, u'n') : QString();
            names << (s % 7 == 0 ? names[s / 2] + "x"
                                 : base + QStringLiteral("s%1").arg(rng.bounded(30)));
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
        ASSERT_EQ(pourDiffers(page, "T::", names, html), "") << round;
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
        EXPECT_EQ(pourPage(c.page, c.title, c.names, c.html).page, c.expected);
        EXPECT_EQ(oraclePour(c.page, c.title, c.names, c.html).page, c.expected);
    }
}

TEST(Pour, PagesThatGrowTooLargeAreRefusedWithTheirReason) {
    // Sections that each insert the next one `times` times: the page multiplies every pass.
    auto chain = [](int count, int times, const QString& last) {
        std::pair<QStringList, QStringList> t{{QString()}, {QString()}};
        for (int s = 1; s <= count; ++s) {
            t.first << QStringLiteral("s%1;").arg(s);
            t.second << (s < count ? QStringLiteral("::s%1;").arg(s + 1).repeated(times) : last);
        }
        t.first << QString();
        t.second << QString();
        return t;
    };
    const auto [forty, fortyHtml] = chain(40, 3, "x");
    const auto [ten, tenHtml] = chain(11, 2, QString());
    QStringList a{"", "a", ""}, aHtml{"", QString("::a").repeated(300), ""};
    struct Case {
        const char* what;
        QString page;
        QStringList names, html;
        qsizetype limit;
        PourFailure failure;
        QString built;
    };
    const Case cases[] = {
        {"forty sections inserting each other",
         "::s1;",
         forty,
         fortyHtml,
         100000,
         PourFailure::SectionsInsertEachOther,
         {}},
        // Ten doublings peak at 1024 times "::s11;" before the last pass takes it away.
        {"peak just over", "::s1;", ten, tenHtml, 6143, PourFailure::SectionsInsertEachOther, {}},
        {"peak at the limit", "::s1;", ten, tenHtml, 6144, PourFailure::None, ""},
        // Many placeholders of one large section: too large, but nothing inserts anything.
        {"one level",
         QString("::a").repeated(300),
         a,
         aHtml,
         269999,
         PourFailure::PageTooLarge,
         {}},
        {"one level fits", QString("::a").repeated(300), a, aHtml, 270000, PourFailure::None,
         QString("a").repeated(90000)},
        {"plain page", QString(1001, u'p'), a, aHtml, 1000, PourFailure::PageTooLarge, {}},
        {"plain page at the limit", QString(1000, u'p'), a, aHtml, 1000, PourFailure::None,
         QString(1000, u'p')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const PourTuning& tuning : kTunings) {
            const PourResult r = pourPageTuned(c.page, "", c.names, c.html, c.limit, tuning);
            EXPECT_EQ(r.failure, c.failure);
            EXPECT_EQ(r.page, c.built);
        }
    }
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

TEST_F(BuildFixture, APageTooLargeIsRefusedSayingWhy) {
    const QString page = put("page.htm", "old page");
    struct Case {
        QString templatePage;
        QStringList names, html;
        QString why;
    };
    const QString to = QStringLiteral("ERROR: The page would be larger than 67108864 characters");
    const Case cases[] = {
        // 1100 placeholders of a section of 64 Ki characters.
        {QString("::b").repeated(1100), {"", "b", ""}, {"", QString(64 * 1024, u'x'), ""}, ""},
        // Sections that insert the next one a thousand times each.
        {"::a",
         {"", "a", "b", "c", ""},
         {"", QString("::b").repeated(1000), QString("::c").repeated(1000),
          QString("::d").repeated(1000), ""},
         " (its sections insert each other over and over)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why.toStdString());
        const QString tpl = put("t.qtf", "#QT1#\r\nn\r\n#DEFAULTHTML#\r\n" +
                                             c.templatePage.toUtf8() + "\r\n#ENDDEFAULTHTML#\r\n");
        f.s.ws.SectionNames = c.names;
        f.s.ws.SectionHtml = c.html;
        f.s.ws.SectionEditable.assign(size_t(c.names.size()), 0);
        f.prompter.shown.clear();
        EXPECT_FALSE(BuildPage(f.s, page, tpl));
        ASSERT_EQ(f.prompter.shown.size(), 1u);
        EXPECT_EQ(f.prompter.last().text, to + c.why + ", cannot build!");
        EXPECT_EQ(f.prompter.last().title, "Quillane BuildEngine");
        EXPECT_EQ(f.prompter.last().icon, MsgIcon::Exclamation);
        EXPECT_EQ(readBytes(page), "old page");
    }
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

// --- Batch -----------------------------------------------------------------------------------

namespace {

struct Site : BuildFixture {
    QString tpl;
    void SetUp() override { tpl = put("site.qtf", kPlainPage); }
    QString doc(const QString& name, const QString& title, const QString& output) {
        return put(name, "#QH1#\r\n" + title.toUtf8() + "\r\nsite.qtf\r\n" + output.toUtf8() +
                             "\r\n#STARTSECTION#\r\n<p>" + title.toUtf8() +
                             "</p>\r\n#STARTSECTION#\r\n");
    }
    struct Run {
        int status;
        QString out, err;
    };
    Run headless(const QString& folder) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        Run r{runHeadlessBatch(folder, dir.path(), out, err), {}, {}};
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
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }
};

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
    QStringList names;
    QString reason;
    ASSERT_TRUE(listBatchDocuments(dir.path(), names, reason));
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.qht", "plainqht"}));

    EXPECT_FALSE(listBatchDocuments(dir.filePath("nope"), names, reason));
    EXPECT_EQ(reason, "no such folder");
    EXPECT_FALSE(listBatchDocuments(tpl, names, reason));
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
    QStringList names;
    QString reason;
    ASSERT_TRUE(listBatchDocuments(dir.path(), names, reason));
    f.s.ws.CurrentFile = "/elsewhere/open-before.qht";
    BatchObserver quiet;
    const BatchSummary sum = BatchCompile(f.s, dir.path() + "/", names, quiet);
    EXPECT_EQ(sum.built, 2);
    EXPECT_EQ(f.app.eventTurns, 2);
    const QString last = names.last();
    // Two documents naming one page: the one listed later wins.
    EXPECT_TRUE(readBytes(dir.filePath("same.htm"))
                    .contains("<p>" + last.left(1).toUpper().toUtf8() + "</p>"));
    EXPECT_EQ(f.s.ws.CurrentFile, dir.path() + "/" + last)
        << "Save must not write over the old document";
    EXPECT_EQ(f.s.ws.TemplatePath, tpl);
    EXPECT_FALSE(f.s.ws.IsDirty);

    // A failed last document leaves no file name for a Save to overwrite.
    put("z.qht", "garbage");
    names << "z.qht";
    BatchCompile(f.s, dir.path() + "/", names, quiet);
    EXPECT_TRUE(f.s.ws.CurrentFile.isEmpty());

    // A stop after the current document.
    struct StopAtOnce : BatchObserver {
        bool stopRequested() override { return true; }
    } stop;
    const BatchSummary stopped = BatchCompile(f.s, dir.path() + "/", names, stop);
    EXPECT_EQ(stopped.done, 1);
    EXPECT_TRUE(stopped.stopped);
}
