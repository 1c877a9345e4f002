#pragma once

#include <QFont>
#include <QRect>
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

inline void placeTwips(QWidget* control, int left, int top, int width, int height) {
    const QWidget* ref = control->parentWidget() ? control->parentWidget() : control;
    control->setGeometry(twips(ref, left), twips(ref, top), twips(ref, width), twips(ref, height));
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
// size in twips. Nothing when it had to grow it: the resize comes back with the new size.
inline std::optional<QSize> outerSizeTwips(QWidget* window, int minWidth, int minHeight) {
    const QSize extra = window->frameGeometry().size() - window->size();
    const int w = std::max(1, twips(window, minWidth) - extra.width());
    const int h = std::max(1, twips(window, minHeight) - extra.height());
    if (window->minimumSize() != QSize(w, h)) window->setMinimumSize(w, h);
    if (window->width() < w || window->height() < h) {
        window->resize(std::max(window->width(), w), std::max(window->height(), h));
        return std::nullopt;
    }
    return QSize(fromPixels(window, window->width() + extra.width()),
                 fromPixels(window, window->height() + extra.height()));
}

} // namespace quillane
