// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>

class QWidget;

namespace quillane {

// What a window manager's frame adds to a top-level window's size, in the window's pixels.
// On X11 it is read from the window manager's own note (_NET_FRAME_EXTENTS) where there is
// one: Qt learns of a frame only when the window is configured again, which need not happen
// after the frame was put on. Elsewhere, and before the frame is known, Qt's frame geometry.
QSize frameExtra(const QWidget* window);

} // namespace quillane
