// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/splash.h"

#include "ui/twips.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

namespace quillane {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, qreal points, bool bold) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    QFont f = label->font();
    f.setPointSizeF(points);
    f.setBold(bold);
    label->setFont(f);
    return label;
}

// A label that sizes itself to its text and keeps its right edge where it was placed.
void sizeKeepingRightEdge(QLabel* label) {
    const int right = label->geometry().right();
    label->adjustSize();
    label->move(right - label->width() + 1, label->y());
}

QString platformText() {
#if defined(Q_OS_WIN)
    return QStringLiteral("Windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("macOS");
#elif defined(Q_OS_LINUX)
    return QStringLiteral("Linux");
#else
    return QStringLiteral("Unix");
#endif
}

} // namespace

QString versionCaption(const VersionRecord& version) {
    return QStringLiteral("Version %1.%2.%3")
        .arg(version.major)
        .arg(version.minor)
        .arg(version.revision);
}

frmSplash::frmSplash(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setModal(true);
    setFont(layoutFont()); // the captions' places are drawn for it, as in the other windows
    setFixedSize(twips(this, 4815), twips(this, 3555));

    fraMainFrame = new QFrame(this);
    fraMainFrame->setObjectName(QStringLiteral("fraMainFrame"));
    fraMainFrame->setFrameShape(QFrame::Box);
    fraMainFrame->setFrameShadow(QFrame::Sunken);
    placeTwips(fraMainFrame, 45, 0, 4740, 3510);
    QWidget* f = fraMainFrame;

    lblCompanyProduct =
        makeLabel(f, "lblCompanyProduct", QStringLiteral("The Quillane authors'"), 18, true);
    placeTwips(lblCompanyProduct, 105, 285, 3285, 435);
    lblCompanyProduct->adjustSize();

    lblProductName = makeLabel(f, "lblProductName", QStringLiteral("Quillane"), 29.25, true);
    QFont arial = lblProductName->font();
    arial.setFamily(QStringLiteral("Arial"));
    lblProductName->setFont(arial);
    placeTwips(lblProductName, 270, 720, 4020, 675);
    lblProductName->adjustSize();

    Line1 = new QFrame(f);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    placeTwips(Line1, 120, 1560, 4560 - 120, 15);

    lblPlatform = makeLabel(f, "lblPlatform", platformText(), 13.5, true);
    lblPlatform->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeTwips(lblPlatform, 2730, 1920, 1890, 360);
    sizeKeepingRightEdge(lblPlatform);

    lblVersion = makeLabel(f, "lblVersion", QStringLiteral("Version"), 12, true);
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeTwips(lblVersion, 3675, 2280, 930, 300);
    sizeKeepingRightEdge(lblVersion);

    lblCopyright = makeLabel(f, "lblCopyright", QStringLiteral("\u00a9 2004 the Quillane authors"),
                             8.25, false);
    placeTwips(lblCopyright, 2160, 2640, 2535, 255);

    // There is no web site to name; the label stays, empty and hidden.
    lblWebsite = makeLabel(f, "lblWebsite", QString(), 8.25, false);
    QFont underlined = lblWebsite->font();
    underlined.setUnderline(true);
    lblWebsite->setFont(underlined);
    lblWebsite->setStyleSheet(QStringLiteral("color: blue"));
    placeTwips(lblWebsite, 120, 3120, 1815, 255);
    lblWebsite->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);

    Form_Load();
}

void frmSplash::Form_Load() {
    lblVersion->setText(versionCaption(kVersion));
    sizeKeepingRightEdge(lblVersion);
    Timer1->start();
}

void frmSplash::Timer1_Timer() {
    // It ticks once: the splash goes away with its timer.
    Timer1->stop();
    m_timedOut = true;
    accept();
}

void frmSplash::reject() {
    if (m_timedOut) QDialog::reject();
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
    // No key closes the splash early.
    event->accept();
}

void frmSplash::closeEvent(QCloseEvent* event) {
    if (m_timedOut)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

} // namespace quillane
