// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/batch_build.h"
#include "build/template_cache.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace quillane {

// What became of one templated document of a batch, with what is to be told about it.
struct DocumentBuild {
    DocumentOutcome outcome = DocumentOutcome::NotRead;
    std::vector<Message> messages;             // in the order they arose
    QString output;                            // the page it names
    QString templatePath;                      // the template it names
    std::shared_ptr<const TemplateRead> templ; // that template as read, when it was
    QString notAPage;                          // why its output was not written (see nonPageReason)
    QString alsoBuiltBy; // an earlier document of the batch built the same output
    FileSignature documentSeen, templateSeen; // the files as they were read
};

struct PipelineOptions {
    int jobs = 1; // documents read and poured at the same time; 1: one after the other
    bool allowOtherFiles = false; // write outputs that are no web pages, or hidden, as well
};

// Builds the documents of a batch folder. With more than one job, worker threads read and pour
// the documents ahead of the one being written, but everything that can be seen is as when
// they are built one after the other in listing order: the pages are written in that order by
// one thread, and a document whose inputs (the document, its template, the page it compares
// with) were replaced by the page of an earlier document after it was read is read again
// before its page is written. Two documents with one output: the later one's page stays, and
// the later one is told (alsoBuiltBy). `told` hears of each document just before the observer
// is told that it is finished; the observer may stop the batch after any document (the ones
// read ahead are dropped unwritten).
BatchSummary runBuildPipeline(
    const QString& folder, const QList<BatchDocument>& documents, const PipelineOptions& options,
    TemplateCache& templates, BatchObserver& observer,
    const std::function<void(const QString& fullPath, const DocumentBuild& build)>& told);

// The number of jobs when none is asked for: one per processor this process may run on.
int defaultJobs();

} // namespace quillane
