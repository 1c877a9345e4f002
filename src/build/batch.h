// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one batch service: every set of documents the program builds (the window's batch, the
// designer's rebuild of a template's pages, /B: and /W:) is a request to it, and what became
// of each document is one report.

#include "build/batch_documents.h"
#include "build/batch_policy.h"
#include "build/document_read.h"
#include "build/template_cache.h"
#include "formats/message.h"
#include "site/site_file.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

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

struct BatchRequest {
    // The documents, named from the folder, in the order they are built; the folder is also
    // the one the write policy is judged from.
    QString folder;
    QList<BatchDocument> documents;
    int jobs = 1; // read and poured at the same time; whatever the number, the outcome is that
                  // of one after the other
    WritePolicy policy;
    // The document as read goes with its report (the window shows each one).
    bool keepDocuments = false;
    // The site the documents belong to: its pages' links are written relative to each page,
    // missing folders are made inside its output folder, its assets are copied after the
    // pages, and the links of every page built are checked, as it says.
    std::optional<SiteSettings> site;
};

// What became of one document, and everything there is to tell about it, in order.
struct DocumentReport {
    QString path; // the batch folder's path joined with the document's name
    DocumentOutcome outcome = DocumentOutcome::NotRead;
    QStringList templateWarnings;  // its template's problems, the first time it is met
    std::vector<Message> messages; // the reader's and the engine's
    QString output;                // the page it names
    QString templatePath;          // the template it names
    QString notAPage;              // why its output was not written (see nonPageReason)
    QString alsoBuiltBy;           // an earlier document of the batch built the same output
    QString outsideSite;           // the site's output folder, which its page lies outside
    FileSignature documentSeen, templateSeen;             // the files as they were read
    std::shared_ptr<const DocumentWithTemplate> document; // as read, when the request keeps them
    bool built() const {
        return outcome == DocumentOutcome::Built || outcome == DocumentOutcome::Unchanged;
    }
};

struct BatchReport {
    QString folder;
    int found = 0;
    int built = 0;     // written or unchanged
    int unchanged = 0; // of those built, the pages that were not written again
    int done = 0;      // documents taken on before the end or a stop
    bool stopped = false;
    int stopSignal = 0;   // what stopped it, when a signal did
    QStringList misnamed; // documents whose names are not valid UTF-8, escaped
    int inSubfolders = 0; // without a site: documents in sub-folders, not built
    // Temporary files left beside the pages by a build that was killed, found and removed.
    int leftoversRemoved = 0;
    // A site's assets copied (the files written), and found there already.
    int assetsCopied = 0, assetsUnchanged = 0;
    QStringList assetsWritten;
    // The link check of a site: how many links are broken, and the pages that hold them.
    bool linksChecked = false;
    int brokenLinks = 0;
    QStringList brokenPages;
    // The lines that arose after the documents (assets, the link check, temporary files of a
    // killed build), which a front end that tells the documents as they come tells last.
    QStringList closingLines;
    // Every line the batch has to tell beyond the pages it built (see reportLines), at most
    // kMaxReportLines of them.
    QStringList lines;
    int linesLeftOut = 0;
};
inline constexpr int kMaxReportLines = 10000;

// Follows a batch: the window shows each document and lets the user stop; the command line
// prints what happened. Called on the thread that runs the batch, in the documents' order.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    virtual void batchStarted(const BatchReport& /*report*/) {}
    virtual void documentStarted(const QString& /*path*/, int /*index*/) {}
    virtual void documentFinished(const DocumentReport& /*report*/) {}
    // Asked after each document; true ends the batch there.
    virtual bool stopRequested() { return false; }
};

// Runs batches. It keeps which templates it has checked (each is checked, and its problems
// told, once, and again after its file changes), so a watch keeps one for its whole run.
class BatchService {
public:
    explicit BatchService(TemplateCache& templates) : m_templates(templates) {}
    BatchReport run(const BatchRequest& request, BatchObserver& observer);

private:
    friend class BatchRun;
    TemplateCache& m_templates;
    QHash<QString, FileSignature> m_checked; // templates checked, as their files were then
};

// What a batch tells of a document it could not read or build for want of memory.
Message outOfMemoryMessage(const QString& fullPath);

// The number of jobs when none is asked for: one per processor this process may run on.
int defaultJobs();

} // namespace quillane
