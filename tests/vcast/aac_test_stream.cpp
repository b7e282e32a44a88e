#include "aac_test_stream.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {
int SamplingIndex(int rate) {
    static const int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                22050, 16000, 12000, 11025, 8000,  7350};
    for (int i = 0; i < 13; ++i)
        if (rates[i] == rate) return i;
    return 7;
}
}  // namespace

CAdtsEncoder::CAdtsEncoder(int rate, int channels) : rate_(rate), channels_(channels) {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec) return;
    context_ = avcodec_alloc_context3(codec);
    context_->sample_rate = rate;
    context_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&context_->ch_layout, channels);
    context_->bit_rate = 64000;
    context_->time_base = AVRational{1, rate};
    if (avcodec_open2(context_, codec, nullptr) < 0) {
        avcodec_free_context(&context_);
        return;
    }
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
}

CAdtsEncoder::~CAdtsEncoder() {
    avcodec_free_context(&context_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
}

std::vector<unsigned char> CAdtsEncoder::Encode(const std::int16_t* pcm) {
    std::vector<unsigned char> out;
    if (!context_) return out;
    av_frame_unref(frame_);
    frame_->nb_samples = FrameSize();
    frame_->format = AV_SAMPLE_FMT_FLTP;
    frame_->sample_rate = rate_;
    av_channel_layout_copy(&frame_->ch_layout, &context_->ch_layout);
    av_frame_get_buffer(frame_, 0);
    for (int c = 0; c < channels_; ++c) {
        auto* plane = reinterpret_cast<float*>(frame_->data[c]);
        for (int i = 0; i < FrameSize(); ++i) plane[i] = pcm[i * channels_ + c] / 32768.0f;
    }
    frame_->pts = pts_;
    pts_ += FrameSize();
    if (avcodec_send_frame(context_, frame_) < 0) return out;
    while (avcodec_receive_packet(context_, packet_) == 0) {
        const std::size_t n = static_cast<std::size_t>(packet_->size) + 7;
        const int index = SamplingIndex(rate_);
        const unsigned char header[7] = {
            0xFF, 0xF1, static_cast<unsigned char>((1 << 6) | (index << 2) | (channels_ >> 2)),
            static_cast<unsigned char>(((channels_ & 3) << 6) | (n >> 11)),
            static_cast<unsigned char>((n >> 3) & 0xFF),
            static_cast<unsigned char>(((n & 7) << 5) | 0x1F), 0xFC};
        out.insert(out.end(), header, header + 7);
        out.insert(out.end(), packet_->data, packet_->data + packet_->size);
        av_packet_unref(packet_);
    }
    return out;
}
