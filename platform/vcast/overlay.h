#pragma once
// Text and pictures over a composed picture. Painting text needs fonts,
// which Qt only has inside a QGuiApplication: without one (the server-side
// tools, builds without Qt) text is skipped and pictures still show.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/vcast/effect_settings.h"
#include "platform/vcast/picture.h"

class COverlayPainter {
public:
    COverlayPainter();
    ~COverlayPainter();
    COverlayPainter(const COverlayPainter&) = delete;
    COverlayPainter& operator=(const COverlayPainter&) = delete;

    // Draws the effect's pictures, its overlay text in `face` (moving by
    // roll mode and speed, `frame` counting composed pictures) and the lyric
    // line near the bottom.
    void Paint(VcastPicture& picture, const EffectSettings& effect, const std::string& face,
               const std::string& lyric, std::uint32_t frame);

    // Whether this build and process can paint text at all.
    static bool CanPaintText();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
