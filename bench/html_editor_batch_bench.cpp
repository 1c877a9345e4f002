// SPDX-License-Identifier: GPL-3.0-or-later
// The batch build through the HTML editor window (offscreen) against the headless build (with
// its workers), on the same generated folder of 10,000 templated documents, every page changed
// before each batch. The window's batch is to stay within 3 times the headless time.

#include "build/console_batch.h"
#include "site_generator.h"
#include "ui/html_editor_window.h"
#include "ui/ui_session.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

constexpr int kDocuments = 10000;

// The generated site, on a RAM disk where there is one, so that the figures measure the
// program rather than the disk.
struct Site {
    std::unique_ptr<QTemporaryDir> dir;
    QString folder; // ends with a separator
    QString programFolder;
    QString templatePath;

    Site() {
        const QFileInfo shm(QStringLiteral("/dev/shm"));
        dir =
            shm.isDir() && shm.isWritable()
                ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/quillane-bench-XXXXXX"))
                : std::make_unique<QTemporaryDir>();
        folder = dir->filePath(QStringLiteral("site")) + u'/';
        programFolder = dir->filePath(QStringLiteral("program"));
        templatePath = quillane::bench::generateSite(folder, dir->filePath(QStringLiteral("pages")),
                                                     kDocuments);
        QDir().mkpath(programFolder);
        QFile::copy(templatePath, QDir(programFolder).filePath(QStringLiteral("default.qtf")));
    }
};

Site& site() {
    static Site s;
    return s;
}

// Counts what would have been shown and answers with the default button.
class CountingPrompter : public quillane::Prompter {
public:
    int shown = 0;
    quillane::MsgAnswer show(const quillane::Message& m) override {
        ++shown;
        return m.defaultButton;
    }
};

// Chooses a file in the site folder, as the user does to pick the folder.
class FolderChoice : public quillane::FileDialogPort {
public:
    explicit FolderChoice(QString folder) : m_folder(std::move(folder)) {}
    void showOpen() override {
        fileName = m_folder + QStringLiteral("any.qht");
        fileTitle = QStringLiteral("any.qht");
    }
    void showSave() override { fileName.clear(); }
    void showFolder() override { fileName.clear(); }

private:
    QString m_folder;
};

// Counts the times a widget is painted.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void BM_HeadlessBatch(benchmark::State& state) {
    Site& s = site();
    std::FILE* null = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        state.PauseTiming();
        quillane::bench::changeTemplate(s.templatePath);
        state.ResumeTiming();
        const int status = quillane::runConsoleBatch(s.folder, null, null);
        if (status != 0) state.SkipWithError("the headless build did not build every document");
    }
    std::fclose(null);
    state.SetItemsProcessed(state.iterations() * kDocuments);
}

void BM_WindowBatch(benchmark::State& state) {
    Site& s = site();
    quillane::UiSession ui(s.programFolder);
    CountingPrompter prompter;
    ui.setPrompter(&prompter);
    ui.setFileDialogFactory([&s](QWidget*) { return std::make_unique<FolderChoice>(s.folder); });
    quillane::frmHTMLEditor* w = ui.showHtmlEditor();
    QCoreApplication::processEvents();
    PaintCounter counter;
    w->txtTitle->installEventFilter(&counter);
    for (auto _ : state) {
        state.PauseTiming();
        quillane::bench::changeTemplate(s.templatePath);
        state.ResumeTiming();
        w->mnuFileBatch_Click();
        if (prompter.shown != 0 ||
            w->lblStatus->text() !=
                QStringLiteral("Batch build finished: %1 built, 0 not built.").arg(kDocuments))
            state.SkipWithError("the window's batch did not build every document");
    }
    state.SetItemsProcessed(state.iterations() * kDocuments);
    // The window shows the documents as it goes: frames painted per batch.
    state.counters["frames"] = double(counter.paints) / double(state.iterations());
}

BENCHMARK(BM_HeadlessBatch)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WindowBatch)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    site();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
