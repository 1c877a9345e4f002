// SPDX-License-Identifier: GPL-3.0-or-later
// The headless batch over a generated folder of 10,000 documents: pages per second and the
// peak memory of the process; and rebuilds over an earlier build on the disk of the temporary
// folder (where replacing a file costs what it costs there): every page changed, nothing
// changed, one template of ten changed; with one job and with one per processor. compare.sh
// runs the same as whole processes beside a minimal program and Hugo.

#include "build/console_batch.h"
#include "site_generator.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <sys/resource.h>

using namespace quillane;

namespace {

// On a tmpfs where there is one, so the disk does not dominate.
QString benchRoot() {
    return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                     : QDir::tempPath();
}

void BM_HeadlessBatch(benchmark::State& state) {
    const int count = int(state.range(0));
    QTemporaryDir dir(benchRoot() + QStringLiteral("/quillane-bench-XXXXXX"));
    bench::generateSite(dir.filePath(QStringLiteral("site")), dir.filePath(QStringLiteral("out")),
                        count);
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        const int status = runConsoleBatch(dir.filePath(QStringLiteral("site")), sink, sink);
        if (status != 0) state.SkipWithError("the batch did not build every page");
    }
    std::fclose(sink);
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["pages_per_s"] =
        benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_rss_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

enum Change { Every, Nothing, OneTemplate };

void BM_Rebuild(benchmark::State& state) {
    const auto change = Change(state.range(0));
    ConsoleOptions options;
    options.jobs = int(state.range(1));
    constexpr int kCount = 10000, kTemplates = 10;
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillane-bench-XXXXXX"));
    const QString site = dir.filePath(QStringLiteral("site"));
    bench::generateSite(site, dir.filePath(QStringLiteral("out")), kCount, kTemplates);
    std::FILE* sink = std::fopen("/dev/null", "w");
    runConsoleBatch(site, sink, sink, options); // the earlier build
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < (change == Every ? kTemplates : change == OneTemplate ? 1 : 0); ++k)
            bench::changeTemplate(QDir(site).filePath(QStringLiteral("t%1.qtf").arg(k)));
        state.ResumeTiming();
        if (runConsoleBatch(site, sink, sink, options) != 0)
            state.SkipWithError("the batch did not build every page");
    }
    std::fclose(sink);
    state.counters["pages_per_s"] =
        benchmark::Counter(double(kCount), benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(BM_Rebuild)
    ->ArgNames({"change", "jobs"})
    ->ArgsProduct({{Every, Nothing, OneTemplate}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_HeadlessBatch)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
