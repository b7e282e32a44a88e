#pragma once
// The effects applied to every composed picture before it is previewed and
// encoded: brightness, contrast and white balance through one lookup table,
// horizontal stretch, mirror, then the overlays (pictures, text, lyric).

#include <array>
#include <cstdint>
#include <string>

#include "platform/vcast/effect_settings.h"
#include "platform/vcast/overlay.h"
#include "platform/vcast/picture.h"

class CCompositor {
public:
    CCompositor();
    void SetEffect(const EffectSettings& effect);
    void SetFace(const std::string& face);   // empty: the record's face
    void SetLyric(const std::string& line);  // empty clears
    void Apply(VcastPicture& picture);

private:
    void BuildTables();
    void Stretch(VcastPicture& picture) const;

    EffectSettings effect_;
    std::string face_;
    std::string lyric_;
    std::array<std::array<std::uint8_t, 256>, 3> table_{};  // r, g, b
    std::uint32_t frame_ = 0;
    COverlayPainter overlay_;
};
