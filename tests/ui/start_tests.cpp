// The start window, the splash and the start-up routine, offscreen with scripted messages.

#include "core/command_line.h"
#include "support/fakes.h"
#include "ui/designer_window.h"
#include "ui/html_editor_window.h"
#include "ui/main_routine.h"
#include "ui/run_windows.h"
#include "ui/splash.h"
#include "ui/start_window.h"
#include "ui/ui_session.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::test;

namespace {

const QString kTemplate = QString::fromLatin1(
    crlf({"#QT1#", "Plain", "#DEFAULTHTML#", "<h1>::title::</h1>::body::", "#ENDDEFAULTHTML#",
          "#STARTSECTION#", "body", " 1 ", "<p>text</p>", "#STARTSECTION#"}));
const QString kBatchDialogTitle = "Choose template folder, dont worry about which file";

void expectMessage(const Message& m, const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons = MsgButtons::Ok) {
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.title, title);
    EXPECT_EQ(m.icon, icon);
    EXPECT_EQ(m.buttons, buttons);
}

class StartTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<UiSession> ui;
    // What a test does while the splash is up; without it the splash's timer ticks at once.
    std::function<void(frmSplash&)> whileSplash;
    int splashes = 0;
    int otherModals = 0;
    QStringList dialogTitles; // every use of a file dialog

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Fresh scripts, also when a table-driven test starts over within itself.
        prompter = ScriptedPrompter{};
        dialogTitles.clear();
        splashes = otherModals = 0;
        // Registration writes below these; the real home is never touched.
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            qputenv(name, dir.filePath(name).toLocal8Bit());
        QFile::copy(QUILLANE_SOURCE_DIR "/default.qtf", dir.filePath("default.qtf"));
        newSession();
    }
    void TearDown() override {
        ui.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qDeleteAll(QApplication::topLevelWidgets());
    }

    void newSession() {
        ui = std::make_unique<UiSession>(dir.path());
        ui->setPrompter(&prompter);
        ui->setFileDialogFactory([this](QWidget*) {
            struct Recording : ScriptedFileDialog {
                QStringList* titles;
                void showOpen() override {
                    *titles << dialogTitle;
                    ScriptedFileDialog::showOpen();
                }
            };
            auto d = std::make_unique<Recording>();
            d->titles = &dialogTitles;
            return d;
        });
        ui->setModalRunner([this](QDialog& d) {
            auto* splash = qobject_cast<frmSplash*>(&d);
            if (!splash) return void(++otherModals);
            ++splashes;
            splash->show();
            whileSplash ? whileSplash(*splash) : tick(*splash);
        });
    }

    static void tick(frmSplash& splash) { QMetaObject::invokeMethod(splash.Timer1, "timeout"); }

    static frmMain* startWindow() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* start = qobject_cast<frmMain*>(w); start && start->isVisible()) return start;
        return nullptr;
    }

    bool associated() const {
        for (const char* f : {"XDG_DATA_HOME/mime/packages/quillane.xml",
                              "XDG_DATA_HOME/applications/quillane-document.desktop",
                              "XDG_DATA_HOME/applications/quillane-template.desktop",
                              "XDG_CONFIG_HOME/mimeapps.list"})
            if (!QFileInfo::exists(dir.filePath(f))) return false;
        return true;
    }
};

TEST_F(StartTest, NoArgumentShowsTheStartWindowWithTheSplashOverItUntilItsTimerTicks) {
    QPointer<frmSplash> seen;
    whileSplash = [&](frmSplash& splash) {
        seen = &splash;
        ASSERT_NE(startWindow(), nullptr) << "the start window is up behind the splash";
        EXPECT_EQ(splash.lblVersion->text(), "Version 0.1.2");
        ASSERT_TRUE(splash.Timer1->isActive());
        EXPECT_EQ(splash.Timer1->interval(), 1000);

        // Nothing the user does closes it early.
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter, Qt::Key_A})
            QTest::keyClick(&splash, Qt::Key(key));
        QTest::keyClick(&splash, Qt::Key_F4, Qt::AltModifier);
        QTest::mouseClick(&splash, Qt::LeftButton);
        QTest::mouseDClick(splash.lblProductName, Qt::LeftButton);
        splash.close(); // as the window manager would
        EXPECT_TRUE(splash.isVisible());
        EXPECT_TRUE(splash.Timer1->isActive());

        tick(splash);
        EXPECT_FALSE(splash.isVisible());
        EXPECT_FALSE(splash.Timer1->isActive()) << "it ticks only once";
    };
    Main(*ui, QString());

    EXPECT_EQ(splashes, 1);
    EXPECT_TRUE(seen.isNull()) << "the splash is released once it has closed";
    ASSERT_NE(startWindow(), nullptr);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(versionCaption({2, 10, 7, ""}), "Version 2.10.7");
}

