// SPDX-License-Identifier: GPL-3.0-or-later
// The build's passes: the pour against a literal oracle, and the template check that watches
// the same passes.

#include "build/pour.h"
#include "build/template_check.h"
#include "support/files.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::test;

namespace {

// The passes exactly as described: a plain replace for the title, then one per slot (left to
// right, taking occurrences that do not overlap, not looking at what it has just inserted); the
// page after every pass, and the largest it was on the way.
struct Oracle {
    QString page;
    qsizetype peak = 0;
};

Oracle oraclePour(const QString& page, const QString& title, const QStringList& names,
                  const QStringList& html) {
    Oracle o{QString(page).replace("::title::", title), page.size()};
    o.peak = std::max(o.peak, o.page.size());
    for (int slot = 1; slot < names.size(); ++slot) {
        o.page.replace("::" + names[slot], html[slot]);
        o.peak = std::max(o.peak, o.page.size());
    }
    return o;
}

// The ways of running a pass, each pushed to its extreme: as built; every pass a sweep; every
// pass in place, with walks that leave notes from the third or fifth character on, or that
// find their tokens by scanning the page; notes and sweeps together; in place and written out
// in one piece before almost every pass.
constexpr qint64 kNever = qint64(1) << 40;
const PourTuning kTunings[] = {{},
                               {kNever, 0, 32, 4096},
                               {0, 0, 2, kNever},
                               {0, 0, 5, kNever},
                               {0, kNever, 2, kNever},
                               {64, 1, 3, kNever},
                               {0, 0, 2, 0}};

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
                return QStringLiteral("tuning %1 limit %2 page '%3' title '%4' names %5 html %6\n"
                                      " got      %7\n expected %8")
                    .arg(QString::number(t), QString::number(limit), page, title, names.join('|'),
                         html.join('|'), refused ? "(refused)" : got.page, o.page)
                    .toStdString();
        }
    }
    return {};
}

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
            const quint32 kind = rng.bounded(4);
            page += kind == 0   ? "::" + names[1 + int(rng.bounded(slotCount))]
                    : kind == 1 ? QStringLiteral("::title::")
                                : word(5);
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
            // Long names now and then, some holding "::": walks that read far and leave notes.
            const quint32 kind = rng.bounded(18);
            const QString base = kind == 0 ? QString(40, u'n')
                                 : kind == 1
                                     ? QStringLiteral("n::").repeated(1 + int(rng.bounded(20)))
                                     : QString();
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

TEST(Pour, MatchesTheLiteralPassesOnPagesDenseWithColons) {
    // Pages of one piece over and over, names of "a::" over and over: walks that cross many
    // "::", placeholders that overlap, names that share a long start and part late.
    QRandomGenerator rng(11);
    const QString pieces[] = {"::a", "a::", ":", "::a::b", "b"};
    for (int round = 0; round < 300; ++round) {
        QStringList names{QString()}, html{QString()};
        const int slotCount = 1 + int(rng.bounded(12));
        for (int s = 1; s <= slotCount; ++s) {
            const QString name = QStringLiteral("a::").repeated(int(rng.bounded(30))) +
                                 (rng.bounded(2) ? QStringLiteral("a") : QString::number(s % 3));
            names << name;
            html << (rng.bounded(3) ? QString::number(s) : "::" + name.left(rng.bounded(40)));
        }
        names << QString();
        html << QString();
        QString page;
        const QString& piece = pieces[rng.bounded(5)];
        while (page.size() < 600)
            page += rng.bounded(10) ? piece : pieces[rng.bounded(5)];
        ASSERT_EQ(pourDiffers(page, "", names, html), "") << round;
    }
}

