// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/run_windows.h"

#include "shell/file_association.h"
#include "ui/main_routine.h"
#include "ui/program_icon.h"
#include "ui/theme.h"
#include "ui/ui_session.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>

namespace quillane {

namespace {

bool anyWindowOpen() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](const QWidget* w) { return w->isVisible(); });
}

void say(std::FILE* err, const QString& text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), err);
}

} // namespace

bool displayAvailable() {
    // Asked for by whoever starts the program (the Windows installer's /A:): no window, and
    // so no message box to wait on.
    if (!qEnvironmentVariableIsEmpty("QUILLANE_NO_DISPLAY")) return false;
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    const QStringList platforms =
        qEnvironmentVariable("QT_QPA_PLATFORM").split(u';', Qt::SkipEmptyParts);
    return std::any_of(platforms.begin(), platforms.end(), [](const QString& p) {
        const QString name = p.section(u':', 0, 0).trimmed();
        return !name.isEmpty() && name != QLatin1String("xcb") &&
               !name.startsWith(QLatin1String("wayland"));
    });
#else
    return true;
#endif
}

int runWithoutDisplay(const QString& argumentText, std::FILE* err) {
    const CommandLine cl = asFileOption(argumentText);
    const bool option = !argumentText.isEmpty() && cl.hasColon;
    if (option && cl.option == QLatin1String("/A")) {
        shell::AssociateFiles();
        say(err, QStringLiteral("Associated files!"));
        return 0;
    }
    QString window;
    if (argumentText.isEmpty())
        window = QStringLiteral("The start window");
    else if (option && cl.option == QLatin1String("/T"))
        window = QStringLiteral("The template designer (/T:)");
    else if (option && cl.option == QLatin1String("/H"))
        window = QStringLiteral("The HTML editor (/H:)");
    if (window.isEmpty()) {
        say(err, invalidOptionMessage(cl.option));
        return 2;
    }
    say(err, window + QStringLiteral(" needs a display. Without one, quillane /A: registers the "
                                     "file types and quillane /B:<folder> builds a folder."));
    return 2;
}

int runWindows(int& argc, char** argv, const QString& argumentText) {
    // Without a display QApplication would abort the program.
    if (!displayAvailable()) return runWithoutDisplay(argumentText, stderr);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quillane"));
    QApplication::setWindowIcon(programIcon());
    applyThemeFromEnvironment(app);
    // The folder of the real program file (links followed): default.qtf lives there.
    UiSession ui(QCoreApplication::applicationDirPath());
    Main(ui, argumentText);
    // /A: opens no window, and a failed /T: has ended the program: nothing to wait for.
    if (ui.ending() || !anyWindowOpen()) return 0;
    return QApplication::exec();
}

} // namespace quillane
