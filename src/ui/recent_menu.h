// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/recent_files.h"

#include <QString>
#include <functional>

class QMenu;

namespace quillane {

// File > Open recent: a sub-menu of menu, "&1 name (folder)" for each file of the list, filled
// afresh each time menu opens, and disabled while the list is empty. Choosing one calls open.
QMenu* addRecentMenu(QMenu* menu, RecentList list, std::function<void(const QString&)> open);

} // namespace quillane
