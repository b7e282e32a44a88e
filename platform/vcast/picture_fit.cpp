#include "platform/vcast/picture_fit.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace {
// 0xAARRGGBB words in memory order on a little-endian machine.
constexpr AVPixelFormat kArgbWords = AV_PIX_FMT_BGRA;
constexpr std::uint32_t kBlack = 0xFF000000u;

bool SizeOk(int w, int h) {
    return w > 0 && h > 0 && w <= vcast_limits::kMaxSourceSide && h <= vcast_limits::kMaxSourceSide;
}
}  // namespace

CFrameToArgb::~CFrameToArgb() { sws_freeContext(sws_); }

bool CFrameToArgb::Convert(const AVFrame* frame, VcastPicture& out) {
    if (!frame || !SizeOk(frame->width, frame->height) || frame->format < 0) return false;
    const auto format = static_cast<AVPixelFormat>(frame->format);
    sws_ = sws_getCachedContext(sws_, frame->width, frame->height, format, frame->width,
                                frame->height, kArgbWords, SWS_POINT, nullptr, nullptr, nullptr);
    if (!sws_) return false;
    out.width = frame->width;
    out.height = frame->height;
    out.argb.resize(static_cast<std::size_t>(frame->width) * frame->height);
    uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(out.argb.data()), nullptr, nullptr, nullptr};
    int dstStride[4] = {frame->width * 4, 0, 0, 0};
    if (sws_scale(sws_, frame->data, frame->linesize, 0, frame->height, dst, dstStride) <= 0)
        return false;
    // Sources without alpha (bgr0, yuv) leave the byte undefined; pictures are opaque.
    for (auto& p : out.argb) p |= kBlack;
    return true;
}

CPictureFit::~CPictureFit() { sws_freeContext(sws_); }

bool CPictureFit::Fit(const VcastPicture& source, VcastPicture& out, int width, int height) {
    if (!SizeOk(source.width, source.height) || !SizeOk(width, height) ||
        source.argb.size() < static_cast<std::size_t>(source.width) * source.height)
        return false;
    out.width = width;
    out.height = height;
    out.stamp = source.stamp;
    if (source.width == width && source.height == height) {
        out.argb.assign(source.argb.begin(),
                        source.argb.begin() + static_cast<std::ptrdiff_t>(width) * height);
        return true;
    }
    // The largest size of the source's aspect that fits, at least one pixel.
    int w = width, h = height;
    if (static_cast<std::int64_t>(source.width) * height > static_cast<std::int64_t>(width) * source.height)
        h = std::max(1, static_cast<int>(static_cast<std::int64_t>(width) * source.height / source.width));
    else
        w = std::max(1, static_cast<int>(static_cast<std::int64_t>(height) * source.width / source.height));
    out.argb.assign(static_cast<std::size_t>(width) * height, kBlack);
    sws_ = sws_getCachedContext(sws_, source.width, source.height, kArgbWords, w, h, kArgbWords,
                                SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws_) return false;
    const int x0 = (width - w) / 2, y0 = (height - h) / 2;
    const uint8_t* src[4] = {reinterpret_cast<const uint8_t*>(source.argb.data()), nullptr, nullptr, nullptr};
    const int srcStride[4] = {source.width * 4, 0, 0, 0};
    uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(&out.argb[static_cast<std::size_t>(y0) * width + x0]),
                       nullptr, nullptr, nullptr};
    const int dstStride[4] = {width * 4, 0, 0, 0};
    return sws_scale(sws_, src, srcStride, 0, source.height, dst, dstStride) > 0;
}
