#include "server/medal_art.h"

#include <array>
#include <cmath>

#include "server/art/canvas.h"
#include "server/art/png.h"
#include "server/http/http_server.h"
#include "server/http/json_reply.h"

namespace server {

namespace {

using art::CCanvas;
using art::Colour;
using art::Rgb;
using art::Shade;

constexpr int kSide = 24;
constexpr const char* kPrefix = "/wealth/";

// A hue per grade, spread round the wheel so neighbours differ.
Colour GradeColour(unsigned grade) {
    const double hue = std::fmod(grade * 137.5, 360.0) / 60.0;
    const double x = 1 - std::fabs(std::fmod(hue, 2.0) - 1);
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hue)) {
        case 0: r = 1, g = x; break;
        case 1: r = x, g = 1; break;
        case 2: g = 1, b = x; break;
        case 3: g = x, b = 1; break;
        case 4: r = x, b = 1; break;
        default: r = 1, b = x; break;
    }
    const auto c = [](double v) { return static_cast<std::uint32_t>(60 + v * 170); };
    return Rgb(c(r) << 16 | c(g) << 8 | c(b));
}

std::string DrawMedal(unsigned grade) {
    CCanvas c(kSide, kSide);
    const Colour body = GradeColour(grade);
    // Ribbon tails behind the disc.
    c.FillPolygon({{6, 0}, {11, 0}, {13, 10}, {8, 10}}, Shade(body, -80));
    c.FillPolygon({{13, 0}, {18, 0}, {16, 10}, {11, 10}}, Shade(body, -40));
    // Higher grades wear a star behind the disc, with more points.
    if (grade >= 10) c.FillStar(12, 14, 10.5, 7.5, 5 + static_cast<int>(grade / 10), 0, Rgb(0xE8C547));
    c.FillCircle(12, 14, 8.5, Shade(body, -96));
    c.FillCircle(12, 14, 7.2, body);
    c.FillCircle(8, 10, 1.6, Shade(body, 120));
    const int scale = grade >= 10 ? 1 : 2;
    const int w = CCanvas::NumberWidth(grade, scale);
    const int top = 14 - 5 * scale / 2;
    c.DrawNumber(12 - w / 2 + 1, top + 1, grade, scale, Rgb(0x202020));
    c.DrawNumber(12 - w / 2, top, grade, scale, Rgb(0xFFFFFF));
    return art::EncodePng(c);
}

// "7.png" -> 7; false for anything not written plainly.
bool ParseMedalName(const std::string& name, unsigned& grade) {
    const auto dot = name.find('.');
    if (dot == std::string::npos || dot == 0 || dot > 2 || name.substr(dot) != ".png") return false;
    unsigned v = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        v = v * 10 + static_cast<unsigned>(name[i] - '0');
    }
    if (dot == 2 && name[0] == '0') return false;
    if (v > kMaxMedalGrade) return false;
    grade = v;
    return true;
}

}  // namespace

const std::string& WealthMedalPng(unsigned grade) {
    static const std::array<std::string, kMaxMedalGrade + 1> medals = [] {
        std::array<std::string, kMaxMedalGrade + 1> all;
        for (unsigned g = 0; g <= kMaxMedalGrade; ++g) all[g] = DrawMedal(g);
        return all;
    }();
    static const std::string none;
    return grade <= kMaxMedalGrade ? medals[grade] : none;
}

void MountMedalRoute(CHttpServer& server) {
    server.RoutePrefix("GET", kPrefix, [](const HttpRequest& req, HttpResponse& res) {
        unsigned grade = 0;
        const std::string name = req.path.substr(std::string(kPrefix).size());
        if (!ParseMedalName(name, grade) || WealthMedalPng(grade).empty())
            return json_reply::Fail(res, 404, 404, "no such medal");
        res.SetHeader("Cache-Control", "max-age=86400");
        res.SetHeader("X-Content-Type-Options", "nosniff");
        res.SetContent(WealthMedalPng(grade), "image/png");
    });
}

}  // namespace server
