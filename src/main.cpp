// Quillane: design HTML templates, write templated documents, build plain HTML pages.

#include "build/headless_build.h"
#include "core/command_line.h"
#include "core/version.h"

#include <QCoreApplication>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#ifdef QUILLANE_HAS_UI
#include "ui/run_windows.h"
#endif

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const quillane::LeadingOptions options = quillane::takeLeadingOptions(args);
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
#ifdef Q_OS_UNIX
        // One write per buffer rather than per page; a person at a terminal still sees each
        // page as it is built.
        if (!::isatty(STDOUT_FILENO)) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
#endif
        QCoreApplication app(argc, argv);
        quillane::HeadlessOptions headless;
        headless.allowOtherFiles = options.allowOtherFiles;
        return quillane::runHeadlessBatch(cl.file, stdout, stderr, headless);
    }
    if (options.allowOtherFiles) {
        std::fputs("--allow-other-files goes only before /B:<folder>; see --help.\n", stderr);
        return 2;
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
