// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace quillane {

// The program's icon in all the sizes it comes in; the windows carry it.
QIcon programIcon();

} // namespace quillane