TEST(Pour, EdgeCases) {
    // Names and HTML of slots 1..N, each separated by "|".
    const struct {
        const char *what, *page, *title, *names, *html, *expected;
    } cases[] = {
        {"both colons", "[::body::]", "", "body|", "B|", "[B]"},
        {"front colons only", "[::body]", "", "body|", "B|", "[B]"},
        {"every :: goes", "a::before", "", "", "", "abefore"},
        {"title colons go", "<t>::title::</t>", "A::B", "", "", "<t>AB</t>"},
        {"title case matters", "::Title::", "x", "", "", "Title"},
        {"title inside a section", "::s::", "x", "s|", "::title::|", "title"},
        {"prefix clash", "::footer::", "", "foot|footer|", "F|G|", "Fer"},
        {"later placeholder in HTML", "::a::", "", "a|b|", "<::b>|B|", "<B>"},
        {"earlier placeholder in HTML", "::b::", "", "a|b|", "A|<::a>|", "<a>"},
        {"own placeholder not again", "::a", "", "a", "x::a", "x::a"},
        {"colons meet inserted text", ":::a", "", "a|b|", ":b|B|", "B"},
    };
    for (const auto& c : cases) {
        const QStringList names = ("|" + QString(c.names)).split(u'|');
        const QStringList html = ("|" + QString(c.html)).split(u'|');
        EXPECT_EQ(pourPage(c.page, c.title, names, html).page, c.expected) << c.what;
        EXPECT_EQ(oraclePour(c.page, c.title, names, html).page, c.expected) << c.what;
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

// --- The template check ----------------------------------------------------------------------

TEST(TemplateCheck, FindsWhatThePassesDoThatTheTemplateDoesNotSay) {
    const QString unused = "The section '%1' has no placeholder: ::%1:: is neither in the default "
                           "HTML nor in the HTML of a section before it, so its HTML never "
                           "reaches the page.";
    // Default HTML ("|" between lines), sections "name=HTML;..." -> findings
    const std::tuple<QString, QString, QString> cases[] = {
        {"<h1>::title::</h1>|::body::|::footer::", "body=<p>Text</p>;footer=<hr>", ""},
        {"<b>::top::::main::::bottom::</b>", "top=T;main=M;bottom=B", ""},
        {"::a::", "a=x ::b:: y;b=B", ""}, // brought in by an earlier section
        {"::navbar::|::nav::", "navbar=NB;nav=N", ""},
        {"::title::|::body::|::aside::", "body=B",
         "The placeholder ::aside:: in the default HTML, line 3, is filled by no section: the "
         "page shows 'aside' there."},
        {"::a::", "b=B;a=x ::b::",
         unused.arg("b") + "\nThe placeholder ::b:: in the HTML of section 'a', line 1, is "
                           "filled by no section: the page shows 'b' there."},
        {"::nav::|::navbar::", "nav=N;navbar=NB",
         "The section 'nav' takes the start of ::navbar:: in the default HTML, line 2: the page "
         "gets nav's HTML followed by 'bar'. Put section 'navbar' before 'nav', or rename one of "
         "them.\n" +
             unused.arg("navbar")},
        {"::x::::ti::", "x=<b>::title::</b>;ti=T",
         "The section 'ti' takes the start of ::title:: in the HTML of section 'x', line 1: the "
         "page gets ti's HTML followed by 'tle'. Rename the section."},
        {"::body::", "=E;body=B",
         "Section 1 has no name: its pass puts its HTML in place of every '::' still in the page, "
         "so the sections after it find no placeholder.\n" +
             unused.arg("body")},
        {"::body::", "body=B;body=C",
         "Sections 1 and 2 are both named 'body': the first fills every ::body, so the HTML of "
         "the second never reaches the page."},
        {"<style>a::before { } ::selection { }</style>|<p>::body::</p>", "body=x :: y",
         "The '::' in the default HTML, line 1 (a::before), belongs to no placeholder: the build "
         "deletes it, so the page gets 'abefore'.\nThe '::' in the default HTML, line 1 "
         "(::selection), belongs to no placeholder: the build deletes it, so the page gets "
         "'selection'.\nThe '::' in the HTML of section 'body', line 1, belongs to no "
         "placeholder: the build deletes it."},
    };
    for (const auto& [html, sections, expected] : cases) {
        QString text = "#QT1#|T|#DEFAULTHTML#|" + html + "|#ENDDEFAULTHTML#|#STARTSECTION#";
        for (const QString& s : sections.split(u';'))
            text += u'|' + s.section(u'=', 0, 0) + "| 1 |" + s.section(u'=', 1) + "|#STARTSECTION#";
        QStringList found;
        for (const TemplateProblem& p : checkTemplate(parseTemplate(lines(text), "t.qtf").value))
            found << p.text;
        EXPECT_EQ(found.join(u'\n'), expected) << html.toStdString();
    }
}

TEST(TemplateCheck, TellsTheSameOfPathologicalTemplates) {
    auto check = [](const QString& page, const QString& name) {
        TemplateFile t;
        t.defaultHtml = page;
        t.defaultHtmlLines = 1;
        t.sections.SectionNames = {QString(), name, QString()};
        t.sections.SectionHtml = {QString(), "x", QString()};
        t.sections.SectionEditable = {0, 1, 0};
        QStringList found;
        for (const TemplateProblem& p : checkTemplate(t))
            found << p.text;
        return found;
    };
    // "::", a million letters and "::::", and a section named by the first 50,000 of them.
    const QString a(1000000, u'a'), name(50000, u'a'), fourteen(14, u'a');
    EXPECT_EQ(
        check("::" + a + "::::", name),
        QStringList({"The section '" + name + "' takes the start of ::" + a +
                         ":: in the default HTML, line 1: the page gets " + name +
                         "'s HTML followed by '" + a.mid(50000) + "'.",
                     "The section '" + name + "' has no placeholder: ::" + name +
                         ":: is "
                         "neither in the default HTML nor in the HTML of a section before it, "
                         "so its HTML never reaches the page.",
                     "The '::' in the default HTML, line 1 (" + fourteen +
                         "::::), belongs "
                         "to no placeholder: the build deletes it, so the page gets '" +
                         fourteen + "::'."}));
    // A name that holds 16,666 "::" over "::a" 300,000 times: eighteen placeholders, the rest
    // of the page a placeholder no section fills.
    EXPECT_EQ(
        check(QStringLiteral("::a").repeated(300000), QStringLiteral("a::").repeated(16666) + "a"),
        QStringList("The placeholder ::a:: in the default HTML, line 1, is filled by no "
                    "section: the page shows 'a' there."));
}
