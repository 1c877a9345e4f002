// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/console_batch.h"

#include "build/console_output.h"
#include "build/console_run.h"

#include <cstring>

namespace quillane {

BatchRequest consoleRequest(const QString& folder, const FolderBatch& batch,
                            const ConsoleOptions& options) {
    BatchRequest request;
    request.folder = folder;
    request.documents = batch.documents;
    request.site = batch.site;
    request.jobs = options.jobs > 0 ? options.jobs : defaultJobs();
    request.policy.otherFiles = options.allowOtherFiles;
    return request;
}

bool listForConsole(const QString& folder, FolderBatch& batch, Stream& err) {
    QString problem;
    switch (readBatchFolder(folder, batch, problem)) {
    case FolderProblem::None:
        return true;
    case FolderProblem::Unlistable:
        err.line(QStringLiteral("Cannot list the folder '") +
                 escapeControls(folder.isEmpty() ? QStringLiteral(".") : folder) +
                 QStringLiteral("': ") + problem);
        return false;
    case FolderProblem::BadSiteFile:
        err.line(escapeControls(problem) + QStringLiteral(" Nothing was built."));
        return false;
    }
    return false;
}

void finishConsoleRun(const BatchReport& report, Stream& out, Stream& err) {
    for (const QString& line : report.closingLines)
        err.line(line);
    out.line(summaryLine(report, SummaryFor::Console));
}

bool failsStrictly(const BatchReport& report, const FolderBatch& batch,
                   const ConsoleOptions& options) {
    return report.brokenLinks > 0 &&
           (options.strict || (batch.site && batch.site->check == SiteCheck::Strict));
}

void tellOutputError(Stream& out, Stream& err) {
    out.flush();
    if (out.error())
        err.line(QStringLiteral("Cannot write to standard output: ") +
                 QString::fromLocal8Bit(std::strerror(out.error())));
    err.flush();
}

int runConsoleBatch(const QString& folder, std::FILE* out, std::FILE* err,
                    const ConsoleOptions& options) {
    const platform::StopRequests stopRequests;
    Stream outStream(out), errStream(err);
    FolderBatch batch;
    if (!listForConsole(folder, batch, errStream)) {
        errStream.flush();
        return 2;
    }
    TemplateCache templates;
    BatchService service(templates);
    ConsoleObserver console(outStream, errStream);
    BatchReport report = service.run(consoleRequest(folder, batch, options), console);
    report.stopSignal = platform::StopRequests::pending();
    report.inSubfolders = batch.inSubfolders;
    finishConsoleRun(report, outStream, errStream);
    tellOutputError(outStream, errStream);
    if (report.stopSignal) return platform::StopRequests::exitStatus(report.stopSignal);
    if (outStream.error() || errStream.error()) return 1;
    return report.built == report.found && !failsStrictly(report, batch, options) ? 0 : 1;
}

} // namespace quillane
