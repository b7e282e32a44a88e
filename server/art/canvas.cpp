#include "server/art/canvas.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace server::art {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Rows of the 3×5 digits, top first; bit 2 is the left column.
constexpr std::uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 2, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

}  // namespace

Colour Shade(Colour c, int amount) {
    const auto channel = [&](int shift) {
        const int v = static_cast<int>((c >> shift) & 0xFF);
        const int to = amount >= 0 ? 255 : 0;
        const int a = std::min(256, std::abs(amount));
        return static_cast<Colour>(v + (to - v) * a / 256) << shift;
    };
    return (c & 0xFF000000u) | channel(16) | channel(8) | channel(0);
}

CCanvas::CCanvas(int width, int height, Colour fill)
    : width_(std::max(1, width)),
      height_(std::max(1, height)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

Colour CCanvas::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kClear;
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

void CCanvas::Set(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = c;
}

void CCanvas::FillRect(int x, int y, int w, int h, Colour c) {
    for (int j = std::max(0, y); j < std::min(height_, y + h); ++j)
        for (int i = std::max(0, x); i < std::min(width_, x + w); ++i) Set(i, j, c);
}

void CCanvas::FillCircle(double cx, double cy, double r, Colour c) { FillRing(cx, cy, -1, r, c); }

void CCanvas::FillRing(double cx, double cy, double inner, double outer, Colour c) {
    const int y0 = std::max(0, static_cast<int>(std::floor(cy - outer)));
    const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(cy + outer)));
    const int x0 = std::max(0, static_cast<int>(std::floor(cx - outer)));
    const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(cx + outer)));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double d2 = dx * dx + dy * dy;
            if (d2 <= outer * outer && (inner < 0 || d2 >= inner * inner)) Set(x, y, c);
        }
}

void CCanvas::FillPolygon(const std::vector<Point>& outline, Colour c) {
    if (outline.size() < 3) return;
    std::vector<double> cuts;
    for (int y = 0; y < height_; ++y) {
        const double sy = y + 0.5;
        cuts.clear();
        for (std::size_t i = 0; i < outline.size(); ++i) {
            const Point& a = outline[i];
            const Point& b = outline[(i + 1) % outline.size()];
            if ((a.y <= sy) == (b.y <= sy)) continue;
            cuts.push_back(a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y));
        }
        std::sort(cuts.begin(), cuts.end());
        for (std::size_t i = 0; i + 1 < cuts.size(); i += 2) {
            const int from = static_cast<int>(std::ceil(cuts[i] - 0.5));
            const int to = static_cast<int>(std::floor(cuts[i + 1] - 0.5));
            for (int x = from; x <= to; ++x) Set(x, y, c);
        }
    }
}

void CCanvas::FillStar(double cx, double cy, double outer, double inner, int points, double turn,
                       Colour c) {
    std::vector<Point> outline;
    for (int i = 0; i < points * 2; ++i) {
        const double r = i % 2 ? inner : outer;
        const double a = turn - kPi / 2 + i * kPi / points;
        outline.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    FillPolygon(outline, c);
}

void CCanvas::FillHeart(double cx, double cy, double size, Colour c) {
    std::vector<Point> outline;
    const double k = size / 34.0;  // the curve spans about 34 units across
    for (int i = 0; i < 64; ++i) {
        const double t = 2 * kPi * i / 64;
        const double s = std::sin(t);
        const double x = 16 * s * s * s;
        const double y = 13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) -
                         std::cos(4 * t);
        outline.push_back({cx + x * k, cy - y * k});
    }
    FillPolygon(outline, c);
}

int CCanvas::NumberWidth(unsigned number, int scale) {
    const int digits = static_cast<int>(std::to_string(number).size());
    return digits * 4 * scale - scale;
}

void CCanvas::DrawNumber(int x, int y, unsigned number, int scale, Colour c) {
    for (char d : std::to_string(number)) {
        const auto& rows = kDigits[d - '0'];
        for (int r = 0; r < 5; ++r)
            for (int col = 0; col < 3; ++col)
                if (rows[r] & (4 >> col)) FillRect(x + col * scale, y + r * scale, scale, scale, c);
        x += 4 * scale;
    }
}

}  // namespace server::art
