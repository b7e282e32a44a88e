#pragma once
// The screen as a capture source: x11grab on $DISPLAY, the whole screen or
// one window, cut to a rectangle.

#include <cstdint>
#include <memory>

#include "platform/vcast/capture_source.h"
#include "platform/vcast/vcast.h"

namespace vcast_screen {
inline constexpr int kMinSide = 16;

// `rect` clamped to an area of width×height, its sides made even and at
// least kMinSide (moved back inside when it grows past an edge). An empty
// or inverted rectangle means the whole area.
VcastRect Clamp(VcastRect rect, int width, int height);

// Starts grabbing `rect` of the screen (window 0) or of that X window at
// `fps`; null (with a log line) when there is no display or it does not open.
std::unique_ptr<ICaptureSource> Open(std::uintptr_t window, VcastRect rect, bool mouse, int fps);
}  // namespace vcast_screen
