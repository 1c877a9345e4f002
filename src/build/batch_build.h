// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/message.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace quillane {

// What became of one templated document of a batch.
enum class DocumentOutcome {
    Built,            // its page was written
    Unchanged,        // built, and its page was on disk as built already: not written again
    NotRead,          // the reader rejected it or could not read it (and said so)
    ReadStoppedEarly, // the reader stopped at an empty line, saying nothing
    BuildFailed,      // the engine could not build it (and said so)
    NotAPage,         // its output is no web page, or hidden, and writing it was not allowed
    NameNotUtf8,      // its name is not valid UTF-8, so it cannot be opened by name
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
    // A document ran out of memory while it was read or built; the batch goes on.
    virtual void outOfMemory(const QString& /*fullPath*/, const Message& /*message*/) {}
};

struct BatchSummary {
    int found = 0;
    int built = 0;     // written or unchanged
    int unchanged = 0; // of those built, the pages that were not written again
    int done = 0;      // documents taken on before the end or a stop
    bool stopped = false;

    // Counts one more document taken on, and whether it ends the batch (a stop asked for).
    bool finish(const QString& fullPath, DocumentOutcome outcome, BatchObserver& observer);
};

// What a batch tells of a document it could not read or build for want of memory.
Message outOfMemoryMessage(const QString& fullPath);

// One templated document of a batch folder. A name that is not valid UTF-8 cannot be opened
// through a QString path: it is kept with its bytes escaped ("caf\xE9.qht") and reported.
struct BatchDocument {
    QString name;
    bool nameIsUtf8 = true;
    bool operator==(const BatchDocument&) const = default;
};

// The templated documents of a folder in the order the file system lists them: entries whose
// names end in "qht" (case-sensitive, the dot not required) and that are regular files after
// following links. Hidden entries, sub-folders, FIFOs, sockets and devices (and links to them)
// are passed over; a dangling link is kept, for the reader to report. False with the reason
// when the folder cannot be listed.
bool listBatchDocuments(const QString& folder, QList<BatchDocument>& documents, QString& reason);

// The full path of a document of the batch folder, as the batch opens and shows it.
QString batchDocumentPath(const QString& folder, const QString& name);

// The folder of a chosen file: the chosen path less its last part, separator kept.
QString folderOfChoice(const QString& fullPath, const QString& fileTitle);

// The file-name endings of the pages a batch writes without asking.
inline const QStringList kPageExtensions = {
    QStringLiteral("htm"), QStringLiteral("html"),  QStringLiteral("xhtml"),
    QStringLiteral("xht"), QStringLiteral("shtml"), QStringLiteral("php"),
    QStringLiteral("asp"), QStringLiteral("aspx"),  QStringLiteral("jsp")};
// ".htm, .html, ... or .jsp"
QString pageExtensionList();

// Why a batch must not write a document's output without the user's leave, "" when it is a
// web page it may write: a name without one of kPageExtensions (case-insensitive), or a hidden
// file or folder on the cleaned absolute path that the batch folder's own path does not go
// through. When the output is a link, the file it finally names is checked the same way. The
// reason reads on from "its output '...' ": "is a hidden file". An empty output is left to the
// engine, which reports it.
QString nonPageReason(const QString& resolvedOutput, const QString& batchFolder);

// The same rule for one batch folder, worked out once, in its two parts: the path alone (no
// system call), and for an output that is a link the file it finally names. Safe to share
// between threads.
class PageRule {
public:
    explicit PageRule(const QString& batchFolder);
    QString pathReason(const QString& resolvedOutput) const;
    QString linkReason(const QString& link) const;
    // Both: why the output is not a page a batch writes without asking (see nonPageReason).
    QString nonPageReason(const QString& resolvedOutput) const;
    QString absolute(const QString& path) const; // cleaned, relative ones from the current folder

private:
    QString m_cwd, m_folder, m_realFolder;
};

// Text with its control characters escaped (\n, \r, \t, other C0 controls and DEL as \xNN, C1
// controls and the line and paragraph separators as \uNNNN), so that it stays on one line.
QString escapeControls(const QString& text);

// Takes on each document of the folder in listing order: buildOne reads and builds it and says
// what became of it. A name that is not valid UTF-8 is not taken on; a document that runs out
// of memory is told to the observer and the batch goes on. The observer hears of each document
// and may stop the batch after any of them.
BatchSummary runBatch(const QString& folder, const QList<BatchDocument>& documents,
                      BatchObserver& observer,
                      const std::function<DocumentOutcome(const QString& fullPath)>& buildOne);

} // namespace quillane
