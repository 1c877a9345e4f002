// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/site_pages_dialog.h"

#include "build/batch_documents.h"
#include "build/batch_report.h"
#include "ui/batch_progress.h"
#include "ui/keys.h"
#include "ui/ui_session.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace quillane {

namespace {

const std::array<QString, SitePagesModel::Columns> kHeaders = {
    QStringLiteral("Document"), QStringLiteral("Title"), QStringLiteral("Output"),
    QStringLiteral("Template"), QStringLiteral("Page")};

} // namespace

void SitePagesModel::setList(const SitePageList& list) {
    beginResetModel();
    m_pages = list.pages;
    const QDir folder(list.folder);
    const auto shown = [&](const QString& path) {
        return QDir::toNativeSeparators(path.isEmpty() ? path : folder.relativeFilePath(path));
    };
    m_outputs.clear();
    m_templates.clear();
    for (const SitePage& p : m_pages) {
        m_outputs << shown(p.output);
        m_templates << shown(p.templatePath);
    }
    endResetModel();
}

QString SitePagesModel::counts() const {
    std::array<int, 5> n{};
    for (const SitePage& p : m_pages)
        ++n[size_t(p.state)];
    QStringList parts;
    for (const PageState s : {PageState::UpToDate, PageState::OutOfDate, PageState::Missing,
                              PageState::BrokenLinks, PageState::NotBuildable})
        if (n[size_t(s)] > 0)
            parts << QStringLiteral("%1 %2").arg(n[size_t(s)]).arg(pageStateText(s));
    const QString documents = m_pages.size() == 1
                                  ? QStringLiteral("1 templated document")
                                  : QStringLiteral("%1 templated documents").arg(m_pages.size());
    return parts.isEmpty() ? documents : documents + QStringLiteral(": ") + parts.join(", ");
}

int SitePagesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_pages.size());
}

int SitePagesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant SitePagesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_pages.size()) return {};
    const SitePage& p = m_pages[index.row()];
    if (role == Qt::ToolTipRole) return index.column() == Page ? p.why : QVariant();
    if (role == Qt::UserRole && index.column() == Page) return int(p.state);
    if (role != Qt::DisplayRole && role != Qt::UserRole) return {};
    switch (index.column()) {
    case Document:
        return QDir::toNativeSeparators(p.name);
    case Title:
        return p.title;
    case Output:
        return m_outputs[index.row()];
    case Template:
        return m_templates[index.row()];
    default:
        return pageStateText(p.state);
    }
}

QVariant SitePagesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= Columns)
        return {};
    return kHeaders[size_t(section)];
}

