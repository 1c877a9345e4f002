#include "ui/designer_window.h"

#include "ui/ui_session.h"

namespace quillane {

// To be built: the window's controls, menus and commands.
frmTemplates::frmTemplates(UiSession& ui, QWidget* parent) : QMainWindow(parent), m_ui(ui)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

frmTemplates::~frmTemplates() = default;

void frmTemplates::Form_Load() {}
bool frmTemplates::mnuFileSave_Click() { return false; }
void frmTemplates::closeWithoutAsking()
{
    m_closing = true;
    close();
}
QString frmTemplates::templateName() const { return m_name; }
void frmTemplates::setTemplateName(const QString& text) { m_name = text; }
QString frmTemplates::defaultHtml() const { return m_html; }
void frmTemplates::setDefaultHtml(const QString& text) { m_html = text; }
void frmTemplates::clearSectionList() {}
void frmTemplates::addSectionListEntry(const QString&) {}

} // namespace quillane
