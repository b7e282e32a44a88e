#pragma once
// The 1488-byte effect record VCAST_SetEffect takes and "effect.dat" keeps:
// where each field lies. Little-endian; texts zero-terminated within their
// width; the face is UTF-16LE. video/effect_record.h builds and checks it;
// the compositor reads it.

#include <cstddef>

namespace effect_layout {
inline constexpr std::size_t kSize = 1488;

inline constexpr std::size_t kFlagAdjust = 0;     // u8, derived: brightness/contrast/white balance in use
inline constexpr std::size_t kFlagSticker = 1;    // u8, derived: sticker path set
inline constexpr std::size_t kFlagLight = 2;      // u8, derived
inline constexpr std::size_t kFlagAnimation = 3;  // u8, derived
inline constexpr std::size_t kFlagColour = 4;     // u8, derived
inline constexpr std::size_t kFlagText = 5;       // u8, derived: overlay text set
inline constexpr std::size_t kBrightness = 8;     // f32, slider / 10
inline constexpr std::size_t kContrast = 12;      // f32, slider / 10
inline constexpr std::size_t kStretch = 16;       // u32
inline constexpr std::size_t kWhiteBalance = 20;  // u32
inline constexpr std::size_t kTextBgTransparent = 36;  // u8
inline constexpr std::size_t kText = 37;          // 32 bytes UTF-8
inline constexpr std::size_t kTextWidth = 32;
inline constexpr std::size_t kColours = 69;       // 6 bytes: text r,g,b, background r,g,b
inline constexpr std::size_t kTextRandom = 76;    // u32
inline constexpr std::size_t kTextY = 80;         // u32
inline constexpr std::size_t kTextSpeed = 84;     // u32
inline constexpr std::size_t kRollBits = 88;      // u32, bit 0 = roll mode not 0
inline constexpr std::size_t kTextSize1 = 92;     // u32
inline constexpr std::size_t kTextSize2 = 96;     // u32
inline constexpr std::size_t kValue108 = 108;     // u32
inline constexpr std::size_t kFlag112 = 112;      // u8
inline constexpr std::size_t kMirror = 113;       // u8: our "Effect_Mirror"
inline constexpr std::size_t kFace = 120;         // 32 UTF-16LE units
inline constexpr std::size_t kFaceUnits = 32;
inline constexpr std::size_t kRollMode = 184;     // u32
inline constexpr std::size_t kSticker = 188;      // 260 bytes path
inline constexpr std::size_t kLight = 448;
inline constexpr std::size_t kAnimation = 708;
inline constexpr std::size_t kColourPicture = 968;
inline constexpr std::size_t kCharacter = 1228;
inline constexpr std::size_t kPathWidth = 260;
}  // namespace effect_layout
