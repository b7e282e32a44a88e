#include "platform/vcast/h264_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

#include "core/log.h"
#include "platform/vcast/nal_scan.h"

namespace {
// Average bits per pixel and frame: enough for a talking head at 640×360.
constexpr double kBitsPerPixel = 0.1;
constexpr int kMinBitRate = 100'000;
constexpr int kMaxBitRate = 4'000'000;
}  // namespace

H264Settings CH264Encoder::SettingsFor(int width, int height, int fps) {
    H264Settings s;
    s.width = std::max(16, width & ~1);
    s.height = std::max(16, height & ~1);
    s.fps = std::clamp(fps, 1, 60);
    const double bits = kBitsPerPixel * s.width * s.height * s.fps;
    s.bitRate = static_cast<int>(std::clamp(bits, double(kMinBitRate), double(kMaxBitRate)));
    s.maxRate = s.bitRate + s.bitRate / 2;
    s.bufferSize = s.maxRate;  // one second at the peak rate
    s.gop = 2 * s.fps;
    return s;
}

CH264Encoder::~CH264Encoder() { Close(); }

void CH264Encoder::Close() {
    avcodec_free_context(&ctx_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    sws_freeContext(sws_);
    sws_ = nullptr;
}

bool CH264Encoder::Open(int width, int height, int fps) {
    Close();
    if (width < 16 || height < 16 || width > vcast_limits::kMaxSourceSide ||
        height > vcast_limits::kMaxSourceSide || fps <= 0) {
        log_msg("vcast: encoder size %dx%d at %d refused\r\n", width, height, fps);
        return false;
    }
    settings_ = SettingsFor(width, height, fps);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        log_msg("vcast: no libx264 encoder\r\n");
        return false;
    }
    ctx_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!ctx_ || !frame_ || !packet_) {
        Close();
        return false;
    }
    ctx_->width = settings_.width;
    ctx_->height = settings_.height;
    ctx_->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx_->time_base = AVRational{1, settings_.fps};
    ctx_->framerate = AVRational{settings_.fps, 1};
    ctx_->gop_size = settings_.gop;
    ctx_->max_b_frames = 0;
    ctx_->bit_rate = settings_.bitRate;
    ctx_->rc_max_rate = settings_.maxRate;
    ctx_->rc_buffer_size = settings_.bufferSize;
    ctx_->thread_count = 1;  // frame threads would delay output; sliced threads gain little here
    // No global header flag: x264 then repeats SPS/PPS in-band before every IDR.
    av_opt_set(ctx_->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx_->priv_data, "tune", "zerolatency", 0);
    av_opt_set(ctx_->priv_data, "forced-idr", "1", 0);
    const int rc = avcodec_open2(ctx_, codec, nullptr);
    if (rc < 0) {
        log_msg("vcast: libx264 does not open (%d)\r\n", rc);
        Close();
        return false;
    }
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = settings_.width;
    frame_->height = settings_.height;
    if (av_frame_get_buffer(frame_, 0) < 0) {
        Close();
        return false;
    }
    sws_ = sws_getContext(settings_.width, settings_.height, AV_PIX_FMT_BGRA, settings_.width,
                          settings_.height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr,
                          nullptr);
    if (!sws_) {
        Close();
        return false;
    }
    pts_ = 0;
    return true;
}

bool CH264Encoder::Encode(const VcastPicture& picture, bool forceKey, EncodedFrame& out, std::int64_t tick) {
    if (!ctx_) return false;
    const VcastPicture* source = &picture;
    if (picture.width != settings_.width || picture.height != settings_.height) {
        if (!fit_.Fit(picture, fitted_, settings_.width, settings_.height)) return false;
        source = &fitted_;
    }
    if (av_frame_make_writable(frame_) < 0) return false;
    const uint8_t* src[4] = {reinterpret_cast<const uint8_t*>(source->argb.data()), nullptr, nullptr, nullptr};
    const int srcStride[4] = {source->width * 4, 0, 0, 0};
    sws_scale(sws_, src, srcStride, 0, source->height, frame_->data, frame_->linesize);
    frame_->pts = tick > pts_ ? tick : pts_;
    pts_ = frame_->pts + 1;
    frame_->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(ctx_, frame_) < 0) return false;
    const int rc = avcodec_receive_packet(ctx_, packet_);
    if (rc < 0) return false;
    out.bytes.assign(packet_->data, packet_->data + packet_->size);
    out.key = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
    out.referenced = vcast_nal::IsReferenced(out.bytes.data(), out.bytes.size());
    av_packet_unref(packet_);
    return true;
}
