#include "platform/sonic/sonic.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "net/adts.h"

namespace {

// Longest AMR-NB storage frame (mode 7: ToC and 31 bytes).
constexpr int kAmrMaxFrame = 32;
// Bytes of each AMR-NB frame, ToC included, by frame type; 0: reserved.
constexpr int kAmrFrameBytes[16] = {13, 14, 16, 18, 20, 21, 27, 32, 6, 0, 0, 0, 0, 0, 0, 1};
constexpr int kConvertPieceBytes = 16384;

// One float sample to 16 bits: clipped, then rounded as the FPU rounds
// (to nearest); NaN gives the lowest value. Clipping first keeps infinities
// and huge values on their own side.
inline std::int16_t ToS16(float v) {
    float s = v * 32768.0f;
    s = s >= -32768.0f ? s : -32768.0f;  // NaN fails the test and lands here too
    s = s <= 32767.0f ? s : 32767.0f;
    return static_cast<std::int16_t>(std::lrint(s));
}

// `n` consecutive float samples to 16 bits, as ToS16 does each. Decoding an
// AAC frame takes only a few microseconds, and a call per sample nearly
// doubled it, so whole vectors are converted where the CPU has them.
void FloatsToS16(const float* src, std::int16_t* dst, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(32768.0f), low = _mm_set1_ps(-32768.0f),
                 high = _mm_set1_ps(32767.0f);
    // maxps yields its second operand when either is NaN: NaN clips low, as
    // above; the conversion rounds as lrint does, and the pack cannot overflow.
    auto clipped = [&](const float* at) {
        return _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(at), scale), low), high);
    };
    for (; i + 8 <= n; i += 8) {
        const __m128i a = _mm_cvtps_epi32(clipped(src + i));
        const __m128i b = _mm_cvtps_epi32(clipped(src + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packs_epi32(a, b));
    }
#endif
    for (; i < n; ++i) dst[i] = ToS16(src[i]);
}

// The sampling-frequency index ADTS uses for `rate`; -1 for others.
int SamplingIndex(int rate) {
    constexpr int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                             22050, 16000, 12000, 11025, 8000,  7350};
    for (int i = 0; i < 13; ++i)
        if (rates[i] == rate) return i;
    return -1;
}

// Decoded frames of any float or 16-bit layout to 16-bit mono: the first
// channel (the voice path is mono throughout). One loop per layout, the
// format not asked again for every sample.
void AppendS16(const AVFrame* f, std::vector<unsigned char>& out) {
    if (f->nb_samples <= 0) return;
    const auto n = static_cast<std::size_t>(f->nb_samples);
    const auto fmt = static_cast<AVSampleFormat>(f->format);
    const std::size_t stride = static_cast<std::size_t>(std::max(f->ch_layout.nb_channels, 1));
    const std::size_t at = out.size();
    out.resize(at + n * 2);
    auto* dst = reinterpret_cast<std::int16_t*>(out.data() + at);
    switch (fmt) {
        case AV_SAMPLE_FMT_FLTP:
            FloatsToS16(reinterpret_cast<const float*>(f->data[0]), dst, n);
            break;
        case AV_SAMPLE_FMT_FLT: {
            const auto* src = reinterpret_cast<const float*>(f->data[0]);
            if (stride == 1) {
                FloatsToS16(src, dst, n);
                break;
            }
            for (std::size_t i = 0; i < n; ++i) dst[i] = ToS16(src[i * stride]);
            break;
        }
        case AV_SAMPLE_FMT_S16P: std::memcpy(dst, f->data[0], n * 2); break;
        case AV_SAMPLE_FMT_S16: {
            const auto* src = reinterpret_cast<const std::int16_t*>(f->data[0]);
            for (std::size_t i = 0; i < n; ++i) dst[i] = src[i * stride];
            break;
        }
        default: break;  // a layout the voice codecs do not give: silence (resize zeroed it)
    }
}

struct Decoder {
    AVCodecContext* ctx = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    std::vector<unsigned char> pcm;

    bool Open(AVCodecID id, int rate) {
        const AVCodec* codec = avcodec_find_decoder(id);
        if (!codec) return false;
        ctx = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!ctx || !packet || !frame) return false;
        ctx->sample_rate = rate;
        av_channel_layout_default(&ctx->ch_layout, 1);
        return avcodec_open2(ctx, codec, nullptr) == 0;
    }
    void Close() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&ctx);
    }
    // Decodes one packet; false when the decoder refused it.
    bool Decode(const unsigned char* data, int length) {
        pcm.clear();
        if (av_new_packet(packet, length) < 0) return false;
        std::memcpy(packet->data, data, static_cast<std::size_t>(length));
        const int sent = avcodec_send_packet(ctx, packet);
        av_packet_unref(packet);
        if (sent < 0) return false;
        while (avcodec_receive_frame(ctx, frame) == 0) {
            AppendS16(frame, pcm);
            av_frame_unref(frame);
        }
        return true;
    }
};

}  // namespace

