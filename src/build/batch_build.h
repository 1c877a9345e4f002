// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A batch that builds each document through a function of the caller's (the editors' own
// loops), with the service's documents, policy and report words.

#include "build/batch.h"
#include "build/batch_report.h"

#include <functional>

namespace quillane {

struct BatchSummary {
    int found = 0;
    int built = 0;     // written or unchanged
    int unchanged = 0; // of those built, the pages that were not written again
    int done = 0;      // documents taken on before the end or a stop
    bool stopped = false;

    // Counts one more document taken on, and whether it ends the batch (a stop asked for).
    bool finish(const QString& fullPath, DocumentOutcome outcome, BatchObserver& observer);
};

// Takes on each document of the folder in listing order: buildOne reads and builds it and says
// what became of it. A name that is not valid UTF-8 is not taken on; a document that runs out
// of memory is told to the observer and the batch goes on. The observer hears of each document
// and may stop the batch after any of them.
BatchSummary runBatch(const QString& folder, const QList<BatchDocument>& documents,
                      BatchObserver& observer,
                      const std::function<DocumentOutcome(const QString& fullPath)>& buildOne);

} // namespace quillane
