#pragma once

#include "core/ports.h"

class QWidget;

namespace quillane {

// dlgSaveLoad: the common file dialog of a window, on QFileDialog. Settings persist between
// uses; a cancelled dialog leaves fileName empty.
class QtFileDialog : public FileDialogPort {
public:
    explicit QtFileDialog(QWidget* owner) : m_owner(owner) {}
    void showOpen() override;
    void showSave() override;

private:
    QWidget* m_owner;
};

} // namespace quillane
