// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/site_settings_dialog.h"

#include "ui/keys.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace quillane {

namespace {

QComboBox* choices(QWidget* parent, const char* name, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    return box;
}

} // namespace

frmSiteSettings::frmSiteSettings(SiteSettingsEditor& editor, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_editor(editor) {
    setObjectName(QStringLiteral("frmSiteSettings"));
    setWindowTitle(QStringLiteral("Site settings"));

    auto* grid = new QGridLayout;
    int row = 0;
    const auto add = [&](const QString& caption, QWidget* field, QWidget* button = nullptr) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, button ? 1 : 2);
        if (button) grid->addWidget(button, row, 2);
        ++row;
    };
    lblFile = new QLabel(this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(new QLabel(QStringLiteral("Site file:"), this), row, 0);
    grid->addWidget(lblFile, row++, 1, 1, 2);

    txtOutput = new QLineEdit(this);
    txtOutput->setObjectName(QStringLiteral("txtOutput"));
    txtOutput->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    cmdBrowseOutput = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdBrowseOutput->setObjectName(QStringLiteral("cmdBrowseOutput"));
    add(QStringLiteral("&Output folder:"), txtOutput, cmdBrowseOutput);
    txtAssets = new QLineEdit(this);
    txtAssets->setObjectName(QStringLiteral("txtAssets"));
    txtAssets->setPlaceholderText(QStringLiteral("none"));
    cmdBrowseAssets = new QPushButton(QStringLiteral("B&rowse..."), this);
    cmdBrowseAssets->setObjectName(QStringLiteral("cmdBrowseAssets"));
    add(QStringLiteral("&Assets folder:"), txtAssets, cmdBrowseAssets);
    // In the order of the enums' values.
    cboSubfolders =
        choices(this, "cboSubfolders",
                {QStringLiteral("yes: a batch also builds the documents in sub-folders"),
                 QStringLiteral("no: only the documents of the folder it is given")});
    add(QStringLiteral("Sub-&folders:"), cboSubfolders);
    cboLinks = choices(
        this, "cboLinks",
        {QStringLiteral("relative: links that start with / are written relative to each page"),
         QStringLiteral("as-written: links stay as the documents have them")});
    add(QStringLiteral("&Links:"), cboLinks);
    cboCheck = choices(this, "cboCheck",
                       {QStringLiteral("yes: report links to files and ids that do not exist"),
                        QStringLiteral("strict: report them, and the build fails when there are "
                                       "any"),
                        QStringLiteral("no: check nothing")});
    add(QStringLiteral("Link &check:"), cboCheck);

    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    for (QPushButton* b : {cmdBrowseOutput, cmdBrowseAssets})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    enterPressesButtons(this);

    setTabOrder(txtOutput, cmdBrowseOutput);
    setTabOrder(cmdBrowseOutput, txtAssets);
    setTabOrder(txtAssets, cmdBrowseAssets);
    setTabOrder(cmdBrowseAssets, cboSubfolders);
    setTabOrder(cboSubfolders, cboLinks);
    setTabOrder(cboLinks, cboCheck);
    setTabOrder(cboCheck, cmdSave);
    setTabOrder(cmdSave, cmdCancel);

    showForm();
    connect(txtOutput, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (!m_showing) m_editor.outputEdited(t);
    });
    connect(txtAssets, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (!m_showing) m_editor.assetsEdited(t);
    });
    connect(cboSubfolders, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_showing) m_editor.subfoldersChosen(SiteSubfolders(i));
    });
    connect(cboLinks, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_showing) m_editor.linksChosen(SiteLinks(i));
    });
    connect(cboCheck, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_showing) m_editor.checkChosen(SiteCheck(i));
    });
    connect(cmdBrowseOutput, &QPushButton::clicked, this, [this] { browse(SiteField::Output); });
    connect(cmdBrowseAssets, &QPushButton::clicked, this, [this] { browse(SiteField::Assets); });
    connect(cmdSave, &QPushButton::clicked, this, &frmSiteSettings::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSiteSettings::cmdCancel_Click);
    txtOutput->setFocus();
}

void frmSiteSettings::showForm() {
    const QScopedValueRollback<bool> showing(m_showing, true);
    const SiteSettingsForm& f = m_editor.form();
    lblFile->setText(QDir::toNativeSeparators(f.file) +
                     (f.exists ? QString() : QStringLiteral(" (new: written when you save)")));
    if (txtOutput->text() != f.output) txtOutput->setText(f.output);
    if (txtAssets->text() != f.assets) txtAssets->setText(f.assets);
    cboSubfolders->setCurrentIndex(int(f.subfolders));
    cboLinks->setCurrentIndex(int(f.links));
    cboCheck->setCurrentIndex(int(f.check));
}

void frmSiteSettings::browse(SiteField field) {
    if (m_editor.browse(field)) showForm();
}

void frmSiteSettings::cmdSave_Click() {
    if (m_editor.save()) {
        done(QDialog::Accepted);
        return;
    }
    QLineEdit* field = m_editor.problemField() == SiteField::Assets   ? txtAssets
                       : m_editor.problemField() == SiteField::Output ? txtOutput
                                                                      : nullptr;
    if (field) {
        field->setFocus();
        field->selectAll();
    }
}

void frmSiteSettings::cmdCancel_Click() {
    reject();
}

void frmSiteSettings::reject() {
    if (m_editor.confirmClose()) QDialog::reject();
}

} // namespace quillane
