#include "ui/run_windows.h"

#include "ui/main_routine.h"
#include "ui/program_icon.h"
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

} // namespace

int runWindows(int& argc, char** argv, const QString& argumentText) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quillane"));
    QApplication::setWindowIcon(programIcon());
    // The folder of the real program file (links followed): default.qtf lives there.
    UiSession ui(QCoreApplication::applicationDirPath());
    Main(ui, argumentText);
    // /A: opens no window, and a failed /T: has ended the program: nothing to wait for.
    if (ui.ending() || !anyWindowOpen()) return 0;
    return QApplication::exec();
}

} // namespace quillane
