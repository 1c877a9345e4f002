#include "ui/html_editor_window.h"

#include "ui/ui_session.h"

namespace quillane {

// To be built: the window's controls, menus and commands.
frmHTMLEditor::frmHTMLEditor(UiSession& ui, QWidget* parent) : QMainWindow(parent), m_ui(ui)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

frmHTMLEditor::~frmHTMLEditor() = default;

void frmHTMLEditor::Form_Load() {}
bool frmHTMLEditor::mnuFileSave_Click() { return false; }
void frmHTMLEditor::mnuFileBatch_Click() {}
void frmHTMLEditor::BatchCompile(const QString&) {}
void frmHTMLEditor::closeWithoutAsking()
{
    m_closing = true;
    close();
}
QString frmHTMLEditor::title() const { return m_title; }
void frmHTMLEditor::setTitle(const QString& text) { m_title = text; }
QString frmHTMLEditor::output() const { return m_output; }
void frmHTMLEditor::setOutput(const QString& text) { m_output = text; }
void frmHTMLEditor::setTemplateCaption(const QString&) {}
void frmHTMLEditor::clearSectionList() {}
void frmHTMLEditor::addSectionListEntry(const QString&, int) {}

} // namespace quillane
