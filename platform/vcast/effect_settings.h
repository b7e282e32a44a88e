#pragma once
// The effect record read into checked values: anything non-finite or out of
// its range falls back to the neutral default, texts end within their width.

#include <array>
#include <cstdint>
#include <string>

struct EffectSettings {
    // Picture adjustments.
    float brightness = 1.0f;        // gain, 0.0 … 3.0
    float contrast = 1.0f;          // around mid grey, 0.0 … 3.0
    std::uint32_t whiteBalance = 0; // 0 off; 1 … 100 cool … warm, 50 neutral
    std::uint32_t stretch = 10;     // horizontal factor in tenths, 5 … 30
    bool mirror = false;
    // Overlay text.
    std::string text;               // UTF-8
    std::array<std::uint8_t, 3> textRgb{255, 0, 0};
    std::array<std::uint8_t, 3> backRgb{0, 255, 0};
    bool backTransparent = false;
    bool randomPlace = false;
    std::uint32_t textY = 60;       // top of the text, percent of the height
    std::uint32_t speed = 0;        // pixels per frame when rolling, 0 … 50
    std::uint32_t rollMode = 0;     // 0 still, 1 to the left, 2 to the right
    std::uint32_t textSize = 18;    // pixels, 8 … 128
    std::string face = "宋体";      // UTF-8
    // Sticker, light, animation, colour and character pictures (paths, '/' separated).
    std::array<std::string, 5> pictures;

    bool AdjustsPixels() const;
};

// Reads a record of effect_layout::kSize bytes; null gives the defaults.
EffectSettings ReadEffectRecord(const unsigned char* record);
