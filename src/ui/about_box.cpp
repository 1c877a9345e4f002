#include "ui/about_box.h"

namespace quillane {

// To be built: frmAbout.
void showAboutBox(UiSession&, QWidget*) {}

} // namespace quillane
