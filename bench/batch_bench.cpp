// The headless batch over a generated folder of 10,000 documents: pages per second and the
// peak memory of the process.

#include "build/headless_build.h"
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
        const int status = runHeadlessBatch(dir.filePath(QStringLiteral("site")), sink, sink);
        if (status != 0) state.SkipWithError("the batch did not build every page");
    }
    std::fclose(sink);
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["pages_per_s"] =
        benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_rss_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

} // namespace

BENCHMARK(BM_HeadlessBatch)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
