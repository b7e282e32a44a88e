#pragma once
// The top-level window under a screen point, for the follow-a-window screen
// capture. On an X11 desktop that is any program's window (asked of the X
// server through the connection Qt already holds); elsewhere (Wayland, the
// offscreen platform) only this program's own windows can be known, and
// over anything else the answer is the screen under the point (id 0).

#include <QRect>

#include <cstdint>
#include <vector>

class QPoint;
class QWidget;

struct CaughtWindow {
    std::uintptr_t id = 0;  // native window id; 0 for the whole desktop
    QRect rect;             // screen coordinates
    bool operator==(const CaughtWindow&) const = default;
};

// `skip`: windows that are never the answer (the picker itself). Nothing
// (an empty rect) when the point is on none of the screens.
CaughtWindow WindowUnderCursor(const QPoint& global, const std::vector<const QWidget*>& skip);
