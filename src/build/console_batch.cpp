// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/console_batch.h"

#include "build/console_output.h"
#include "build/console_run.h"

#include <cstring>

namespace quillane {

BatchRequest consoleRequest(const QString& folder, const QList<BatchDocument>& documents,
                            const ConsoleOptions& options) {
    BatchRequest request;
    request.folder = folder;
    request.documents = documents;
    request.jobs = options.jobs > 0 ? options.jobs : defaultJobs();
    request.policy.otherFiles = options.allowOtherFiles;
    return request;
}

bool listForConsole(const QString& folder, QList<BatchDocument>& documents, Stream& err) {
    QString reason;
    if (listBatchDocuments(folder, documents, reason)) return true;
    err.line(QStringLiteral("Cannot list the folder '") +
             escapeControls(folder.isEmpty() ? QStringLiteral(".") : folder) +
             QStringLiteral("': ") + reason);
    return false;
}

void finishConsoleRun(const BatchReport& report, Stream& out, Stream& err) {
    if (report.leftoversRemoved > 0) err.line(leftoversLine(report.leftoversRemoved));
    out.line(summaryLine(report, SummaryFor::Console));
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
    QList<BatchDocument> documents;
    if (!listForConsole(folder, documents, errStream)) {
        errStream.flush();
        return 2;
    }
    TemplateCache templates;
    BatchService service(templates);
    ConsoleObserver console(outStream, errStream);
    BatchReport report = service.run(consoleRequest(folder, documents, options), console);
    report.stopSignal = platform::StopRequests::pending();
    finishConsoleRun(report, outStream, errStream);
    tellOutputError(outStream, errStream);
    if (report.stopSignal) return platform::StopRequests::exitStatus(report.stopSignal);
    if (outStream.error() || errStream.error()) return 1;
    return report.built == report.found ? 0 : 1;
}

} // namespace quillane
