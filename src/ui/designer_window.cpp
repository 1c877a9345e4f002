// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/designer_window.h"

#include "ui/about_box.h"
#include "ui/batch_progress.h"
#include "ui/code_editor.h"
#include "ui/html_editor_window.h"
#include "ui/keys.h"
#include "ui/recent_menu.h"
#include "ui/section_editor.h"
#include "ui/twips.h"
#include "ui/ui_session.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QUrl>
#include <QVBoxLayout>

namespace quillane {

namespace {

// Design size of the client area (below the menu bar) and the smallest outer size, in twips.
constexpr int kClientWidth = 5745;
constexpr int kClientHeight = 5505;
constexpr int kMinOuterWidth = 5865;
constexpr int kMinOuterHeight = 6195;

const QString kTemplateExt = QStringLiteral(".qtf");

PageOpener& pageOpener() {
    static PageOpener opener;
    return opener;
}

template <typename T> T* named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

} // namespace

void setPageOpener(PageOpener opener) {
    pageOpener() = std::move(opener);
}

bool openPageInBrowser(const QString& path) {
    if (pageOpener()) {
        pageOpener()(path);
        return true;
    }
    // A page the preview server shows, or a file.
    return QDesktopServices::openUrl(
        path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
}

frmTemplates::frmTemplates(UiSession& ui, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_ui(ui) {
    setObjectName(QStringLiteral("frmTemplates"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Template designer... Where templates are born!"));
    setFont(layoutFont());

    // Menu bar. The last two items sit on the bar itself and act when clicked, so the bar is
    // kept in the window even where the desktop offers a global menu.
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    mnuFile = named(bar->addMenu(QStringLiteral("&File")), "mnuFile");
    mnuFileNew = named(mnuFile->addAction(QStringLiteral("&New")), "mnuFileNew");
    mnuFileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuFileNewPage =
        named(mnuFile->addAction(QStringLiteral("New &page from this template")), "mnuFileNewPage");
    mnuFileNewPage->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    mnuFIleOpen = named(mnuFile->addAction(QStringLiteral("&Open...")), "mnuFIleOpen");
    mnuFIleOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuFileRecent = addRecentMenu(mnuFile, RecentList::Templates,
                                  [this](const QString& path) { m_controller->openRecent(path); });
    mnuFileBar1 = named(mnuFile->addSeparator(), "mnuFileBar1");
    mnuFileSave = named(mnuFile->addAction(QStringLiteral("&Save")), "mnuFileSave");
    mnuFileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuFileSaveAs = named(mnuFile->addAction(QStringLiteral("Save &As...")), "mnuFileSaveAs");
    mnuFileSaveAs->setShortcut(QKeySequence(Qt::Key_F12));
    mnuFileBar2 = named(mnuFile->addSeparator(), "mnuFileBar2");
    mnuFileRebuild =
        named(mnuFile->addAction(QStringLiteral("&Rebuild pages using this template...")),
              "mnuFileRebuild");
    mnuFileRebuild->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    mnuFileBar3 = named(mnuFile->addSeparator(), "mnuFileBar3");
    mnuFileExit = named(mnuFile->addAction(QStringLiteral("E&xit")), "mnuFileExit");
    mnuHelp = named(bar->addMenu(QStringLiteral("&Help")), "mnuHelp");
    mnuHelpAbout = named(mnuHelp->addAction(QStringLiteral("&About Quillane")), "mnuHelpAbout");
    mnuSpaces = named(bar->addAction(QString(12, u' ')), "mnuSpaces");
    mnuChange = named(bar->addAction(QStringLiteral("CHANGE TO HTML EDITOR")), "mnuChange");
    for (QAction* a :
         {mnuFileNew, mnuFileNewPage, mnuFIleOpen, mnuFileSave, mnuFileSaveAs, mnuFileRebuild})
        a->setShortcutContext(Qt::WindowShortcut);

    // Controls, in tab order.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    const char* captions[] = {"Template name:", "Current sections:", "Default HTML:"};
    for (int i = 0; i < 3; ++i) {
        lblDescription[i] =
            named(new QLabel(QString::fromLatin1(captions[i]), client), "lblDescription");
        lblDescription[i]->setProperty("Index", i);
    }
    placeTwips(lblDescription[0], 120, 120, 1140, 195);
    txtTemplate = named(new QLineEdit(client), "txtTemplate");
    txtTemplate->setMaxLength(std::numeric_limits<int>::max());
    placeTwips(txtTemplate, 1320, 120, 4335, 285);
    placeTwips(lblDescription[1], 120, 480, 1185, 195);
    lstSections = named(new QListWidget(client), "lstSections");
    lstSections->setSelectionMode(QAbstractItemView::SingleSelection);
    lstSections->setSortingEnabled(false);
    placeTwips(lstSections, 120, 720, 5535, 1035);
    placeTwips(lblDescription[2], 120, 2280, 1050, 195);
    rtxDefaultHTML = named(new CodeEditor(client), "rtxDefaultHTML");
    placeTwips(rtxDefaultHTML, 120, 2520, 5535, 2295);
    cmdAdd = named(new QPushButton(QStringLiteral("&Add new section"), client), "cmdAdd");
    placeTwips(cmdAdd, 120, 1800, 1695, 375);
    cmdEdit = named(new QPushButton(QStringLiteral("&Edit section"), client), "cmdEdit");
    cmdEdit->setEnabled(false);
    placeTwips(cmdEdit, 2040, 1800, 1695, 375);
    cmdDelete = named(new QPushButton(QStringLiteral("&Delete section"), client), "cmdDelete");
    cmdDelete->setEnabled(false);
    placeTwips(cmdDelete, 3960, 1800, 1695, 375);
    cmdPreview =
        named(new QPushButton(QStringLiteral("Preview default HTML in browser..."), client),
              "cmdPreview");
    placeTwips(cmdPreview, 120, 4920, 5535, 495);
    for (QPushButton* b : {cmdAdd, cmdEdit, cmdDelete, cmdPreview})
        b->setAutoDefault(false);
    // A caption a little wider in this face than designed is shown whole, not cut.
    for (QLabel* l : lblDescription)
        l->resize(std::max(l->width(), l->sizeHint().width()), l->height());

    setTabOrder(txtTemplate, lstSections);
    setTabOrder(lstSections, rtxDefaultHTML);
    setTabOrder(rtxDefaultHTML, cmdAdd);
    setTabOrder(cmdAdd, cmdEdit);
    setTabOrder(cmdEdit, cmdDelete);
    setTabOrder(cmdDelete, cmdPreview);
    enterPressesButtons(this);

    dlgSaveLoad = m_ui.makeFileDialog(this);
    dlgSaveLoad->defaultExt = kTemplateExt;
    m_controller = std::make_unique<DesignerController>(m_ui.session(), *this, *dlgSaveLoad);

    connect(txtTemplate, &QLineEdit::textChanged, this, &frmTemplates::txtTemplate_Change);
    connect(rtxDefaultHTML, &QsciScintilla::textChanged, this,
            &frmTemplates::rtxDefaultHTML_Change);
    connect(lstSections, &QListWidget::itemSelectionChanged, this,
            &frmTemplates::lstSections_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmTemplates::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmTemplates::cmdEdit_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmTemplates::cmdDelete_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &frmTemplates::cmdPreview_Click);
    connect(mnuFileNew, &QAction::triggered, this, &frmTemplates::mnuFileNew_Click);
    connect(mnuFileNewPage, &QAction::triggered, this, &frmTemplates::mnuFileNewPage_Click);
    connect(mnuFIleOpen, &QAction::triggered, this, &frmTemplates::mnuFIleOpen_Click);
    connect(mnuFileSave, &QAction::triggered, this, &frmTemplates::mnuFileSave_Click);
    connect(mnuFileSaveAs, &QAction::triggered, this, &frmTemplates::mnuFileSaveAs_Click);
    connect(mnuFileRebuild, &QAction::triggered, this, &frmTemplates::mnuFileRebuild_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmTemplates::mnuFileExit_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmTemplates::mnuHelpAbout_Click);
    connect(mnuSpaces, &QAction::triggered, this, &frmTemplates::mnuSpaces_Click);
    connect(mnuChange, &QAction::triggered, this, &frmTemplates::mnuChange_Click);

    resize(twips(this, kClientWidth), twips(this, kClientHeight) + bar->sizeHint().height());
}

frmTemplates::~frmTemplates() = default;

// --- Handlers: the workflow is the controller's ------------------------------------------------

void frmTemplates::Form_Load() {
    m_controller->load();
}

void frmTemplates::mnuFileNew_Click() {
    m_controller->newTemplate();
}

void frmTemplates::mnuFileNewPage_Click() {
    const QString path = m_controller->pageTemplate();
    if (path.isEmpty()) return;
    // The HTML editor opens before this window closes, so the program never runs out of windows.
    frmHTMLEditor* editor = m_ui.showHtmlEditor();
    m_ui.closeDesigner();
    editor->controller().newOnTemplate(path);
}

void frmTemplates::mnuFIleOpen_Click() {
    m_controller->open();
}

bool frmTemplates::mnuFileSave_Click() {
    return m_controller->save();
}

bool frmTemplates::mnuFileSaveAs_Click() {
    return m_controller->saveAs();
}

void frmTemplates::mnuFileRebuild_Click() {
    m_controller->rebuildPages();
}

void frmTemplates::mnuFileExit_Click() {
    if (m_controller->confirmLeave()) m_ui.endProgram();
}

void frmTemplates::mnuChange_Click() {
    if (!m_controller->confirmLeave()) return;
    // The HTML editor opens before this window closes, so the program never runs out of
    // windows in between.
    m_ui.showHtmlEditor();
    m_ui.closeDesigner();
}

void frmTemplates::mnuHelpAbout_Click() {
    showAboutBox(m_ui, this);
}

void frmTemplates::mnuSpaces_Click() {
    m_ui.session().tell(QStringLiteral("You can't click on empty space!"),
                        QStringLiteral("Empty space like your brain"), MsgIcon::Information);
}

void frmTemplates::lstSections_Click() {
    if (selectedSectionRow() < 0) return;
    cmdEdit->setEnabled(true);
    cmdDelete->setEnabled(true);
}

void frmTemplates::cmdAdd_Click() {
    m_controller->addSection();
}

void frmTemplates::cmdEdit_Click() {
    m_controller->editSection();
}

void frmTemplates::cmdDelete_Click() {
    m_controller->deleteSection();
}

bool frmTemplates::cmdPreview_Click() {
    return m_controller->preview();
}

// --- What the user typed, and the DesignerView -----------------------------------------------

void frmTemplates::txtTemplate_Change() {
    if (!m_showing) m_controller->templateNameEdited(txtTemplate->text());
}

void frmTemplates::rtxDefaultHTML_Change() {
    if (!m_showing) m_controller->defaultHtmlEdited(rtxDefaultHTML->text());
}

void frmTemplates::showWorkspace(const Workspace& ws) {
    const QScopedValueRollback<bool> showing(m_showing, true);
    // A field that shows its value already keeps its cursor, selection and undo.
    if (txtTemplate->text() != ws.templateName) txtTemplate->setText(ws.templateName);
    if (rtxDefaultHTML->text() != ws.defaultHtml) rtxDefaultHTML->setText(ws.defaultHtml);
    lstSections->clear();
    for (const SectionListEntry& entry : FillSectionList(ws.sections, EditorMode::Designer))
        lstSections->addItem(entry.name);
}

int frmTemplates::selectedSectionRow() const {
    const QList<QListWidgetItem*> items = lstSections->selectedItems();
    return items.isEmpty() ? -1 : lstSections->row(items.first());
}

void frmTemplates::clearSectionSelection() {
    lstSections->clearSelection();
    cmdEdit->setEnabled(false);
    cmdDelete->setEnabled(false);
}

std::optional<SectionEdit> frmTemplates::editSection(SectionDialogUse use,
                                                     const SectionEdit& start) {
    return runSectionEditor(m_ui, this, use, start);
}

bool frmTemplates::openPage(const QString& path) {
    return openPageInBrowser(path);
}

void frmTemplates::buildPages(const std::function<QString(BatchObserver&)>& build) {
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("frmBuildPages"));
    dialog.setWindowTitle(QStringLiteral("Building the pages using this template"));
    auto* progress = new BatchProgress(&dialog, false, &dialog);
    progress->setMinimumWidth(twips(this, 5000));
    auto* cmdClose = new QPushButton(QStringLiteral("&Close"), &dialog);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->hide();
    connect(cmdClose, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(progress);
    layout->addWidget(cmdClose, 0, Qt::AlignRight);
    // Closed from the title bar or with Escape while it builds: the same as Stop.
    connect(&dialog, &QDialog::rejected, progress, &BatchProgress::stop);
    // While it builds, the dialog stands over the designer and takes the only input.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    progress->run(m_ui.session(), build);
    cmdClose->show();
    cmdClose->setDefault(true);
    cmdClose->setFocus();
    m_ui.runModal(dialog); // the same dialog, now waiting to be closed
}

// --- Window ----------------------------------------------------------------------------------

void frmTemplates::closeWithoutAsking() {
    m_closing = true;
    close();
}

void frmTemplates::closeEvent(QCloseEvent* event) {
    if (m_closing || m_ui.ending()) {
        event->accept();
        return;
    }
    // Only the window manager closes the window this way: treat it as File > Exit.
    if (!m_controller->confirmLeave()) {
        event->ignore();
        return;
    }
    event->accept();
    m_ui.endProgram();
}

void frmTemplates::Form_Resize() {
    if (isMinimized()) return;
    // W and H are the outer size, frame and menu bar included.
    const std::optional<QSize> outer = outerSizeTwips(this, kMinOuterWidth, kMinOuterHeight);
    if (!outer) return; // the resize comes back here
    const int W = outer->width();
    const int H = outer->height();

    txtTemplate->resize(twips(this, W - 1500), txtTemplate->height());
    lstSections->resize(twips(this, W - 300), lstSections->height());
    cmdEdit->move(twips(this, (W - fromPixels(this, cmdEdit->width())) / 2), cmdEdit->y());
    cmdDelete->move(twips(this, W - fromPixels(this, cmdDelete->width()) - 240), cmdDelete->y());
    rtxDefaultHTML->resize(twips(this, W - 300), twips(this, H - 3900));
    cmdPreview->setGeometry(cmdPreview->x(), twips(this, H - 1275), twips(this, W - 330),
                            cmdPreview->height());
}

bool frmTemplates::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (frameMayHaveChanged(event)) Form_Resize();
    return handled;
}

void frmTemplates::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmTemplates::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Form_Resize(); // the frame is known now
}

} // namespace quillane
