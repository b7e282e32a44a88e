#include "platform/vcast/record_audio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswresample/swresample.h>
}

#include "platform/vcast/media_frame.h"

namespace {
// Bytes of an AMR-NB frame, mode byte included, by the mode in that byte
// (0 for the reserved modes).
constexpr std::size_t kAmrBytes[16] = {13, 14, 16, 18, 20, 21, 27, 32, 6, 0, 0, 0, 0, 0, 0, 1};

// Length of the ADTS frame at `p`, header included; 0 when there is none.
std::size_t AdtsFrameBytes(const unsigned char* p, std::size_t left) {
    if (left < 7 || p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return 0;
    const std::size_t n = (static_cast<std::size_t>(p[3] & 3) << 11) | (p[4] << 3) | (p[5] >> 5);
    const std::size_t header = (p[1] & 1) ? 7 : 9;
    return n > header && n <= left ? n : 0;
}
}  // namespace

std::size_t CRecordAudio::FrameBytes(std::uint8_t codec, const unsigned char* p,
                                     std::size_t left) {
    if (left == 0) return 0;
    if (codec == media_frame::kCodecAacAdts) return AdtsFrameBytes(p, left);
    if (codec != media_frame::kCodecAmrNb) return 0;
    const std::size_t n = kAmrBytes[(p[0] >> 3) & 15];
    return n <= left ? n : 0;
}

CRecordAudio::~CRecordAudio() {
    avcodec_free_context(&context_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&swr_);
}

bool CRecordAudio::Open(std::uint8_t codec) {
    codec_ = codec;
    const AVCodec* decoder = nullptr;
    if (codec == media_frame::kCodecAacAdts) decoder = avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (codec == media_frame::kCodecAmrNb) decoder = avcodec_find_decoder(AV_CODEC_ID_AMR_NB);
    if (!decoder) return false;
    context_ = avcodec_alloc_context3(decoder);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!context_ || !frame_ || !packet_) return false;
    if (codec == media_frame::kCodecAmrNb) {
        context_->sample_rate = 8000;
        av_channel_layout_default(&context_->ch_layout, 1);
    }
    return avcodec_open2(context_, decoder, nullptr) >= 0;
}

bool CRecordAudio::Decode(const unsigned char* data, std::size_t length,
                          std::vector<std::int16_t>& pcm) {
    if (!context_) return false;
    bool any = false;
    std::size_t at = 0;
    while (at < length) {
        const std::size_t n = FrameBytes(codec_, data + at, length - at);
        if (n == 0) break;  // the rest is not a whole frame
        any = DecodeOne(data + at, n, pcm) || any;
        at += n;
        if (pcm.size() / channels_ > static_cast<std::size_t>(rate_) * kMaxPushMs / 1000) break;
    }
    return any;
}

bool CRecordAudio::DecodeOne(const unsigned char* data, std::size_t length,
                             std::vector<std::int16_t>& pcm) {
    av_packet_unref(packet_);
    packet_->data = const_cast<unsigned char*>(data);
    packet_->size = static_cast<int>(length);
    const int rc = avcodec_send_packet(context_, packet_);
    packet_->data = nullptr;
    packet_->size = 0;
    if (rc < 0) return false;
    bool any = false;
    for (;;) {
        av_frame_unref(frame_);
        if (avcodec_receive_frame(context_, frame_) < 0) break;
        any = Convert(pcm) || any;
    }
    return any;
}

bool CRecordAudio::Convert(std::vector<std::int16_t>& pcm) {
    const int inChannels = frame_->ch_layout.nb_channels;
    if (frame_->nb_samples <= 0 || frame_->sample_rate < 1000 || frame_->sample_rate > 192000 ||
        inChannels < 1 || inChannels > 8)
        return false;
    if (!swr_ || frame_->sample_rate != swrRate_ || frame_->format != swrFormat_ ||
        inChannels != swrChannels_) {
        swr_free(&swr_);
        AVChannelLayout out;
        av_channel_layout_default(&out, channels_);
        if (swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, rate_, &frame_->ch_layout,
                                static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
        swrRate_ = frame_->sample_rate, swrFormat_ = frame_->format, swrChannels_ = inChannels;
    }
    const int room = swr_get_out_samples(swr_, frame_->nb_samples);
    if (room <= 0) return false;
    const std::size_t at = pcm.size();
    pcm.resize(at + static_cast<std::size_t>(room) * channels_);
    std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(pcm.data() + at)};
    const int got = swr_convert(swr_, out, room, const_cast<const std::uint8_t**>(frame_->extended_data),
                                frame_->nb_samples);
    pcm.resize(at + static_cast<std::size_t>(got > 0 ? got : 0) * channels_);
    return got > 0;
}
