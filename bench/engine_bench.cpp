// SPDX-License-Identifier: GPL-3.0-or-later
// The build's passes: pouring a page and checking a template must cost in proportion to the
// page, what is inserted and the names, not the page times the number of sections, and no
// template may make them grow faster.
//
// The pathological cases report the process's peak memory (peak_rss_MiB); run one at a time
// to read it for that case alone, e.g.
//   ./build/bench/engine_bench --benchmark_filter='BM_Pathological/case:2/'

#include "build/pour.h"
#include "build/template_check.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

using namespace quillane;

namespace {

struct Input {
    QString page;
    QStringList names{QString()};
    QStringList html{QString()};

    void add(const QString& name, const QString& text) {
        names << name;
        html << text;
    }
    void close() { add(QString(), QString()); } // the free slot after the sections
};

// A page of about `bytes` characters with a placeholder of every section spread through it.
Input makeInput(int bytes, int sections) {
    Input in;
    for (int s = 1; s <= sections; ++s)
        in.add(QStringLiteral("section%1").arg(s),
               QStringLiteral("<p>Content of section %1, a sentence or two of text.</p>").arg(s));
    in.close();
    const QString filler =
        QStringLiteral("<p>Filler text of the default page, written once.</p>\r\n");
    in.page = QStringLiteral("<html><head><title>::title::</title></head><body>\r\n");
    int s = 1;
    while (in.page.size() < bytes) {
        in.page += filler;
        if (s <= sections) in.page += QStringLiteral("::section%1::\r\n").arg(s++);
    }
    while (s <= sections)
        in.page += QStringLiteral("::section%1::\r\n").arg(s++);
    return in;
}

void BM_Pour(benchmark::State& state) {
    const Input in = makeInput(int(state.range(0)), int(state.range(1)));
    qint64 out = 0;
    for (auto _ : state) {
        const QString page = pourPage(in.page, QStringLiteral("Title"), in.names, in.html).page;
        out = page.size();
        benchmark::DoNotOptimize(page.constData());
    }
    state.SetBytesProcessed(state.iterations() * in.page.size() * 2);
    state.counters["page_chars"] = double(in.page.size());
    state.counters["out_chars"] = double(out);
}

// Forty sections in a template of about 1.5 KB, each inserting the next one twice and the one
// after it once: the page grows about 2.4 times a pass.
Input fortySections() {
    Input in;
    auto name = [](int s) { return QStringLiteral("s%1").arg(s, 2, 10, QChar(u'0')); };
    for (int s = 1; s <= 40; ++s) {
        QString text = QStringLiteral("<p>");
        if (s < 40) text += "::" + name(s + 1) + ":: ::" + name(s + 1) + "::";
        if (s < 39) text += " ::" + name(s + 2) + "::";
        in.add(name(s), text + "</p>");
    }
    in.close();
    in.page = QStringLiteral("<html><head><title>::title::</title></head><body>\r\n::s01::\r\n"
                             "</body></html>\r\n");
    return in;
}

// Default HTML of "::a" `count` times and a section a of "::a" `times` times.
Input colonA(int count, int times) {
    Input in;
    in.add(QStringLiteral("a"), QStringLiteral("::a").repeated(times));
    in.close();
    in.page = QStringLiteral("::a").repeated(count);
    return in;
}

// A page of `chars` characters without placeholders but ten, and ten short sections.
Input plainPage(qsizetype chars) {
    Input in = makeInput(1000, 10);
    const QString line = QStringLiteral("<p>Plain text of a very large page.</p>\r\n");
    in.page.reserve(chars);
    while (in.page.size() + line.size() <= chars)
        in.page += line;
    in.page += QString(chars - in.page.size(), u'x');
    return in;
}

// A page of `chars` characters made of placeholders of 1000 sections, each replaced by HTML
// of its own length: every pass replaces its few thousand in place.
Input placeholdersOnly(qsizetype chars) {
    Input in;
    for (int s = 0; s < 1000; ++s)
        in.add(QStringLiteral("s%1").arg(s, 4, 10, QChar(u'0')),
               QStringLiteral("[%1]").arg(s, 5, 10, QChar(u'0')));
    in.close();
    in.page.reserve(chars);
    for (int i = 0; in.page.size() + 9 <= chars; ++i)
        in.page += QStringLiteral("::s%1::").arg(i % 1000, 4, 10, QChar(u'0'));
    return in;
}

// A page of "::a" `count` times and sections whose names hold "::": each of `names` sections
// is `name` with its number after it, so every "::" of the page starts a walk along them.
Input colonNames(int count, const QString& name, int names) {
    Input in;
    for (int s = 0; s < names; ++s)
        in.add(name + QString::number(s), QStringLiteral("<b>%1</b>").arg(s));
    in.close();
    in.page = QStringLiteral("::a").repeated(count);
    return in;
}

// Names of "a::" repeated 1..`deepest` times followed by "c", over a page of "::a" `count`
// times: every "::" of the page is read anew by each name, the one shape that costs more than
// the page (the page times the number of such names, which is the square root of their size).
Input nestedColonNames(int count, int deepest) {
    Input in;
    for (int depth = 1; depth <= deepest; ++depth)
        in.add(QStringLiteral("a::").repeated(depth) + u'c', QStringLiteral("C"));
    in.close();
    in.page = QStringLiteral("::a").repeated(count);
    return in;
}

struct Case {
    const char* label;
    Input (*make)();
};

const Case kCases[] = {
    {"forty sections inserting each other", fortySections},
    {"::a x15000, a = ::a x15000 (90 KB)", [] { return colonA(15000, 15000); }},
    {"::a x60000, a = ::a x60000 (360 KB)", [] { return colonA(60000, 60000); }},
    {"::a x120000, a = ::a x120000 (720 KB)", [] { return colonA(120000, 120000); }},
    // 1000 times 20000 "::a": 60 M characters before the last pass takes the colons away.
    {"::a x1000, a = ::a x20000 (built)", [] { return colonA(1000, 20000); }},
    {"plain page of 63 Mi characters", [] { return plainPage(qsizetype(63) << 20); }},
    {"plain page of 64 Mi + 1 characters", [] { return plainPage((qsizetype(64) << 20) + 1); }},
    {"1000 sections, 16 Mi characters of placeholders",
     [] { return placeholdersOnly(qsizetype(16) << 20); }},
    {"plain page of 300 M characters", [] { return plainPage(300'000'000); }},
    // Names that hold "::".
    {"::a x300000, one name (a::)x16666 a: overlapping placeholders",
     [] { return colonNames(300000, QStringLiteral("a::").repeated(16666) + u'a', 1); }},
    {"::a x300000, one name (a::)x50000 c: walks that never match",
     [] { return colonNames(300000, QStringLiteral("a::").repeated(50000) + u'c', 1); }},
    {"::a x300000, 3000 names a::c<n>", [] { return colonNames(300000, "a::c", 3000); }},
    {"::a x300000, 1000 names a::a::<n>", [] { return colonNames(300000, "a::a::", 1000); }},
    {"::a x100000, names (a::)x1..300 c", [] { return nestedColonNames(100000, 300); }},
};

double peakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void BM_Pathological(benchmark::State& state) {
    const Case& c = kCases[state.range(0)];
    const Input in = c.make();
    qsizetype out = 0;
    int failure = 0;
    for (auto _ : state) {
        PourResult r = pourPage(in.page, QStringLiteral("Title"), in.names, in.html);
        out = r.page.size();
        failure = int(r.failure);
        benchmark::DoNotOptimize(r.page.constData());
    }
    state.SetLabel(c.label);
    state.counters["template_chars"] = double(in.page.size() + in.html.join(QString()).size());
    state.counters["out_chars"] = double(out);
    state.counters["refused"] = failure; // 1 too large, 2 sections insert each other
    state.counters["peak_rss_MiB"] = peakRssMiB();
}

// Templates for the check: a default HTML (one line) and sections "name=HTML;...".
struct CheckCase {
    const char* label;
    TemplateFile (*make)();
};

TemplateFile makeTemplate(const QString& page, const QStringList& names, const QStringList& html) {
    TemplateFile t;
    t.defaultHtml = page;
    t.defaultHtmlLines = 1;
    for (qsizetype s = 0; s < names.size(); ++s) {
        t.sections.SectionNames.insert(t.sections.lastSlot(), names[s]);
        t.sections.SectionHtml.insert(t.sections.lastSlot(), html[s]);
        t.sections.SectionEditable.insert(t.sections.SectionEditable.end() - 1, 1);
    }
    return t;
}

// "::" + `count` a + "::::", and a section whose name is 50,000 a.
TemplateFile longWord(int count) {
    return makeTemplate("::" + QString(count, u'a') + "::::", {QString(50000, u'a')}, {"x"});
}

// A page of about 1 MB with a placeholder of each of 1000 sections.
TemplateFile largeTemplate() {
    const Input in = makeInput(1024 * 1024, 1000);
    return makeTemplate(in.page, in.names.mid(1, 1000), in.html.mid(1, 1000));
}

const CheckCase kCheckCases[] = {
    {"::, 1,000,000 a, ::::; a section of 50,000 a", [] { return longWord(1000000); }},
    {"::, 200,000 a, ::::; a section of 50,000 a", [] { return longWord(200000); }},
    {"1 MB page, 1000 sections", largeTemplate},
    {"::a x300000; one section (a::)x16666 a",
     [] {
         return makeTemplate(QStringLiteral("::a").repeated(300000),
                             {QStringLiteral("a::").repeated(16666) + u'a'}, {"x"});
     }},
};

void BM_Check(benchmark::State& state) {
    const CheckCase& c = kCheckCases[state.range(0)];
    const TemplateFile t = c.make();
    qsizetype problems = 0;
    for (auto _ : state) {
        problems = checkTemplate(t).size();
        benchmark::DoNotOptimize(problems);
    }
    state.SetLabel(c.label);
    state.counters["problems"] = double(problems);
}

} // namespace

BENCHMARK(BM_Pour)
    ->ArgNames({"page", "sections"})
    ->Args({8 * 1024, 10})
    ->Args({8 * 1024, 1000})
    ->Args({1024 * 1024, 10})
    ->Args({1024 * 1024, 1000})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_Pathological)
    ->ArgName("case")
    ->DenseRange(0, int(std::size(kCases)) - 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Check)
    ->ArgName("case")
    ->DenseRange(0, int(std::size(kCheckCases)) - 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
