// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The real windows on a UiSession whose messages, file dialogs and own modal dialogs are
// scripted, in a folder of their own: prog/ holds the worked template as default.qtf, beside
// it lie the same template as plain.qtf and example.qht, a document for it.

#include "support/fakes.h"
#include "ui/about_box.h"
#include "ui/batch_progress.h"
#include "ui/code_editor.h"
#include "ui/designer_window.h"
#include "ui/html_editor_window.h"
#include "ui/main_routine.h"
#include "ui/section_editor.h"
#include "ui/site_pages_dialog.h"
#include "ui/site_settings_dialog.h"
#include "ui/splash.h"
#include "ui/start_window.h"
#include "ui/template_chooser.h"
#include "ui/ui_session.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace quillane::test {

#ifdef _WIN32
// The file types the tests register (/A:, Associate files) go to an empty key of their own,
// which this process sees as HKEY_CLASSES_ROOT: the user's own registrations are never touched.
inline std::wstring ownClassesRoot() {
    return L"Software\\Quillane tests\\" + std::to_wstring(GetCurrentProcessId());
}

inline bool useOwnClassesRoot() {
    const std::wstring own = ownClassesRoot();
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, own.c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, own.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool overridden = RegOverridePredefKey(HKEY_CLASSES_ROOT, key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return overridden;
}
#endif

class UiTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString programFolder, examplePath;
    ScriptedPrompter prompter;
    ScriptedFileDialog* dialog = nullptr; // the file dialog of the window made last
    std::unique_ptr<UiSession> ui;
    // Each of our modal dialogs takes the next step, shown while it runs; a splash with no step
    // left ticks at once.
    std::deque<std::function<void(QDialog&)>> modalSteps;
    QStringList modalTitles, pagesOpened;
    int sysInfoStarts = 0;

    void SetUp() override {
#ifdef _WIN32
        // Windows takes the home folder from the user's profile, never from the environment:
        // it is left alone, and nothing here writes there.
        ASSERT_TRUE(tmp.isValid() && useOwnClassesRoot());
#else
        // The home and XDG folders of ui_test_main.cpp start empty for every test.
        QDir home(QDir::homePath());
        ASSERT_TRUE(home.path().startsWith(QDir::tempPath()) && tmp.isValid());
        home.removeRecursively();
        home.mkpath(QStringLiteral("."));
#endif
        settingsIn(tmp.filePath(QStringLiteral("settings")));
        programFolder = tmp.filePath(QStringLiteral("prog"));
        QDir().mkpath(programFolder);
        writeFile(tmp, QStringLiteral("prog/default.qtf"), kPlainPage);
        writeFile(tmp, QStringLiteral("plain.qtf"), kPlainPage);
        examplePath = writeFile(tmp, QStringLiteral("example.qht"), example("My first page"));
        ui = std::make_unique<UiSession>(programFolder);
        ui->setPrompter(&prompter);
        ui->setFileDialogFactory([this](QWidget*) {
            auto d = std::make_unique<ScriptedFileDialog>();
            dialog = d.get();
            return d;
        });
        ui->setModalRunner([this](QDialog& d) {
            modalTitles << d.windowTitle();
            d.show();
            if (modalSteps.empty()) {
                if (auto* splash = qobject_cast<frmSplash*>(&d)) return splash->Timer1_Timer();
                ADD_FAILURE() << "unexpected dialog " << d.windowTitle().toStdString();
                return;
            }
            const auto step = std::move(modalSteps.front());
            modalSteps.pop_front();
            step(d);
        });
        setPageOpener([this](const QString& path) { pagesOpened << path; });
        setSysInfoStarter([this] { return ++sysInfoStarts > 1; }); // only the first one fails
    }

    void TearDown() override {
        const bool ended = ui && ui->ending();
        ui.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (!w->parent()) w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (ended) {
            // Ending asks every event loop to stop; one pass of the main loop takes that back,
            // or the next dialog would return at once.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QCoreApplication::exec();
        }
        setPageOpener({});
        setSysInfoStarter({});
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "busy pointer left on";
        EXPECT_TRUE(modalSteps.empty()) << "a scripted dialog was never shown";
    }

    // A fresh session and fresh scripts, in the same folder, for table-driven tests.
    void restart() {
        TearDown();
        prompter = {};
        modalTitles.clear();
        pagesOpened.clear();
        sysInfoStarts = 0;
        SetUp();
    }

    Workspace& ws() {
        return ui->ws();
    }

    static QByteArray example(const QString& title) {
        return lines("#QH1#|" + title + "|plain.qtf|index.htm|#STARTSECTION#|<p>Hello</p>|" +
                     "#STARTSECTION#");
    }
    // The messages shown since the last call, one a line, with the test's folder left out.
    QString told() {
        QStringList t;
        for (const Message& m : prompter.shown)
            t << describe(m).replace(tmp.path() + u'/', QString());
        prompter.shown.clear();
        return t.join(u'\n');
    }
};

// The texts of a list's entries.
inline QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// The controls the keyboard focus visits from first on, pressing Tab (Shift+Tab when back)
// steps times: first included.
inline QStringList tabCycle(QWidget* first, int steps, bool back = false) {
    QWidget* window = first->window();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    first->setFocus(Qt::TabFocusReason);
    QStringList names{first->objectName()};
    while (steps-- > 0) {
        QTest::keyClick(window->focusWidget(), back ? Qt::Key_Backtab : Qt::Key_Tab,
                        back ? Qt::ShiftModifier : Qt::NoModifier);
        names << window->focusWidget()->objectName();
    }
    return names;
}

} // namespace quillane::test
