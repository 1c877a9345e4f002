// The pouring of a page: its cost must follow the page and what is inserted, not the page
// times the number of sections.

#include "build/pour.h"

#include <benchmark/benchmark.h>

using namespace quillane;

namespace {

struct Input {
    QString page;
    QStringList names{QString()};
    QStringList html{QString()};
};

// A page of about `bytes` characters with a placeholder of every section spread through it.
Input makeInput(int bytes, int sections) {
    Input in;
    for (int s = 1; s <= sections; ++s) {
        in.names << QStringLiteral("section%1").arg(s);
        in.html
            << QStringLiteral("<p>Content of section %1, a sentence or two of text.</p>").arg(s);
    }
    in.names << QString();
    in.html << QString();
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

} // namespace

BENCHMARK(BM_Pour)
    ->ArgNames({"page", "sections"})
    ->Args({8 * 1024, 10})
    ->Args({8 * 1024, 1000})
    ->Args({1024 * 1024, 10})
    ->Args({1024 * 1024, 1000})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
