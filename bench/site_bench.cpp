// SPDX-License-Identifier: GPL-3.0-or-later
// What a site costs a page: links made relative and the links read (the quick tokenizer and
// the full parser, side by side with encoding the page, which every build does), and the link
// check of 10,000 pages against an output folder on disk.

#include "formats/text_codec.h"
#include "site/link_check.h"
#include "site/page_links.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>

using namespace quillane;

namespace {

// A page of about 4 KB as a site's template gives it: a nav of ten root-relative links, a
// style sheet, a script, two pictures, a few ids and text; with an SVG icon in the nav if
// asked.
QString typicalPage(int i, const QString& folder, bool icon = false) {
    QString p = QStringLiteral(
                    "<!DOCTYPE html>\r\n<html lang=\"en\"><head><meta charset=\"utf-8\">\r\n"
                    "<title>Page %1</title>\r\n<link rel=\"stylesheet\" href=\"/css/site.css\">\r\n"
                    "<script src=\"/js/site.js\" defer></script>\r\n</head><body>\r\n"
                    "<header id=\"top\"><nav><ul>\r\n")
                    .arg(i);
    if (icon)
        p += QStringLiteral("<li><svg class=\"icon\" viewBox=\"0 0 16 16\"><title>Menu</title>"
                            "<use href=\"/img/icons.svg#menu\"/></svg></li>\r\n");
    const char* nav[] = {"/",
                         "/blog/",
                         "/docs/",
                         "/about.html",
                         "/contact.html",
                         "/blog/first.html",
                         "/blog/second.html",
                         "/docs/intro.html",
                         "/docs/api.html#calls",
                         "/news/"};
    for (const char* n : nav)
        p += QStringLiteral("<li><a href=\"%1\">%2</a></li>\r\n").arg(n, QString(n).mid(1, 5));
    p += QStringLiteral("</ul></nav></header>\r\n<main id=\"content\">\r\n<h1 id=\"title\">Page "
                        "%1</h1>\r\n<img src=\"/img/logo.png\" alt=\"Logo\" width=\"100\">\r\n")
             .arg(i);
    while (p.size() < 2800)
        p += QStringLiteral("<p class=\"text\">Lorem ipsum dolor sit amet, consectetur adipiscing "
                            "elit, sed do eiusmod tempor incididunt.</p>\r\n");
    p += QStringLiteral("<h2 id=\"more\">More</h2>\r\n<p><img src=\"/img/photo.jpg\" alt=\"A "
                        "photo\"> See <a href=\"#top\">the top</a> or <a href=\"%1/p%2.html\">the "
                        "next page</a>.</p>\r\n")
             .arg(folder)
             .arg(i + 1);
    while (p.size() < 3900)
        p += QStringLiteral("<p>Some more text of the page, with <em>a word</em> here.</p>\r\n");
    p += QStringLiteral("</main><footer id=\"foot\">Footer</footer></body></html>\r\n");
    return p;
}

void BM_EncodePage(benchmark::State& state) {
    const QString page = typicalPage(7, "/blog");
    for (auto _ : state)
        benchmark::DoNotOptimize(encodePage(page));
    state.counters["bytes"] = double(page.size());
}

void BM_ScanPage(benchmark::State& state) {
    const QString page = typicalPage(7, "/blog", state.range(1));
    const auto reader = MarkupReader(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(scanPage(page, "blog/p7.html", SiteLinks::Relative, reader));
    const ScannedPage scanned = scanPage(page, "blog/p7.html", SiteLinks::Relative, reader);
    state.counters["links"] = double(scanned.links.links.size());
    state.counters["bytes"] = double(page.size());
}

void BM_CheckLinks(benchmark::State& state) {
    constexpr int kPages = 10000;
    QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                          ? QStringLiteral("/dev/shm/quillane-bench-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/quillane-bench-XXXXXX"));
    const QString out = dir.filePath(QStringLiteral("public"));
    for (const char* f : {"css/site.css", "js/site.js", "img/logo.png", "img/photo.jpg"}) {
        QDir(out).mkpath(QFileInfo(QString(f)).path());
        QFile file(out + u'/' + QLatin1String(f));
        file.open(QIODevice::WriteOnly);
    }
    // Pages in four folders; the nav's other pages are on disk from an earlier build.
    const QStringList folders = {"blog", "docs", "news", "more"};
    std::vector<CheckedPage> pages;
    const size_t heapBefore = mallinfo2().uordblks;
    for (int i = 0; i < kPages; ++i) {
        const QString folder = folders[i % 4];
        const QString path = QStringLiteral("%1/p%2.html").arg(folder).arg(i);
        pages.push_back(
            {path, path,
             scanPage(typicalPage(i, u'/' + folders[(i + 1) % 4]), path, SiteLinks::Relative)
                 .links});
    }
    // What the batch holds for the check: the links and targets of every page.
    state.counters["kib_per_page"] = double(mallinfo2().uordblks - heapBefore) / 1024 / kPages;
    for (const char* f :
         {"index.html", "about.html", "contact.html", "blog/index.html", "blog/first.html",
          "blog/second.html", "docs/index.html", "docs/intro.html", "news/index.html"}) {
        QDir(out).mkpath(QFileInfo(QString(f)).path());
        QFile file(out + u'/' + QLatin1String(f));
        file.open(QIODevice::WriteOnly);
    }
    QFile api(out + QStringLiteral("/docs/api.html"));
    api.open(QIODevice::WriteOnly);
    api.write("<h2 id=calls>Calls</h2>");
    api.close();
    const QStringList endings = {"html", "htm"};
    std::size_t broken = 0;
    for (auto _ : state)
        broken = checkLinks(out, pages, endings).size();
    state.counters["broken"] = double(broken); // the last page's "next page"
    state.counters["us_per_page"] =
        benchmark::Counter(double(kPages), benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_EncodePage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanPage)
    ->ArgNames({"full", "icon"})
    ->Args({int(MarkupReader::Auto), 0})
    ->Args({int(MarkupReader::Full), 0})
    ->Args({int(MarkupReader::Auto), 1})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckLinks)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
