// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPalette>

class QApplication;

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

// QUILLANE_THEME=dark or =light picks the Fusion style with that palette; unset, the windows
// follow the desktop.
void applyThemeFromEnvironment(QApplication& app);

} // namespace quillane
