// What the codec wrapper costs over calling libavcodec/libswresample
// directly for the same job: AAC encode (22050 Hz mono, 32 kbit/s, from
// 16-bit PCM), AAC decode of the same frames to 16-bit PCM, AMR-NB decode
// of 12.2 kbit/s frames, and 44100 Hz stereo to 22050 Hz mono conversion.
// Each row times both loops over the same signal several times and prints
// the medians and their ratio; the wrapper should stay within 1.2×.
//
// The direct loops keep their buffers for the whole run and know where the
// AAC frames start, so what the ratio shows is the wrapper's own work: ADTS
// headers written and parsed, packets and frames allocated per call,
// samples copied through its buffers. Before timing, both outputs are
// compared byte for byte, so the two loops are known to do the same job.
//   bench_sonic [seconds of audio per run] [runs]

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "net/adts.h"
#include "platform/sonic/sonic.h"

namespace {

constexpr int kRate = 22050;
constexpr int kBitRate = 32000;
constexpr int kFrameSamples = 1024;               // one AAC frame, the engine's block
constexpr int kBlockBytes = kFrameSamples * 2;
constexpr int kAmrFrameBytes = 32;                // 12.2 kbit/s: ToC and 31 bytes
constexpr unsigned char kAmrToc = 7 << 3 | 0x04;  // mode 7, quality bit set
constexpr int kAmrFramesPerSecond = 50;
constexpr int kSourceRate = 44100;

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

// Seconds since `start`.
double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_sonic: %s\n", what);
    std::exit(1);
}

// A tone per channel over steady noise: the encoder has both pitch and
// broadband content to work on, and every run sees the same samples.
std::vector<std::int16_t> Signal(std::size_t frames, int channels, int rate, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 600);
    std::vector<std::int16_t> out(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const double hz = 440.0 * (1 + 0.5 * c);
            const double v = 8000 * std::sin(2 * std::numbers::pi * hz * double(i) / rate) +
                             noise(random);
            out[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(std::clamp(v, -32767.0, 32767.0));
        }
    return out;
}

const unsigned char* AsBytes(const std::vector<std::int16_t>& v) {
    return reinterpret_cast<const unsigned char*>(v.data());
}

SwrContext* Converter(int inChannels, AVSampleFormat inFormat, int inRate, int outChannels,
                      int outRate) {
    AVChannelLayout in{}, out{};
    av_channel_layout_default(&in, inChannels);
    av_channel_layout_default(&out, outChannels);
    SwrContext* swr = nullptr;
    const int made = swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, outRate, &in, inFormat,
                                         inRate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (made < 0 || !swr || swr_init(swr) < 0) Fail("no converter");
    return swr;
}

// --- AAC encode -----------------------------------------------------------------------

// The wrapper's ADTS frames, in the engine's 2048-byte blocks.
double WrapperEncode(const std::vector<std::int16_t>& pcm, Bytes* keep) {
    sonic_eaac_t* e = sonic_eaac(kRate, 1, kBitRate);
    if (!e) Fail("no wrapped encoder");
    const unsigned char* bytes = AsBytes(pcm);
    const std::size_t total = pcm.size() * 2;
    std::size_t made = 0;
    const auto start = Clock::now();
    for (std::size_t at = 0; at + kBlockBytes <= total; at += kBlockBytes) {
        unsigned char* out = nullptr;
        const int n = sonic_eaac_encode(e, bytes + at, kBlockBytes, &out);
        if (n > 0 && out) {
            made += static_cast<std::size_t>(n);
            if (keep) keep->insert(keep->end(), out, out + n);
        }
    }
    const double took = Since(start);
    sonic_eaac_release(e);
    if (made == 0) Fail("a loop gave no output");
    return took;
}

struct DirectEncoder {
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwrContext* swr = nullptr;

