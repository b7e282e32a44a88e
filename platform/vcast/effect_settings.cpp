#include "platform/vcast/effect_settings.h"

#include <cmath>
#include <cstring>

#include "platform/vcast/effect_layout.h"

namespace {
namespace L = effect_layout;

std::uint32_t U32(const unsigned char* r, std::size_t at) {
    return std::uint32_t(r[at]) | std::uint32_t(r[at + 1]) << 8 | std::uint32_t(r[at + 2]) << 16 |
           std::uint32_t(r[at + 3]) << 24;
}

float F32(const unsigned char* r, std::size_t at) {
    const std::uint32_t bits = U32(r, at);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

float Ranged(float v, float lo, float hi, float fallback) {
    return std::isfinite(v) && v >= lo && v <= hi ? v : fallback;
}

std::uint32_t Ranged(std::uint32_t v, std::uint32_t lo, std::uint32_t hi, std::uint32_t fallback) {
    return v >= lo && v <= hi ? v : fallback;
}

// Bytes up to the first zero within `width`, cut back to whole UTF-8 characters.
std::string Narrow(const unsigned char* r, std::size_t at, std::size_t width) {
    const char* s = reinterpret_cast<const char*>(r + at);
    std::size_t n = strnlen(s, width);
    if (n == width) {  // unterminated: drop a character the cut may have split
        while (n > 0 && (static_cast<unsigned char>(s[n - 1]) & 0xC0) == 0x80) --n;
        if (n > 0 && (static_cast<unsigned char>(s[n - 1]) & 0x80)) --n;
    }
    return std::string(s, n);
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 63));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 63));
        out += static_cast<char>(0x80 | (c & 63));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 63));
        out += static_cast<char>(0x80 | ((c >> 6) & 63));
        out += static_cast<char>(0x80 | (c & 63));
    }
}

// UTF-16LE units up to the first zero; unpaired surrogates end the name.
std::string Face(const unsigned char* r) {
    std::string out;
    for (std::size_t i = 0; i < L::kFaceUnits; ++i) {
        std::uint32_t u = r[L::kFace + 2 * i] | r[L::kFace + 2 * i + 1] << 8;
        if (u == 0) break;
        if (u >= 0xD800 && u < 0xDC00) {
            if (++i >= L::kFaceUnits) break;
            const std::uint32_t low = r[L::kFace + 2 * i] | r[L::kFace + 2 * i + 1] << 8;
            if (low < 0xDC00 || low >= 0xE000) break;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        } else if (u >= 0xDC00 && u < 0xE000) {
            break;
        }
        AppendUtf8(out, u);
    }
    return out;
}

std::string Path(const unsigned char* r, std::size_t at) {
    std::string p = Narrow(r, at, L::kPathWidth);
    for (auto& c : p)
        if (c == '\\') c = '/';
    return p;
}
}  // namespace

bool EffectSettings::AdjustsPixels() const {
    return brightness != 1.0f || contrast != 1.0f || whiteBalance != 0 || stretch != 10 || mirror;
}

EffectSettings ReadEffectRecord(const unsigned char* r) {
    EffectSettings e;
    if (!r) return e;
    e.brightness = Ranged(F32(r, L::kBrightness), 0.0f, 3.0f, 1.0f);
    e.contrast = Ranged(F32(r, L::kContrast), 0.0f, 3.0f, 1.0f);
    e.whiteBalance = Ranged(U32(r, L::kWhiteBalance), 0, 100, 0);
    e.stretch = Ranged(U32(r, L::kStretch), 5, 30, 10);
    e.mirror = r[L::kMirror] != 0;
    e.text = Narrow(r, L::kText, L::kTextWidth);
    for (int i = 0; i < 3; ++i) {
        e.textRgb[i] = r[L::kColours + i];
        e.backRgb[i] = r[L::kColours + 3 + i];
    }
    e.backTransparent = r[L::kTextBgTransparent] != 0;
    e.randomPlace = U32(r, L::kTextRandom) != 0;
    e.textY = Ranged(U32(r, L::kTextY), 0, 100, 60);
    e.speed = Ranged(U32(r, L::kTextSpeed), 0, 50, 0);
    e.rollMode = Ranged(U32(r, L::kRollMode), 0, 2, 0);
    e.textSize = Ranged(U32(r, L::kTextSize1), 8, 128, 18);
    const std::string face = Face(r);
    if (!face.empty()) e.face = face;
    const std::size_t paths[5] = {L::kSticker, L::kLight, L::kAnimation, L::kColourPicture, L::kCharacter};
    for (int i = 0; i < 5; ++i) e.pictures[i] = Path(r, paths[i]);
    return e;
}
