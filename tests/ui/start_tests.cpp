// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up routine, the splash, the start window and the program without a display.

#include "core/command_line.h"
#include "ui/run_windows.h"
#include "ui_fixture.h"

#include <QFileInfo>
#include <QPointer>

namespace quillane::test {
namespace {

using StartUp = UiTest;

bool associated() {
#ifdef _WIN32
    // In the tests' own HKEY_CLASSES_ROOT (ui_fixture.h); what each key holds is the shell
    // tests' and scripts/windows-check.sh's.
    DWORD size = 0;
    return RegGetValueW(HKEY_CLASSES_ROOT, L".qht", nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                        &size) == ERROR_SUCCESS &&
           RegGetValueW(HKEY_CLASSES_ROOT, L"Quillane HTML file\\Shell\\Open\\Command", nullptr,
                        RRF_RT_REG_SZ, nullptr, nullptr, &size) == ERROR_SUCCESS;
#else
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    return QFileInfo::exists(data + "/mime/packages/quillane.xml") &&
           QFileInfo::exists(data + "/applications/quillane-document.desktop") &&
           QFileInfo::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list");
#endif
}

frmMain* startWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* start = qobject_cast<frmMain*>(w); start && start->isVisible()) return start;
    return nullptr;
}

// The open windows: the start window, and each editor with its template's name or its
// document's title.
QString windows(UiSession& ui) {
    QStringList open;
    if (startWindow()) open << "start";
    if (ui.designer() && ui.designer()->isVisible())
        open << "designer: " + ui.designer()->txtTemplate->text();
    if (ui.htmlEditor() && ui.htmlEditor()->isVisible())
        open << "editor: " + ui.htmlEditor()->txtTitle->text();
    return open.join(", ");
}

// The argument text (@ is the test's folder) opens the start window under the splash, an
// editor on a file, or nothing; what cannot be opened is told. After /T: and /H: the first
// Save asks where, starting at the file that was opened.
TEST_F(StartUp, EachArgumentOpensItsWindowOrSaysWhy) {
    const QString invalid = "Invalid command line option: %1(don't worry - it won't kill you, "
                            "or will it......:)) | Quillane | exclamation | OK";
    const QString unreadable = "Error parsing file '%1':\r\nFile not found (53) | Error parsing "
                               "file! | exclamation | OK";
    // argument, messages, open windows, splashes, the first Save's preset
    const std::tuple<QString, QString, QString, int, QString> cases[] = {
        {"", "", "start", 1, ""},
        {"/X", invalid.arg("/X"), "start", 1, ""},
        {"/h:@/example.qht", invalid.arg("/h"), "start", 1, ""}, // options are case-sensitive
        {" /T:@/plain.qtf", invalid.arg(" /T"), "start", 1, ""},
        {"/A", invalid.arg("/A"), "start", 1, ""},
        {"@/missing.qht", invalid.arg("missing.qht"), "start", 1, ""},
        {"@/prog", invalid.arg("prog"), "start", 1, ""},
        {"/A:", "Associated files! | Quillane | information | OK", "", 0, ""},
        {"/T:@/plain.qtf", "", "designer: Plain page", 0, "plain.qtf"},
        {"@/PLAIN.QTF", "", "designer: Plain page", 0, "PLAIN.QTF"}, // a file on its own
        {"/T:@/missing.qtf",
         unreadable.arg("missing.qtf") + "\nInvalid file passed to Quillane! Learn how to use "
                                         "files! | ERROR! | critical | OK",
         "", 0, ""},
        {"/H:@/example.qht", "", "editor: My first page", 0, "example.qht"},
        {"@/example.qht", "", "editor: My first page", 0, "example.qht"},
        // A document that cannot be read leaves the editor on its untitled document.
        {"/H:@/missing.qht", unreadable.arg("missing.qht"), "editor: Untitled HTML Document", 0,
         ""},
    };
    for (const auto& [argument, messages, open, splashes, preset] : cases) {
        SCOPED_TRACE(argument.toStdString());
        restart();
        QFile::copy(tmp.filePath("plain.qtf"), tmp.filePath("PLAIN.QTF"));
        Main(*ui, QString(argument).replace(u'@', tmp.path()));
        EXPECT_EQ(told(), messages);
        EXPECT_EQ(windows(*ui), open);
        EXPECT_EQ(modalTitles.size(), splashes);
        EXPECT_EQ(ui->ending(), argument == "/T:@/missing.qtf");
        EXPECT_EQ(associated(), argument == "/A:");
        if (!open.contains("editor") && !open.contains("designer")) continue;
        dialog->choices = {""};
        (ui->designer() ? ui->designer()->mnuFileSave : ui->htmlEditor()->mnuFileSave)->trigger();
        ASSERT_TRUE(dialog && !dialog->uses.empty());
        EXPECT_EQ(QString(dialog->uses.back().fileName).replace(tmp.path() + u'/', ""), preset);
    }
}

