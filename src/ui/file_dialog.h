// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ports.h"

#include <QStringList>

class QWidget;

namespace quillane {

// dlgSaveLoad: the common file dialog of a window, on QFileDialog. Settings persist between
// uses; a cancelled dialog leaves fileName empty. The dialog itself asks before replacing a
// file (overwritePrompt), refuses a folder that does not exist (pathMustExist) and adds
// defaultExt to a typed name without an extension.
class QtFileDialog : public FileDialogPort {
public:
    explicit QtFileDialog(QWidget* owner) : m_owner(owner) {}
    void showOpen() override { run(false); }
    void showSave() override { run(true); }
    void showFolder() override;

private:
    void run(bool save);

    QWidget* m_owner;
    QString m_lastFolder; // where the next use starts when its preset names no folder
};

// "Desc|*.a;*.b|Other|*.c" in Qt's form: {"Desc (*.a *.b)", "Other (*.c)"}.
QStringList qtNameFilters(const QString& filter);

} // namespace quillane
