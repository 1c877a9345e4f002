// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/window_frame.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <optional>

namespace quillane {

// Window layouts are given in twips: 15 to a pixel at 96 dots per inch. They scale with the
// screen's logical DPI.
inline int twips(const QWidget* w, int t) {
    const int dpi = w ? w->logicalDpiX() : 96;
    return (t * dpi + 15 * 48) / (15 * 96);
}

inline int fromPixels(const QWidget* w, int px) {
    const int dpi = w ? w->logicalDpiX() : 96;
    return dpi > 0 ? (px * 15 * 96 + dpi / 2) / dpi : px * 15;
}

// A one-line caption or a button is never given less height than its text takes: a face with a
// taller line than the design's (Nimbus Sans standing in for Arial) would otherwise cut it.
inline void placeTwips(QWidget* control, int left, int top, int width, int height) {
    const QWidget* ref = control->parentWidget() ? control->parentWidget() : control;
    int h = twips(ref, height);
    const auto* label = qobject_cast<const QLabel*>(control);
    if (label && !label->wordWrap())
        h = std::max(h, label->sizeHint().height());
    else if (qobject_cast<const QPushButton*>(control))
        h = std::max(h, control->fontMetrics().height() +
                            2 * control->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
    control->setGeometry(twips(ref, left), twips(ref, top), twips(ref, width), h);
}

// The fixed layouts are drawn for an 8.25 pt sans-serif face with Arial's widths; with a
// wider face the captions would not fit their controls.
inline QFont layoutFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Helvetica"), QStringLiteral("Nimbus Sans"), f.family()});
    f.setPointSizeF(8.25);
    return f;
}

// Keeps a resizable window at least minWidth by minHeight twips in outer size (the frame and
// title bar a window manager adds, where there is one, and the menu bar) and gives its outer
// size in twips. Nothing when it had to change the size: the resize comes back with the new one.
//
// The window opens at exactly that smallest size. A window manager's frame is known only some
// time after the window is shown (on X11 a few events later), so until the user gives the
// window a size of their own each call fits it to the frame as it is known by then. Call it on
// show and resize, and on the events that tell of a frame (frameMayHaveChanged).
inline std::optional<QSize> outerSizeTwips(QWidget* window, int minWidth, int minHeight) {
    const QSize extra = frameExtra(window);
    const QSize least(std::max(1, twips(window, minWidth) - extra.width()),
                      std::max(1, twips(window, minHeight) - extra.height()));
    if (window->minimumSize() != least) window->setMinimumSize(least);
    // The size the window was last given while opening; none once the user has resized it.
    const char* const opened = "quillaneOpenedAt";
    const QVariant openedAt = window->property(opened);
    if (!openedAt.isValid() || openedAt.toSize() == window->size()) {
        window->setProperty(opened, least);
        if (window->size() != least) {
            window->resize(least);
            return std::nullopt;
        }
    } else if (window->size() != least && !openedAt.toSize().isEmpty()) {
        window->setProperty(opened, QSize()); // the user's own size from now on
    }
    if (window->width() < least.width() || window->height() < least.height()) {
        window->resize(std::max(window->width(), least.width()),
                       std::max(window->height(), least.height()));
        return std::nullopt;
    }
    return QSize(fromPixels(window, window->width() + extra.width()),
                 fromPixels(window, window->height() + extra.height()));
}

// A move into the frame, or the activation that follows it.
inline bool frameMayHaveChanged(const QEvent* event) {
    return event->type() == QEvent::Move || event->type() == QEvent::WindowActivate;
}

// A control's box in pixels, made larger where its content needs more than the layout gives
// it (a check box's indicator, a caption in a larger face): taller evenly up and down, so it
// stays on the line it was laid out on, and wider to the right.
inline QRect fittedBox(const QWidget* control, QRect box) {
    const QSize need = control->sizeHint();
    if (need.height() > box.height()) {
        const int grow = need.height() - box.height();
        box.adjust(0, -grow / 2, 0, grow - grow / 2);
    }
    if (need.width() > box.width()) box.setWidth(need.width());
    return box;
}

} // namespace quillane