    DirectEncoder() {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        if (!ctx || !frame || !packet) Fail("no direct encoder");
        ctx->sample_rate = kRate;
        av_channel_layout_default(&ctx->ch_layout, 1);
        ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
        ctx->bit_rate = kBitRate;
        ctx->profile = FF_PROFILE_AAC_LOW;
        if (avcodec_open2(ctx, codec, nullptr) < 0 || ctx->frame_size != kFrameSamples)
            Fail("the direct encoder did not open");
        frame->nb_samples = kFrameSamples;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = kRate;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        if (av_frame_get_buffer(frame, 0) < 0) Fail("no frame buffer");
        // 16-bit to planar float, the rate unchanged.
        AVChannelLayout mono{};
        av_channel_layout_default(&mono, 1);
        if (swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_FLTP, kRate, &mono, AV_SAMPLE_FMT_S16,
                                kRate, 0, nullptr) < 0 ||
            swr_init(swr) < 0)
            Fail("no encoder converter");
    }
    ~DirectEncoder() {
        swr_free(&swr);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
};

// The raw frames the encoder gives for the same blocks, each in `keep` as
// its own packet so they can be checked against the wrapper's payloads.
double DirectEncode(const std::vector<std::int16_t>& pcm, std::vector<Bytes>* keep) {
    DirectEncoder d;
    const unsigned char* bytes = AsBytes(pcm);
    const std::size_t total = pcm.size() * 2;
    std::size_t made = 0;
    const auto start = Clock::now();
    for (std::size_t at = 0; at + kBlockBytes <= total; at += kBlockBytes) {
        if (av_frame_make_writable(d.frame) < 0) Fail("frame not writable");
        const std::uint8_t* src = bytes + at;
        if (swr_convert(d.swr, d.frame->data, kFrameSamples, &src, kFrameSamples) != kFrameSamples)
            Fail("encoder conversion short");
        if (avcodec_send_frame(d.ctx, d.frame) < 0) Fail("encoder refused a frame");
        while (avcodec_receive_packet(d.ctx, d.packet) == 0) {
            made += static_cast<std::size_t>(d.packet->size);
            if (keep) keep->emplace_back(d.packet->data, d.packet->data + d.packet->size);
            av_packet_unref(d.packet);
        }
    }
    const double took = Since(start);
    if (made == 0) Fail("a loop gave no output");
    return took;
}

// --- Decoding -------------------------------------------------------------------------

struct DirectDecoder {
    AVCodecContext* ctx = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* swr = nullptr;
    std::vector<std::int16_t> pcm;

    DirectDecoder(AVCodecID id, int rate, AVSampleFormat decoded) {
        const AVCodec* codec = avcodec_find_decoder(id);
        ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!ctx || !packet || !frame) Fail("no direct decoder");
        ctx->sample_rate = rate;
        av_channel_layout_default(&ctx->ch_layout, 1);
        if (avcodec_open2(ctx, codec, nullptr) < 0) Fail("the direct decoder did not open");
        swr = Converter(1, decoded, rate, 1, rate);
        pcm.resize(4096);
    }
    ~DirectDecoder() {
        swr_free(&swr);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&ctx);
    }
    // One packet in place (the decoder copies what it keeps); the 16-bit bytes out.
    std::size_t Decode(const unsigned char* data, int length, Bytes* keep) {
        packet->data = const_cast<unsigned char*>(data);
        packet->size = length;
        if (avcodec_send_packet(ctx, packet) < 0) Fail("decoder refused a packet");
        std::size_t made = 0;
        while (avcodec_receive_frame(ctx, frame) == 0) {
            auto* dst = reinterpret_cast<std::uint8_t*>(pcm.data());
            const int n = swr_convert(swr, &dst, static_cast<int>(pcm.size()),
                                      const_cast<const std::uint8_t**>(frame->extended_data),
                                      frame->nb_samples);
            if (n < 0) Fail("decoder conversion failed");
            made += static_cast<std::size_t>(n) * 2;
            if (keep) keep->insert(keep->end(), dst, dst + n * 2);
            av_frame_unref(frame);
        }
        return made;
    }
};

