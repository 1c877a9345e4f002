// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/html_editor_window.h"

#include "build/batch_report.h"
#include "ui/about_box.h"
#include "ui/batch_progress.h"
#include "ui/designer_window.h"
#include "ui/keys.h"
#include "ui/recent_menu.h"
#include "ui/section_editor.h"
#include "ui/site_pages_dialog.h"
#include "ui/site_settings_dialog.h"
#include "ui/template_chooser.h"
#include "ui/twips.h"
#include "ui/ui_session.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QStatusBar>

namespace quillane {

const QString frmHTMLEditor::kDesignCaption =
    QStringLiteral("HTML Editor.... Where templates are applied!");

namespace {

// The layout numbers count the window's outer size: the client area (5745 by 4110 at design
// size, which is also the smallest) plus a frame of 120 by 690 for border, title and menu bar.
constexpr int kClientWidth = 5745;
constexpr int kClientHeight = 4110;
constexpr int kMinOuterWidth = 5865;
constexpr int kMinOuterHeight = 4800;
constexpr int kFrameWidth = kMinOuterWidth - kClientWidth;
constexpr int kFrameHeight = kMinOuterHeight - kClientHeight;

void placeLabel(QLabel* label, int left, int top) {
    label->move(twips(label->parentWidget(), left), twips(label->parentWidget(), top));
    label->adjustSize();
}

QString plural(qsizetype n, const char* word) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word)).arg(n == 1 ? "" : "s");
}

} // namespace

frmHTMLEditor::frmHTMLEditor(UiSession& ui, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_ui(ui) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setObjectName(QStringLiteral("frmHTMLEditor"));
    setWindowTitle(kDesignCaption);
    setFont(layoutFont());

    buildControls();
    buildMenus();
    dlgSaveLoad = m_ui.makeFileDialog(this);
    dlgSaveLoad->defaultExt = QStringLiteral(".qht");
    m_controller = std::make_unique<HtmlEditorController>(m_ui.session(), *this, *dlgSaveLoad);

    resize(minimumSizeHint());
}

frmHTMLEditor::~frmHTMLEditor() = default;

void frmHTMLEditor::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->setMinimumSize(twips(client, kClientWidth), twips(client, kClientHeight));
    client->installEventFilter(this);

    auto label = [client](const char* name, const QString& text) {
        auto* l = new QLabel(text, client);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    // Created in tab order.
    lblDescription[0] = label("lblDescription0", QStringLiteral("HTML File title:"));
    placeLabel(lblDescription[0], 120, 120);

    txtTitle = new QLineEdit(HtmlEditorController::kUntitled, client);
    txtTitle->setObjectName(QStringLiteral("txtTitle"));
    // The field shows the whole title, which is what is built and saved.
    txtTitle->setMaxLength(std::numeric_limits<int>::max());
    placeTwips(txtTitle, 1320, 120, 4335, 285);

    lblTemplate = label("lblTemplate", QStringLiteral("Template used: default"));
    placeLabel(lblTemplate, 120, 480);

    lblDescription[1] = label("lblDescription1", QStringLiteral("Sections:"));
    placeLabel(lblDescription[1], 120, 960);

    lstSections = new QListWidget(client);
    lstSections->setObjectName(QStringLiteral("lstSections"));
    lstSections->setSelectionMode(QAbstractItemView::SingleSelection);
    // One line of plain text an entry: laid out from the first entry alone, so that a batch
    // that shows document after document does not measure every name again.
    lstSections->setUniformItemSizes(true);
    lstSections->viewport()->installEventFilter(this);
    placeTwips(lstSections, 120, 1200, 5535, 2205);

    lblDescription[2] = label("lblDescription2", QStringLiteral("Output file to:"));
    placeLabel(lblDescription[2], 120, 720);

    txtOutput = new QLineEdit(client);
    txtOutput->setObjectName(QStringLiteral("txtOutput"));
    txtOutput->setMaxLength(std::numeric_limits<int>::max());
    placeTwips(txtOutput, 1200, 720, 3375, 285);

    cmdChangeOutput = new QPushButton(QStringLiteral("Change..."), client);
    cmdChangeOutput->setObjectName(QStringLiteral("cmdChangeOutput"));
    placeTwips(cmdChangeOutput, 4680, 720, 975, 255);

    cmdBuild = new QPushButton(QStringLiteral("&Build HTML file"), client);
    cmdBuild->setObjectName(QStringLiteral("cmdBuild"));
    cmdBuild->setDefault(true);
    placeTwips(cmdBuild, 120, 3480, 5535, 495);

    lblDescription[0]->setBuddy(txtTitle);
    lblDescription[1]->setBuddy(lstSections);
    lblDescription[2]->setBuddy(txtOutput);
    setTabOrder(txtTitle, lstSections);
    setTabOrder(lstSections, txtOutput);
    setTabOrder(txtOutput, cmdChangeOutput);
    setTabOrder(cmdChangeOutput, cmdBuild);

    connect(txtTitle, &QLineEdit::textChanged, this, [this] { txtTitle_Change(); });
    connect(txtOutput, &QLineEdit::textChanged, this, [this] { txtOutput_Change(); });
    // cmdBuild is the default button: Enter in either text box presses it.
    connect(txtTitle, &QLineEdit::returnPressed, cmdBuild, &QPushButton::click);
    connect(txtOutput, &QLineEdit::returnPressed, cmdBuild, &QPushButton::click);
    connect(cmdChangeOutput, &QPushButton::clicked, this, [this] { cmdChangeOutput_Click(); });
    connect(cmdBuild, &QPushButton::clicked, this, [this] { cmdBuild_Click(); });
    // Enter on an entry opens it, as a double click does.
    onEnter(lstSections, [this] {
        if (QListWidgetItem* item = lstSections->currentItem()) {
            item->setSelected(true);
            lstSections_DblClick();
        }
    });

    m_batch = new BatchProgress(this, true, this);
    statusBar()->addWidget(m_batch, 1);
    lblStatus = m_batch->lblStatus;
    prgBatch = m_batch->prgBatch;
    cmdStopBatch = m_batch->cmdStopBatch;
    enterPressesButtons(this);
}

