#include "record_read_back.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/vcast/test_pattern.h"

namespace fs = std::filesystem;

namespace record_test {

fs::path TempFile(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("zeri_record_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir / name;
}

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    return out;
}

std::map<int, TrackEnd> Probe(const fs::path& file) {
    std::map<int, TrackEnd> tracks;
    std::istringstream streams(Shell(std::string(kProbe) +
                                   " -v error -show_entries stream=index,codec_name,duration"
                                   " -of csv=p=0 '" + file.string() + "'"));
    std::string line;
    while (std::getline(streams, line)) {
        int index = -1;
        char codec[32] = {};
        double duration = -1;
        if (std::sscanf(line.c_str(), "%d,%31[^,],%lf", &index, codec, &duration) >= 2)
            tracks[index] = TrackEnd{codec, duration, -1};
    }
    std::istringstream packets(Shell(std::string(kProbe) +
                                   " -v error -show_entries packet=stream_index,pts_time,duration_time"
                                   " -of csv=p=0 '" + file.string() + "'"));
    while (std::getline(packets, line)) {
        int index = -1;
        double pts = 0, duration = 0;
        if (std::sscanf(line.c_str(), "%d,%lf,%lf", &index, &pts, &duration) == 3 &&
            tracks.count(index))
            tracks[index].lastEnd = std::max(tracks[index].lastEnd, pts + duration);
    }
    return tracks;
}

Contents ReadBack(const fs::path& file) {
    Contents out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0) return out;
    avformat_find_stream_info(format, nullptr);
    AVCodecContext* decoders[8] = {};
    for (unsigned i = 0; i < format->nb_streams && i < 8; ++i) {
        const AVCodec* codec = avcodec_find_decoder(format->streams[i]->codecpar->codec_id);
        decoders[i] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[i], format->streams[i]->codecpar);
        avcodec_open2(decoders[i], codec, nullptr);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&](AVCodecContext* c) {
        while (avcodec_receive_frame(c, frame) == 0) {
            if (c->codec_type == AVMEDIA_TYPE_AUDIO) {
                out.rate = frame->sample_rate;
                const auto* samples = reinterpret_cast<const float*>(frame->data[0]);
                out.audio.insert(out.audio.end(), samples, samples + frame->nb_samples);
                continue;
            }
            VcastPicture p;
            p.width = frame->width, p.height = frame->height;
            p.argb.resize(static_cast<std::size_t>(p.width) * p.height);
            SwsContext* sws = sws_getContext(p.width, p.height, AVPixelFormat(frame->format),
                                             p.width, p.height, AV_PIX_FMT_RGB32, SWS_POINT,
                                             nullptr, nullptr, nullptr);
            std::uint8_t* dst[4] = {reinterpret_cast<std::uint8_t*>(p.argb.data())};
            const int stride[4] = {p.width * 4};
            sws_scale(sws, frame->data, frame->linesize, 0, p.height, dst, stride);
            sws_freeContext(sws);
            out.pictures.push_back(std::move(p));
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (AVCodecContext* c = packet->stream_index < 8 ? decoders[packet->stream_index] : nullptr) {
            avcodec_send_packet(c, packet);
            drain(c);
        }
        av_packet_unref(packet);
    }
    for (AVCodecContext*& c : decoders) {
        if (!c) continue;
        avcodec_send_packet(c, nullptr);
        drain(c);
        avcodec_free_context(&c);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return out;
}

double ToneLevel(const std::vector<float>& s, int rate, double hz, std::size_t from, std::size_t to) {
    const double k = 2 * std::cos(2 * M_PI * hz / rate);
    double a = 0, b = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i) {
        const double c = s[i] + k * a - b;
        b = a;
        a = c;
    }
    return std::sqrt(a * a + b * b - k * a * b) / double(to - from);
}

MediaFrame VideoFrame(bool key, std::uint32_t stamp, std::size_t length, std::uint8_t clock) {
    MediaFrame d;
    d.f0 = media_frame::kCodecH264;
    d.f1 = key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
    d.f3 = key ? 1 : 0;
    d.clock = clock;
    d.stamp = stamp;
    d.length = static_cast<std::uint32_t>(length);
    return d;
}

MediaFrame AudioFrame(std::uint32_t stamp, std::size_t length, std::uint8_t clock) {
    MediaFrame d;
    d.f0 = media_frame::kCodecAacAdts;
    d.clock = clock;
    d.stamp = stamp;
    d.length = static_cast<std::uint32_t>(length);
    return d;
}

bool LooksBlack(const VcastPicture& p) {
    std::uint64_t sum = 0;
    for (std::uint32_t px : p.argb) sum += ((px >> 16 & 255) + (px >> 8 & 255) + (px & 255)) / 3;
    return !p.argb.empty() && sum / p.argb.size() < 30;
}

std::vector<std::uint32_t> Counters(const std::vector<VcastPicture>& pictures) {
    std::vector<std::uint32_t> counters;
    for (std::size_t n = 0; n < pictures.size(); ++n) {
        std::uint32_t counter = 0xFFFFFFFFu;
        // The black lead-in before the first picture came: as long as the
        // voices that started the file were ahead of it.
        if (counters.empty() && LooksBlack(pictures[n])) continue;
        vcast_pattern::ReadCounter(pictures[n], counter);
        counters.push_back(counter);
    }
    return counters;
}

}  // namespace record_test
