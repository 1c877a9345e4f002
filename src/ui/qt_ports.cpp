// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_ports.h"

#include "ui/keys.h"
#include "ui/ui_session.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace quillane {

namespace {

QMessageBox::StandardButton toStandard(MsgAnswer a) {
    switch (a) {
    case MsgAnswer::Yes:
        return QMessageBox::Yes;
    case MsgAnswer::No:
        return QMessageBox::No;
    case MsgAnswer::Cancel:
        return QMessageBox::Cancel;
    case MsgAnswer::Ok:
        break;
    }
    return QMessageBox::Ok;
}

} // namespace

ModalGuard::ModalGuard()
    : m_previous(QApplication::activeWindow()),
      m_focus(m_previous ? m_previous->focusWidget() : nullptr),
      m_busy(QApplication::overrideCursor() != nullptr) {
    if (m_busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
}

ModalGuard::~ModalGuard() {
    if (m_busy) QApplication::restoreOverrideCursor();
    const QWidget* modal = QApplication::activeModalWidget();
    if (!m_previous || !m_previous->isVisible() || (modal && modal != m_previous)) return;
    giveFocusBack(m_focus);
    m_previous->activateWindow();
}

MsgAnswer QtPrompter::show(const Message& m) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(m.title);
    box.setText(QString(m.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (m.icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    switch (m.buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    const QList<QMessageBox::StandardButton> order =
        m.buttons == MsgButtons::Ok ? QList<QMessageBox::StandardButton>{QMessageBox::Ok}
                                    : QList<QMessageBox::StandardButton>{
                                          QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    for (qsizetype i = 0; i < std::min(order.size(), m.captions.size()); ++i) {
        if (QAbstractButton* b = box.button(order[i])) b->setText(m.captions[i]);
    }
    box.setDefaultButton(toStandard(m.defaultButton));
    int pressed;
    {
        ModalGuard modal;
        pressed = box.exec();
    }
    switch (pressed) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        break;
    }
    // Closed by the window manager: the safe answer.
    return m.buttons == MsgButtons::Ok      ? MsgAnswer::Ok
           : m.buttons == MsgButtons::YesNo ? MsgAnswer::No
                                            : MsgAnswer::Cancel;
}

void QtAppPort::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtAppPort::processEvents() {
    QCoreApplication::processEvents();
}

void QtAppPort::quit() {
    m_ui.endProgram();
}

} // namespace quillane