struct sonic_eaac_t {
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int channels = 1;
    int samplingIndex = 0;
    std::vector<std::int16_t> pending;  // interleaved samples not yet a whole frame
    std::vector<unsigned char> out;
};

struct sonic_daac_t {
    Decoder d;
};

struct sonic_damr_t {
    Decoder d;
};

struct sonic_convert_t {
    SwrContext* swr = nullptr;
    int sourceChannels = 1, targetChannels = 1, sourceRate = 0, targetRate = 0;
    std::vector<unsigned char> out;
};

int sonic_init() {
    av_log_set_level(AV_LOG_ERROR);
    const bool ok = avcodec_find_encoder(AV_CODEC_ID_AAC) && avcodec_find_decoder(AV_CODEC_ID_AAC) &&
                    avcodec_find_decoder(AV_CODEC_ID_AMR_NB);
    if (!ok) log_err("sonic: the AAC or AMR-NB codecs are missing from libavcodec");
    return ok ? 1 : 0;
}

// --- AAC encoder ----------------------------------------------------------------------

sonic_eaac_t* sonic_eaac(int rate, int channels, int bitRate) {
    const int index = SamplingIndex(rate);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (index < 0 || channels < 1 || channels > 2 || !codec) return nullptr;
    auto* h = new sonic_eaac_t;
    h->channels = channels;
    h->samplingIndex = index;
    h->ctx = avcodec_alloc_context3(codec);
    h->frame = av_frame_alloc();
    h->packet = av_packet_alloc();
    if (h->ctx && h->frame && h->packet) {
        h->ctx->sample_rate = rate;
        av_channel_layout_default(&h->ctx->ch_layout, channels);
        h->ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
        h->ctx->bit_rate = bitRate;
        h->ctx->profile = FF_PROFILE_AAC_LOW;
        if (avcodec_open2(h->ctx, codec, nullptr) == 0 && h->ctx->frame_size > 0) return h;
    }
    log_err("sonic: no AAC encoder for %d Hz, %d channels", rate, channels);
    sonic_eaac_release(h);
    return nullptr;
}

int sonic_eaac_encode(sonic_eaac_t* h, const unsigned char* pcm, int length, unsigned char** out) {
    if (out) *out = nullptr;
    if (!h || !out || length < 0 || (length > 0 && !pcm)) return 0;
    const std::size_t count = static_cast<std::size_t>(length) / 2;
    const std::size_t at = h->pending.size();
    h->pending.resize(at + count);
    std::memcpy(h->pending.data() + at, pcm, count * 2);
    h->out.clear();
    const int frameSamples = h->ctx->frame_size;
    const std::size_t perFrame = static_cast<std::size_t>(frameSamples * h->channels);
    std::size_t used = 0;
    while (h->pending.size() - used >= perFrame) {
        h->frame->nb_samples = frameSamples;
        h->frame->format = AV_SAMPLE_FMT_FLTP;
        h->frame->sample_rate = h->ctx->sample_rate;
        av_channel_layout_copy(&h->frame->ch_layout, &h->ctx->ch_layout);
        if (av_frame_get_buffer(h->frame, 0) < 0) break;
        for (int c = 0; c < h->channels; ++c) {
            auto* dst = reinterpret_cast<float*>(h->frame->data[c]);
            for (int i = 0; i < frameSamples; ++i)
                dst[i] = h->pending[used + static_cast<std::size_t>(i * h->channels + c)] / 32768.0f;
        }
        used += perFrame;
        const int sent = avcodec_send_frame(h->ctx, h->frame);
        av_frame_unref(h->frame);
        if (sent < 0) break;
        while (avcodec_receive_packet(h->ctx, h->packet) == 0) {
            // Each raw frame with its ADTS header: AAC-LC, the rate, the channels.
            const std::size_t total = static_cast<std::size_t>(h->packet->size) + adts::kHeaderBytes;
            unsigned char header[adts::kHeaderBytes];
            adts::WriteHeader(header, adts::kProfileLc, h->samplingIndex, h->channels, total);
            h->out.insert(h->out.end(), header, header + 7);
            h->out.insert(h->out.end(), h->packet->data, h->packet->data + h->packet->size);
            av_packet_unref(h->packet);
        }
    }
    h->pending.erase(h->pending.begin(), h->pending.begin() + static_cast<std::ptrdiff_t>(used));
    if (h->out.empty()) return 0;
    *out = h->out.data();
    return static_cast<int>(h->out.size());
}

void sonic_eaac_release(sonic_eaac_t* h) {
    if (!h) return;
    av_packet_free(&h->packet);
    av_frame_free(&h->frame);
    avcodec_free_context(&h->ctx);
    delete h;
}

// --- AAC decoder ----------------------------------------------------------------------

sonic_daac_t* sonic_daac() {
    auto* h = new sonic_daac_t;
    if (h->d.Open(AV_CODEC_ID_AAC, 22050)) return h;
    log_err("sonic: no AAC decoder");
    sonic_daac_release(h);
    return nullptr;
}

