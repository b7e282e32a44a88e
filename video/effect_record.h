#pragma once
// The video effects (picture adjustment, overlay text, pictures, mirror) as
// named fields, and their 1488-byte form that the video library takes and
// "effect.dat" keeps (offsets in platform/vcast/effect_layout.h). The bytes
// are written field by field, little-endian, so the file reads the same on
// any machine. Flags 0–5 of the bytes are never stored here: they are worked
// out from the fields each time the bytes are made, so they always agree.
//
// Whatever comes from a file is made safe on the way in: texts end inside
// their width, numbers lie within the ranges of the dialog's controls
// (below), and a float that is not finite is its default.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/vcast/effect_layout.h"

namespace effect_range {
// Sliders: brightness and contrast are the slider's value / 10.
inline constexpr int kBrightnessMax = 20;
inline constexpr int kContrastMax = 20;
inline constexpr int kStretchMax = 20;
inline constexpr int kWhiteBalanceMax = 100;
inline constexpr int kTextYMax = 100;     // percent of the picture's height
inline constexpr int kTextSpeedMax = 10;
inline constexpr int kRollModes = 3;      // still, right to left, left to right
inline constexpr int kTextSizeMin = 8;
inline constexpr int kTextSizeMax = 72;
inline constexpr int kValue108Max = 10000;
}  // namespace effect_range

struct EffectRecord {
    using Bytes = std::array<unsigned char, effect_layout::kSize>;

    float brightness = 1.0f;
    float contrast = 1.0f;
    std::uint32_t stretch = 10;
    std::uint32_t whiteBalance = 0;
    std::uint8_t textBgTransparent = 0;
    std::string text;  // UTF-8, at most 31 bytes
    std::array<std::uint8_t, 6> colours{255, 0, 0, 0, 255, 0};  // text r,g,b, background r,g,b
    std::uint32_t textRandom = 0;
    std::uint32_t textY = 60;
    std::uint32_t textSpeed = 0;
    std::uint32_t textSize1 = 18;
    std::uint32_t textSize2 = 18;
    std::uint32_t value108 = 900;
    std::uint8_t flag112 = 0;
    std::uint8_t mirror = 0;
    std::u16string face = u"宋体";  // at most 31 units
    std::uint32_t rollMode = 0;
    // Picture paths as stored (a format string: backslashes kept), at most
    // 259 bytes each.
    std::string sticker, light, animation, colourPicture;
    std::string character = "effect\\character\\character.bmp";

    static EffectRecord Defaults() { return {}; }

    // Derived flags: adjustment in use, sticker, light, animation, colour
    // picture, overlay text.
    std::array<std::uint8_t, 6> Flags() const;
    Bytes ToBytes() const;
    // Any bytes give a record within range (see the top of this file).
    static EffectRecord FromBytes(const unsigned char* bytes);
    static EffectRecord FromBytes(const Bytes& bytes) { return FromBytes(bytes.data()); }

    // Brings every field within its control's range and every text within
    // its width (a text cut on a character boundary).
    void Clamp();
    // The overlay text set from the user's words: cut to what fits.
    void SetText(std::string_view utf8);

    bool operator==(const EffectRecord&) const = default;
};

// Loads "effect.dat": a file whose size is not a multiple of the record's
// size is damaged and deleted; otherwise its first record replaces `out`.
// False (out unchanged) when nothing was loaded.
bool LoadEffect(const std::string& path, EffectRecord& out);
// One record, replacing the file atomically; false (logged) when it cannot
// be written.
bool SaveEffect(const std::string& path, const EffectRecord& record);
