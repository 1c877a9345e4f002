// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ports.h"
#include "core/workspace.h"
#include "ui/keys.h"
#include "ui/qt_ports.h"

#include <QPointer>
#include <functional>
#include <memory>

class QDialog;
class QWidget;

namespace quillane {

class frmTemplates;
class frmHTMLEditor;

// Runs one of our own modal dialogs (section editor, about box). The real one calls exec();
// tests replace it to drive the real dialog without a nested event loop.
using ModalRunner = std::function<void(QDialog&)>;
// Makes the file dialog of a window; tests replace it with a scripted one.
using FileDialogFactory = std::function<std::unique_ptr<FileDialogPort>(QWidget* owner)>;

// The windowed program: the workspace with its Qt ports, the open editor windows and the few
// hooks the tests replace.
class UiSession {
public:
    explicit UiSession(const QString& programFolder);
    ~UiSession();
    UiSession(const UiSession&) = delete;
    UiSession& operator=(const UiSession&) = delete;

    Session& session() { return m_session; }
    Workspace& ws() { return m_session.ws; }

    // Test hooks.
    void setPrompter(Prompter* prompter) { m_session.prompter = prompter ? prompter : &m_prompter; }
    void setFileDialogFactory(FileDialogFactory f) { m_fileDialogFactory = std::move(f); }
    void setModalRunner(ModalRunner r) { m_modalRunner = std::move(r); }

    std::unique_ptr<FileDialogPort> makeFileDialog(QWidget* owner);
    void runModal(QDialog& dialog);

    // Creates the window afresh, runs its loading code, shows it centred.
    frmTemplates* showDesigner();
    frmHTMLEditor* showHtmlEditor();
    // Closes and destroys the window without asking anything.
    void closeDesigner();
    void closeHtmlEditor();
    frmTemplates* designer() const;
    frmHTMLEditor* htmlEditor() const;

    // Ends the program at once: every window closes, nothing is asked.
    void endProgram();
    bool ending() const { return m_ending; }

private:
    Session m_session;
    QtPrompter m_prompter;
    QtAppPort m_app;
    AltKeyGuard m_altKeys;
    FileDialogFactory m_fileDialogFactory;
    ModalRunner m_modalRunner;
    QPointer<frmTemplates> m_designer;
    QPointer<frmHTMLEditor> m_htmlEditor;
    bool m_ending = false;
};

// Puts a top-level window in the centre of the screen it is on.
void centreOnScreen(QWidget* window);

} // namespace quillane
