#pragma once

#include "core/workspace.h"

#include <QString>
#include <QStringList>

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

// Builds each templated document of the folder as a user would by hand in the HTML editor:
// reset, read, build. Goes on after a bad document. Afterwards CurrentFile names the last
// document if it was read, and is empty if the last one could not be, so that a Save never
// writes one document's contents over another.
BatchSummary BatchCompile(Session& s, const QString& folder, const QStringList& names,
                          BatchObserver& observer);

} // namespace quillane
