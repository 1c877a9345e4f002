// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/workspace.h"
#include "site/site_file.h"

#include <QString>

namespace quillane {

// The site file as the site settings dialog edits it: the folders as the user types them,
// relative to the site's folder, and the three choices.
struct SiteSettingsForm {
    QString folder;      // the site's folder
    QString file;        // the site file, which Save writes
    bool exists = false; // the file is on disk; otherwise Save creates it
    QString output;
    QString assets; // empty: none
    SiteSubfolders subfolders = SiteSubfolders::Yes;
    SiteLinks links = SiteLinks::Relative;
    SiteCheck check = SiteCheck::Yes;
    bool changed = false;
};

// The field a problem of the settings is in, for the dialog to put the cursor there.
enum class SiteField { None, Output, Assets };

// The site settings dialog's workflow: the settings are a value that the dialog shows and
// reports the user's edits to; Save checks them as the site file will be read, and writes
// nothing while they are wrong.
class SiteSettingsEditor {
public:
    SiteSettingsEditor(Session& s, FileDialogPort& dialog, const SiteSettings& settings,
                       bool exists);

    static const QString kTitle; // "Quillane Site settings"

    const SiteSettingsForm& form() const { return m_form; }

    void outputEdited(const QString& text);
    void assetsEdited(const QString& text);
    void subfoldersChosen(SiteSubfolders value);
    void linksChosen(SiteLinks value);
    void checkChosen(SiteCheck value);
    // Browse...: a folder chosen for the output or assets field, written relative to the
    // site's folder. False when the user cancelled.
    bool browse(SiteField field);

    // Writes the site file. Settings the file could not be read with are told, with what to
    // do, and nothing is written; problemField() then says where the problem is.
    bool save();
    SiteField problemField() const { return m_problem; }
    // Asks to save what changed before the dialog closes; true when it may close.
    bool confirmClose();

    // The file's text for the settings as they stand.
    QString fileText() const;

private:
    Session& m_s;
    FileDialogPort& m_dialog;
    SiteSettingsForm m_form;
    SiteField m_problem = SiteField::None;
};

} // namespace quillane
