#include "ui/file_dialog.h"

namespace quillane {

// To be built: see the file dialog's behaviour in the designer's work.
void QtFileDialog::showOpen()
{
    fileName.clear();
    fileTitle.clear();
}

void QtFileDialog::showSave()
{
    fileName.clear();
    fileTitle.clear();
}

} // namespace quillane
