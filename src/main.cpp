// SPDX-License-Identifier: GPL-3.0-or-later
// Quillane: design HTML templates, write templated documents, build plain HTML pages.

#include "build/console_batch.h"
#include "core/command_line.h"
#include "core/version.h"
#include "platform/console.h"
#include "served_watch.h"

#include <QCoreApplication>
#include <cstdio>

#ifdef QUILLANE_HAS_UI
#include "ui/run_windows.h"
#endif

int main(int argc, char* argv[]) {
    QStringList args = quillane::platform::programArguments(argc, argv);
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
    const bool batch = cl.hasColon && cl.option == QLatin1String("/B");
    const bool watch = cl.hasColon && cl.option == QLatin1String("/W");
    if (!options.badOption.isEmpty()) {
        if (options.badOption.startsWith(QLatin1String("--serve=")))
            std::fprintf(stderr, "%s: the port is a whole number from 1024 to 65535; see --help.\n",
                         qPrintable(options.badOption));
        else
            std::fprintf(stderr,
                         "%s: the number of jobs is a whole number from 1 to %d; see --help.\n",
                         qPrintable(options.badOption), quillane::kMaxJobs);
        return 2;
    }
    if (options.serve >= 0 && !watch) {
        std::fputs("--serve goes only before /W:<folder>; see --help.\n", stderr);
        return 2;
    }
    if (batch || watch) {
        quillane::ConsoleOptions headless;
        headless.allowOtherFiles = options.allowOtherFiles;
        headless.jobs = options.jobs;
        headless.strict = options.strict;
        if (headless.jobs == 0 && qEnvironmentVariableIsSet("QUILLANE_JOBS")) {
            const QString jobs = qEnvironmentVariable("QUILLANE_JOBS");
            headless.jobs = quillane::parseJobs(jobs);
            if (headless.jobs == 0) {
                std::fprintf(stderr,
                             "QUILLANE_JOBS='%s': the number of jobs is a whole number from 1 "
                             "to %d; see --help.\n",
                             qPrintable(jobs), quillane::kMaxJobs);
                return 2;
            }
        }
        // One write per buffer rather than per page; a person at a terminal still sees each
        // page as it is built.
        if (!quillane::platform::isTerminal(stdout)) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
        QCoreApplication app(argc, argv);
        if (options.serve >= 0) return quillane::runServedWatch(cl.file, headless, options.serve);
        return watch ? quillane::runConsoleWatch(cl.file, stdout, stderr, headless)
                     : quillane::runConsoleBatch(cl.file, stdout, stderr, headless);
    }
    if (options.any()) {
        std::fputs("--allow-other-files, --jobs=, --strict and --serve go only before /B:<folder> "
                   "or /W:<folder>; see --help.\n",
                   stderr);
        return 2;
    }
#ifdef QUILLANE_HAS_UI
    quillane::platform::leaveOwnConsole();
    return quillane::runWindows(argc, argv, text);
#else
    std::fputs("This build of Quillane has no windows; only /B:<folder>, --help and --version "
               "work.\n",
               stderr);
    return 1;
#endif
}
