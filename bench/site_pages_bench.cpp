// SPDX-License-Identifier: GPL-3.0-or-later
// File > Site pages... on a site of 10,000 documents: the time from nothing to a filled list
// model, sorted as the dialog first shows it (the documents read, the pages' and templates'
// time stamps looked at). Half the pages are built, a tenth of those older than their document.

#include "build/batch_documents.h"
#include "core/site_pages.h"
#include "site_generator.h"
#include "ui/site_pages_dialog.h"

#include <QDir>
#include <QFile>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <utime.h>

using namespace quillane;

namespace {

// The disk of the temporary folder, as a user's site would be on theirs.
QString makeSite(const QTemporaryDir& dir, int count) {
    const QString site = dir.filePath(QStringLiteral("site"));
    const QString out = dir.filePath(QStringLiteral("site/public"));
    bench::generateSite(site, out, count, 10);
    for (int i = 0; i < count; i += 2) {
        const QString page = QDir(out).filePath(QStringLiteral("page%1.html").arg(i));
        bench::writeBytes(page, "<p>built</p>");
        if (i % 20 == 0) { // older than its document
            const utimbuf old{1000000000, 1000000000};
            ::utime(QFile::encodeName(page).constData(), &old);
        }
    }
    bench::writeBytes(QDir(site).filePath(kSiteFileName), "[site]\noutput = public\n");
    return site;
}

void BM_SitePagesList(benchmark::State& state) {
    const int count = int(state.range(0));
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillane-bench-XXXXXX"));
    const QString site = makeSite(dir, count);
    BuiltPages built;
    qsizetype rows = 0;
    for (auto _ : state) {
        SitePagesModel model;
        QSortFilterProxyModel sorted;
        sorted.setSourceModel(&model);
        sorted.setSortRole(Qt::UserRole);
        sorted.setSortCaseSensitivity(Qt::CaseInsensitive);
        sorted.sort(SitePagesModel::Document);
        model.setList(listSitePages(site, built));
        rows = sorted.rowCount();
        benchmark::DoNotOptimize(rows);
    }
    if (rows != count) state.SkipWithError("not every document was listed");
    state.counters["documents"] = double(rows);
}

// The floor: the site's documents listed, as every batch of it lists them, and nothing read.
void BM_SiteListingAlone(benchmark::State& state) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillane-bench-XXXXXX"));
    const QString site = makeSite(dir, int(state.range(0)));
    for (auto _ : state) {
        FolderBatch batch;
        QString problem;
        readBatchFolder(site, batch, problem);
        benchmark::DoNotOptimize(batch.documents.size());
    }
}

} // namespace

BENCHMARK(BM_SiteListingAlone)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SitePagesList)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
