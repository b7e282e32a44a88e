#include "server/catalogue_art.h"

#include <cmath>
#include <vector>

#include "server/art/canvas.h"
#include "server/art/gif.h"
#include "server/art/png.h"

namespace server::catalogue_art {

namespace {

using art::CCanvas;
using art::Colour;
using art::Rgb;
using art::Shade;

constexpr double kPi = 3.14159265358979323846;

// One gift drawn into a square of `size` around (cx, cy); `turn` rotates
// what can turn (stars, flowers), in radians.
void DrawShape(CCanvas& c, Shape shape, double cx, double cy, double size, Colour body,
               double turn) {
    const double r = size / 2;
    const Colour dark = Shade(body, -90), light = Shade(body, 130);
    switch (shape) {
        case Shape::heart:
            c.FillHeart(cx, cy + r * 0.05, size * 1.02, dark);
            c.FillHeart(cx, cy, size * 0.9, body);
            c.FillCircle(cx - r * 0.4, cy - r * 0.35, r * 0.15, light);
            break;
        case Shape::star:
            c.FillStar(cx, cy, r, r * 0.45, 5, turn, dark);
            c.FillStar(cx, cy, r * 0.82, r * 0.36, 5, turn, body);
            c.FillCircle(cx, cy, r * 0.16, light);
            break;
        case Shape::flower:
            for (int i = 0; i < 6; ++i) {
                const double a = turn + i * kPi / 3;
                c.FillCircle(cx + std::cos(a) * r * 0.55, cy + std::sin(a) * r * 0.55, r * 0.38,
                             i % 2 ? body : Shade(body, 50));
            }
            c.FillCircle(cx, cy, r * 0.32, Rgb(0xFFD54F));
            c.FillCircle(cx - r * 0.08, cy - r * 0.08, r * 0.12, Rgb(0xFFF59D));
            break;
        case Shape::gem:
            c.FillPolygon({{cx - r * 0.9, cy - r * 0.3}, {cx - r * 0.5, cy - r * 0.8},
                           {cx + r * 0.5, cy - r * 0.8}, {cx + r * 0.9, cy - r * 0.3},
                           {cx, cy + r * 0.95}},
                          dark);
            c.FillPolygon({{cx - r * 0.7, cy - r * 0.3}, {cx - r * 0.4, cy - r * 0.65},
                           {cx + r * 0.4, cy - r * 0.65}, {cx + r * 0.7, cy - r * 0.3},
                           {cx, cy + r * 0.7}},
                          body);
            c.FillPolygon({{cx - r * 0.4, cy - r * 0.65}, {cx, cy - r * 0.3}, {cx - r * 0.7, cy - r * 0.3}},
                          light);
            break;
        case Shape::balloon:
            c.FillRect(static_cast<int>(cx), static_cast<int>(cy + r * 0.55), 1,
                       static_cast<int>(r * 0.45), Rgb(0x8D6E63));
            c.FillCircle(cx, cy - r * 0.15, r * 0.72, dark);
            c.FillCircle(cx, cy - r * 0.17, r * 0.64, body);
            c.FillPolygon({{cx - r * 0.12, cy + r * 0.62}, {cx + r * 0.12, cy + r * 0.62}, {cx, cy + r * 0.45}},
                          dark);
            c.FillCircle(cx - r * 0.25, cy - r * 0.4, r * 0.14, light);
            break;
        case Shape::crown:
            c.FillPolygon({{cx - r * 0.9, cy + r * 0.55}, {cx - r * 0.9, cy - r * 0.5},
                           {cx - r * 0.45, cy}, {cx, cy - r * 0.8}, {cx + r * 0.45, cy},
                           {cx + r * 0.9, cy - r * 0.5}, {cx + r * 0.9, cy + r * 0.55}},
                          body);
            c.FillRect(static_cast<int>(cx - r * 0.9), static_cast<int>(cy + r * 0.35),
                       static_cast<int>(r * 1.8), static_cast<int>(r * 0.25) + 1, dark);
            for (double dx : {-0.9, 0.0, 0.9})
                c.FillCircle(cx + dx * r, cy + (dx == 0.0 ? -0.8 : -0.5) * r, r * 0.14, Rgb(0xE53935));
            break;
        case Shape::cake:
            c.FillRect(static_cast<int>(cx - r * 0.85), static_cast<int>(cy), static_cast<int>(r * 1.7),
                       static_cast<int>(r * 0.8), dark);
            c.FillRect(static_cast<int>(cx - r * 0.7), static_cast<int>(cy - r * 0.45),
                       static_cast<int>(r * 1.4), static_cast<int>(r * 0.5), body);
            c.FillRect(static_cast<int>(cx - r * 0.85), static_cast<int>(cy), static_cast<int>(r * 1.7),
                       static_cast<int>(r * 0.15) + 1, light);
            c.FillRect(static_cast<int>(cx - 1), static_cast<int>(cy - r * 0.8), 2,
                       static_cast<int>(r * 0.35), Rgb(0xFFFFFF));
            c.FillCircle(cx, cy - r * 0.88, r * 0.1 + 1, Rgb(0xFFB300));
            break;
        case Shape::lollipop:
            c.FillRect(static_cast<int>(cx - 1), static_cast<int>(cy + r * 0.1), 2,
                       static_cast<int>(r * 0.9), Rgb(0xEEEEEE));
            c.FillCircle(cx, cy - r * 0.25, r * 0.66, dark);
            c.FillRing(cx, cy - r * 0.25, r * 0.15, r * 0.58, body);
            c.FillRing(cx, cy - r * 0.25, r * 0.3, r * 0.42, light);
            c.FillStar(cx, cy - r * 0.25, r * 0.58, r * 0.2, 4, turn, Shade(body, 60));
            break;
    }
}

std::string Still(Shape shape, std::uint32_t rgb, int side) {
    CCanvas c(side, side);
    DrawShape(c, shape, side / 2.0, side / 2.0, side * 0.86, Rgb(rgb), 0);
    return art::EncodePng(c);
}

void DrawCar(CCanvas& c, double x, double y, double w, Colour body, int style, int frame) {
    const double h = w * 0.5;
    const Colour dark = Shade(body, -100);
    // Style 0 a saloon, 1 a sports car, 2 a van.
    const double roof = style == 1 ? 0.45 : style == 2 ? 0.0 : 0.3;
    c.FillPolygon({{x, y + h * 0.45}, {x + w * (0.18 + roof * 0.2), y + h * 0.45},
                   {x + w * (0.28 + roof * 0.2), y + h * (style == 1 ? 0.2 : 0.05)},
                   {x + w * (0.72 - roof * 0.1), y + h * (style == 1 ? 0.2 : 0.05)},
                   {x + w * 0.85, y + h * 0.45}, {x + w, y + h * 0.55}, {x + w, y + h * 0.8},
                   {x, y + h * 0.8}},
                  body);
    c.FillPolygon({{x + w * (0.31 + roof * 0.2), y + h * (style == 1 ? 0.26 : 0.12)},
                   {x + w * (0.69 - roof * 0.1), y + h * (style == 1 ? 0.26 : 0.12)},
                   {x + w * 0.79, y + h * 0.43}, {x + w * (0.22 + roof * 0.2), y + h * 0.43}},
                  Rgb(0xB3E5FC));
    const double pillarTop = y + h * (style == 1 ? 0.26 : 0.12);
    c.FillRect(static_cast<int>(x + w * 0.5), static_cast<int>(pillarTop), 1,
               static_cast<int>(y + h * 0.43 - pillarTop) + 1, body);
    c.FillCircle(x + w * 0.96, y + h * 0.6, w * 0.03 + 0.6, Rgb(0xFFF176));
    for (double wx : {0.22, 0.78}) {
        c.FillCircle(x + w * wx, y + h * 0.8, h * 0.2, Rgb(0x212121));
        c.FillCircle(x + w * wx, y + h * 0.8, h * 0.09, Rgb(0xBDBDBD));
        // A spoke that turns with the frames.
        const double a = frame * 0.9;
        c.FillCircle(x + w * wx + std::cos(a) * h * 0.13, y + h * 0.8 + std::sin(a) * h * 0.13,
                     h * 0.04 + 0.5, dark);
    }
}

void Sparkles(CCanvas& c, int frame, double cx, double cy, double spread) {
    for (int i = 0; i < 5; ++i) {
        const double a = i * 2 * kPi / 5 + frame * 0.35;
        const double d = spread * (0.7 + 0.3 * std::sin(frame + i));
        c.FillStar(cx + std::cos(a) * d, cy + std::sin(a) * d, 4.5, 1.5, 4, a,
                   i % 2 ? Rgb(0xFFF59D) : Rgb(0xFFFFFF));
    }
}

}  // namespace

std::string GiftIcon(Shape shape, std::uint32_t rgb) { return Still(shape, rgb, 40); }

std::string GiftChatPicture(Shape shape, std::uint32_t rgb) { return Still(shape, rgb, 24); }

std::string GiftAnimation(Shape shape, std::uint32_t rgb) {
    constexpr int kSide = 96, kFrames = 8;
    std::vector<art::GifFrame> frames;
    for (int f = 0; f < kFrames; ++f) {
        CCanvas c(kSide, kSide);
        const double swell = 1.0 + 0.12 * std::sin(f * 2 * kPi / kFrames);
        DrawShape(c, shape, kSide / 2.0, kSide / 2.0, kSide * 0.55 * swell, Rgb(rgb),
                  f * kPi / (kFrames * 2.5));
        Sparkles(c, f, kSide / 2.0, kSide / 2.0, kSide * 0.4);
        frames.push_back({std::move(c), 90});
    }
    return art::EncodeGif(frames);
}

std::string CarIcon(std::uint32_t rgb, int style) {
    CCanvas c(64, 40);
    DrawCar(c, 3, 6, 58, Rgb(rgb), style, 0);
    return art::EncodePng(c);
}

std::string CarAnimation(std::uint32_t rgb, int style) {
    constexpr int kW = 200, kH = 80, kFrames = 12;
    std::vector<art::GifFrame> frames;
    for (int f = 0; f < kFrames; ++f) {
        CCanvas c(kW, kH);
        c.FillRect(0, kH - 8, kW, 2, Rgb(0x9E9E9E));
        const double x = -100 + (kW + 100) * f / static_cast<double>(kFrames - 1);
        DrawCar(c, x, 18, 100, Rgb(rgb), style, f);
        frames.push_back({std::move(c), 80});
    }
    return art::EncodeGif(frames);
}

namespace {

Colour VipColour(unsigned level) {
    switch (level) {
        case 1: return Rgb(0x42A5F5);
        case 2: return Rgb(0xAB47BC);
        default: return Rgb(0xFFB300);
    }
}

}  // namespace

std::string VipIcon(unsigned level) {
    CCanvas c(40, 40);
    const Colour body = VipColour(level);
    c.FillPolygon({{4, 8}, {20, 2}, {36, 8}, {34, 26}, {20, 38}, {6, 26}}, Shade(body, -90));
    c.FillPolygon({{7, 10}, {20, 5}, {33, 10}, {31, 25}, {20, 34}, {9, 25}}, body);
    // A "V" and the level under it.
    c.FillPolygon({{12, 8}, {16, 8}, {20, 15}, {24, 8}, {28, 8}, {21, 20}, {19, 20}},
                  Rgb(0xFFFFFF));
    const int w = CCanvas::NumberWidth(level, 2);
    c.DrawNumber(20 - w / 2, 22, level, 2, Rgb(0xFFFFFF));
    return art::EncodePng(c);
}

std::string VipBadge(unsigned level) {
    CCanvas c(22, 16);
    const Colour body = VipColour(level);
    c.FillRect(1, 1, 20, 14, Shade(body, -90));
    c.FillRect(2, 2, 18, 12, body);
    c.FillPolygon({{3, 4}, {6, 4}, {8, 10}, {10, 4}, {13, 4}, {9, 13}, {7, 13}}, Rgb(0xFFFFFF));
    c.DrawNumber(15, 5, level, 1, Rgb(0xFFFFFF));
    return art::EncodePng(c);
}

std::string PropIcon(int sign, std::uint32_t rgb) {
    CCanvas c(40, 40);
    const Colour body = Rgb(rgb);
    c.FillRect(5, 3, 30, 34, Shade(body, -90));
    c.FillRect(7, 5, 26, 30, body);
    const Colour ink = Rgb(0xFFFFFF);
    switch (sign) {
        case 0:  // a mouth crossed out
            c.FillRect(12, 18, 16, 5, ink);
            c.FillPolygon({{10, 10}, {13, 9}, {31, 29}, {28, 31}}, Rgb(0xD32F2F));
            break;
        case 1:  // a mouth speaking again
            c.FillRect(12, 18, 16, 5, ink);
            c.FillRing(20, 20, 10, 12, ink);
            break;
        default:  // a screen with a line of text
            c.FillRect(10, 11, 20, 14, ink);
            c.FillRect(12, 20, 16, 2, body);
            c.FillRect(16, 27, 8, 3, ink);
            break;
    }
    return art::EncodePng(c);
}

}  // namespace server::catalogue_art
