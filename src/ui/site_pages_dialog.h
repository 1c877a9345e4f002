// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/site_pages.h"

#include <QAbstractTableModel>
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace quillane {

class BatchProgress;
class UiSession;

// The site's pages as a table: document, title, output, template and the page's state, the
// paths shown from the listed folder. Qt::UserRole gives what a column sorts by (the states by
// their weight).
class SitePagesModel : public QAbstractTableModel {
public:
    enum Column { Document, Title, Output, Template, Page, Columns };
    using QAbstractTableModel::QAbstractTableModel;

    void setList(const SitePageList& list);
    const SitePage& page(int row) const { return m_pages[row]; }
    // "12 documents: 9 up to date, 2 out of date, 1 missing"
    QString counts() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<SitePage> m_pages;
    QStringList m_outputs, m_templates; // as shown
};

// frmSitePages: File > Site pages... The documents of a site with the state of their pages,
// filtered as the user types, sorted by any column (Sort by, or the column's header); Enter
// opens the document of the row, Build selected builds the pages of the rows selected.
class frmSitePages : public QDialog {
    Q_OBJECT
public:
    frmSitePages(UiSession& ui, SitePagesController& pages, QWidget* parent = nullptr);

    QLabel* lblSite = nullptr;
    QLineEdit* txtFilter = nullptr;
    QComboBox* cboSort = nullptr;
    QTableView* tblPages = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdBuild = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdClose = nullptr;
    BatchProgress* progress = nullptr;

    SitePagesModel& model() { return *m_model; }
    // The full path of the document to open; empty when none was chosen.
    QString chosen() const { return m_chosen; }

    void cmdOpen_Click();
    void cmdBuild_Click();
    void cmdRefresh_Click();

public slots:
    void reject() override; // Escape: Stop while it builds

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showList();
    // While it builds only Stop takes input.
    void setControlsEnabled(bool enabled);
    void makeCurrentVisible();

    UiSession& m_ui;
    SitePagesController& m_pages;
    SitePagesModel* m_model = nullptr;
    QSortFilterProxyModel* m_view = nullptr;
    QString m_chosen;
};

} // namespace quillane
