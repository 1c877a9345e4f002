// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/batch.h"
#include "core/document_page.h"
#include "core/load_file.h"
#include "core/workspace.h"

#include <QElapsedTimer>
#include <QHash>
#include <optional>

namespace quillane {

// The HTML editor's workflow, without any widget: open, save, change template, build and the
// batch. The document is the workspace, which only this controller changes; the window shows
// it when told to and reports what the user typed.
class HtmlEditorController {
public:
    HtmlEditorController(Session& s, HtmlEditorView& view, FileDialogPort& dialog);

    static const QString kUntitled; // "Untitled HTML Document"
    // What lblTemplate says of the document's template.
    static QString templateCaption(const Workspace& ws);

    // The document as it stands, for the window to show.
    const Workspace& document() const { return m_s.ws; }

    void load(); // Form_Load
    void newDocument();
    // File > New from template...: a new document on a template the user used before (most
    // recent first, the one this command took last chosen) or picks, after the save question.
    void newFromTemplate();
    // A new document on the template at path, as New makes one on the default template; false
    // after the reader told why the template cannot be used.
    bool newOnTemplate(const QString& path);
    void open();
    // File > Open recent: the document at path, after the save question. One that is gone is
    // told and taken off the list.
    void openRecent(const QString& path);
    // Reads a document into the editor (Open, /H:). A document that cannot be read has been
    // told to the user and leaves the editor as it was.
    LoadResult openDocument(const QString& path);
    void changeTemplate();
    // True when the document was written; a failed save leaves CurrentFile and IsDirty as
    // they were.
    bool save();
    bool saveAs();
    void chooseOutput();
    // Build: the page written, or already on disk as built, is named on the status line.
    bool build();
    // Builds the document as it stands, unsaved edits included, exactly as build() would, into
    // a page of its own in the user's cache folder (named after the document) and opens that in
    // the browser. The output path is not touched.
    bool preview();
    void editSection(int slot);
    // Site settings: the settings of the document's site (the nearest site file above its
    // folder; for a new document, above a folder the user picks) in their dialog. Without a
    // site file, one is made in the document's folder or another the user picks, written only
    // when the user saves it.
    void siteSettings();
    // Site pages: the documents of the document's site (or folder; for a new document, of a
    // folder the user picks) with the state of their pages; the one the user chooses is
    // opened, after the save question.
    void sitePages();
    // Asks to save what changed; true when the editor may be left.
    bool confirmLeave();
    // File > Edit this page's template: the document's template, once the save question let
    // the editor go; empty when it stays (the template is not there, or the user cancelled).
    QString templateToEdit();

    // What the user typed in the title or the output field: the document changes.
    void titleEdited(const QString& text);
    void outputEdited(const QString& text);

    // The batch: the folder the user chose (asking to save first), "" when cancelled.
    QString chooseBatchFolder();
    // A received folder decides where its pages go: before anything is built, the user is
    // asked once about the documents whose outputs are no web pages or are hidden. Nothing when
    // the user cancels the batch; otherwise the outputs the user let it write (document ->
    // output, as they were when asked).
    using AgreedOutputs = QHash<QString, QString>;
    std::optional<AgreedOutputs> askAboutOtherFiles(const QString& folder,
                                                    const QList<BatchDocument>& documents);
    // Builds the templated documents of the folder through the batch service, which writes
    // the pages; each document read becomes the editor's document (takeBatchDocument) with
    // what the reader and the engine had to say told as it comes. The window shows the
    // document of the moment at its own pace, and the last one afterwards.
    BatchReport batchCompile(const QString& folder, const QList<BatchDocument>& documents,
                             const AgreedOutputs& agreed, BatchObserver& observer,
                             const std::optional<SiteSettings>& site = {});
    // One document of a batch, read with its template: it becomes the editor's document as
    // Open would make it, but is not shown. CurrentFile names it when it was read, and is
    // empty when it was not, so that a Save never writes one document over another.
    LoadResult takeBatchDocument(const QString& path, const DocumentWithTemplate& loaded);

private:
    struct FileUse;
    QString chooseFile(const FileUse& use);
    QString startingFile() const;
    // The folder of the document's file; empty for a new document.
    QString documentFolder() const;
    // Where the file dialogs start: the document's folder; for a new document the site (or
    // the folder) of its template, or the folder of the document opened last.
    QString startingFolder() const;
    // What Save As offers a new document: a name from its output path, in the folder that
    // mirrors the page's within its site.
    QString suggestedDocument() const;
    // Where Change... starts when the output is empty: a page named after the document, in the
    // folder that mirrors the document's within the site's output.
    QString suggestedOutput() const;
    // The document's template counts as used (the program's own default template does not).
    void noteTemplate(const QString& path) const;
    // Reads a document the user chose into the editor; false (the editor as it was) when it
    // could not be read.
    bool openChosen(const QString& path);
    // Opens a document the user chose from a list, after the save question.
    void openAsked(const QString& path);
    QString chooseFolder(const QString& title, const QString& preset);
    // Shows the document as it now stands.
    void show() const;
    // Puts a document back as it was, and shows it.
    void restore(const Workspace& saved);
    // Reset and read: the one way a document comes into the editor from its file.
    LoadResult readDocument(const QString& path);
    // The editor's side of one document of a batch: it becomes the editor's document, and
    // the window's events get a turn when a frame is due.
    void showBatchDocument(const DocumentReport& report);

    Session& m_s;
    HtmlEditorView& m_view;
    FileDialogPort& m_dialog;
    QElapsedTimer m_sinceEvents; // since the batch last gave the window's events a turn
};

} // namespace quillane
