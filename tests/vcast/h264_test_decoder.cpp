#include "h264_test_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

CTestH264Decoder::CTestH264Decoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    ctx_ = avcodec_alloc_context3(codec);
    ctx_->thread_count = 1;
    ctx_->flags |= AV_CODEC_FLAG_LOW_DELAY;
    ctx_->err_recognition = AV_EF_EXPLODE;  // a reference to a lost frame is an error here
    avcodec_open2(ctx_, codec, nullptr);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
}

CTestH264Decoder::~CTestH264Decoder() {
    avcodec_free_context(&ctx_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    sws_freeContext(sws_);
}

bool CTestH264Decoder::Decode(const std::vector<std::uint8_t>& bytes, VcastPicture& out) {
    if (av_new_packet(packet_, static_cast<int>(bytes.size())) < 0) return false;
    std::copy(bytes.begin(), bytes.end(), packet_->data);
    const int sent = avcodec_send_packet(ctx_, packet_);
    av_packet_unref(packet_);
    if (sent < 0) return false;
    if (avcodec_receive_frame(ctx_, frame_) < 0) return false;
    const bool clean = !(frame_->flags & AV_FRAME_FLAG_CORRUPT) && !frame_->decode_error_flags;
    sws_ = sws_getCachedContext(sws_, frame_->width, frame_->height,
                                static_cast<AVPixelFormat>(frame_->format), frame_->width,
                                frame_->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    out.width = frame_->width;
    out.height = frame_->height;
    out.argb.assign(static_cast<std::size_t>(out.width) * out.height, 0);
    uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(out.argb.data()), nullptr, nullptr, nullptr};
    int stride[4] = {out.width * 4, 0, 0, 0};
    sws_scale(sws_, frame_->data, frame_->linesize, 0, frame_->height, dst, stride);
    av_frame_unref(frame_);
    return clean;
}
