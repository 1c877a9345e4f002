#include "ui/main_routine.h"

#include "core/command_line.h"
#include "core/version.h"
#include "formats/file_reader.h"
#include "ui/designer_window.h"
#include "ui/html_editor_window.h"
#include "ui/ui_session.h"

namespace quillane {

namespace {

void showStartWindow(UiSession& ui)
{
    // The start window is not built yet; the designer stands in for it.
    ui.showDesigner();
}

} // namespace

void Main(UiSession& ui, const QString& text)
{
    Session& s = ui.session();
    if (text.isEmpty()) {
        showStartWindow(ui);
        return;
    }
    const CommandLine cl = splitCommandLine(text);
    if (cl.hasColon && cl.option == QLatin1String("/T")) {
        ui.showDesigner();
        ResetEditor(s, EditorMode::Designer);
        if (!LoadFile(s, cl.file, LoadMode::Designer).loaded()) {
            s.tell(QStringLiteral("Invalid file passed to Quillane! Learn how to use files!"),
                   QStringLiteral("ERROR!"), MsgIcon::Critical);
            ui.endProgram();
        }
        return;
    }
    if (cl.hasColon && cl.option == QLatin1String("/H")) {
        ui.showHtmlEditor();
        ResetEditor(s, EditorMode::HtmlEditor);
        const LoadResult read = LoadFile(s, cl.file, LoadMode::Document);
        // A failed read leaves no usable template path behind.
        s.ws.TemplatePath = read.loaded() ? read.templatePath : QString();
        return;
    }
    s.tell(invalidOptionMessage(cl.option), QString::fromLatin1(kAppTitle), MsgIcon::Exclamation);
    showStartWindow(ui);
}

} // namespace quillane
