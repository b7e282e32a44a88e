#pragma once
// Geometry rules of the frameless skinned windows, as pure functions: what a
// point of the window is (for moving and sizing), where a maximised window
// goes, and where a popup menu opens.

#include "platform/dui/skin_model.h"

namespace dui {

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Box&) const = default;
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

enum class Hit {
    kClient,
    kCaption,
    kLeft,
    kRight,
    kTop,
    kBottom,
    kTopLeft,
    kTopRight,
    kBottomLeft,
    kBottomRight,
};

struct HitRules {
    int width = 0, height = 0;  // the window
    Rect4 sizeBox;              // border widths that size the window (l, t, r, b)
    Rect4 caption;              // caption: left inset, top, right inset, bottom (y of its lower edge)
    bool maximised = false;
};

// A point inside the size-box border gives that edge or corner; inside the
// caption it gives kCaption unless `overInputControl` (a button, option or
// any control that takes the mouse itself); otherwise kClient. A maximised
// window has neither edges nor caption.
Hit HitTestWindow(const HitRules& rules, int x, int y, bool overInputControl);

// A maximised window covers the work area and reaches 5 px past its left and
// right edges, 3 px above it and 7 px below it.
Box MaximisedPlacement(const Box& workArea);

// A popup of the given size opened at (x, y): it stays inside the screen,
// opening to the left or upward when it would not fit to the right or below.
Box PlacePopup(int x, int y, int w, int h, const Box& screen);

}  // namespace dui