TEST_F(StartTest, AnInvalidOptionIsReportedThenTheStartWindowAndSplashFollow) {
    writeFile(dir, "notes.txt", "text");
    const struct {
        const char* argument;
        const char* shownOption;
    } cases[] = {
        {"/X", "/X"},                   // unknown option, no colon
        {"/h:page.qht", "/h"},          // options are compared case-sensitively
        {" /T:page.qtf", " /T"},        // a blank before the option
        {"/A", "/A"},                   // a known letter without its colon
        {"missing.qht", "missing.qht"}, // no such document
        {"notes.txt", "notes.txt"},     // a file, but not one of ours
    };
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        prompter.shown.clear();
        splashes = 0;
        Main(*ui, c.argument);
        ASSERT_EQ(prompter.shown.size(), 1u);
        expectMessage(prompter.last(),
                      QString("Invalid command line option: ") + c.shownOption +
                          "(don't worry - it won't kill you, or will it......:))",
                      "Quillane", MsgIcon::Exclamation);
        EXPECT_EQ(splashes, 1);
        frmMain* start = startWindow();
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(ui->designer(), nullptr);
        EXPECT_EQ(ui->htmlEditor(), nullptr);
        delete start;
    }
    QDir::setCurrent(cwd);
}

TEST_F(StartTest, AFileNamedOnItsOwnOpensInTheEditorForItsType) {
    writeFile(dir, "site.qtf", kTemplate.toLatin1());
    writeFile(dir, "SITE.QTF", kTemplate.toLatin1());
    writeFile(dir, "page.qht",
              crlf({"#QH1#", "Title", "site.qtf", "page.html", "#STARTSECTION#", "<p>mine</p>",
                    "#STARTSECTION#"}));
    for (const char* name : {"site.qtf", "SITE.QTF", "page.qht"}) {
        SCOPED_TRACE(name);
        const bool document = QByteArray(name).endsWith("qht");
        newSession();
        Main(*ui, dir.filePath(name));
        EXPECT_EQ(ui->designer() != nullptr, !document);
        EXPECT_EQ(ui->htmlEditor() != nullptr, document);
        EXPECT_FALSE(ui->ending()) << "a file that reads is not an invalid one";
        EXPECT_EQ(startWindow(), nullptr);
    }
    EXPECT_EQ(QFileInfo(ui->ws().TemplatePath).fileName(), "site.qtf");
    EXPECT_TRUE(prompter.shown.empty()) << prompter.texts().join('|').toStdString();
}

TEST_F(StartTest, RegisterOptionRegistersTheFileTypesReportsItAndOpensNoWindow) {
    for (const char* argument : {"/A:", "/A:anything at all"}) {
        SCOPED_TRACE(argument);
        prompter.shown.clear();
        QDir(dir.filePath("XDG_DATA_HOME")).removeRecursively();
        Main(*ui, argument);
        EXPECT_TRUE(associated());
        ASSERT_EQ(prompter.shown.size(), 1u);
        expectMessage(prompter.last(), "Associated files!", "Quillane", MsgIcon::Information);
        const QWidgetList all = QApplication::topLevelWidgets();
        EXPECT_TRUE(
            std::none_of(all.begin(), all.end(), [](QWidget* w) { return w->isVisible(); }));
        EXPECT_EQ(splashes, 0);
    }
    // The entries start this very program.
    EXPECT_TRUE(
        readBytes(dir.filePath("XDG_DATA_HOME/applications/quillane-template.desktop"))
            .contains("Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\" /T:%f"));
}

// Without a display nothing aborts: /A: registers, everything else says what it needs.
TEST_F(StartTest, WithoutADisplayRegistersOrSaysWhatNeedsOne) {
    const QString needs = " needs a display. Without one, quillane /A: registers the file types "
                          "and quillane /B:<folder> builds a folder.\n";
    const std::tuple<QString, int, QString> cases[] = {
        {"/A:", 0, "Associated files!\n"},
        {"/b:site", 2, invalidOptionMessage("/b") + "\n"},
        {"/H:page.qht", 2, "The HTML editor (/H:)" + needs},
        {"", 2, "The start window" + needs},
    };
    const QString path = dir.filePath("stderr");
    for (const auto& [argument, status, said] : cases) {
        std::FILE* err = std::fopen(path.toLocal8Bit().constData(), "w");
        EXPECT_EQ(runWithoutDisplay(argument, err), status);
        std::fclose(err);
        EXPECT_EQ(QString::fromLocal8Bit(readBytes(path)), said);
    }
    EXPECT_TRUE(associated());

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
}

class StartWindowTest : public StartTest {
protected:
    QPointer<frmMain> w;
    void SetUp() override {
        StartTest::SetUp();
        w = showStartWindow(*ui);
    }
    void TearDown() override {
        delete w.data();
        StartTest::TearDown();
    }
    // The window is unloaded, not hidden.
    bool unloaded() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return w.isNull();
    }
};