TEST_F(StartUp, TheSplashShowsTheVersionOverTheStartWindowUntilItsTimerTicks) {
    QPointer<frmSplash> seen;
    modalSteps.push_back([&](QDialog& d) {
        auto& splash = static_cast<frmSplash&>(d);
        seen = &splash;
        EXPECT_NE(startWindow(), nullptr) << "the start window is up behind the splash";
        EXPECT_EQ(splash.lblVersion->text(), "Version 0.1.2");
        EXPECT_EQ(splash.Timer1->interval(), 1000);
        // Nothing the user does closes it early.
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space, Qt::Key_A})
            QTest::keyClick(&splash, Qt::Key(key));
        QTest::keyClick(&splash, Qt::Key_F4, Qt::AltModifier);
        QTest::mouseClick(&splash, Qt::LeftButton);
        splash.close(); // as the window manager would
        EXPECT_TRUE(splash.isVisible() && splash.Timer1->isActive());
        QMetaObject::invokeMethod(splash.Timer1, "timeout");
        EXPECT_FALSE(splash.isVisible() || splash.Timer1->isActive()) << "it ticks only once";
    });
    Main(*ui, QString());
    EXPECT_TRUE(seen.isNull()) << "the splash is released once it has closed";
    EXPECT_EQ(versionCaption({2, 10, 7, ""}), "Version 2.10.7");
}

// Without a display nothing aborts: /A: registers, everything else says what it needs.
TEST_F(StartUp, WithoutADisplayRegistersOrSaysWhatNeedsOne) {
    const QString needs = " needs a display. Without one, quillane /A: registers the file types "
                          "and quillane /B:<folder> builds a folder.\n";
    const std::tuple<QString, int, QString> cases[] = {
        {"/A:", 0, "Associated files!\n"},
        {"/b:site", 2, invalidOptionMessage("/b") + "\n"},
        {"/H:page.qht", 2, "The HTML editor (/H:)" + needs},
        {"/T:site.qtf", 2, "The template designer (/T:)" + needs},
        {"", 2, "The start window" + needs},
    };
    const QString path = tmp.filePath("stderr");
    for (const auto& [argument, status, said] : cases) {
        std::FILE* err = std::fopen(path.toLocal8Bit().constData(), "w");
        EXPECT_EQ(runWithoutDisplay(argument, err), status);
        std::fclose(err);
        EXPECT_EQ(QString::fromLocal8Bit(readBytes(path)).replace("\r\n", "\n"), said);
    }
    EXPECT_TRUE(associated());
#ifndef _WIN32 // where Windows runs there is a desktop to show windows on

    // DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM: whether windows can be shown.
    const std::tuple<const char*, const char*, const char*, bool> envs[] = {
        {"", "", "wayland;xcb", false},
        {"", "", "offscreen", true},
        {":1", "", "xcb", true},
        {"", "wayland-0", "", true},
    };
    for (const auto& [display, wayland, platform, available] : envs) {
        qputenv("DISPLAY", display);
        qputenv("WAYLAND_DISPLAY", wayland);
        qputenv("QT_QPA_PLATFORM", platform);
        EXPECT_EQ(displayAvailable(), available) << display << wayland << platform;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen"); // as the tests run
#endif
}

class StartWindow : public UiTest {
protected:
    QPointer<frmMain> w;
    void SetUp() override {
        UiTest::SetUp();
        w = showStartWindow(*ui);
    }
    // The window is unloaded, not hidden.
    bool unloaded() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return w.isNull();
    }
};

