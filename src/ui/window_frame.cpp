// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_frame.h"

#include <QGuiApplication>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <optional>

#ifdef QUILLANE_HAS_XCB
#include <xcb/xcb.h>
#endif

namespace quillane {

namespace {

#ifdef QUILLANE_HAS_XCB
// left + right, top + bottom in the screen's pixels; nothing where the window manager set none.
std::optional<QSize> x11FrameExtents(const QWidget* window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb") || !window->isVisible() ||
        !window->windowHandle())
        return std::nullopt;
    xcb_connection_t* c = x11->connection();
    if (!c) return std::nullopt;
    static const xcb_atom_t atom = [c] {
        static const char name[] = "_NET_FRAME_EXTENTS";
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }();
    if (atom == XCB_ATOM_NONE) return std::nullopt;
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(window->winId()), atom, XCB_ATOM_CARDINAL, 0, 4),
        nullptr);
    std::optional<QSize> extents;
    if (r && r->type == XCB_ATOM_CARDINAL && r->format == 32 &&
        xcb_get_property_value_length(r) == 16) {
        const auto* d = static_cast<const quint32*>(xcb_get_property_value(r));
        extents = QSize(int(d[0] + d[1]), int(d[2] + d[3])); // left, right, top, bottom
    }
    std::free(r);
    return extents;
}
#endif

} // namespace

QSize frameExtra(const QWidget* window) {
#ifdef QUILLANE_HAS_XCB
    if (const std::optional<QSize> e = x11FrameExtents(window)) {
        const qreal ratio = window->devicePixelRatioF();
        return QSize(int(std::lround(e->width() / ratio)), int(std::lround(e->height() / ratio)));
    }
#endif
    // While a window manager puts its frame on, the frame can read smaller than the window.
    return (window->frameGeometry().size() - window->size()).expandedTo(QSize(0, 0));
}

} // namespace quillane
