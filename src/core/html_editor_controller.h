// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/batch_build.h"
#include "core/build_page.h"
#include "core/load_file.h"
#include "core/workspace.h"

#include <QHash>
#include <optional>

namespace quillane {

// The HTML editor's workflow, without any widget: open, save, change template, build and the
// batch, each giving the window's controls the changes they expect, in their order. The window
// forwards its handlers here and shows what it is told.
class HtmlEditorController {
public:
    HtmlEditorController(Session& s, HtmlEditorPort& view, FileDialogPort& dialog);

    static const QString kUntitled; // "Untitled HTML Document"

    void load(); // Form_Load
    void newDocument();
    void open();
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
    // Asks to save what changed; true when the editor may be left.
    bool confirmLeave();

    // The batch: the folder the user chose (asking to save first), "" when cancelled.
    QString chooseBatchFolder();
    // A received folder decides where its pages go: before anything is built, the user is
    // asked once about the documents whose outputs are no web pages or are hidden. Nothing when
    // the user cancels the batch; otherwise the outputs the user let it write (document ->
    // output, as they were when asked).
    using AgreedOutputs = QHash<QString, QString>;
    std::optional<AgreedOutputs> askAboutOtherFiles(const QString& folder,
                                                    const QList<BatchDocument>& documents);
    // Builds every templated document of the folder through the editor, as a user would by
    // hand: reset, read, build. Afterwards CurrentFile names the last document if it was read,
    // and is empty if the last one could not be, so a Save never writes one document over
    // another.
    BatchSummary batchCompile(const QString& folder, const QList<BatchDocument>& documents,
                              const AgreedOutputs& agreed, BatchObserver& observer);

private:
    struct Snapshot {
        Workspace ws;
        QString title, output, caption;
    };
    Snapshot snapshot() const;
    void restore(const Snapshot& saved);
    struct FileUse;
    QString chooseFile(const FileUse& use);
    QString startingFile() const;
    // Reset and read: the one way a document comes into the editor.
    LoadResult readDocument(const QString& path);
    DocumentOutcome buildBatchDocument(const QString& path, const PageRule& rule,
                                       const AgreedOutputs& agreed);

    Session& m_s;
    HtmlEditorPort& m_view;
    FileDialogPort& m_dialog;
};

} // namespace quillane
