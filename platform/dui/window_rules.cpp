#include "platform/dui/window_rules.h"

#include <algorithm>
#include <charconv>
#include <map>

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

Box CentredPlacement(int w, int h, int minW, int minH, const Box& work) {
    w = std::max(std::min(w, work.w), minW);
    h = std::max(std::min(h, work.h), minH);
    const int x = std::max(work.x + (work.w - w) / 2, work.x);
    const int y = std::max(work.y + (work.h - h) / 2, work.y);
    return {x, y, w, h};
}

std::optional<Box> RestoredPlacement(const Box& r, int captionHeight, int minW, int minH,
                                     const std::vector<Box>& workAreas) {
    if (r.w <= 0 || r.h <= 0) return std::nullopt;
    const int strip = std::max(1, std::min(captionHeight > 0 ? captionHeight : kGrabHeight, r.h));
    const int needW = std::min(kGrabWidth, r.w);
    const int needH = std::min(kGrabHeight, strip);
    for (const Box& a : workAreas) {
        const int left = std::max(r.x, a.x), right = std::min(r.x + r.w, a.x + a.w);
        const int top = std::max(r.y, a.y), bottom = std::min(r.y + strip, a.y + a.h);
        if (right - left < needW || bottom - top < needH) continue;
        Box b = r;
        b.w = std::max(std::min(b.w, a.w), minW);
        b.h = std::max(std::min(b.h, a.h), minH);
        b.y = std::max(b.y, a.y);
        return b;
    }
    return std::nullopt;
}

namespace {
// Beyond any screen: a figure past it is a damaged file, not a place.
constexpr int kFarthest = 1'000'000;

bool WholeNumber(std::string_view s, int& out) {
    if (s.empty()) return false;
    const char* end = s.data() + s.size();
    const auto [p, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && p == end;
}
}  // namespace

std::string FormatWindowPlace(const WindowPlace& p) {
    return "x=" + std::to_string(p.normal.x) + "\ny=" + std::to_string(p.normal.y) +
           "\nwidth=" + std::to_string(p.normal.w) + "\nheight=" + std::to_string(p.normal.h) +
           "\nmaximised=" + (p.maximised ? "1" : "0") + "\n";
}

std::optional<WindowPlace> ParseWindowPlace(std::string_view text) {
    std::map<std::string_view, int> values;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        int v = 0;
        if (!WholeNumber(line.substr(eq + 1), v) || v < -kFarthest || v > kFarthest) return std::nullopt;
        values[line.substr(0, eq)] = v;
    }
    WindowPlace p;
    int maximised = 0;
    for (auto [key, out] : {std::pair<const char*, int*>{"x", &p.normal.x}, {"y", &p.normal.y},
                            {"width", &p.normal.w}, {"height", &p.normal.h}, {"maximised", &maximised}}) {
        auto it = values.find(key);
        if (it == values.end()) return std::nullopt;
        *out = it->second;
    }
    if (p.normal.w < 1 || p.normal.h < 1 || (maximised != 0 && maximised != 1)) return std::nullopt;
    p.maximised = maximised == 1;
    return p;
}

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
