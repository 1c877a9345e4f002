// Quillane: design HTML templates, write templated documents, build plain HTML pages.

#include "build/headless_build.h"
#include "core/command_line.h"
#include "core/version.h"

#include <QCoreApplication>
#include <cstdio>

#ifdef QUILLANE_HAS_UI
#include "ui/run_windows.h"
#endif

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const QString text = quillane::argumentText(args);

    if (text == QLatin1String("--help")) {
        std::fputs(quillane::usageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (text == QLatin1String("--version")) {
        std::printf("%s %s\n", quillane::kAppTitle, qPrintable(quillane::versionNumberText()));
        return 0;
    }
    const quillane::CommandLine cl = quillane::splitCommandLine(text);
    if (cl.hasColon && cl.option == QLatin1String("/B")) {
        QCoreApplication app(argc, argv);
        return quillane::runHeadlessBatch(cl.file, stdout, stderr);
    }
#ifdef QUILLANE_HAS_UI
    return quillane::runWindows(argc, argv, text);
#else
    std::fputs("This build of Quillane has no windows; only /B:<folder>, --help and --version "
               "work.\n",
               stderr);
    return 1;
#endif
}