// The first choice is preset and Enter presses Start; each choice opens its window and
// unloads the start window. The batch build starts at once with its folder question.
TEST_F(StartWindow, EachChoiceOpensItsWindowAndUnloadsTheStartWindow) {
    const QString opens[] = {"designer: Default template", "editor: Untitled HTML Document",
                             "editor: Untitled HTML Document"};
    for (int choice : {0, 1, 2}) {
        SCOPED_TRACE(choice);
        restart();
        if (choice == 0) {
            EXPECT_TRUE(w->optWhere[0]->isChecked());
            QTest::keyClick(w->optWhere[0], Qt::Key_Return);
        } else {
            w->optWhere[choice]->click();
            EXPECT_FALSE(w->optWhere[0]->isChecked()) << "the options form one group";
            w->cmdStart->click();
        }
        EXPECT_TRUE(unloaded());
        EXPECT_EQ(windows(*ui), opens[choice]);
        EXPECT_EQ(choice == 2 ? dialog->uses.at(0).dialogTitle : "",
                  choice == 2 ? "Choose template folder, dont worry about which file" : "");
        EXPECT_FALSE(ui->ending());
        EXPECT_EQ(told(), "");
    }
}

// Between unloading the start window and showing the editor no window is open; the program
// must not take that for its last window closing.
TEST_F(StartWindow, SwitchingToAnEditorDoesNotEndTheProgram) {
    QTimer::singleShot(0, w->cmdStart, &QPushButton::click);
    QTimer::singleShot(150, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_EQ(windows(*ui), "designer: Default template");
}

// Start with no choice asks for one; What the...? shows the about box, whose system
// information button tells when none could be started; the window then stays as it was.
TEST_F(StartWindow, NoChoiceAndTheAboutBoxLeaveTheStartWindowAsItWas) {
    for (QRadioButton* o : w->optWhere)
        o->setAutoExclusive(false), o->setChecked(false);
    w->cmdStart->click();
    EXPECT_EQ(told(),
              "What have you done? Really? Please make a choice! | Quillane | no icon | OK");
    w->optWhere[2]->setChecked(true);
    const auto look = [](QDialog& d) {
        auto& box = static_cast<frmAbout&>(d);
        EXPECT_EQ(box.lblTitle->text(), "Quillane 0.1.2 (compiled March 13, 2004)");
        box.cmdSysInfo->click();
        EXPECT_TRUE(box.isVisible()) << "the about box stays open";
        QTest::keyClick(box.cmdOk, Qt::Key_Return);
        EXPECT_FALSE(box.isVisible());
    };
    modalSteps = {look, look};
    QTest::keyClick(w->cmdWhatThe, Qt::Key_Space);
    QTest::keyClick(w->cmdWhatThe, Qt::Key_Space);
    EXPECT_EQ(modalTitles, QStringList(2, "About Quillane"));
    EXPECT_EQ(sysInfoStarts, 2);
    EXPECT_EQ(told(), "System Information Is Unavailable At This Time | Quillane | no icon | OK");
    EXPECT_FALSE(unloaded());
    EXPECT_TRUE(w->optWhere[2]->isChecked());
    EXPECT_EQ(windows(*ui), "start");
}

// Escape, wherever the focus is, asks before registering the file types; No changes nothing.
TEST_F(StartWindow, EscapeAsksBeforeRegisteringTheFileTypes) {
    const QString question = "This will make you be able to double click Quillane files in "
                             "Explorer to open them. Do you want to do this? | Associate Files | "
                             "question | Yes/No";
    prompter.answers = {MsgAnswer::No};
    QTest::keyClick(w->cmdStart, Qt::Key_Escape);
    EXPECT_EQ(told(), question);
    EXPECT_FALSE(associated());
    prompter.answers = {MsgAnswer::Yes};
    QTest::keyClick(w->optWhere[1], Qt::Key_Escape);
    EXPECT_EQ(told(), question + "\nAssociation Complete (you might need to restart for it to "
                                 "take place - just try it!) | Associate Files | information | OK");
    EXPECT_TRUE(associated());
    EXPECT_EQ(windows(*ui), "start");
}

// Later (Enter on it, not on the default button) and the window manager's close end the
// program.
TEST_F(StartWindow, LaterAndTheWindowManagersCloseEndTheProgram) {
    for (const bool later : {true, false}) {
        SCOPED_TRACE(later);
        restart();
        if (later) {
            w->cmdLater->setFocus();
            QTest::keyClick(w->cmdLater, Qt::Key_Return);
        } else {
            w->close();
        }
        EXPECT_EQ(told(), !later ? ""
                                 : "You'd better come back later, or I'll...\r\n\r\n\r\nJust "
                                   "joking! (but try to come back later anyway :)) Bye for now! "
                                   "| Quillane | information | OK");
        EXPECT_TRUE(unloaded());
        EXPECT_TRUE(ui->ending());
        EXPECT_EQ(windows(*ui), "");
    }
}

} // namespace
} // namespace quillane::test
