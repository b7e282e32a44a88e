#include "platform/vcast/screen_source.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/log.h"
#include "platform/vcast/device_source.h"
#include "platform/vcast/picture_fit.h"

namespace vcast_screen {

VcastRect Clamp(VcastRect r, int width, int height) {
    width = std::clamp(width, 0, vcast_limits::kMaxSourceSide) & ~1;
    height = std::clamp(height, 0, vcast_limits::kMaxSourceSide) & ~1;
    if (width < kMinSide || height < kMinSide) return {0, 0, width, height};
    if (r.right <= r.left || r.bottom <= r.top) return {0, 0, width, height};
    const auto axis = [](int lo, int hi, int limit, int& outLo, int& outHi) {
        lo = std::clamp(lo, 0, limit);
        hi = std::clamp(hi, 0, limit);
        int size = std::max((hi - lo) & ~1, kMinSide);
        size = std::min(size, limit);
        lo = std::min(lo & ~1, limit - size);
        outLo = lo;
        outHi = lo + size;
    };
    VcastRect out;
    axis(r.left, r.right, width, out.left, out.right);
    axis(r.top, r.bottom, height, out.top, out.bottom);
    return out;
}

std::unique_ptr<ICaptureSource> Open(std::uintptr_t window, VcastRect rect, bool mouse, int fps) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        log_msg("vcast: screen capture without DISPLAY\r\n");
        return nullptr;
    }
    CDeviceSource::Options options;
    if (window) options["window_id"] = std::to_string(window);
    int width = 0, height = 0;
    if (!ProbeDeviceSize("x11grab", display, options, width, height)) return nullptr;
    const VcastRect r = Clamp(rect, width, height);
    if (r.right - r.left < kMinSide || r.bottom - r.top < kMinSide) {
        log_msg("vcast: screen area %dx%d too small\r\n", width, height);
        return nullptr;
    }
    options["video_size"] = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
    options["grab_x"] = std::to_string(r.left);
    options["grab_y"] = std::to_string(r.top);
    options["framerate"] = std::to_string(std::max(1, fps));
    options["draw_mouse"] = mouse ? "1" : "0";
    auto source = CDeviceSource::Open("x11grab", display, options);
    if (source)
        log_msg("vcast: screen %s window %lu rect %d,%d %dx%d\r\n", display,
                static_cast<unsigned long>(window), r.left, r.top, r.right - r.left, r.bottom - r.top);
    return source;
}

}  // namespace vcast_screen
