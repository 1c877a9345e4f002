// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <array>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

namespace quillane {

class UiSession;

// frmAbout: the program's name, version and build date, a few words about it, the project's
// web-site address and a button that starts the desktop's system-information program.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(UiSession& ui, QWidget* parent = nullptr);

    QPushButton* cmdOk = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QLabel* lblWebsite = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblDescription = nullptr;
    std::array<QFrame*, 2> Line1{};

    // Completes the title from the version record; run once per opening.
    void Form_Load();
    void cmdOk_Click();
    void cmdSysInfo_Click();

private:
    UiSession& m_ui;
};

// Shows a fresh about box modally over parent (through UiSession::runModal).
void showAboutBox(UiSession& ui, QWidget* parent);

// Starts the system-information program; true when one was started. Tests replace it so that
// no real program starts; an empty function restores the desktop's own.
using SysInfoStarter = std::function<bool()>;
void setSysInfoStarter(SysInfoStarter starter);

inline const char* const kWebsiteAddress = "https://quillane.example.org";

} // namespace quillane
