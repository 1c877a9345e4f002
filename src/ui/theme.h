// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPalette>

class QApplication;
class QStyle;

namespace quillane {

// Contrast of two colours as readability guidelines measure it: 1 (the same) to 21 (black on
// white).
double contrastRatio(const QColor& a, const QColor& b);

// colour itself when it stands out from background by at least ratio, otherwise the same hue
// made darker (on a light background) or lighter (on a dark one) until it does.
QColor readableOn(const QColor& colour, const QColor& background, double ratio = 4.5);

// True when the palette draws dark text fields.
bool isDark(const QPalette& palette);

// The Fusion style's palettes, light and dark.
QPalette lightPalette();
QPalette darkPalette();

// The outline of a check box or option button: it stands out from the window and the field
// colour as text does, so that the box shows in a light and in a dark look alike.
QColor indicatorOutline(const QPalette& palette);
// Fusion draws that outline barely darker than the window, nearly invisible in a dark look:
// the style, taking base, with the outline drawn over in indicatorOutline().
QStyle* withClearIndicators(QStyle* base);

// QUILLANE_THEME=dark or =light picks the Fusion style with that palette; unset, the windows
// follow the desktop. Where the style is Fusion, its check boxes get a clear outline.
void applyThemeFromEnvironment(QApplication& app);

} // namespace quillane
