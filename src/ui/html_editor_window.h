// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/html_editor_controller.h"

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;

namespace quillane {

class BatchProgress;
class UiSession;

// frmHTMLEditor: the HTML editor, the workspace's editor for the HTML editor mode. It shows
// the document its controller holds and tells it what the user typed. Its controls are public
// under their own names so that the tests reach them as the user would.
class frmHTMLEditor : public QMainWindow, public HtmlEditorView {
    Q_OBJECT
public:
    explicit frmHTMLEditor(UiSession& ui, QWidget* parent = nullptr);
    ~frmHTMLEditor() override;

    static const QString kDesignCaption;

    // Controls, in tab order. lblDescription is the window's array of three labels.
    std::array<QLabel*, 3> lblDescription{};
    QLineEdit* txtTitle = nullptr;
    QLabel* lblTemplate = nullptr;
    QListWidget* lstSections = nullptr;
    QLineEdit* txtOutput = nullptr;
    QPushButton* cmdChangeOutput = nullptr;
    QPushButton* cmdBuild = nullptr;
    // The window's one file dialog.
    std::unique_ptr<FileDialogPort> dlgSaveLoad;

    // Menu bar.
    QMenu* mnuFile = nullptr;
    QAction* mnuFileNew = nullptr;
    QAction* mnuFileNewFromTemplate = nullptr;
    QAction* mnuFIleOpen = nullptr;
    QMenu* mnuFileRecent = nullptr;
    QAction* mnuFileChange = nullptr;
    QAction* mnuFileEditTemplate = nullptr;
    QAction* mnuFileBar1 = nullptr;
    QAction* mnuFileSave = nullptr;
    QAction* mnuFileSaveAs = nullptr;
    QAction* mnuFileBar2 = nullptr;
    QAction* mnuFilePreview = nullptr;
    QAction* mnuFileBatch = nullptr;
    QAction* mnuFileSitePages = nullptr;
    QAction* mnuFileSiteSettings = nullptr;
    QAction* mnuFileBar3 = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuSpaces = nullptr;
    QAction* mnuChange = nullptr;

    // The status line under the controls: what a batch is doing and what it did, what Build
    // wrote; with the batch's bar and Stop button.
    QLabel* lblStatus = nullptr;
    QProgressBar* prgBatch = nullptr;
    QPushButton* cmdStopBatch = nullptr;

    // Handlers.
    void Form_Load();
    void Form_Resize();
    void txtTitle_Change();
    void txtOutput_Change();
    void lstSections_DblClick();
    void cmdChangeOutput_Click();
    void cmdBuild_Click();
    void mnuFileNew_Click();
    void mnuFileNewFromTemplate_Click();
    void mnuFIleOpen_Click();
    void mnuFileRecent_Click(const QString& path);
    void mnuFileChange_Click();
    // Switches to the designer on the document's template, after the save question.
    void mnuFileEditTemplate_Click();
    // True when the document was written.
    bool mnuFileSave_Click();
    bool mnuFileSaveAs_Click();
    void mnuFilePreview_Click();
    void mnuFileBatch_Click();
    void mnuFileSitePages_Click();
    void mnuFileSiteSettings_Click();
    void mnuFileExit_Click();
    void mnuHelpAbout_Click();
    void mnuChange_Click();

    // Builds every templated document of the folder (a path ending in a separator).
    void BatchCompile(const QString& path);
    bool batchRunning() const;
    // Asks a running batch to end after the document it is building.
    void stopBatch();

    // Closes the window with no question (the switch command and the end of the program).
    void closeWithoutAsking();

    // HtmlEditorView
    void showWorkspace(const Workspace& ws) override;
    void clearSectionSelection() override;
    std::optional<SectionEdit> editSection(SectionDialogUse use, const SectionEdit& start) override;
    bool save() override { return mnuFileSave_Click(); }
    bool openPage(const QString& path) override;
    // A line of its own, or a batch's outcome, on as many lines as it needs (also its tooltip).
    void showStatus(const QString& text) override;
    void editSiteSettings(SiteSettingsEditor& editor) override;
    std::optional<QString> chooseTemplate(const QStringList& templates,
                                          qsizetype selected) override;
    QString showSitePages(SitePagesController& pages) override;

    HtmlEditorController& controller() { return *m_controller; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    // Commands are refused while a batch runs; true when this one may go on.
    bool commandAllowed() const;
    void setCommandsEnabled(bool enabled);

    UiSession& m_ui;
    std::unique_ptr<HtmlEditorController> m_controller;
    BatchProgress* m_batch = nullptr;
    std::vector<QAction*> m_commands;
    bool m_closing = false;
    bool m_showing = false; // the fields change because the document is shown, not typed
};

} // namespace quillane
