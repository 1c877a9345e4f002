// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>
#include <optional>

class QListWidget;
class QPushButton;

namespace quillane {

// frmChooseTemplate: File > New from template... The templates used before, one chosen at
// first; Enter (or a double click) takes the one chosen, Other template... the file dialog,
// Escape nothing.
class frmChooseTemplate : public QDialog {
    Q_OBJECT
public:
    frmChooseTemplate(const QStringList& templates, qsizetype selected, QWidget* parent = nullptr);

    QListWidget* lstTemplates = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdOther = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The path chosen; "" for another template; nothing when cancelled.
    std::optional<QString> choice() const { return m_choice; }

private:
    QStringList m_templates;
    std::optional<QString> m_choice;
};

} // namespace quillane