TEST_F(StartWindowTest, EachChoiceOpensItsWindowAndUnloadsTheStartWindow) {
    for (int choice : {0, 1, 2}) {
        SCOPED_TRACE(choice);
        TearDown();
        SetUp();
        if (choice == 0) {
            // The first choice is preset, and Enter presses Start.
            EXPECT_TRUE(w->optWhere[0]->isChecked());
            QTest::keyClick(w->optWhere[0], Qt::Key_Return);
        } else {
            w->optWhere[choice]->click();
            EXPECT_FALSE(w->optWhere[0]->isChecked()) << "the options form one group";
            w->cmdStart->click();
        }
        EXPECT_TRUE(unloaded());
        EXPECT_EQ(ui->designer() != nullptr, choice == 0);
        EXPECT_EQ(ui->htmlEditor() != nullptr, choice != 0);
        // The batch build starts at once with its folder question; cancelled, the editor stays.
        EXPECT_EQ(dialogTitles, choice == 2 ? QStringList{kBatchDialogTitle} : QStringList());
        if (choice != 0) {
            EXPECT_TRUE(ui->htmlEditor()->isVisible());
        }
        EXPECT_FALSE(ui->ending());
        EXPECT_TRUE(prompter.shown.empty());
    }
}

TEST_F(StartWindowTest, StartWithNoChoiceAsksForOneAndStays) {
    for (QRadioButton* o : w->optWhere)
        o->setAutoExclusive(false), o->setChecked(false);
    w->cmdStart->click();
    ASSERT_EQ(prompter.shown.size(), 1u);
    expectMessage(prompter.last(), "What have you done? Really? Please make a choice!", "Quillane",
                  MsgIcon::None);
    EXPECT_FALSE(unloaded());
    EXPECT_EQ(ui->designer(), nullptr);
    EXPECT_EQ(ui->htmlEditor(), nullptr);
}

TEST_F(StartWindowTest, EscapeAsksBeforeRegisteringTheFileTypes) {
    const QString question = "This will make you be able to double click Quillane files in "
                             "Explorer to open them. Do you want to do this?";
    w->optWhere[1]->click();

    // Escape works wherever the focus is, a button included; No changes nothing.
    prompter.answers = {MsgAnswer::No};
    QTest::keyClick(w->cmdStart, Qt::Key_Escape);
    ASSERT_EQ(prompter.shown.size(), 1u);
    expectMessage(prompter.last(), question, "Associate Files", MsgIcon::Question,
                  MsgButtons::YesNo);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("XDG_DATA_HOME")));

    prompter.answers = {MsgAnswer::Yes};
    QTest::keyClick(w->optWhere[1], Qt::Key_Escape);
    ASSERT_EQ(prompter.shown.size(), 3u);
    EXPECT_EQ(prompter.shown[1].text, question);
    expectMessage(prompter.last(),
                  "Association Complete (you might need to restart for it to take place - just "
                  "try it!)",
                  "Associate Files", MsgIcon::Information);
    EXPECT_TRUE(associated());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->optWhere[1]->isChecked());
    EXPECT_EQ(ui->designer(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy pointer is gone again";

    // Registration is best effort: a file in the way of the data folder still ends the same.
    QDir(dir.filePath("XDG_DATA_HOME")).removeRecursively();
    writeFile(dir, "XDG_DATA_HOME", "in the way");
    prompter.answers = {MsgAnswer::Yes};
    w->cmdAssociate->click();
    ASSERT_EQ(prompter.shown.size(), 5u);
    EXPECT_TRUE(prompter.last().text.startsWith("Association Complete"));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(StartWindowTest, LaterAndTheWindowManagersCloseEndTheProgram) {
    for (const bool later : {true, false}) {
        SCOPED_TRACE(later);
        TearDown();
        SetUp();
        if (later) {
            // Enter on another button activates that button, not the default one.
            w->cmdLater->setFocus();
            QTest::keyClick(w->cmdLater, Qt::Key_Return);
            ASSERT_EQ(prompter.shown.size(), 1u);
            expectMessage(prompter.last(),
                          "You'd better come back later, or I'll...\r\n\r\n\r\nJust joking! (but "
                          "try to come back later anyway :)) Bye for now!",
                          "Quillane", MsgIcon::Information);
        } else {
            w->close();
            EXPECT_TRUE(prompter.shown.empty());
        }
        EXPECT_TRUE(unloaded());
        EXPECT_TRUE(ui->ending());
        EXPECT_EQ(ui->designer(), nullptr);
        EXPECT_EQ(ui->htmlEditor(), nullptr);
    }
}

TEST_F(StartWindowTest, WhatTheShowsTheAboutBoxAndTheStartWindowComesBackAsItWas) {
    w->optWhere[2]->click();
    QTest::keyClick(w->cmdWhatThe, Qt::Key_Space);
    EXPECT_EQ(otherModals, 1) << "the about box, modal";
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->optWhere[2]->isChecked());
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(ui->designer(), nullptr);
    EXPECT_EQ(ui->htmlEditor(), nullptr);
}

TEST_F(StartWindowTest, SwitchingToAnEditorDoesNotEndTheProgram) {
    // Between unloading the start window and showing the editor no window is open; the
    // program must not take that for its last window closing.
    QTimer::singleShot(0, w->cmdStart, &QPushButton::click);
    QTimer::singleShot(150, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_TRUE(w.isNull());
    ASSERT_NE(ui->designer(), nullptr);
    EXPECT_TRUE(ui->designer()->isVisible());
}

} // namespace

int main(int argc, char** argv) {
    // Also when the test list is read at build time, outside ctest's environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
