// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/section_editor.h"

#include "ui/code_editor.h"
#include "ui/keys.h"
#include "ui/twips.h"
#include "ui/ui_session.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace quillane {

namespace {

// Design size of the client area and the smallest outer size, in twips.
constexpr int kClientWidth = 5745;
constexpr int kClientHeight = 4125;
constexpr int kMinOuterWidth = 5865;
constexpr int kMinOuterHeight = 4260;

} // namespace

frmSections::frmSections(UiSession& ui, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_ui(ui) {
    setObjectName(QStringLiteral("frmSections"));
    setWindowTitle(QStringLiteral("Section Editor"));
    setFont(layoutFont());
    setSizeGripEnabled(false);

    lblDescription[0] = new QLabel(QStringLiteral("Section name:"), this);
    placeTwips(lblDescription[0], 120, 120, 1020, 195);
    txtSectionName = new QLineEdit(this);
    txtSectionName->setObjectName(QStringLiteral("txtSectionName"));
    txtSectionName->setMaxLength(std::numeric_limits<int>::max());
    placeTwips(txtSectionName, 1200, 120, 4455, 285);
    rtxDefaultHTML = new CodeEditor(this);
    rtxDefaultHTML->setObjectName(QStringLiteral("rtxDefaultHTML"));
    placeTwips(rtxDefaultHTML, 120, 720, 5535, 2295);
    lblDescription[2] = new QLabel(QStringLiteral("Default HTML:"), this);
    placeTwips(lblDescription[2], 120, 480, 1050, 195);
    for (int i : {0, 2}) {
        lblDescription[i]->setObjectName(QStringLiteral("lblDescription"));
        lblDescription[i]->setProperty("Index", i);
    }
    cmdOk = new QPushButton(QStringLiteral("OK - I'm done!"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    placeTwips(cmdOk, 120, 3360, 1935, 615);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    placeTwips(cmdCancel, 3720, 3360, 1935, 615);
    chkSectEditable = new QCheckBox(QStringLiteral("Section editable in HTML editor?"), this);
    chkSectEditable->setObjectName(QStringLiteral("chkSectEditable"));
    placeTwips(chkSectEditable, 120, 3120, 2775, 195);

    // Neither button is the default one: Enter belongs to the fields, or to a focused button.
    cmdOk->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    enterPressesButtons(this);

    setTabOrder(txtSectionName, rtxDefaultHTML);
    setTabOrder(rtxDefaultHTML, cmdOk);
    setTabOrder(cmdOk, cmdCancel);
    setTabOrder(cmdCancel, chkSectEditable);

    connect(cmdOk, &QPushButton::clicked, this, &frmSections::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSections::cmdCancel_Click);
    // The greyed state is the program's to set; a click leaves it for good.
    connect(chkSectEditable, &QCheckBox::clicked, this,
            [this] { chkSectEditable->setTristate(false); });

    resize(twips(this, kClientWidth), twips(this, kClientHeight));
}

int frmSections::editableState() const {
    switch (chkSectEditable->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

void frmSections::setEditableState(int state) {
    chkSectEditable->setTristate(state == 2);
    chkSectEditable->setCheckState(state == 1   ? Qt::Checked
                                   : state == 2 ? Qt::PartiallyChecked
                                                : Qt::Unchecked);
}

QString frmSections::sectionName() const {
    return txtSectionName->text();
}

QString frmSections::html() const {
    return rtxDefaultHTML->text();
}

void frmSections::setHtml(const QString& html) {
    rtxDefaultHTML->setText(html);
}

void frmSections::cmdOk_Click() {
    // The build engine uses this name for the page title.
    if (txtSectionName->text() == QLatin1String("title")) {
        m_ui.session().tell(QStringLiteral("The name 'title' is reserved for the page title "
                                           "name! Please choose another"),
                            QStringLiteral("Section Editor"), MsgIcon::Exclamation);
        return;
    }
    done(QDialog::Accepted);
}

void frmSections::cmdCancel_Click() {
    result = QStringLiteral("cancel");
    done(QDialog::Rejected);
}

void frmSections::reject() {
    if (!cmdCancel->isHidden()) cmdCancel_Click();
}

void frmSections::closeEvent(QCloseEvent* event) {
    if (!isVisible()) {
        event->accept();
        return;
    }
    if (!cmdCancel->isHidden())
        cmdCancel_Click();
    else
        cmdOk_Click();
    // Still shown: OK refused the name, and the dialog stays open.
    event->setAccepted(!isVisible());
}

void frmSections::Form_Resize() {
    // W and H are the outer size, frame and menu bar included.
    const std::optional<QSize> outer = outerSizeTwips(this, kMinOuterWidth, kMinOuterHeight);
    if (!outer) return; // the resize comes back here
    const int W = outer->width();
    const int H = outer->height();

    txtSectionName->resize(twips(this, W - 1410), txtSectionName->height());
    cmdOk->move(cmdOk->x(), twips(this, H - 1140));
    cmdCancel->move(twips(this, W - 2145), twips(this, H - 1140));
    rtxDefaultHTML->resize(twips(this, W - 330), twips(this, H - 2235));
    chkSectEditable->setGeometry(
        fittedBox(chkSectEditable, QRect(twips(this, 120), twips(this, H - 1410), twips(this, 2775),
                                         twips(this, 195))));
}

void frmSections::sizeLabels() {
    for (int i : {0, 2}) {
        QLabel* l = lblDescription[i];
        l->resize(l->sizeHint().width(), l->height());
    }
}

bool frmSections::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (frameMayHaveChanged(event)) Form_Resize();
    return handled;
}

void frmSections::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmSections::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) centreOnScreen(this);
    sizeLabels(); // a caller may have changed their captions
    Form_Resize();
}

std::optional<SectionEdit> runSectionEditor(UiSession& ui, QWidget* parent, SectionDialogUse use,
                                            const SectionEdit& start) {
    frmSections dlg(ui, parent);
    dlg.setWindowTitle(start.caption);
    dlg.setHtml(start.html);
    if (use == SectionDialogUse::Content) {
        dlg.chkSectEditable->hide();
        dlg.txtSectionName->hide();
        dlg.lblDescription[0]->setText(QStringLiteral("Section name: ") + start.name);
        dlg.lblDescription[2]->setText(QStringLiteral("HTML text to put in section:"));
    } else {
        dlg.txtSectionName->setText(start.name);
        dlg.setEditableState(start.editable);
    }
    if (use != SectionDialogUse::Add) dlg.cmdCancel->hide();
    // In the content use OK only hides the dialog; a close by the window manager or Escape
    // rejects it, and the section then keeps what it had.
    bool dismissed = false;
    if (use == SectionDialogUse::Content)
        QObject::connect(&dlg, &QDialog::rejected, &dlg, [&dismissed] { dismissed = true; });
    ui.runModal(dlg);
    if (dlg.result == QLatin1String("cancel") || dismissed) return std::nullopt;
    return SectionEdit{start.caption, dlg.sectionName(), dlg.html(), dlg.editableState()};
}

} // namespace quillane
