// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/program_icon.h"

namespace quillane {

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/quillane-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace quillane
