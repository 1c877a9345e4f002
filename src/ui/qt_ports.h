// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ports.h"

#include <QPointer>
#include <QWidget>

namespace quillane {

class UiSession;

// For as long as a modal dialog of ours is up: the normal pointer over it even while the
// program is busy, and afterwards the window that was active gets the keyboard back (also
// where no window manager hands it back), in the control that had it.
class ModalGuard {
public:
    ModalGuard();
    ~ModalGuard();
    ModalGuard(const ModalGuard&) = delete;
    ModalGuard& operator=(const ModalGuard&) = delete;

private:
    QPointer<QWidget> m_previous;
    QPointer<QWidget> m_focus;
    bool m_busy;
};

// Message boxes on QMessageBox, over the active window.
class QtPrompter : public Prompter {
public:
    MsgAnswer show(const Message& message) override;
};

// Busy pointer, pending events and the end of the program for the whole Qt program.
class QtAppPort : public AppPort {
public:
    explicit QtAppPort(UiSession& ui) : m_ui(ui) {}
    void setBusy(bool busy) override;
    void processEvents() override;
    void quit() override;

private:
    UiSession& m_ui;
};

} // namespace quillane
