#include "h264_test_stream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "platform/vcast/test_pattern.h"

CPatternEncoder::CPatternEncoder(int width, int height, int fps, int gop)
    : width_(width), height_(height) {
    av_log_set_level(AV_LOG_ERROR);  // x264 statistics would drown the test output
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return;
    context_ = avcodec_alloc_context3(codec);
    context_->width = width;
    context_->height = height;
    context_->time_base = AVRational{1, fps};
    context_->framerate = AVRational{fps, 1};
    context_->pix_fmt = AV_PIX_FMT_YUV420P;
    context_->gop_size = gop;
    context_->max_b_frames = 0;
    context_->thread_count = 1;
    av_opt_set(context_->priv_data, "preset", "ultrafast", 0);
    av_opt_set(context_->priv_data, "tune", "zerolatency", 0);
    av_opt_set(context_->priv_data, "crf", "23", 0);
    av_opt_set(context_->priv_data, "forced-idr", "1", 0);
    if (avcodec_open2(context_, codec, nullptr) < 0) {
        avcodec_free_context(&context_);
        return;
    }
    frame_ = av_frame_alloc();
    frame_->width = width;
    frame_->height = height;
    frame_->format = AV_PIX_FMT_YUV420P;
    av_frame_get_buffer(frame_, 0);
    packet_ = av_packet_alloc();
    sws_ = sws_getContext(width, height, AV_PIX_FMT_RGB32, width, height, AV_PIX_FMT_YUV420P,
                          SWS_BILINEAR, nullptr, nullptr, nullptr);
}

CPatternEncoder::~CPatternEncoder() {
    avcodec_free_context(&context_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    sws_freeContext(sws_);
}

EncodedFrame CPatternEncoder::Encode(std::uint32_t counter, bool forceKey) {
    VcastPicture picture;
    vcast_pattern::Draw(picture, width_, height_, counter, counter * 40);
    return EncodeArgb(picture.argb.data(), forceKey);
}

EncodedFrame CPatternEncoder::EncodeSolid(std::uint32_t argb, bool forceKey) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width_) * height_, argb);
    return EncodeArgb(pixels.data(), forceKey);
}

EncodedFrame CPatternEncoder::EncodeArgb(const std::uint32_t* argb, bool forceKey) {
    EncodedFrame out;
    if (!context_) return out;
    av_frame_make_writable(frame_);
    const std::uint8_t* src[4] = {reinterpret_cast<const std::uint8_t*>(argb), nullptr, nullptr,
                                  nullptr};
    const int srcStride[4] = {width_ * 4, 0, 0, 0};
    sws_scale(sws_, src, srcStride, 0, height_, frame_->data, frame_->linesize);
    frame_->pts = next_++;
    frame_->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(context_, frame_) < 0) return out;
    // Zero latency: every frame comes straight back as one packet.
    while (avcodec_receive_packet(context_, packet_) == 0) {
        out.key = out.key || (packet_->flags & AV_PKT_FLAG_KEY);
        out.bytes.insert(out.bytes.end(), packet_->data, packet_->data + packet_->size);
        av_packet_unref(packet_);
    }
    return out;
}
