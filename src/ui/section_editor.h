// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ports.h"

#include <QDialog>
#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillane {

class CodeEditor;
class UiSession;

// frmSections: edits one section (name, HTML, editable flag). A fresh instance for each use,
// prepared by its caller, shown through UiSession::runModal, read back, then discarded.
//
// It closes only through its buttons. Escape is the Cancel button's key and does nothing
// while Cancel is hidden. A close that still comes from the window manager counts as Cancel
// where Cancel is shown and as OK where it is not (the uses that keep whatever was edited).
class frmSections : public QDialog {
    Q_OBJECT
public:
    explicit frmSections(UiSession& ui, QWidget* parent = nullptr);

    // Controls under the names the callers use. lblDescription[1] does not exist (null).
    std::array<QLabel*, 3> lblDescription{};
    QLineEdit* txtSectionName = nullptr;
    CodeEditor* rtxDefaultHTML = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;
    QCheckBox* chkSectEditable = nullptr;

    // "cancel" after Cancel, otherwise empty.
    QString result;

    // The check box as 0 (not ticked), 1 (ticked) or 2 (greyed). Any other value shows as not
    // ticked.
    int editableState() const;
    void setEditableState(int state);
    QString sectionName() const;
    QString html() const;
    void setHtml(const QString& html);

    void cmdOk_Click();
    void cmdCancel_Click();
    void Form_Resize();

public slots:
    void reject() override; // Escape

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void sizeLabels();

    UiSession& m_ui;
};

// One use of the section editor, prepared for it, shown modally and read back: nothing when it
// was cancelled (Add) or dismissed without OK (Content).
std::optional<SectionEdit> runSectionEditor(UiSession& ui, QWidget* parent, SectionDialogUse use,
                                            const SectionEdit& start);

} // namespace quillane
