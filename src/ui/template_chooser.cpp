// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/template_chooser.h"

#include "ui/keys.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillane {

frmChooseTemplate::frmChooseTemplate(const QStringList& templates, qsizetype selected,
                                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_templates(templates) {
    setObjectName(QStringLiteral("frmChooseTemplate"));
    setWindowTitle(QStringLiteral("New from template"));
    auto* label =
        new QLabel(QStringLiteral("&Templates used before, the most recent first:"), this);
    lstTemplates = new QListWidget(this);
    lstTemplates->setObjectName(QStringLiteral("lstTemplates"));
    label->setBuddy(lstTemplates);
    for (const QString& path : templates) {
        const QFileInfo file(path);
        lstTemplates->addItem(file.fileName() + QStringLiteral("  (") +
                              QDir::toNativeSeparators(file.path()) + u')');
    }
    lstTemplates->setCurrentRow(int(selected));
    lstTemplates->setMinimumWidth(fontMetrics().averageCharWidth() * 60);

    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    cmdOther = new QPushButton(QStringLiteral("&Other template..."), this);
    cmdOther->setObjectName(QStringLiteral("cmdOther"));
    cmdOther->setAutoDefault(false);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOther);
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(lstTemplates);
    layout->addLayout(buttons);
    enterPressesButtons(this);

    const auto take = [this] {
        const int row = lstTemplates->currentRow();
        if (row < 0) return;
        m_choice = m_templates[row];
        accept();
    };
    onEnter(lstTemplates, take);
    connect(lstTemplates, &QListWidget::itemActivated, this, take);
    connect(cmdOk, &QPushButton::clicked, this, take);
    connect(cmdOther, &QPushButton::clicked, this, [this] {
        m_choice = QString();
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    lstTemplates->setFocus();
}

} // namespace quillane
