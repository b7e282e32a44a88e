#include "ui/window_under_cursor.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <memory>

#ifdef ZERI_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

#ifdef ZERI_HAVE_XCB
// The root's child at the point and its rectangle, asked of the X server;
// false when the platform is not X11 or there is none. Windows that let the
// mouse through (the follower itself) are not found.
bool X11WindowAt(const QPoint& global, CaughtWindow& out) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) return false;
    using Reply = std::unique_ptr<void, decltype(&std::free)>;
    auto* at = xcb_translate_coordinates_reply(
        c,
        xcb_translate_coordinates(c, screen->root, screen->root, static_cast<std::int16_t>(global.x()),
                                  static_cast<std::int16_t>(global.y())),
        nullptr);
    Reply keepAt(at, &std::free);
    if (!at || at->child == XCB_WINDOW_NONE) return false;
    auto* geo = xcb_get_geometry_reply(c, xcb_get_geometry(c, at->child), nullptr);
    Reply keepGeo(geo, &std::free);
    if (!geo) return false;
    // Children of the root have root coordinates already.
    out.id = at->child;
    out.rect = QRect(geo->x, geo->y, geo->width, geo->height);
    return true;
}
#endif

}  // namespace

CaughtWindow WindowUnderCursor(const QPoint& global, const std::vector<const QWidget*>& skip) {
    CaughtWindow found;
    // Our own windows first: the picker sits on top of what it follows.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || std::find(skip.begin(), skip.end(), w) != skip.end()) continue;
        if (!w->frameGeometry().contains(global)) continue;
        found.id = static_cast<std::uintptr_t>(w->winId());
        found.rect = w->frameGeometry();
        return found;
    }
#ifdef ZERI_HAVE_XCB
    if (X11WindowAt(global, found) && found.rect.contains(global)) return found;
    found = {};
#endif
    if (const QScreen* s = QGuiApplication::screenAt(global)) found.rect = s->geometry();
    return found;
}
