#pragma once
// PNG files of a canvas: 8-bit RGBA, one IDAT compressed by zlib.

#include <string>

#include "server/art/canvas.h"

namespace server::art {

// Empty when compression fails.
std::string EncodePng(const CCanvas& canvas);

}  // namespace server::art