void frmHTMLEditor::buildMenus() {
    QMenuBar* bar = menuBar();
    auto command = [this](QMenu* menu, const char* name, const QString& caption,
                          const QKeySequence& keys, void (frmHTMLEditor::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(keys);
        if (handler) connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        m_commands.push_back(a);
        return a;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* a = menu->addSeparator();
        a->setObjectName(QLatin1String(name));
        return a;
    };

    mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileNew = command(mnuFile, "mnuFileNew", QStringLiteral("&New"),
                         QKeySequence(Qt::CTRL | Qt::Key_N), &frmHTMLEditor::mnuFileNew_Click);
    mnuFileNewFromTemplate =
        command(mnuFile, "mnuFileNewFromTemplate", QStringLiteral("New from &template..."),
                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                &frmHTMLEditor::mnuFileNewFromTemplate_Click);
    mnuFIleOpen = command(mnuFile, "mnuFIleOpen", QStringLiteral("&Open..."),
                          QKeySequence(Qt::CTRL | Qt::Key_O), &frmHTMLEditor::mnuFIleOpen_Click);
    mnuFileRecent = addRecentMenu(mnuFile, RecentList::Documents,
                                  [this](const QString& path) { mnuFileRecent_Click(path); });
    m_commands.push_back(mnuFileRecent->menuAction());
    mnuFileChange = command(mnuFile, "mnuFileChange", QStringLiteral("&Change template..."),
                            QKeySequence(Qt::Key_F2), &frmHTMLEditor::mnuFileChange_Click);
    mnuFileEditTemplate =
        command(mnuFile, "mnuFileEditTemplate", QStringLiteral("E&dit this page's template"),
                QKeySequence(Qt::CTRL | Qt::Key_T), &frmHTMLEditor::mnuFileEditTemplate_Click);
    mnuFileBar1 = separator(mnuFile, "mnuFileBar1");
    mnuFileSave = command(mnuFile, "mnuFileSave", QStringLiteral("&Save"),
                          QKeySequence(Qt::CTRL | Qt::Key_S), nullptr);
    connect(mnuFileSave, &QAction::triggered, this, [this] { mnuFileSave_Click(); });
    mnuFileSaveAs = command(mnuFile, "mnuFileSaveAs", QStringLiteral("Save &As..."),
                            QKeySequence(Qt::Key_F12), nullptr);
    connect(mnuFileSaveAs, &QAction::triggered, this, [this] { mnuFileSaveAs_Click(); });
    mnuFileBar2 = separator(mnuFile, "mnuFileBar2");
    mnuFilePreview = command(mnuFile, "mnuFilePreview", QStringLiteral("Pre&view page"),
                             QKeySequence(Qt::Key_F5), &frmHTMLEditor::mnuFilePreview_Click);
    mnuFileBatch = command(mnuFile, "mnuFileBatch", QStringLiteral("&Batch build..."),
                           QKeySequence(), &frmHTMLEditor::mnuFileBatch_Click);
    mnuFileSitePages = command(mnuFile, "mnuFileSitePages", QStringLiteral("Site &pages..."),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                               &frmHTMLEditor::mnuFileSitePages_Click);
    mnuFileSiteSettings =
        command(mnuFile, "mnuFileSiteSettings", QStringLiteral("S&ite settings..."), QKeySequence(),
                &frmHTMLEditor::mnuFileSiteSettings_Click);
    mnuFileBar3 = separator(mnuFile, "mnuFileBar3");
    mnuFileExit = command(mnuFile, "mnuFileExit", QStringLiteral("E&xit"), QKeySequence(),
                          &frmHTMLEditor::mnuFileExit_Click);

    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpAbout = command(mnuHelp, "mnuHelpAbout", QStringLiteral("&About Quillane"),
                           QKeySequence(), &frmHTMLEditor::mnuHelpAbout_Click);

    // Only pushes the next item to the right.
    mnuSpaces = bar->addAction(QString(12, u' '));
    mnuSpaces->setObjectName(QStringLiteral("mnuSpaces"));
    mnuChange = bar->addAction(QStringLiteral("CHANGE TO TEMPLATE DESIGNER"));
    mnuChange->setObjectName(QStringLiteral("mnuChange"));
    connect(mnuChange, &QAction::triggered, this, [this] { mnuChange_Click(); });
    m_commands.push_back(mnuChange);
}

// --- the HtmlEditorView ------------------------------------------------------------------------

void frmHTMLEditor::showWorkspace(const Workspace& ws) {
    const QScopedValueRollback<bool> showing(m_showing, true);
    // A field that shows its value already keeps its cursor and undo.
    if (txtTitle->text() != ws.title) txtTitle->setText(ws.title);
    if (txtOutput->text() != ws.output) txtOutput->setText(ws.output);
    const QString caption = HtmlEditorController::templateCaption(ws);
    if (lblTemplate->text() != caption) {
        lblTemplate->setText(caption);
        lblTemplate->adjustSize();
    }
    lstSections->clear();
    for (const SectionListEntry& entry : FillSectionList(ws.sections, EditorMode::HtmlEditor))
        (new QListWidgetItem(entry.name, lstSections))->setData(Qt::UserRole, entry.slot);
}

void frmHTMLEditor::clearSectionSelection() {
    lstSections->clearSelection();
    lstSections->setCurrentRow(-1);
}

std::optional<SectionEdit> frmHTMLEditor::editSection(SectionDialogUse use,
                                                      const SectionEdit& start) {
    return runSectionEditor(m_ui, this, use, start);
}

// --- handlers ----------------------------------------------------------------------------------

void frmHTMLEditor::Form_Load() {
    m_controller->load();
}

void frmHTMLEditor::Form_Resize() {
    QWidget* client = centralWidget();
    if (!client) return;
    int w = fromPixels(client, client->width()) + kFrameWidth;
    int h = fromPixels(client, client->height()) + kFrameHeight;
    if (w < kMinOuterWidth || h < kMinOuterHeight) {
        const int growW = std::max(0, kMinOuterWidth - w);
        const int growH = std::max(0, kMinOuterHeight - h);
        resize(width() + twips(client, growW), height() + twips(client, growH));
        w = std::max(w, kMinOuterWidth);
        h = std::max(h, kMinOuterHeight);
    }
    auto setWidth = [client](QWidget* c, int t) { c->resize(twips(client, t), c->height()); };
    setWidth(txtTitle, w - 1530);
    setWidth(txtOutput, w - 2490);
    cmdChangeOutput->move(twips(client, w - 1185), cmdChangeOutput->y());
    lstSections->resize(twips(client, w - 330), twips(client, h - 2595));
    setWidth(cmdBuild, w - 330);
    cmdBuild->move(cmdBuild->x(), twips(client, h - 1320));
}

void frmHTMLEditor::txtTitle_Change() {
    if (!m_showing) m_controller->titleEdited(txtTitle->text());
}

void frmHTMLEditor::txtOutput_Change() {
    if (!m_showing) m_controller->outputEdited(txtOutput->text());
}

void frmHTMLEditor::lstSections_DblClick() {
    if (!commandAllowed()) return;
    const QList<QListWidgetItem*> selected = lstSections->selectedItems();
    if (selected.isEmpty()) return;
    m_controller->editSection(selected.first()->data(Qt::UserRole).toInt());
}

void frmHTMLEditor::cmdChangeOutput_Click() {
    if (commandAllowed()) m_controller->chooseOutput();
}

void frmHTMLEditor::cmdBuild_Click() {
    if (commandAllowed()) m_controller->build();
}

void frmHTMLEditor::mnuFileNew_Click() {
    if (commandAllowed()) m_controller->newDocument();
}

void frmHTMLEditor::mnuFileNewFromTemplate_Click() {
    if (commandAllowed()) m_controller->newFromTemplate();
}

void frmHTMLEditor::mnuFIleOpen_Click() {
    if (commandAllowed()) m_controller->open();
}

void frmHTMLEditor::mnuFileRecent_Click(const QString& path) {
    if (commandAllowed()) m_controller->openRecent(path);
}

void frmHTMLEditor::mnuFileEditTemplate_Click() {
    if (!commandAllowed()) return;
    const QString path = m_controller->templateToEdit();
    if (path.isEmpty()) return;
    // The designer opens before this window closes, so the program never runs out of windows.
    frmTemplates* designer = m_ui.showDesigner();
    m_ui.closeHtmlEditor();
    designer->controller().editTemplate(path);
}

void frmHTMLEditor::mnuFileChange_Click() {
    if (commandAllowed()) m_controller->changeTemplate();
}

bool frmHTMLEditor::mnuFileSave_Click() {
    return commandAllowed() && m_controller->save();
}

bool frmHTMLEditor::mnuFileSaveAs_Click() {
    return commandAllowed() && m_controller->saveAs();
}

void frmHTMLEditor::mnuFilePreview_Click() {
    if (commandAllowed()) m_controller->preview();
}

bool frmHTMLEditor::openPage(const QString& path) {
    return openPageInBrowser(path);
}

void frmHTMLEditor::mnuFileBatch_Click() {
    if (!commandAllowed()) return;
    const QString folder = m_controller->chooseBatchFolder();
    if (folder.isEmpty()) return;
    BusyGuard busy(m_ui.session().app);
    BatchCompile(folder);
    setWindowTitle(kDesignCaption);
}

void frmHTMLEditor::mnuFileSitePages_Click() {
    if (commandAllowed()) m_controller->sitePages();
}

QString frmHTMLEditor::showSitePages(SitePagesController& pages) {
    frmSitePages dialog(m_ui, pages, this);
    m_ui.runModal(dialog);
    return dialog.chosen();
}

void frmHTMLEditor::mnuFileSiteSettings_Click() {
    if (commandAllowed()) m_controller->siteSettings();
}

void frmHTMLEditor::editSiteSettings(SiteSettingsEditor& editor) {
    frmSiteSettings dialog(editor, this);
    m_ui.runModal(dialog);
}

std::optional<QString> frmHTMLEditor::chooseTemplate(const QStringList& templates,
                                                     qsizetype selected) {
    frmChooseTemplate dialog(templates, selected, this);
    m_ui.runModal(dialog);
    return dialog.result() == QDialog::Accepted ? dialog.choice() : std::nullopt;
}

void frmHTMLEditor::showStatus(const QString& text) {
    m_batch->showLine(text);
}

bool frmHTMLEditor::batchRunning() const {
    return m_batch->running();
}

void frmHTMLEditor::stopBatch() {
    m_batch->stop();
}

void frmHTMLEditor::BatchCompile(const QString& path) {
    if (batchRunning()) return;
    FolderBatch batch;
    QString problem;
    switch (readBatchFolder(path, batch, problem)) {
    case FolderProblem::Unlistable:
        showStatus(QStringLiteral("Batch build: cannot list the folder '") + escapeControls(path) +
                   QStringLiteral("': ") + problem + u'.');
        return;
    case FolderProblem::BadSiteFile:
        showStatus(QStringLiteral("Batch build: ") + escapeControls(problem) +
                   QStringLiteral(" Nothing was built."));
        return;
    case FolderProblem::None:
        break;
    }
    const QList<BatchDocument>& documents = batch.documents;
    if (documents.isEmpty()) {
        showStatus(QStringLiteral("Batch build: no templated documents in '") +
                   escapeControls(path) + QStringLiteral("'.") + subfolderHint(batch.inSubfolders));
        return;
    }
    // Reading every document's output first takes a moment on a large folder: the window says
    // so, shown now, with the dialog that chose the folder gone from it.
    showStatus(QStringLiteral("Batch build: looking at %1...")
                   .arg(plural(documents.size(), "templated document")));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const std::optional<HtmlEditorController::AgreedOutputs> agreed =
        m_controller->askAboutOtherFiles(path, documents);
    if (!agreed) {
        showStatus(QStringLiteral("Batch build cancelled: nothing was built."));
        return;
    }
    // While the batch runs the window shows its progress and refuses every command but Stop.
    setCommandsEnabled(false);
    const auto enable = qScopeGuard([this] { setCommandsEnabled(true); });
    BatchReport report;
    m_batch->run(
        m_ui.session(),
        [&](BatchObserver& progress) {
            report = m_controller->batchCompile(path, documents, *agreed, progress, batch.site);
            report.inSubfolders = batch.inSubfolders;
            return summaryLine(report, SummaryFor::Window);
        },
        [this] {
            showWorkspace(m_controller->document());
            lstSections->doItemsLayout(); // the entries of the document shown, not none
        });
    tellBatchReport(m_ui.session(), report, QStringLiteral("Quillane HTML Editor"));
}

void frmHTMLEditor::mnuFileExit_Click() {
    if (commandAllowed() && m_controller->confirmLeave()) m_ui.endProgram();
}

void frmHTMLEditor::mnuHelpAbout_Click() {
    if (!commandAllowed()) return;
    showAboutBox(m_ui, this);
}

void frmHTMLEditor::mnuChange_Click() {
    if (!commandAllowed() || !m_controller->confirmLeave()) return;
    // The designer opens before this window closes, so the program never runs out of windows.
    m_ui.showDesigner();
    m_ui.closeHtmlEditor();
}

void frmHTMLEditor::closeWithoutAsking() {
    m_closing = true;
    close();
}

// --- events and helpers ------------------------------------------------------------------------

void frmHTMLEditor::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmHTMLEditor::closeEvent(QCloseEvent* event) {
    if (m_closing || m_ui.ending()) {
        event->accept();
        return;
    }
    event->ignore();
    // A close from the window manager is an Exit; during a batch it stops the batch instead.
    if (batchRunning()) {
        stopBatch();
        return;
    }
    mnuFileExit_Click();
    if (m_ui.ending()) event->accept();
}

bool frmHTMLEditor::eventFilter(QObject* watched, QEvent* event) {
    if (lstSections && watched == lstSections->viewport() &&
        event->type() == QEvent::MouseButtonDblClick) {
        lstSections_DblClick();
        return true;
    }
    if (cmdBuild && watched == centralWidget() && event->type() == QEvent::Resize) Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

bool frmHTMLEditor::commandAllowed() const {
    return !batchRunning();
}

void frmHTMLEditor::setCommandsEnabled(bool enabled) {
    for (QAction* a : m_commands)
        a->setEnabled(enabled);
    cmdBuild->setEnabled(enabled);
    cmdChangeOutput->setEnabled(enabled);
    txtTitle->setReadOnly(!enabled);
    txtOutput->setReadOnly(!enabled);
}

} // namespace quillane
