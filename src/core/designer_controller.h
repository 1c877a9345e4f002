#pragma once

#include "core/load_file.h"
#include "core/workspace.h"

namespace quillane {

// The template designer's workflow, without any widget: what each of its commands does to the
// workspace, the file and the window, in the order the window's controls expect. The window
// forwards its handlers here and shows what it is told.
class DesignerController {
public:
    DesignerController(Session& s, DesignerPort& view, FileDialogPort& dialog);

    static const QString kDefaultName; // "Default template"

    void load(); // Form_Load
    void newTemplate();
    void open();
    // Reads a template into the designer (/T:): false after the reader told why not.
    bool openTemplate(const QString& path);
    // True when the template was written; a failed save leaves CurrentFile and IsDirty as they
    // were.
    bool save();
    bool saveAs();
    // Asks to save what changed; true when the designer may be left.
    bool confirmLeave();

    void selectSection();
    void addSection();
    void editSection();
    void deleteSection();
    // Writes the default HTML as it stands to the preview page and opens it in the browser.
    bool preview();

private:
    struct Snapshot {
        Workspace ws;
        QString name, html;
    };
    Snapshot snapshot() const;
    void restore(const Snapshot& saved);
    QString chooseFile(bool save, const QString& title, const QString& preset);
    // Where the file dialog starts: the open file, or the one last read (after /T:).
    QString startingFile() const;
    // The slot of the selected list entry and its row; 0 after telling the user none is.
    int selectedSlot(int& row);
    void store(const SectionEdit& edit, int slot);

    Session& m_s;
    DesignerPort& m_view;
    FileDialogPort& m_dialog;
};

} // namespace quillane
