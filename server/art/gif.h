#pragma once
// Animated GIF files of equally sized canvases, looping for ever. One
// global palette of up to 255 colours plus a transparent index; a picture
// with more colours has the extra ones drawn in their nearest palette colour.

#include <string>
#include <vector>

#include "server/art/canvas.h"

namespace server::art {

struct GifFrame {
    CCanvas picture;
    unsigned delayMs = 100;  // kept in hundredths of a second, at least 20 ms
};

// Empty for no frames or frames of different sizes.
std::string EncodeGif(const std::vector<GifFrame>& frames);

}  // namespace server::art
