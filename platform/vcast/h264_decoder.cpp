#include "platform/vcast/h264_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "core/log.h"

CH264Decoder::~CH264Decoder() {
    avcodec_free_context(&context_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
}

bool CH264Decoder::Open() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        log_err("h264 decoder missing\r\n");
        return false;
    }
    context_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!context_ || !frame_ || !packet_) return false;
    // A picture per frame as it arrives; one thread, so no frame is held back.
    context_->flags |= AV_CODEC_FLAG_LOW_DELAY;
    context_->flags &= ~AV_CODEC_FLAG_OUTPUT_CORRUPT;
    context_->thread_count = 1;
    context_->thread_type = 0;
    context_->err_recognition = AV_EF_EXPLODE;
    // The decoder refuses larger sizes before it allocates for them.
    context_->max_pixels = static_cast<std::int64_t>(kMaxWidth) * kMaxHeight;
    if (avcodec_open2(context_, codec, nullptr) < 0) {
        log_err("h264 decoder open fail\r\n");
        return false;
    }
    return true;
}

CH264Decoder::Result CH264Decoder::Fail() {
    needKey_ = true;
    avcodec_flush_buffers(context_);
    return Result::Error;
}

CH264Decoder::Result CH264Decoder::Decode(const unsigned char* data, std::size_t length, bool key,
                                          std::uint32_t stamp) {
    if (!context_ || !data || length == 0 || length > (64u << 20)) return Result::Error;
    if (needKey_ && !key) return Result::Nothing;
    av_packet_unref(packet_);
    packet_->data = const_cast<unsigned char*>(data);
    packet_->size = static_cast<int>(length);
    packet_->pts = stamp;
    packet_->flags = key ? AV_PKT_FLAG_KEY : 0;
    int rc = avcodec_send_packet(context_, packet_);
    packet_->data = nullptr;
    packet_->size = 0;
    if (rc < 0) return Fail();
    av_frame_unref(frame_);
    rc = avcodec_receive_frame(context_, frame_);
    if (rc == AVERROR(EAGAIN)) return Result::Nothing;
    if (rc < 0) return Fail();
    if (frame_->width <= 0 || frame_->height <= 0 || frame_->width > kMaxWidth ||
        frame_->height > kMaxHeight || frame_->decode_error_flags != 0 ||
        (frame_->flags & AV_FRAME_FLAG_CORRUPT)) {
        av_frame_unref(frame_);
        return Fail();
    }
    if (key) needKey_ = false;
    return Result::Picture;
}

std::uint32_t CH264Decoder::FrameStamp() const {
    return frame_ && frame_->pts != AV_NOPTS_VALUE ? static_cast<std::uint32_t>(frame_->pts) : 0;
}

void CH264Decoder::Reset() {
    needKey_ = true;
    if (context_) avcodec_flush_buffers(context_);
}