frmSitePages::frmSitePages(UiSession& ui, SitePagesController& pages, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint),
      m_ui(ui), m_pages(pages) {
    setObjectName(QStringLiteral("frmSitePages"));
    setWindowTitle(QStringLiteral("Site pages"));

    lblSite = new QLabel(this);
    lblSite->setObjectName(QStringLiteral("lblSite"));
    const QString folder = QDir::toNativeSeparators(pages.list().folder);
    lblSite->setText(pages.list().site ? QStringLiteral("Site: %1 (%2)").arg(folder, kSiteFileName)
                                       : QStringLiteral("Folder: %1 (no site file: its own "
                                                        "documents only)")
                                             .arg(folder));
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("any part of a document, title, output, "
                                                 "template or state"));
    txtFilter->setClearButtonEnabled(true);
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    filterLabel->setBuddy(txtFilter);
    cboSort = new QComboBox(this);
    cboSort->setObjectName(QStringLiteral("cboSort"));
    for (const QString& header : kHeaders)
        cboSort->addItem(header);
    auto* sortLabel = new QLabel(QStringLiteral("&Sort by:"), this);
    sortLabel->setBuddy(cboSort);

    m_model = new SitePagesModel(this);
    m_view = new QSortFilterProxyModel(this);
    m_view->setSourceModel(m_model);
    m_view->setSortRole(Qt::UserRole);
    m_view->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_view->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_view->setFilterKeyColumn(-1);
    tblPages = new QTableView(this);
    tblPages->setObjectName(QStringLiteral("tblPages"));
    tblPages->setModel(m_view);
    tblPages->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblPages->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblPages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPages->setTabKeyNavigation(false);
    tblPages->setWordWrap(false);
    tblPages->setSortingEnabled(true);
    tblPages->verticalHeader()->hide();
    // Sized by the font, never by measuring thousands of rows.
    tblPages->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblPages->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    const int chars[] = {22, 26, 28, 14, 12};
    for (int c = 0; c < SitePagesModel::Columns; ++c)
        tblPages->setColumnWidth(c, fontMetrics().averageCharWidth() * chars[c]);
    tblPages->horizontalHeader()->setStretchLastSection(true);
    tblPages->setMinimumSize(fontMetrics().averageCharWidth() * 110, fontMetrics().height() * 20);

    cmdOpen = new QPushButton(QStringLiteral("&Open"), this);
    cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
    cmdBuild = new QPushButton(QStringLiteral("&Build selected"), this);
    cmdBuild->setObjectName(QStringLiteral("cmdBuild"));
    cmdRefresh = new QPushButton(QStringLiteral("&Refresh"), this);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* b : {cmdOpen, cmdBuild, cmdRefresh, cmdClose})
        b->setAutoDefault(false);
    progress = new BatchProgress(this, false, this);

    auto* top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(txtFilter, 1);
    top->addWidget(sortLabel);
    top->addWidget(cboSort);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOpen);
    buttons->addWidget(cmdBuild);
    buttons->addWidget(cmdRefresh);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSite);
    layout->addLayout(top);
    layout->addWidget(tblPages, 1);
    layout->addWidget(progress);
    layout->addLayout(buttons);
    enterPressesButtons(this);
    setTabOrder(txtFilter, cboSort);
    setTabOrder(cboSort, tblPages);
    setTabOrder(tblPages, cmdOpen);
    setTabOrder(cmdOpen, cmdBuild);
    setTabOrder(cmdBuild, cmdRefresh);
    setTabOrder(cmdRefresh, cmdClose);

    connect(txtFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_view->setFilterFixedString(text);
        makeCurrentVisible();
    });
    connect(cboSort, &QComboBox::activated, this,
            [this](int column) { tblPages->sortByColumn(column, Qt::AscendingOrder); });
    connect(tblPages->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column) { cboSort->setCurrentIndex(column); });
    // Enter opens the row, from the list and from the filter; Down goes from the filter to it.
    onEnter(tblPages, [this] { cmdOpen_Click(); });
    onEnter(txtFilter, [this] { cmdOpen_Click(); });
    txtFilter->installEventFilter(this);
    connect(tblPages, &QAbstractItemView::doubleClicked, this, &frmSitePages::cmdOpen_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &frmSitePages::cmdOpen_Click);
    connect(cmdBuild, &QPushButton::clicked, this, &frmSitePages::cmdBuild_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmSitePages::cmdRefresh_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    tblPages->sortByColumn(SitePagesModel::Document, Qt::AscendingOrder);
    showList();
    txtFilter->setFocus();
}

bool frmSitePages::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtFilter && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        tblPages->setFocus();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmSitePages::showList() {
    m_model->setList(m_pages.list());
    const SitePageList& list = m_pages.list();
    progress->showLine(list.problem.isEmpty()
                           ? m_model->counts()
                           : QStringLiteral("The folder cannot be listed: ") + list.problem + u'.');
    makeCurrentVisible();
}

void frmSitePages::makeCurrentVisible() {
    if (!tblPages->currentIndex().isValid() && m_view->rowCount() > 0)
        tblPages->setCurrentIndex(m_view->index(0, 0));
    tblPages->scrollTo(tblPages->currentIndex());
}

void frmSitePages::cmdOpen_Click() {
    const QModelIndex current = tblPages->currentIndex();
    if (!current.isValid() || progress->running()) return;
    m_chosen = batchDocumentPath(m_pages.list().folder,
                                 m_model->page(m_view->mapToSource(current).row()).name);
    accept();
}

void frmSitePages::cmdBuild_Click() {
    if (progress->running()) return;
    QStringList names;
    for (const QModelIndex& row : tblPages->selectionModel()->selectedRows())
        names << m_model->page(m_view->mapToSource(row).row()).name;
    if (names.isEmpty()) {
        progress->showLine(QStringLiteral("Select the documents to build first (Ctrl+A selects "
                                          "them all)."));
        return;
    }
    std::sort(names.begin(), names.end()); // the site's own order
    const std::optional<BatchRequest> request = m_pages.request(names);
    if (!request) return;
    setControlsEnabled(false);
    BatchReport report;
    progress->run(m_ui.session(), [&](BatchObserver& observer) {
        report = m_pages.build(*request, observer);
        return summaryLine(report, SummaryFor::Window);
    });
    setControlsEnabled(true);
    m_model->setList(m_pages.list());
    makeCurrentVisible();
    tblPages->setFocus();
    tellBatchReport(m_ui.session(), report, QStringLiteral("Quillane HTML Editor"));
}

void frmSitePages::setControlsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{txtFilter, cboSort, tblPages, cmdOpen,
                                                      cmdBuild, cmdRefresh, cmdClose})
        w->setEnabled(enabled);
}

void frmSitePages::cmdRefresh_Click() {
    if (progress->running()) return;
    m_pages.refresh();
    showList();
}

void frmSitePages::reject() {
    if (progress->running())
        progress->stop();
    else
        QDialog::reject();
}

} // namespace quillane
