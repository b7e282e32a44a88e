#pragma once
// The image library's scaling: a picture file made into another of a fixed
// size (the room backgrounds are 320 × 240).

#include <string>

enum {
    PICTOOL_ZOOM_OK = 0,
    PICTOOL_ZOOM_UNREADABLE = -1,  // no such file, or not a picture this library reads
    PICTOOL_ZOOM_BAD_SIZE = -2,    // a width or height below 1 or over 4096
    PICTOOL_ZOOM_UNWRITABLE = -3,  // the format of the destination's suffix, or the file itself
};

// Reads `source`, fills `width` × `height` with it (scaled to cover, keeping
// its proportions, the middle kept) and writes `destination` in the format
// of its suffix (.jpg at quality 90, .bmp, .png), replacing it whole. The
// destination may be the source. Returns one of the codes above.
int PICTOOL_ImageZoom(const std::string& source, const std::string& destination, int width,
                      int height);
