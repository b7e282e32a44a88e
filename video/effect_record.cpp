#include "video/effect_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/files.h"
#include "core/log.h"

namespace L = effect_layout;

namespace {

void PutU32(EffectRecord::Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
std::uint32_t GetU32(const unsigned char* b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}
void PutF32(EffectRecord::Bytes& b, std::size_t at, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    PutU32(b, at, v);
}
float GetF32(const unsigned char* b, std::size_t at) {
    const std::uint32_t v = GetU32(b, at);
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
}
// A text field: the bytes, a zero after them (the field is zero already).
void PutText(EffectRecord::Bytes& b, std::size_t at, std::size_t width, const std::string& s) {
    std::memcpy(b.data() + at, s.data(), std::min(s.size(), width - 1));
}
// Up to the first zero, and never past width - 1: the library reads up to a
// zero, so the last byte is one.
std::string GetText(const unsigned char* b, std::size_t at, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(b + at);
    return std::string(p, strnlen(p, width - 1));
}

// At most `max` bytes, cut before a UTF-8 character that would not fit.
void CutUtf8(std::string& s, std::size_t max) {
    if (s.size() <= max) return;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    s.resize(n);
}

std::uint32_t Within(std::uint32_t v, int low, int high) {
    return std::clamp<std::uint32_t>(v, static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(high));
}
float Within(float v, float fallback, float high) {
    if (!std::isfinite(v)) return fallback;
    return std::clamp(v, 0.0f, high);
}

}  // namespace

std::array<std::uint8_t, 6> EffectRecord::Flags() const {
    const bool adjust = brightness != 1.0f || contrast != 1.0f || whiteBalance != 0;
    return {static_cast<std::uint8_t>(adjust),          static_cast<std::uint8_t>(!sticker.empty()),
            static_cast<std::uint8_t>(!light.empty()),   static_cast<std::uint8_t>(!animation.empty()),
            static_cast<std::uint8_t>(!colourPicture.empty()), static_cast<std::uint8_t>(!text.empty())};
}

EffectRecord::Bytes EffectRecord::ToBytes() const {
    Bytes b{};
    const auto flags = Flags();
    for (std::size_t i = 0; i < flags.size(); ++i) b[L::kFlagAdjust + i] = flags[i];
    PutF32(b, L::kBrightness, brightness);
    PutF32(b, L::kContrast, contrast);
    PutU32(b, L::kStretch, stretch);
    PutU32(b, L::kWhiteBalance, whiteBalance);
    b[L::kTextBgTransparent] = textBgTransparent;
    PutText(b, L::kText, L::kTextWidth, text);
    for (std::size_t i = 0; i < colours.size(); ++i) b[L::kColours + i] = colours[i];
    PutU32(b, L::kTextRandom, textRandom);
    PutU32(b, L::kTextY, textY);
    PutU32(b, L::kTextSpeed, textSpeed);
    PutU32(b, L::kRollBits, rollMode != 0 ? 1u : 0u);
    PutU32(b, L::kTextSize1, textSize1);
    PutU32(b, L::kTextSize2, textSize2);
    PutU32(b, L::kValue108, value108);
    b[L::kFlag112] = flag112;
    b[L::kMirror] = mirror;
    for (std::size_t i = 0; i < std::min(face.size(), L::kFaceUnits - 1); ++i) {
        b[L::kFace + 2 * i] = static_cast<unsigned char>(face[i] & 0xFF);
        b[L::kFace + 2 * i + 1] = static_cast<unsigned char>(face[i] >> 8);
    }
    PutU32(b, L::kRollMode, rollMode);
    PutText(b, L::kSticker, L::kPathWidth, sticker);
    PutText(b, L::kLight, L::kPathWidth, light);
    PutText(b, L::kAnimation, L::kPathWidth, animation);
    PutText(b, L::kColourPicture, L::kPathWidth, colourPicture);
    PutText(b, L::kCharacter, L::kPathWidth, character);
    return b;
}

EffectRecord EffectRecord::FromBytes(const unsigned char* b) {
    EffectRecord r;
    r.brightness = GetF32(b, L::kBrightness);
    r.contrast = GetF32(b, L::kContrast);
    r.stretch = GetU32(b, L::kStretch);
    r.whiteBalance = GetU32(b, L::kWhiteBalance);
    r.textBgTransparent = b[L::kTextBgTransparent];
    r.text = GetText(b, L::kText, L::kTextWidth);
    for (std::size_t i = 0; i < r.colours.size(); ++i) r.colours[i] = b[L::kColours + i];
    r.textRandom = GetU32(b, L::kTextRandom);
    r.textY = GetU32(b, L::kTextY);
    r.textSpeed = GetU32(b, L::kTextSpeed);
    r.textSize1 = GetU32(b, L::kTextSize1);
    r.textSize2 = GetU32(b, L::kTextSize2);
    r.value108 = GetU32(b, L::kValue108);
    r.flag112 = b[L::kFlag112];
    r.mirror = b[L::kMirror];
    r.face.clear();
    for (std::size_t i = 0; i < L::kFaceUnits - 1; ++i) {
        const char16_t unit = static_cast<char16_t>(b[L::kFace + 2 * i] | (b[L::kFace + 2 * i + 1] << 8));
        if (unit == 0) break;
        r.face.push_back(unit);
    }
    r.rollMode = GetU32(b, L::kRollMode);
    r.sticker = GetText(b, L::kSticker, L::kPathWidth);
    r.light = GetText(b, L::kLight, L::kPathWidth);
    r.animation = GetText(b, L::kAnimation, L::kPathWidth);
    r.colourPicture = GetText(b, L::kColourPicture, L::kPathWidth);
    r.character = GetText(b, L::kCharacter, L::kPathWidth);
    r.Clamp();
    return r;
}

void EffectRecord::Clamp() {
    namespace R = effect_range;
    const EffectRecord defaults;
    brightness = Within(brightness, defaults.brightness, R::kBrightnessMax / 10.0f);
    contrast = Within(contrast, defaults.contrast, R::kContrastMax / 10.0f);
    stretch = Within(stretch, 0, R::kStretchMax);
    whiteBalance = Within(whiteBalance, 0, R::kWhiteBalanceMax);
    textBgTransparent = textBgTransparent ? 1 : 0;
    CutUtf8(text, L::kTextWidth - 1);
    textRandom = textRandom ? 1 : 0;
    textY = Within(textY, 0, R::kTextYMax);
    textSpeed = Within(textSpeed, 0, R::kTextSpeedMax);
    textSize1 = Within(textSize1, R::kTextSizeMin, R::kTextSizeMax);
    textSize2 = Within(textSize2, R::kTextSizeMin, R::kTextSizeMax);
    value108 = Within(value108, 0, R::kValue108Max);
    flag112 = flag112 ? 1 : 0;
    mirror = mirror ? 1 : 0;
    if (face.size() > L::kFaceUnits - 1) {
        std::size_t n = L::kFaceUnits - 1;
        // Never half a surrogate pair.
        if ((face[n - 1] & 0xFC00) == 0xD800) --n;
        face.resize(n);
    }
    if (rollMode >= static_cast<std::uint32_t>(R::kRollModes)) rollMode = 0;
    for (std::string* path : {&sticker, &light, &animation, &colourPicture, &character})
        CutUtf8(*path, L::kPathWidth - 1);
}

void EffectRecord::SetText(std::string_view utf8) {
    text.assign(utf8.substr(0, utf8.find('\0')));
    CutUtf8(text, L::kTextWidth - 1);
}

bool LoadEffect(const std::string& path, EffectRecord& out) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    if (size % L::kSize != 0) {
        std::filesystem::remove(path, ec);
        log_msg("effect: %s has %llu bytes, not whole records; deleted\r\n", path.c_str(),
                static_cast<unsigned long long>(size));
        return false;
    }
    if (size == 0) return false;
    // Only the first record is read, however long the file.
    EffectRecord::Bytes b{};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()))) return false;
    out = EffectRecord::FromBytes(b);
    return true;
}

bool SaveEffect(const std::string& path, const EffectRecord& record) {
    const EffectRecord::Bytes b = record.ToBytes();
    if (files::WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(b.data()), b.size())))
        return true;
    log_msg("effect: cannot write %s\r\n", path.c_str());
    return false;
}
