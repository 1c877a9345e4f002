// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/theme.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>
#include <cmath>

namespace quillane {

namespace {

double channel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

class ClearIndicators : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        const bool box = element == PE_IndicatorCheckBox;
        if (!box && element != PE_IndicatorRadioButton) return;
        // The keyboard focus has an outline of its own.
        if ((option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange)) return;
        // Over the one Fusion draws, on the same pixels.
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(indicatorOutline(option->palette));
        painter->setBrush(Qt::NoBrush);
        const QRect r = option->rect;
        if (box) {
            painter->translate(0.5, 0.5);
            painter->drawRect(r.adjusted(0, 0, -1, -1));
        } else {
            const qreal radius = (r.width() + (r.width() + 1) % 2) / 2.0 - 1;
            painter->drawEllipse(QPointF(r.center() + QPoint(1, 1)), radius, radius);
        }
        painter->restore();
    }
};

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& colour, const QColor& background, double ratio) {
    if (contrastRatio(colour, background) >= ratio) return colour;
    const bool darker = luminance(background) > 0.18;
    QColor c = colour.toHsl();
    for (int step = 0; step < 50; ++step) {
        const float l = std::clamp(c.lightnessF() + (darker ? -0.02f : 0.02f), 0.0f, 1.0f);
        c.setHslF(c.hslHueF(), c.hslSaturationF(), l);
        if (contrastRatio(c, background) >= ratio) return c.toRgb();
    }
    return darker ? QColor(Qt::black) : QColor(Qt::white);
}

bool isDark(const QPalette& palette) {
    return luminance(palette.color(QPalette::Base)) < 0.2;
}

QPalette lightPalette() {
    QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    const QPalette p = fusion ? fusion->standardPalette() : QPalette();
    delete fusion;
    return p;
}

QPalette darkPalette() {
    const QColor text(0xe8, 0xe8, 0xe8), disabled(0x80, 0x80, 0x80);
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x30));
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2a, 0x2a));
    p.setColor(QPalette::ToolTipBase, QColor(0x3c, 0x3c, 0x3c));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x44));
    p.setColor(QPalette::Mid, QColor(0x2a, 0x2a, 0x2c));
    p.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1a));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x2f, 0x65, 0xca));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x7a, 0xb4, 0xff));
    p.setColor(QPalette::LinkVisited, QColor(0xc4, 0x9c, 0xff));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0x2d, 0x2d, 0x30));
    return p;
}

QColor indicatorOutline(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window), base = palette.color(QPalette::Base);
    // As clear as text, so that the smoothed edge of a round button still makes 3:1. Both
    // backgrounds are light or both dark: moving away from one moves away from the other.
    return readableOn(readableOn(window.darker(140), window), base);
}

QStyle* withClearIndicators(QStyle* base) {
    return new ClearIndicators(base);
}

void applyThemeFromEnvironment(QApplication& app) {
    const QByteArray theme = qgetenv("QUILLANE_THEME").toLower();
    if (theme == "dark" || theme == "light") {
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
        QApplication::setPalette(theme == "dark" ? darkPalette() : lightPalette());
    }
    if (QApplication::style()->name() == QLatin1String("fusion"))
        app.setStyle(withClearIndicators(QStyleFactory::create(QStringLiteral("Fusion"))));
}

} // namespace quillane
