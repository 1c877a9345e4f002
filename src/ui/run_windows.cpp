#include "ui/run_windows.h"

#include "ui/main_routine.h"
#include "ui/ui_session.h"

#include <QApplication>

namespace quillane {

int runWindows(int& argc, char** argv, const QString& argumentText)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quillane"));
    UiSession ui(QCoreApplication::applicationDirPath());
    Main(ui, argumentText);
    if (ui.ending()) return 0;
    return QApplication::exec();
}

} // namespace quillane
