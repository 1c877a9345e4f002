// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/about_box.h"

#include "core/version.h"
#include "shell/system_info.h"
#include "ui/keys.h"
#include "ui/twips.h"
#include "ui/ui_session.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace quillane {

namespace {

SysInfoStarter& sysInfoStarter() {
    static SysInfoStarter starter;
    return starter;
}

bool startSysInfo() {
    if (sysInfoStarter()) return sysInfoStarter()();
    return shell::StartSysInfo();
}

QFrame* etchedLine(QWidget* parent, const QColor& colour) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, colour);
    line->setPalette(pal);
    return line;
}

} // namespace

void setSysInfoStarter(SysInfoStarter starter) {
    sysInfoStarter() = std::move(starter);
}

frmAbout::frmAbout(UiSession& ui, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ui(ui) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillane"));
    setFont(layoutFont());
    setAttribute(Qt::WA_DeleteOnClose, false);

    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    placeTwips(cmdOk, 2805, 2025, 1467, 345);

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);
    placeTwips(cmdSysInfo, 2820, 2475, 1452, 345);

    lblWebsite = new QLabel(QString::fromLatin1(kWebsiteAddress), this);
    lblWebsite->setObjectName(QStringLiteral("lblWebsite"));
    QFont linkFont = lblWebsite->font();
    linkFont.setPointSizeF(8.25);
    linkFont.setUnderline(true);
    lblWebsite->setFont(linkFont);
    QPalette linkPal = lblWebsite->palette();
    linkPal.setColor(QPalette::WindowText, linkPal.color(QPalette::Link));
    lblWebsite->setPalette(linkPal);
    placeTwips(lblWebsite, 120, 2160, 1770, 195);
    lblWebsite->adjustSize();

    lblTitle = new QLabel(QString::fromLatin1(kAppTitle), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    placeTwips(lblTitle, 120, 240, 1035, 195);
    lblTitle->adjustSize();

    lblDescription = new QLabel(
        QStringLiteral("A simple program written to manage HTML templates for your website! "
                       "It is made to build and look after the pages of its own project's web "
                       "site. Have a look at the project's other programs at the web-site "
                       "address below."),
        this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(lblDescription, 120, 600, 4095, 1170);

    // An etched separator: a shadow line with a light one just below it.
    Line1[1] = etchedLine(this, palette().color(QPalette::Dark));
    Line1[1]->setGeometry(twips(this, 150), twips(this, 1920), twips(this, 4265 - 150), 1);
    Line1[0] = etchedLine(this, palette().color(QPalette::Light));
    Line1[0]->setGeometry(twips(this, 150), twips(this, 1935), twips(this, 4250 - 150), 1);
    for (int i = 0; i < 2; ++i) {
        Line1[i]->setObjectName(QStringLiteral("Line1"));
        Line1[i]->setProperty("Index", i);
    }

    setTabOrder(cmdOk, cmdSysInfo);
    enterPressesButtons(this);
    setFixedSize(twips(this, 4425), twips(this, 2910));

    connect(cmdOk, &QPushButton::clicked, this, &frmAbout::cmdOk_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

void frmAbout::Form_Load() {
    lblTitle->setText(lblTitle->text() + u' ' + versionNumberText() +
                      QStringLiteral(" (compiled ") + QString::fromLatin1(kVersion.comments) +
                      u')');
    lblTitle->adjustSize();
}

void frmAbout::cmdOk_Click() {
    accept();
}

void frmAbout::cmdSysInfo_Click() {
    if (!startSysInfo()) {
        m_ui.session().tell(QString::fromLatin1(shell::kSysInfoUnavailableMessage),
                            QString::fromLatin1(kAppTitle), MsgIcon::None);
    }
}

void showAboutBox(UiSession& ui, QWidget* parent) {
    frmAbout box(ui, parent);
    box.Form_Load();
    if (parent) {
        QRect r = box.frameGeometry();
        r.moveCenter(parent->frameGeometry().center());
        box.move(r.topLeft());
    } else {
        centreOnScreen(&box);
    }
    ui.runModal(box);
}

} // namespace quillane
