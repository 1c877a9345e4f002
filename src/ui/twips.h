#pragma once

#include <QFont>
#include <QRect>
#include <QWidget>

namespace quillane {

// Window layouts are given in twips: 15 to a pixel at 96 dots per inch. They scale with the
// screen's logical DPI.
inline int twips(const QWidget* w, int t)
{
    const int dpi = w ? w->logicalDpiX() : 96;
    return (t * dpi + 15 * 48) / (15 * 96);
}

inline int fromPixels(const QWidget* w, int px)
{
    const int dpi = w ? w->logicalDpiX() : 96;
    return dpi > 0 ? (px * 15 * 96 + dpi / 2) / dpi : px * 15;
}

inline void placeTwips(QWidget* control, int left, int top, int width, int height)
{
    const QWidget* ref = control->parentWidget() ? control->parentWidget() : control;
    control->setGeometry(twips(ref, left), twips(ref, top), twips(ref, width), twips(ref, height));
}

// The fixed layouts are drawn for an 8.25 pt sans-serif face with Arial's widths; with a
// wider face the captions would not fit their controls.
inline QFont layoutFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Helvetica"), QStringLiteral("Nimbus Sans"), f.family()});
    f.setPointSizeF(8.25);
    return f;
}

} // namespace quillane
