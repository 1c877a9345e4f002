// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/site_settings_editor.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillane {

// frmSiteSettings: the settings of a site's file, every one of them editable. It shows the
// editor's settings and tells it what the user changed; Save writes through the editor, which
// refuses settings the file could not be read with. Cancel, Escape and a close from the window
// manager ask to save what changed first.
class frmSiteSettings : public QDialog {
    Q_OBJECT
public:
    frmSiteSettings(SiteSettingsEditor& editor, QWidget* parent = nullptr);

    QLabel* lblFile = nullptr;
    QLineEdit* txtOutput = nullptr;
    QPushButton* cmdBrowseOutput = nullptr;
    QLineEdit* txtAssets = nullptr;
    QPushButton* cmdBrowseAssets = nullptr;
    QComboBox* cboSubfolders = nullptr;
    QComboBox* cboLinks = nullptr;
    QComboBox* cboCheck = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;

    void cmdSave_Click();
    void cmdCancel_Click();

public slots:
    void reject() override; // Escape, and a close from the window manager

private:
    void showForm();
    void browse(SiteField field);

    SiteSettingsEditor& m_editor;
    bool m_showing = false;
};

} // namespace quillane
