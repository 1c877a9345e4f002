#pragma once

#include "core/ports.h"

namespace quillane {

class UiSession;

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
