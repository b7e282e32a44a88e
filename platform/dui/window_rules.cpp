#include "platform/dui/window_rules.h"

#include <algorithm>

namespace dui {

Hit HitTestWindow(const HitRules& r, int x, int y, bool overInputControl) {
    if (r.maximised || x < 0 || y < 0 || x >= r.width || y >= r.height) return Hit::kClient;
    const bool left = x < r.sizeBox.l;
    const bool right = x >= r.width - r.sizeBox.r;
    const bool top = y < r.sizeBox.t;
    const bool bottom = y >= r.height - r.sizeBox.b;
    if (top && left) return Hit::kTopLeft;
    if (top && right) return Hit::kTopRight;
    if (bottom && left) return Hit::kBottomLeft;
    if (bottom && right) return Hit::kBottomRight;
    if (top) return Hit::kTop;
    if (bottom) return Hit::kBottom;
    if (left) return Hit::kLeft;
    if (right) return Hit::kRight;
    const bool inCaption = x >= r.caption.l && x < r.width - r.caption.r && y >= r.caption.t &&
                           y < r.caption.b;
    if (inCaption && !overInputControl) return Hit::kCaption;
    return Hit::kClient;
}

Box MaximisedPlacement(const Box& work) { return {work.x - 5, work.y - 3, work.w + 10, work.h + 10}; }

Box PlacePopup(int x, int y, int w, int h, const Box& screen) {
    w = std::min(w, screen.w);
    h = std::min(h, screen.h);
    if (x + w > screen.x + screen.w) x -= w;  // open to the left
    if (y + h > screen.y + screen.h) y -= h;  // open upward
    x = std::clamp(x, screen.x, screen.x + screen.w - w);
    y = std::clamp(y, screen.y, screen.y + screen.h - h);
    return {x, y, w, h};
}

}  // namespace dui
