#include "ui/section_editor.h"

#include "ui/code_editor.h"
#include "ui/ui_session.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quillane {

// To be built: layout, reserved name, resize rules.
frmSections::frmSections(UiSession& ui, QWidget* parent) : QDialog(parent), m_ui(ui)
{
    txtSectionName = new QLineEdit(this);
    rtxDefaultHTML = new CodeEditor(this);
    cmdOk = new QPushButton(this);
    cmdCancel = new QPushButton(this);
    chkSectEditable = new QCheckBox(this);
    lblDescription[0] = new QLabel(this);
    lblDescription[2] = new QLabel(this);
}

int frmSections::editableState() const { return int(chkSectEditable->checkState()); }
void frmSections::setEditableState(int state) { chkSectEditable->setCheckState(Qt::CheckState(state)); }
QString frmSections::sectionName() const { return txtSectionName->text(); }
QString frmSections::html() const { return rtxDefaultHTML->text(); }
void frmSections::setHtml(const QString& html) { rtxDefaultHTML->setText(html); }
void frmSections::cmdOk_Click() { hide(); }
void frmSections::cmdCancel_Click()
{
    result = QStringLiteral("cancel");
    hide();
}

} // namespace quillane
