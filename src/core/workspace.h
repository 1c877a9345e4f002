// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/template_cache.h"
#include "core/page_preview.h"
#include "core/ports.h"
#include "formats/section_table.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>

namespace quillane {

// Which editor a shared routine works for.
enum class EditorMode { Designer, HtmlEditor };

// The one editing state both editors use, one at a time: the open template or document as a
// value, and what the editor knows of its file. Only the editors' controllers change it; the
// windows show it and tell the controllers what the user typed.
struct Workspace {
    SectionTable sections;
    bool IsDirty = false;
    QString CurrentFile;
    // The HTML editor's template: its path, which Build reads and Save writes.
    QString TemplatePath;
    // The file the open template or document was last read from or saved to. Unlike
    // CurrentFile it is also set by /T: and /H:. A document's relative paths start from its
    // folder, and a Save As of a file opened that way starts there.
    QString LastFile;

    // The designer's template name (txtTemplate); in the HTML editor the name of the
    // document's template (lblTemplate: "Template used: " and the name).
    QString templateName;
    // The designer's default HTML (rtxDefaultHTML).
    QString defaultHtml;
    // The HTML editor's page title (txtTitle) and output path (txtOutput).
    QString title;
    QString output;
    // The template and output paths as the last document read had them written, so that a
    // relative path is written back relative as long as it still names the same file.
    QString storedTemplatePath;
    QString storedOutputPath;
};

// What this session's builds learnt of the pages they built, for the site's page list; pages
// are named by their clean full paths (pagePath). A page whose bytes were on disk already is
// not written again and keeps its old time stamp, so its time alone would call it out of date:
// the documents and templates it was built from, as they were then, say it is not.
struct BuiltPages {
    struct Sources {
        qint64 documentNs = 0, templateNs = 0; // modification times
    };
    QHash<QString, Sources> sources;
    QSet<QString> brokenLinks; // the pages the link check found broken links in

    // A page a batch built (written or found unchanged).
    void built(const DocumentReport& report);
    // The link check ran over `pages` and found broken links in `broken`, those of
    // BatchReport::brokenPages (the pages of a batch, or the one page of a Build).
    void linksChecked(const QStringList& pages, const QStringList& broken);
    static QString pagePath(const QString& page);
};

// The workspace together with the ports that lead to the open windows and to the user.
// `designer` and `htmlEditor` are null while their window is not open.
struct Session {
    Workspace ws;
    Prompter* prompter = nullptr;
    AppPort* app = nullptr;
    DesignerView* designer = nullptr;
    HtmlEditorView* htmlEditor = nullptr;
    QString programFolder; // holds default.qtf
    TemplateCache templates;
    PagePreview preview; // the pages the windows preview, through the preview server
    BuiltPages builtPages;

    MsgAnswer tell(const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons = MsgButtons::Ok,
                   MsgAnswer defaultButton = MsgAnswer::Ok) const;
    MsgAnswer tell(const Message& message) const;
    QString defaultTemplatePath() const;
    // The open window of that editor, null when there is none.
    EditorView* view(EditorMode mode) const;
    // Shows the workspace in the open window of that editor.
    void showWorkspace(EditorMode mode) const;
};

// Writes the open template's or document's text to path, as both editors save: durably, with
// the busy pointer. On success the workspace counts as unchanged and path is its file; a
// failure is told (path and reason) and changes nothing.
bool saveEditorFile(Session& s, const QString& path, const QString& text);
// Save As once a file is chosen (none: nothing happens): save() writes under the chosen name,
// which becomes the editor's file; when it fails the editor keeps the file it had.
bool saveUnderName(Session& s, const QString& chosen, const std::function<bool()>& save);

// One entry of an editor's section list: the section's name and its slot.
struct SectionListEntry {
    QString name;
    int slot = 0;
    bool operator==(const SectionListEntry&) const = default;
};
// What an editor's section list shows of a table, in slot order: the designer every named
// slot, the HTML editor the named slots that are editable (flag 1).
QList<SectionListEntry> FillSectionList(const SectionTable& table, EditorMode mode);
// The lowest free slot, or a new one at the end. 0 when the template cannot take another
// section; the user has then been told.
int AllocateSectionSlot(Session& s);
// True = go on; false = the user cancelled, or chose to save and nothing was saved.
bool ConfirmSaveChanges(Session& s, EditorMode mode);

// ConfirmSaveChanges for a command that can still come to nothing after the question (its file
// dialog cancelled, its file refused). Answered No, the edits are given up only when the
// command has done its work (done()); a command that ends without it leaves them on screen,
// and they count as unsaved again.
class SaveQuestion {
public:
    SaveQuestion(Session& s, EditorMode mode);
    ~SaveQuestion();
    SaveQuestion(const SaveQuestion&) = delete;
    SaveQuestion& operator=(const SaveQuestion&) = delete;

    bool goOn() const { return m_goOn; }
    void done() { m_dropped = false; }

private:
    Session& m_s;
    bool m_goOn = false;
    bool m_dropped = false; // answered No, and the command has not happened yet
};

// Empties the editor's fields and the section table, and shows it so; ends unchanged.
// CurrentFile, TemplatePath and the HTML editor's template name stay.
void ResetEditor(Session& s, EditorMode mode);
// ResetEditor's change to the workspace alone, shown later (a batch shows at its own pace).
void resetWorkspace(Workspace& ws, EditorMode mode);

// Passes everything of a batch on to another observer; a subclass adds its own part.
class ForwardingObserver : public BatchObserver {
public:
    explicit ForwardingObserver(BatchObserver& next) : m_next(next) {}
    void batchStarted(const BatchReport& r) override { m_next.batchStarted(r); }
    void documentStarted(const QString& path, int index) override {
        m_next.documentStarted(path, index);
    }
    void documentFinished(const DocumentReport& r) override { m_next.documentFinished(r); }
    bool stopRequested() override { return m_next.stopRequested(); }

private:
    BatchObserver& m_next;
};

// Runs a batch on the batch service, noting in the session what it built and what its link
// check found.
BatchReport runBatch(Session& s, const BatchRequest& request, BatchObserver& observer);

// After a batch, what it had to say beyond the pages it built (the lines /B: prints on
// standard error), in one message titled as the window is; nothing when there was nothing.
void tellBatchReport(const Session& s, const BatchReport& report, const QString& title);

// Shows a page as it stands in the browser, at its own address inside the site seen from
// `root` (see PagePreview): in the tab that shows it already, which reloads by itself, or in a
// new one. A server that cannot start, or a browser that cannot, is told under `title`.
bool showPreview(Session& s, EditorView& view, const QString& root, const QString& page,
                 const QByteArray& bytes, const QString& title);

// Says that no browser could be started to show a page, and where the page is.
void tellNoBrowser(const Session& s, const QString& path, const QString& title);

} // namespace quillane