// The wrapper offered the rest of the stream each call, as a listener does.
double WrapperDecodeAac(const Bytes& stream, Bytes* keep) {
    sonic_daac_t* d = sonic_daac();
    if (!d) Fail("no wrapped AAC decoder");
    std::size_t made = 0;
    const auto start = Clock::now();
    for (std::size_t at = 0; at < stream.size();) {
        int offered = static_cast<int>(stream.size() - at);
        unsigned char* out = nullptr;
        int outLength = 0;
        const int used = sonic_daac_decode(d, stream.data() + at, &offered, &out, &outLength);
        if (used <= 0) break;
        at += static_cast<std::size_t>(used);
        if (out && outLength > 0) {
            made += static_cast<std::size_t>(outLength);
            if (keep) keep->insert(keep->end(), out, out + outLength);
        }
    }
    const double took = Since(start);
    sonic_daac_release(d);
    if (made == 0) Fail("a loop gave no output");
    return took;
}

// The frames as the direct loop is handed them: each padded as the decoder
// expects, ADTS header included (the decoder reads it itself).
struct PaddedFrames {
    Bytes storage;
    std::vector<std::pair<std::size_t, int>> frames;  // offset, length
};

PaddedFrames SplitAdts(const Bytes& stream) {
    PaddedFrames p;
    for (std::size_t at = 0; at < stream.size();) {
        adts::Header h;
        if (!adts::ParseHeader(stream.data() + at, stream.size() - at, h) ||
            h.frameBytes > stream.size() - at)
            Fail("the wrapper's stream is not whole ADTS frames");
        p.frames.emplace_back(p.storage.size(), static_cast<int>(h.frameBytes));
        p.storage.insert(p.storage.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                         stream.begin() + static_cast<std::ptrdiff_t>(at + h.frameBytes));
        p.storage.resize(p.storage.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        at += h.frameBytes;
    }
    return p;
}

double DirectDecodeAac(const PaddedFrames& p, Bytes* keep) {
    DirectDecoder d(AV_CODEC_ID_AAC, kRate, AV_SAMPLE_FMT_FLTP);
    std::size_t made = 0;
    const auto start = Clock::now();
    for (const auto& [offset, length] : p.frames)
        made += d.Decode(p.storage.data() + offset, length, keep);
    const double took = Since(start);
    if (made == 0) Fail("a loop gave no output");
    return took;
}

// 12.2 kbit/s frames of random bits: the decoder does the same work on
// them as on speech, and no encoder is needed to make them.
Bytes AmrFrames(std::size_t count) {
    std::mt19937 random(7);
    Bytes out(count * kAmrFrameBytes + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    for (std::size_t f = 0; f < count; ++f) {
        unsigned char* frame = out.data() + f * kAmrFrameBytes;
        frame[0] = kAmrToc;
        for (int i = 1; i < kAmrFrameBytes; ++i) frame[i] = static_cast<unsigned char>(random());
    }
    return out;
}

double WrapperDecodeAmr(const Bytes& frames, std::size_t count, Bytes* keep) {
    sonic_damr_t* d = sonic_damr();
    if (!d) Fail("no wrapped AMR decoder");
    const std::size_t total = count * kAmrFrameBytes;
    std::size_t made = 0;
    const auto start = Clock::now();
    for (std::size_t at = 0; at < total;) {
        unsigned char* out = nullptr;
        int outLength = 0;
        const int offered = static_cast<int>(std::min<std::size_t>(total - at, kAmrFrameBytes));
        const int used = sonic_damr_decode(d, frames.data() + at, offered, &out, &outLength);
        if (used <= 0) break;
        at += static_cast<std::size_t>(used);
        if (out && outLength > 0) {
            made += static_cast<std::size_t>(outLength);
            if (keep) keep->insert(keep->end(), out, out + outLength);
        }
    }
    const double took = Since(start);
    sonic_damr_release(d);
    if (made == 0) Fail("a loop gave no output");
    return took;
}

double DirectDecodeAmr(const Bytes& frames, std::size_t count, Bytes* keep) {
    DirectDecoder d(AV_CODEC_ID_AMR_NB, 8000, AV_SAMPLE_FMT_FLT);
    std::size_t made = 0;
    const auto start = Clock::now();
    for (std::size_t f = 0; f < count; ++f)
        made += d.Decode(frames.data() + f * kAmrFrameBytes, kAmrFrameBytes, keep);
    const double took = Since(start);
    if (made == 0) Fail("a loop gave no output");
    return took;
}

// --- Conversion -----------------------------------------------------------------------

double WrapperConvert(const std::vector<std::int16_t>& stereo, int piece, Bytes* keep) {
    sonic_convert_t* c = sonic_pcm_create_convert(2, 1, kSourceRate, kRate);
    if (!c) Fail("no wrapped converter");
    const unsigned char* bytes = AsBytes(stereo);
    const std::size_t total = stereo.size() * 2;
    std::size_t made = 0;
    const auto start = Clock::now();
    for (std::size_t at = 0; at + static_cast<std::size_t>(piece) <= total; at += piece) {
        unsigned char* out = nullptr;
        const int n = sonic_pcm_convert(c, bytes + at, piece, &out);
        if (n < 0) Fail("wrapped conversion failed");
        if (n > 0 && out) {
            made += static_cast<std::size_t>(n);
            if (keep) keep->insert(keep->end(), out, out + n);
        }
    }
    const double took = Since(start);
    sonic_pcm_release(c);
    if (made == 0) Fail("a loop gave no output");
    return took;
}

double DirectConvert(const std::vector<std::int16_t>& stereo, int piece, Bytes* keep) {
    SwrContext* swr = Converter(2, AV_SAMPLE_FMT_S16, kSourceRate, 1, kRate);
    const int inFrames = piece / 4;
    // Room for a piece and whatever the filter still holds.
    std::vector<std::int16_t> out(static_cast<std::size_t>(inFrames) + 256);
    const unsigned char* bytes = AsBytes(stereo);
    const std::size_t total = stereo.size() * 2;
    std::size_t made = 0;
    const auto start = Clock::now();
    for (std::size_t at = 0; at + static_cast<std::size_t>(piece) <= total; at += piece) {
        auto* dst = reinterpret_cast<std::uint8_t*>(out.data());
        const std::uint8_t* src = bytes + at;
        const int n = swr_convert(swr, &dst, static_cast<int>(out.size()), &src, inFrames);
        if (n < 0) Fail("direct conversion failed");
        made += static_cast<std::size_t>(n) * 2;
        if (keep) keep->insert(keep->end(), dst, dst + n * 2);
    }
    const double took = Since(start);
    swr_free(&swr);
    if (made == 0) Fail("a loop gave no output");
    return took;
}

// --- Timing ---------------------------------------------------------------------------

// Median seconds of `runs` timings of each; the two alternate so drift in
// the machine's speed falls on both alike.
std::pair<double, double> Medians(int runs, const std::function<double()>& wrapper,
                                  const std::function<double()>& direct) {
    std::vector<double> w, d;
    for (int r = 0; r < runs; ++r) {
        if (r % 2 == 0) {
            w.push_back(wrapper());
            d.push_back(direct());
        } else {
            d.push_back(direct());
            w.push_back(wrapper());
        }
    }
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    return {median(w), median(d)};
}

bool withinGoal = true;  // every ratio so far at most 1.2

void Row(const char* what, std::pair<double, double> t, double audioSeconds, const char* same) {
    const double ratio = t.first / t.second;
    if (ratio > 1.2) withinGoal = false;
    std::printf("  %-26s %9.2f ms %9.2f ms %7.3f× %8.0f× %s\n", what, t.first * 1e3, t.second * 1e3,
                ratio, audioSeconds / t.first, same);
}

// How far two 16-bit streams differ: "same", or the count and the largest gap.
const char* Compare(const Bytes& a, const Bytes& b, char* text, std::size_t size) {
    if (a == b) return "same";
    const std::size_t n = std::min(a.size(), b.size()) / 2;
    std::size_t differ = 0;
    int largest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::int16_t x, y;
        std::memcpy(&x, &a[i * 2], 2);
        std::memcpy(&y, &b[i * 2], 2);
        if (x != y) ++differ, largest = std::max(largest, std::abs(int(x) - int(y)));
    }
    std::snprintf(text, size, "DIFFER: %zu/%zu samples, up to %d; %zu vs %zu bytes", differ, n,
                  largest, a.size(), b.size());
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    if (!sonic_init()) Fail("the codecs are missing");

    const auto mono = Signal(static_cast<std::size_t>(seconds * kRate), 1, kRate, 1);
    const auto stereo = Signal(static_cast<std::size_t>(seconds * kSourceRate), 2, kSourceRate, 2);
    const auto amrCount = static_cast<std::size_t>(seconds * kAmrFramesPerSecond);
    const Bytes amr = AmrFrames(amrCount);

    // One untimed pass of each loop: the outputs compared, and the caches warm.
    Bytes adtsStream;
    std::vector<Bytes> rawFrames;
    WrapperEncode(mono, &adtsStream);
    DirectEncode(mono, &rawFrames);
    const PaddedFrames padded = SplitAdts(adtsStream);
    bool encodeSame = padded.frames.size() == rawFrames.size();
    for (std::size_t i = 0; encodeSame && i < rawFrames.size(); ++i) {
        const auto& [offset, length] = padded.frames[i];
        encodeSame = Bytes(padded.storage.begin() + static_cast<std::ptrdiff_t>(offset + adts::kHeaderBytes),
                           padded.storage.begin() + static_cast<std::ptrdiff_t>(offset + length)) ==
                     rawFrames[i];
    }

    char aacText[128], amrText[128], smallText[128], largeText[128];
    Bytes a, b;
    WrapperDecodeAac(adtsStream, &a);
    DirectDecodeAac(padded, &b);
    const char* aacSame = Compare(a, b, aacText, sizeof aacText);
    a.clear(), b.clear();
    WrapperDecodeAmr(amr, amrCount, &a);
    DirectDecodeAmr(amr, amrCount, &b);
    const char* amrSame = Compare(a, b, amrText, sizeof amrText);
    // The loopback's chunk, and the most one wrapper call takes.
    constexpr int kSmallPiece = 2048, kLargePiece = 16384;
    a.clear(), b.clear();
    WrapperConvert(stereo, kSmallPiece, &a);
    DirectConvert(stereo, kSmallPiece, &b);
    const char* smallSame = Compare(a, b, smallText, sizeof smallText);
    a.clear(), b.clear();
    WrapperConvert(stereo, kLargePiece, &a);
    DirectConvert(stereo, kLargePiece, &b);
    const char* largeSame = Compare(a, b, largeText, sizeof largeText);

    std::printf("%.0f s of audio per run, median of %d runs; %u cores\n", seconds, runs,
                std::thread::hardware_concurrency());
    std::printf("  %-26s %12s %12s %8s %9s %s\n", "", "wrapper", "direct", "ratio", "realtime",
                "output");
    Row("AAC encode (2048 B blocks)",
        Medians(runs, [&] { return WrapperEncode(mono, nullptr); },
                [&] { return DirectEncode(mono, nullptr); }),
        seconds, encodeSame ? "same" : "DIFFER");
    Row("AAC decode",
        Medians(runs, [&] { return WrapperDecodeAac(adtsStream, nullptr); },
                [&] { return DirectDecodeAac(padded, nullptr); }),
        seconds, aacSame);
    Row("AMR-NB 12.2 decode",
        Medians(runs, [&] { return WrapperDecodeAmr(amr, amrCount, nullptr); },
                [&] { return DirectDecodeAmr(amr, amrCount, nullptr); }),
        seconds, amrSame);
    Row("44.1k stereo→22k mono 2 KB",
        Medians(runs, [&] { return WrapperConvert(stereo, kSmallPiece, nullptr); },
                [&] { return DirectConvert(stereo, kSmallPiece, nullptr); }),
        seconds, smallSame);
    Row("44.1k stereo→22k mono 16 KB",
        Medians(runs, [&] { return WrapperConvert(stereo, kLargePiece, nullptr); },
                [&] { return DirectConvert(stereo, kLargePiece, nullptr); }),
        seconds, largeSame);
    std::printf("  wrapper within 1.2× of the direct loop everywhere: %s\n", withinGoal ? "yes" : "NO");
    return 0;
}
