// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;
class QRadioButton;

namespace quillane {

class UiSession;

// frmMain: the start window. The user picks one of three jobs and is led to the window for
// it; it also offers the about box, the file-type registration and a way out.
class frmMain : public QDialog {
    Q_OBJECT
public:
    explicit frmMain(UiSession& ui);

    QLabel* Label1;
    std::array<QRadioButton*, 3> optWhere;
    QPushButton* cmdStart;
    QPushButton* cmdWhatThe;
    QPushButton* cmdAssociate;
    QPushButton* cmdLater;

    void cmdStart_Click();
    void cmdLater_Click();
    void cmdWhatThe_Click();
    void cmdAssociate_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Closes and releases the window; the program goes on.
    void unload();

    UiSession& m_ui;
    bool m_unloading = false;
};

// Creates the start window and shows it, centred and modeless.
frmMain* showStartWindow(UiSession& ui);

} // namespace quillane
