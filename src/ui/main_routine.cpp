// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_routine.h"

#include "core/command_line.h"
#include "core/version.h"
#include "shell/file_association.h"
#include "ui/designer_window.h"
#include "ui/html_editor_window.h"
#include "ui/splash.h"
#include "ui/start_window.h"
#include "ui/ui_session.h"

#include <QFileInfo>
#include <QPointer>

namespace quillane {

namespace {

// The start window, and the splash over it until its timer closes it.
void showStartWindowAndSplash(UiSession& ui) {
    QPointer<frmMain> start = showStartWindow(ui);
    QPointer<frmSplash> splash = new frmSplash(start);
    centreOnScreen(splash);
    ui.runModal(*splash);
    delete splash.data();
    // The start window takes the keyboard once the splash has gone.
    if (start) start->activateWindow();
}

} // namespace

CommandLine asFileOption(const QString& text) {
    CommandLine cl = splitCommandLine(text);
    // A file on its own, also one whose path has a drive ("C:\site\a.qht": a file dropped on
    // the program in Explorer), whose colon is no option's.
    const QFileInfo file(text);
    const bool drive = text.size() >= 3 && text[0].isLetter() && text[1] == u':' &&
                       (text[2] == u'\\' || text[2] == u'/');
    const QString suffix = file.isFile() ? file.suffix().toLower() : QString();
    if (suffix == QLatin1String("qtf")) return {QStringLiteral("/T"), text, true};
    if (suffix == QLatin1String("qht")) return {QStringLiteral("/H"), text, true};
    return drive ? CommandLine{text, QString(), false} : cl;
}

void Main(UiSession& ui, const QString& text) {
    Session& s = ui.session();
    if (text.isEmpty()) {
        showStartWindowAndSplash(ui);
        return;
    }
    const CommandLine cl = asFileOption(text);
    if (cl.hasColon && cl.option == QLatin1String("/T")) {
        if (!ui.showDesigner()->controller().openTemplate(cl.file)) {
            s.tell(QStringLiteral("Invalid file passed to Quillane! Learn how to use files!"),
                   QStringLiteral("ERROR!"), MsgIcon::Critical);
            ui.endProgram();
        }
        return;
    }
    if (cl.hasColon && cl.option == QLatin1String("/H")) {
        // A document that cannot be read leaves the editor on its new, untitled document.
        ui.showHtmlEditor()->controller().openDocument(cl.file);
        return;
    }
    if (cl.hasColon && cl.option == QLatin1String("/A")) {
        shell::AssociateFiles();
        s.tell(QStringLiteral("Associated files!"), QString::fromLatin1(kAppTitle),
               MsgIcon::Information);
        return;
    }
    s.tell(invalidOptionMessage(cl.option), QString::fromLatin1(kAppTitle), MsgIcon::Exclamation);
    showStartWindowAndSplash(ui);
}

} // namespace quillane
