#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace quillane {

// What became of one templated document of a batch.
enum class DocumentOutcome {
    Built,
    NotRead,          // the reader rejected it or could not read it (and said so)
    ReadStoppedEarly, // the reader stopped at an empty line, saying nothing
    BuildFailed,      // the engine could not build it (and said so)
};

// Follows a batch: the window shows progress and lets the user stop it; the command line
// prints what happened.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    virtual void batchStarted(const QString& /*folder*/, int /*documentsFound*/) {}
    virtual void documentStarted(const QString& /*fullPath*/, int /*index*/) {}
    virtual void documentFinished(const QString& /*fullPath*/, DocumentOutcome /*outcome*/) {}
    // Asked after each document; true ends the batch there.
    virtual bool stopRequested() { return false; }
};

struct BatchSummary {
    int found = 0;
    int built = 0;
    int done = 0; // documents taken on before the end or a stop
    bool stopped = false;
};

// The templated documents of a folder in the order the file system lists them: entries that
// are not folders and whose names end in "qht" (case-sensitive, the dot not required).
// Hidden entries and sub-folders are passed over. False with the reason when the folder
// cannot be listed.
bool listBatchDocuments(const QString& folder, QStringList& names, QString& reason);

// The folder of a chosen file: the chosen path less its last part, separator kept.
QString folderOfChoice(const QString& fullPath, const QString& fileTitle);

// Takes on each document of the folder in listing order: buildOne builds it and says what
// became of it. The observer hears of each document and may stop the batch after any of them.
BatchSummary runBatch(const QString& folder, const QStringList& names, BatchObserver& observer,
                      const std::function<DocumentOutcome(const QString& fullPath)>& buildOne);

} // namespace quillane