int sonic_daac_decode(sonic_daac_t* h, const unsigned char* data, int* inLength,
                      unsigned char** out, int* outLength) {
    if (out) *out = nullptr;
    if (outLength) *outLength = 0;
    if (!h || !data || !inLength || *inLength <= 0 || !out || !outLength) return 0;
    const std::size_t offered = static_cast<std::size_t>(*inLength);
    adts::Header header;
    if (!adts::ParseHeader(data, offered, header)) {
        if (offered < adts::kHeaderBytes && data[0] == 0xFF) return 0;  // a header still coming
        // Not a frame: skip to the next sync byte.
        const auto* next = static_cast<const unsigned char*>(std::memchr(data + 1, 0xFF, offered - 1));
        return next ? static_cast<int>(next - data) : static_cast<int>(offered);
    }
    if (header.frameBytes > offered) return 0;
    if (h->d.Decode(data, static_cast<int>(header.frameBytes)) && !h->d.pcm.empty()) {
        *out = h->d.pcm.data();
        *outLength = static_cast<int>(h->d.pcm.size());
    }
    return static_cast<int>(header.frameBytes);
}

void sonic_daac_release(sonic_daac_t* h) {
    if (!h) return;
    h->d.Close();
    delete h;
}

// --- AMR-NB decoder -------------------------------------------------------------------

sonic_damr_t* sonic_damr() {
    auto* h = new sonic_damr_t;
    if (h->d.Open(AV_CODEC_ID_AMR_NB, 8000)) return h;
    log_err("sonic: no AMR-NB decoder");
    sonic_damr_release(h);
    return nullptr;
}

int sonic_damr_size(sonic_damr_t* h) { return h ? kAmrMaxFrame : 0; }

int sonic_damr_decode(sonic_damr_t* h, const unsigned char* data, int length, unsigned char** out,
                      int* outLength) {
    if (out) *out = nullptr;
    if (outLength) *outLength = 0;
    if (!h || !data || length <= 0 || !out || !outLength) return 0;
    const int type = (data[0] >> 3) & 0x0F;
    const int size = kAmrFrameBytes[type];
    if (size == 0) return 1;  // a reserved type: this byte is no frame
    if (length < size) return 0;
    if (h->d.Decode(data, size) && !h->d.pcm.empty()) {
        *out = h->d.pcm.data();
        *outLength = static_cast<int>(h->d.pcm.size());
    }
    return size;
}

void sonic_damr_release(sonic_damr_t* h) {
    if (!h) return;
    h->d.Close();
    delete h;
}

// --- PCM conversion -------------------------------------------------------------------

sonic_convert_t* sonic_pcm_create_convert(int sourceChannels, int targetChannels, int sourceRate,
                                          int targetRate) {
    if (sourceChannels < 1 || sourceChannels > 8 || targetChannels < 1 || targetChannels > 8 ||
        sourceRate < 1000 || sourceRate > 384000 || targetRate < 1000 || targetRate > 384000)
        return nullptr;
    auto* c = new sonic_convert_t;
    c->sourceChannels = sourceChannels, c->targetChannels = targetChannels;
    c->sourceRate = sourceRate, c->targetRate = targetRate;
    AVChannelLayout in{}, outLayout{};
    av_channel_layout_default(&in, sourceChannels);
    av_channel_layout_default(&outLayout, targetChannels);
    const int made = swr_alloc_set_opts2(&c->swr, &outLayout, AV_SAMPLE_FMT_S16, targetRate, &in,
                                         AV_SAMPLE_FMT_S16, sourceRate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&outLayout);
    if (made < 0 || !c->swr || swr_init(c->swr) < 0) {
        sonic_pcm_release(c);
        return nullptr;
    }
    return c;
}

int sonic_pcm_samples_size(sonic_convert_t* c) { return c ? kConvertPieceBytes : 0; }

int sonic_pcm_convert(sonic_convert_t* c, const unsigned char* data, int length,
                      unsigned char** out) {
    if (out) *out = nullptr;
    if (!c || !out || length < 0 || length > kConvertPieceBytes || (length > 0 && !data)) return -1;
    const int frameBytes = 2 * c->sourceChannels;
    const int inSamples = length / frameBytes;
    if (inSamples == 0) return 0;
    const int capacity = swr_get_out_samples(c->swr, inSamples);
    if (capacity < 0) return -1;
    c->out.resize(static_cast<std::size_t>(capacity) * 2 * static_cast<std::size_t>(c->targetChannels) + 2);
    std::uint8_t* dst = c->out.data();
    const std::uint8_t* src = data;
    const int made = swr_convert(c->swr, &dst, capacity, &src, inSamples);
    if (made < 0) return -1;
    *out = c->out.data();
    return made * 2 * c->targetChannels;
}

void sonic_pcm_release(sonic_convert_t* c) {
    if (!c) return;
    swr_free(&c->swr);
    delete c;
}
