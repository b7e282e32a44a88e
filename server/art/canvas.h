#pragma once
// A small RGBA drawing surface for the pictures the server makes itself
// (catalogue items, wealth medals). Flat colours and hard edges only: the
// GIF writer keeps every colour exactly when a picture has few of them.

#include <cstdint>
#include <utility>
#include <vector>

namespace server::art {

// 0xAARRGGBB; alpha 0 is transparent.
using Colour = std::uint32_t;

inline constexpr Colour kClear = 0;
constexpr Colour Rgb(std::uint32_t rgb) { return 0xFF000000u | (rgb & 0xFFFFFFu); }
// The colour with each channel moved toward white (amount > 0) or black (< 0), in 1/256.
Colour Shade(Colour c, int amount);

struct Point {
    double x = 0;
    double y = 0;
};

class CCanvas {
public:
    CCanvas(int width, int height, Colour fill = kClear);

    int width() const { return width_; }
    int height() const { return height_; }
    Colour At(int x, int y) const;
    const std::vector<Colour>& pixels() const { return pixels_; }

    // Pixels outside the surface are ignored by every call.
    void Set(int x, int y, Colour c);
    void FillRect(int x, int y, int w, int h, Colour c);
    void FillCircle(double cx, double cy, double r, Colour c);
    void FillRing(double cx, double cy, double inner, double outer, Colour c);
    // Even-odd fill of a closed outline, sampled at pixel centres.
    void FillPolygon(const std::vector<Point>& outline, Colour c);
    void FillStar(double cx, double cy, double outer, double inner, int points, double turn,
                  Colour c);
    void FillHeart(double cx, double cy, double size, Colour c);
    // A digit string in a 3×5 block font, each cell `scale` pixels.
    void DrawNumber(int x, int y, unsigned number, int scale, Colour c);
    static int NumberWidth(unsigned number, int scale);

private:
    int width_;
    int height_;
    std::vector<Colour> pixels_;
};

}  // namespace server::art
