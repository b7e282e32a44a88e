// Lip sync of a recording: every second for 30 s a white picture (the flash)
// and a loud burst (the click) are pushed with the same stamp; the MP4 is read
// back with the container library and each flash is paired with its click.
// Prints the worst and mean offset (goal: worst ≤ 40 ms).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "aac_test_stream.h"
#include "h264_test_stream.h"
#include "platform/vcast/record_peek.h"
#include "platform/vcast/vcast.h"

namespace {

constexpr int kSeconds = 30;
constexpr int kFps = 25;
constexpr int kRate = 22050;

// 30 s of media are pushed in a few seconds, faster than the recorder's
// thread encodes them: the pushes wait here while its queue is well filled,
// so what is measured is the placing, not the overflow rule.
// How long the pushes took: they only check and queue, whatever the
// recorder's thread is doing.
struct PushTimes {
    double worstUs = 0, totalUs = 0;
    int count = 0;
    template <class Push>
    int Time(Push push) {
        const auto start = std::chrono::steady_clock::now();
        const int result = push();
        const double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        worstUs = std::max(worstUs, us);
        totalUs += us;
        ++count;
        return result;
    }
};

void LetTheRecorderKeepUp(vcast_record_t* record) {
    VcastRecordCounts counts;
    while (VcastRecordPeek(record, counts) && counts.queued > 200)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool Record(const std::string& path) {
    // The sources exist before the recording opens, so the first push lands
    // at its start: what remains is the recorder's own offset plus the
    // phase of its frame grid (a picture waits for the next output frame).
    CPatternEncoder video(320, 240, kFps, 2 * kFps);
    CAdtsEncoder voice(kRate, 1);
    if (!video.Ok() || !voice.Ok()) return false;
    vcast_record_t* record = VCAST_RecordOpen(path.c_str(), 320, 240, kFps, 1, 16, kRate, 1);
    if (!record) return false;
    const std::uint32_t base = 123456;
    PushTimes times;
    std::vector<std::int16_t> pcm(1024);
    std::int64_t fed = 0;  // samples given to the voice encoder
    int packets = 0;
    for (int i = 0; i < kSeconds * kFps; ++i) {
        const std::int64_t ms = std::int64_t(i) * 1000 / kFps;
        const bool flash = i % kFps == 0 && i > 0;
        const EncodedFrame f = video.EncodeSolid(flash ? 0xFFFFFFFFu : 0xFF202020u);
        MediaFrame d;
        d.f0 = media_frame::kCodecH264;
        d.f1 = f.key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
        d.clock = media_frame::kClockSender;
        d.stamp = base + static_cast<std::uint32_t>(ms);
        d.length = static_cast<std::uint32_t>(f.bytes.size());
        times.Time([&] { return VCAST_push_video(record, &d, f.bytes.data(), d.length); });
        LetTheRecorderKeepUp(record);
        while (fed * 1000 / kRate < ms + 1000 / kFps) {
            for (int s = 0; s < 1024; ++s) {
                const std::int64_t n = fed + s;
                const std::int64_t intoSecond = n % kRate;
                // 10 ms of a loud square wave at each whole second after the first.
                const bool click = n >= kRate && intoSecond < kRate / 100;
                pcm[s] = click ? ((n / 20) % 2 ? 28000 : -28000) : 0;
            }
            fed += 1024;
            const auto adts = voice.Encode(pcm.data());
            if (adts.empty()) continue;
            const std::int64_t first = std::int64_t(packets - CAdtsEncoder::kDelayFrames) * 1024;
            ++packets;
            if (first < 0) continue;
            MediaFrame a;
            a.f0 = media_frame::kCodecAacAdts;
            a.clock = media_frame::kClockSender;
            a.stamp = base + static_cast<std::uint32_t>(first * 1000 / kRate);
            a.length = static_cast<std::uint32_t>(adts.size());
            times.Time([&] { return VCAST_push_audio(record, &a, adts.data(), a.length); });
        }
    }
    VcastRecordCounts counts;
    VcastRecordPeek(record, counts);
    std::printf("record pushes: %d, mean %.1f us, worst %.1f us\n", times.count,
                times.count ? times.totalUs / times.count : 0.0, times.worstUs);
    std::printf("record sync: dropped %llu video, %llu audio pushes\n",
                static_cast<unsigned long long>(counts.videoDropped),
                static_cast<unsigned long long>(counts.audioDropped));
    return VCAST_RecordClose(record) == 1;
}

// Start times (s) of the flashes and of the clicks in the file.
bool ReadBack(const std::string& path, std::vector<double>& flashes, std::vector<double>& clicks) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
    avformat_find_stream_info(format, nullptr);
    AVCodecContext* decoders[2] = {nullptr, nullptr};
    int video = -1, audio = -1;
    for (unsigned s = 0; s < format->nb_streams; ++s) {
        const AVCodecParameters* par = format->streams[s]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) video = static_cast<int>(s);
        else if (par->codec_type == AVMEDIA_TYPE_AUDIO) audio = static_cast<int>(s);
        else continue;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        AVCodecContext* c = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(c, par);
        c->pkt_timebase = format->streams[s]->time_base;
        avcodec_open2(c, codec, nullptr);
        decoders[par->codec_type == AVMEDIA_TYPE_VIDEO ? 0 : 1] = c;
    }
    if (video < 0 || audio < 0) return false;
    const double vtb = av_q2d(format->streams[video]->time_base);
    const double atb = av_q2d(format->streams[audio]->time_base);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool lit = false;
    double lastLoud = -10;
    auto drain = [&](int which) {
        while (avcodec_receive_frame(decoders[which], frame) == 0) {
            if (which == 0) {
                double sum = 0;
                for (int y = 0; y < frame->height; ++y)
                    for (int x = 0; x < frame->width; ++x) sum += frame->data[0][y * frame->linesize[0] + x];
                const bool white = sum / (frame->width * frame->height) > 180;
                if (white && !lit) flashes.push_back(frame->best_effort_timestamp * vtb);
                lit = white;
            } else {
                const auto* samples = reinterpret_cast<const float*>(frame->data[0]);
                for (int i = 0; i < frame->nb_samples; ++i) {
                    const double t = frame->best_effort_timestamp * atb + double(i) / frame->sample_rate;
                    if (std::fabs(samples[i]) > 0.3) {
                        if (t - lastLoud > 0.5) clicks.push_back(t);
                        lastLoud = t;
                    }
                }
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        const int which = packet->stream_index == video ? 0 : packet->stream_index == audio ? 1 : -1;
        if (which >= 0) {
            avcodec_send_packet(decoders[which], packet);
            drain(which);
        }
        av_packet_unref(packet);
    }
    for (int which = 0; which < 2; ++which) {
        avcodec_send_packet(decoders[which], nullptr);
        drain(which);
        avcodec_free_context(&decoders[which]);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return true;
}

}  // namespace

int main() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "zeri_bench_record_sync.mp4").string();
    if (!Record(path)) {
        std::fprintf(stderr, "recording failed\n");
        return 1;
    }
    std::vector<double> flashes, clicks;
    if (!ReadBack(path, flashes, clicks)) {
        std::fprintf(stderr, "cannot read %s back\n", path.c_str());
        return 1;
    }
    double worst = 0, sum = 0;
    int pairs = 0;
    for (double f : flashes) {
        auto nearest = std::min_element(clicks.begin(), clicks.end(), [&](double a, double b) {
            return std::fabs(a - f) < std::fabs(b - f);
        });
        if (nearest == clicks.end() || std::fabs(*nearest - f) > 0.5) continue;
        const double offset = (*nearest - f) * 1000;  // click after flash > 0
        worst = std::max(worst, std::fabs(offset));
        sum += offset;
        ++pairs;
    }
    std::printf("record sync: %zu flashes, %zu clicks, %d pairs; click−flash mean %.1f ms, worst |%.1f| ms "
                "(goal ≤ 40)\n",
                flashes.size(), clicks.size(), pairs, pairs ? sum / pairs : 0.0, worst);
    std::filesystem::remove(path);
    return pairs == kSeconds - 1 ? 0 : 1;
}
