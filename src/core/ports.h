// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/batch.h"
#include "formats/message.h"

#include <QString>
#include <functional>
#include <optional>

// The small interfaces through which the shared routines reach the windows and the user.
// The Qt windows implement them; the tests implement them with scripted fakes.

namespace quillane {

// Shows one modal message box and returns the button pressed.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual MsgAnswer show(const Message& message) = 0;
};

// One use of the section editor dialog: what it starts with and, after OK, what it holds.
struct SectionEdit {
    QString caption; // "Adding section ID 3"
    QString name;
    QString html;
    int editable = 0; // the check box: 0 not ticked, 1 ticked, 2 greyed
};
enum class SectionDialogUse {
    Add,     // everything shown, with Cancel
    Edit,    // everything shown, no Cancel
    Content, // the HTML editor's: only the HTML, no Cancel
};

struct Workspace;
class SiteSettingsEditor;
class SitePagesController;

// An editor's window as its controller sees it: it shows the open template or document, and
// offers the dialogs. What the user types in it the window tells the controller.
class EditorView {
public:
    virtual ~EditorView() = default;
    // Shows the workspace: the fields this editor has, and the section list (FillSectionList).
    virtual void showWorkspace(const Workspace& ws) = 0;
    // No section selected any more (in the designer, Edit and Delete disabled with it).
    virtual void clearSectionSelection() = 0;
    // Shows the section editor; nothing when it was cancelled.
    virtual std::optional<SectionEdit> editSection(SectionDialogUse use,
                                                   const SectionEdit& start) = 0;
    // Hands a written page to the desktop's browser; false when none could be started.
    virtual bool openPage(const QString& path) = 0;
    // mnuFileSave_Click; true when the file was written.
    virtual bool save() = 0;
};

// The template designer.
class DesignerView : public EditorView {
public:
    // The row of the section the user selected, -1 for none.
    virtual int selectedSectionRow() const = 0;
    // Builds pages, showing their progress with a way to stop: `build` runs the batch, telling
    // the observer of each document, and returns the line that sums it up, which stays shown
    // until the user closes it.
    virtual void buildPages(const std::function<QString(BatchObserver&)>& build) = 0;
};

// The HTML editor.
class HtmlEditorView : public EditorView {
public:
    // One line on the window's status line ("" clears it).
    virtual void showStatus(const QString& text) = 0;
    // The site settings dialog, modal, on the settings the editor holds.
    virtual void editSiteSettings(SiteSettingsEditor& editor) = 0;
    // New from template: the user picks one of the templates (`selected` chosen at first):
    // its path; "" to pick another in the file dialog; nothing when cancelled.
    virtual std::optional<QString> chooseTemplate(const QStringList& templates,
                                                  qsizetype selected) = 0;
    // The site's pages, modal: the full path of the document the user chose to open, or "".
    virtual QString showSitePages(SitePagesController& pages) = 0;
};

// The common file dialog. Settings persist between uses, so a use that does not set one keeps
// what the previous use left. After a show, fileName is the chosen full path ("" = cancelled)
// and fileTitle its name part.
class FileDialogPort {
public:
    virtual ~FileDialogPort() = default;
    QString dialogTitle;
    QString filter;     // "Description|*.a;*.b"
    QString fileName;   // preset before a show, the full path chosen after it
    QString fileTitle;  // the chosen file's name without its folder
    QString defaultExt; // ".qtf": added to a typed name without an extension
    bool overwritePrompt = false;
    bool pathMustExist = false;
    bool hideReadOnly = true;
    virtual void showOpen() = 0;
    virtual void showSave() = 0;
    // A folder that exists: fileName is the chosen folder ("" = cancelled), preset with the
    // folder to start in. Only the title and the preset are used.
    virtual void showFolder() = 0;
};

// The few program-wide acts.
class AppPort {
public:
    virtual ~AppPort() = default;
    virtual void setBusy(bool busy) = 0; // hourglass over the whole program; calls nest
    virtual void processEvents() = 0;    // give pending events a turn
    virtual void quit() = 0;             // end the program at once, asking nothing
};

// Shows the busy pointer for as long as it lives.
class BusyGuard {
public:
    explicit BusyGuard(AppPort* app) : m_app(app) {
        if (m_app) m_app->setBusy(true);
    }
    ~BusyGuard() {
        if (m_app) m_app->setBusy(false);
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    AppPort* m_app;
};

} // namespace quillane
