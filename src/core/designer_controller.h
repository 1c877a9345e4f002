// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/load_file.h"
#include "core/template_update.h"
#include "core/workspace.h"

namespace quillane {

// The template designer's workflow, without any widget: what each of its commands does to the
// workspace and the file. The template is the workspace, which only this controller changes;
// the window shows it when told to and reports what the user typed.
class DesignerController {
public:
    DesignerController(Session& s, DesignerView& view, FileDialogPort& dialog);

    static const QString kDefaultName; // "Default template"

    void load(); // Form_Load
    void newTemplate();
    void open();
    // Reads a template into the designer (/T:): false after the reader told why not.
    bool openTemplate(const QString& path);
    // File > Open recent: the template at path, after the save question. One that is gone is
    // told and taken off the list.
    void openRecent(const QString& path);
    // The template at path opened as Open opens it, Save writing there (the HTML editor's Edit
    // this page's template); the default template when it cannot be read.
    void editTemplate(const QString& path);
    // File > New page from this template: the template's file, once the save question let the
    // designer go; empty when it stays (cancelled, or a template never saved, which is told).
    QString pageTemplate();
    // True when the template was written; a failed save leaves CurrentFile and IsDirty as they
    // were. Before writing, the template is checked, and what is wrong with it is told: the
    // user may save anyway or cancel; before that, a whole page that declares no charset is
    // offered <meta charset="utf-8">. Saved over a template whose editable sections were
    // others, the documents that use it are offered an update that keeps each block in the
    // section of its name (or the user cancels the save). Afterwards, when the file changed,
    // building their pages is offered.
    bool save();
    bool saveAs();
    // Asks to save what changed; true when the designer may be left.
    bool confirmLeave();

    // What the user typed in the name or the default HTML field: the template changes.
    void templateNameEdited(const QString& text);
    void defaultHtmlEdited(const QString& text);

    void addSection();
    void editSection();
    void deleteSection();
    // Writes the default HTML as it stands to the preview page and opens it in the browser.
    bool preview();
    // Builds the pages of the templated documents that use the template, from its file (asking
    // first to save what changed).
    void rebuildPages();

private:
    // Shows the template as it now stands.
    void show() const;
    QString chooseFile(bool save, const QString& title, const QString& preset);
    // Where the file dialog starts: the open file, or the one last read (after /T:); for a
    // new template, the folder of the template used last.
    QString startingFile() const;
    // Reads a template the user chose into the designer; false (the designer as it was) when
    // it could not be read.
    bool openChosen(const QString& path);
    // The slot of the selected list entry; 0 after telling the user none is.
    int selectedSlot();
    void store(const SectionEdit& edit, int slot);

    // A document whose blocks move.
    struct Pending {
        qsizetype user; // in TemplateUsers::documents
        BlockMove move;
    };
    // Offers to declare UTF-8 in a whole page that declares no charset; false when the user
    // cancels the save.
    bool charsetSettled();
    bool problemsAccepted(const TemplateFile& saved);
    MsgAnswer askToUpdate(const TemplateUsers& users, const QList<Pending>& pending,
                          const QStringList& oldNames, const QStringList& newNames);
    // Rewrites the documents; returns how many were, and the copies made.
    int updateDocuments(const TemplateUsers& users, const QList<Pending>& pending,
                        QStringList& copies);
    void offerBuild(const TemplateUsers& users, int updated, const QStringList& copies);
    void buildPages(const TemplateUsers& users);

    Session& m_s;
    DesignerView& m_view;
    FileDialogPort& m_dialog;
    bool m_offerBuild = true; // false while Save runs for the rebuild command, which builds anyway
};

} // namespace quillane
