#pragma once
// Geometry rules of the frameless skinned windows, as pure functions: what a
// point of the window is (for moving and sizing), where a maximised window
// goes, and where a popup menu opens.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Where a window of size w x h opens: centred on the work area, cut to it
// (never below the minimum size), its top-left corner, and so its caption,
// on it.
Box CentredPlacement(int w, int h, int minW, int minH, const Box& workArea);

// A remembered place, usable only while the person can still grab its
// caption: a strip of it at least kGrabWidth wide and kGrabHeight high (or
// the caption's height when smaller) lies on one of the work areas. The size
// is then cut to that area (never below the minimum) and the top edge kept
// on it. Nothing when no screen shows the caption.
inline constexpr int kGrabWidth = 64;
inline constexpr int kGrabHeight = 16;
std::optional<Box> RestoredPlacement(const Box& remembered, int captionHeight, int minW, int minH,
                                     const std::vector<Box>& workAreas);

// A window's place as its remembered file holds it: the size and position
// it has when not maximised, and whether it was maximised.
struct WindowPlace {
    Box normal;
    bool maximised = false;
    bool operator==(const WindowPlace&) const = default;
};
// "x=…", "y=…", "width=…", "height=…", "maximised=0|1", one a line.
std::string FormatWindowPlace(const WindowPlace& place);
// Nothing for a damaged text: a key missing, a value not a whole number,
// a size below 1 or any figure beyond what a screen holds.
std::optional<WindowPlace> ParseWindowPlace(std::string_view text);

// A popup of the given size opened at (x, y): it stays inside the screen,
// opening to the left or upward when it would not fit to the right or below.
Box PlacePopup(int x, int y, int w, int h, const Box& screen);

}  // namespace dui
