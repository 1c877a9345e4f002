#pragma once

// A UiSession wired to scripted ports, in a folder of its own, with the real windows.

#include "support/fakes.h"
#include "ui/about_box.h"
#include "ui/designer_window.h"
#include "ui/ui_session.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

namespace quillane::test {

// Three sections, the last not editable.
inline QByteArray threeSectionTemplate(const char* name = "Site look") {
    return crlf({"#QT1#",
                 name,
                 "#DEFAULTHTML#",
                 "<html><title>::title::</title>",
                 "<body>::header::::content::::footer::</body></html>",
                 "#ENDDEFAULTHTML#",
                 "#STARTSECTION#",
                 "header",
                 " 1 ",
                 "<h1>Head</h1>",
                 "#STARTSECTION#",
                 "content",
                 " 1 ",
                 "<p>Text</p>",
                 "#STARTSECTION#",
                 "footer",
                 " 0 ",
                 "<hr>",
                 "<p>Contact</p>",
                 "#STARTSECTION#"});
}

class UiTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString programFolder;
    ScriptedPrompter prompter;
    FakeApp app;
    ScriptedFileDialog* dialog = nullptr; // the designer's dlgSaveLoad
    std::unique_ptr<UiSession> ui;
    // Each of our modal dialogs takes the next step, shown (non-modal) while it runs.
    std::deque<std::function<void(QDialog&)>> modalSteps;
    QStringList modalTitles, previewsOpened;
    int sysInfoStarts = 0;
    bool sysInfoAvailable = false;

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        const QString home = tmp.filePath(QStringLiteral("home"));
        for (const char* var :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            qputenv(var, home.toLocal8Bit());
        QDir().mkpath(home);
        programFolder = tmp.filePath(QStringLiteral("program"));
        QDir().mkpath(programFolder);
        writeFile(tmp, QStringLiteral("program/default.qtf"), threeSectionTemplate());

        ui = std::make_unique<UiSession>(programFolder);
        ui->setPrompter(&prompter);
        ui->session().app = &app;
        ui->setFileDialogFactory([this](QWidget*) {
            auto d = std::make_unique<ScriptedFileDialog>();
            dialog = d.get();
            return d;
        });
        ui->setModalRunner([this](QDialog& d) {
            modalTitles << d.windowTitle();
            ASSERT_FALSE(modalSteps.empty()) << "unexpected " << d.windowTitle().toStdString();
            auto step = std::move(modalSteps.front());
            modalSteps.pop_front();
            d.show();
            step(d);
        });
        setPageOpener([this](const QString& path) { previewsOpened << path; });
        setSysInfoStarter([this] { return ++sysInfoStarts, sysInfoAvailable; });
    }

    void TearDown() override {
        const bool ended = ui && ui->ending();
        ui.reset();
        if (ended) {
            // Ending asks every event loop to stop; one pass of the main loop takes that back,
            // or the next test's dialogs would return at once.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QCoreApplication::exec();
        }
        setPageOpener({});
        setSysInfoStarter({});
        EXPECT_EQ(app.busyDepth, 0) << "busy pointer left on";
        EXPECT_TRUE(modalSteps.empty()) << "a scripted dialog was never shown";
    }

    // A fresh session and fresh scripts, in the same folder, for table-driven tests.
    void restart() {
        TearDown();
        prompter = {};
        app = {};
        SetUp();
    }

    Workspace& ws() { return ui->ws(); }
};

// What the user sees of a message, to compare in one go: fields({"text", "title", icon, buttons}).
inline std::tuple<QString, QString, MsgIcon, MsgButtons> fields(const Message& m) {
    return {m.text, m.title, m.icon, m.buttons};
}

// Runs f on the next modal widget of type T once it is shown (for the dialogs not driven
// through UiSession::runModal: QFileDialog and its message boxes).
template <typename T> void whenModal(std::function<void(T*)> f) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            f(w);
        }
    });
    timer->start();
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

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
