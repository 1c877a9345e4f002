// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/designer_controller.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace quillane {

class CodeEditor;
class UiSession;

// frmTemplates: the template designer, the workspace's editor for the designer mode.
// It has no close button; a close that still comes from the window manager asks the same
// question as File > Exit and ends the program, or is refused on Cancel.
class frmTemplates : public QMainWindow, public DesignerView {
    Q_OBJECT
public:
    explicit frmTemplates(UiSession& ui, QWidget* parent = nullptr);
    ~frmTemplates() override;

    // Controls under their names.
    std::array<QLabel*, 3> lblDescription{};
    QLineEdit* txtTemplate = nullptr;
    QListWidget* lstSections = nullptr;
    CodeEditor* rtxDefaultHTML = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdPreview = nullptr;
    std::unique_ptr<FileDialogPort> dlgSaveLoad;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileNew = nullptr;
    QAction* mnuFileNewPage = nullptr;
    QAction* mnuFIleOpen = nullptr;
    QMenu* mnuFileRecent = nullptr;
    QAction* mnuFileBar1 = nullptr;
    QAction* mnuFileSave = nullptr;
    QAction* mnuFileSaveAs = nullptr;
    QAction* mnuFileBar2 = nullptr;
    QAction* mnuFileRebuild = nullptr;
    QAction* mnuFileBar3 = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuSpaces = nullptr;
    QAction* mnuChange = nullptr;

    // Event handlers.
    void Form_Load();
    void Form_Resize();
    void txtTemplate_Change();
    void rtxDefaultHTML_Change();
    void lstSections_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    // True when the preview page was written (and handed to the browser).
    bool cmdPreview_Click();
    void mnuFileNew_Click();
    // Switches to the HTML editor on a new page that uses the saved template, after the save
    // question.
    void mnuFileNewPage_Click();
    void mnuFIleOpen_Click();
    // True when the template was written.
    bool mnuFileSave_Click();
    bool mnuFileSaveAs_Click();
    void mnuFileRebuild_Click();
    void mnuFileExit_Click();
    void mnuHelpAbout_Click();
    void mnuSpaces_Click();
    void mnuChange_Click();

    // Closes the window with no question (the switch command and the end of the program).
    void closeWithoutAsking();

    // DesignerView
    void showWorkspace(const Workspace& ws) override;
    int selectedSectionRow() const override;
    void clearSectionSelection() override;
    std::optional<SectionEdit> editSection(SectionDialogUse use, const SectionEdit& start) override;
    bool openPage(const QString& path) override;
    bool save() override { return mnuFileSave_Click(); }
    // A modal dialog with the progress, a Stop button and, at the end, the summary line.
    void buildPages(const std::function<QString(BatchObserver&)>& build) override;

    DesignerController& controller() { return *m_controller; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    UiSession& m_ui;
    std::unique_ptr<DesignerController> m_controller;
    bool m_closing = false;
    bool m_showing = false; // the fields change because the template is shown, not typed
};

// Hands a written preview page to the desktop's browser. Tests replace it so that no browser
// starts; an empty function restores the desktop's own.
using PageOpener = std::function<void(const QString& path)>;
void setPageOpener(PageOpener opener);
// Hands a page to the browser (or to the tests' opener); false when none could be started.
bool openPageInBrowser(const QString& path);

} // namespace quillane
