// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/batch_build.h"

#include <new>

namespace quillane {

bool BatchSummary::finish(const QString& fullPath, DocumentOutcome outcome,
                          BatchObserver& observer) {
    if (outcome == DocumentOutcome::Built || outcome == DocumentOutcome::Unchanged) ++built;
    if (outcome == DocumentOutcome::Unchanged) ++unchanged;
    ++done;
    observer.documentFinished(fullPath, outcome);
    if (!observer.stopRequested()) return false;
    stopped = done < found;
    return true;
}

BatchSummary runBatch(const QString& folder, const QList<BatchDocument>& documents,
                      BatchObserver& observer,
                      const std::function<DocumentOutcome(const QString& fullPath)>& buildOne) {
    BatchSummary summary;
    summary.found = int(documents.size());
    observer.batchStarted(folder, summary.found);
    for (const BatchDocument& doc : documents) {
        const QString full = batchDocumentPath(folder, doc.name);
        observer.documentStarted(full, summary.done);
        DocumentOutcome outcome = DocumentOutcome::NameNotUtf8;
        if (doc.nameIsUtf8) {
            try {
                outcome = buildOne(full);
            } catch (const std::bad_alloc&) {
                // What was taken for this document is free again once it has unwound.
                outcome = DocumentOutcome::NotRead;
                observer.outOfMemory(full, outOfMemoryMessage(full));
            }
        }
        if (summary.finish(full, outcome, observer)) break;
    }
    return summary;
}

} // namespace quillane
