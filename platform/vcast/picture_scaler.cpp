#include "platform/vcast/picture_scaler.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

FitRect FitInside(int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
    FitRect r;
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth < 2 || dstHeight < 2) return r;
    const std::int64_t byWidth = static_cast<std::int64_t>(dstWidth) * srcHeight;
    const std::int64_t byHeight = static_cast<std::int64_t>(dstHeight) * srcWidth;
    if (byWidth <= byHeight) {  // width-bound: borders above and below
        r.width = dstWidth;
        r.height = static_cast<int>(byWidth / srcWidth);
    } else {
        r.height = dstHeight;
        r.width = static_cast<int>(byHeight / srcHeight);
    }
    r.width = std::clamp(r.width & ~1, 2, dstWidth & ~1);
    r.height = std::clamp(r.height & ~1, 2, dstHeight & ~1);
    r.x = ((dstWidth - r.width) / 2) & ~1;
    r.y = ((dstHeight - r.height) / 2) & ~1;
    return r;
}

CPictureScaler::~CPictureScaler() { sws_freeContext(context_); }

bool CPictureScaler::Scale(const AVFrame& src, int width, int height, int format,
                           std::uint8_t* const planes[4], const int strides[4]) {
    if (src.width <= 0 || src.height <= 0 || width <= 0 || height <= 0) return false;
    if (!context_ || src.width != srcWidth_ || src.height != srcHeight_ ||
        src.format != srcFormat_ || width != width_ || height != height_ || format != format_) {
        sws_freeContext(context_);
        context_ = sws_getContext(src.width, src.height, static_cast<AVPixelFormat>(src.format),
                                  width, height, static_cast<AVPixelFormat>(format), SWS_BILINEAR,
                                  nullptr, nullptr, nullptr);
        srcWidth_ = src.width, srcHeight_ = src.height, srcFormat_ = src.format;
        width_ = width, height_ = height, format_ = format;
        if (!context_) return false;
    }
    return sws_scale(context_, src.data, src.linesize, 0, src.height, planes, strides) > 0;
}
