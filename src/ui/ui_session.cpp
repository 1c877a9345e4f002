// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ui_session.h"

#include "ui/designer_window.h"
#include "ui/file_dialog.h"
#include "ui/html_editor_window.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>

namespace quillane {

UiSession::UiSession(const QString& programFolder) : m_app(*this) {
    m_session.programFolder = programFolder;
    m_session.prompter = &m_prompter;
    m_session.app = &m_app;
    if (qApp) qApp->installEventFilter(&m_altKeys);
}

UiSession::~UiSession() {
    m_ending = true;
    delete m_designer.data();
    delete m_htmlEditor.data();
}

std::unique_ptr<FileDialogPort> UiSession::makeFileDialog(QWidget* owner) {
    if (m_fileDialogFactory) return m_fileDialogFactory(owner);
    return std::make_unique<QtFileDialog>(owner);
}

void UiSession::runModal(QDialog& dialog) {
    if (m_modalRunner) {
        m_modalRunner(dialog);
        return;
    }
    ModalGuard modal;
    dialog.exec();
}

frmTemplates* UiSession::showDesigner() {
    if (m_designer) return m_designer;
    auto* w = new frmTemplates(*this);
    m_designer = w;
    m_session.designer = w;
    w->Form_Load();
    centreOnScreen(w);
    w->show();
    return w;
}

frmHTMLEditor* UiSession::showHtmlEditor() {
    if (m_htmlEditor) return m_htmlEditor;
    auto* w = new frmHTMLEditor(*this);
    m_htmlEditor = w;
    m_session.htmlEditor = w;
    w->Form_Load();
    centreOnScreen(w);
    w->show();
    return w;
}

frmTemplates* UiSession::designer() const {
    return m_designer.data();
}

frmHTMLEditor* UiSession::htmlEditor() const {
    return m_htmlEditor.data();
}

void UiSession::closeDesigner() {
    if (!m_designer) return;
    m_session.designer = nullptr;
    frmTemplates* w = m_designer;
    m_designer = nullptr;
    w->closeWithoutAsking();
    w->deleteLater();
}

void UiSession::closeHtmlEditor() {
    if (!m_htmlEditor) return;
    m_session.htmlEditor = nullptr;
    frmHTMLEditor* w = m_htmlEditor;
    m_htmlEditor = nullptr;
    w->closeWithoutAsking();
    w->deleteLater();
}

void UiSession::endProgram() {
    if (m_ending) return;
    m_ending = true;
    m_session.designer = nullptr;
    m_session.htmlEditor = nullptr;
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace quillane
