#include "platform/jukebox/song_source.h"

#include <algorithm>
#include <atomic>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace jukebox {

namespace {

// Damaged packets tolerated in a row before the song counts as unplayable.
constexpr int kMaxBadInARow = 64;
// Formats no song has: refused before anything is sized for them.
constexpr int kMaxChannels = 32;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;
constexpr int kMaxFrameSamples = 1 << 17;
// One frame's output after resampling, in frames (about 24 s).
constexpr int kMaxOutFrames = 1 << 20;

// libavformat asks this while it waits on a file; non-zero gives up.
int Interrupted(void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; }

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

CSongSource::~CSongSource() { Close(); }

void CSongSource::Close() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&swr_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    stream_ = -1;
    durationMs_ = 0;
    draining_ = done_ = false;
    badInARow_ = 0;
    produced_ = 0;
    skipUntilMs_ = -1;
}

bool CSongSource::Open(const std::string& path, std::string& error) {
    Close();
    format_ = avformat_alloc_context();
    if (!format_) {
        error = "out of memory";
        return false;
    }
    if (interrupt_) format_->interrupt_callback = AVIOInterruptCB{&Interrupted, const_cast<std::atomic<bool>*>(interrupt_)};
    int rc = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);  // frees format_ on failure
    if (rc < 0) {
        error = "cannot open: " + AvError(rc);
        return false;
    }
    rc = avformat_find_stream_info(format_, nullptr);
    if (rc < 0) {
        error = "not a sound file: " + AvError(rc);
        Close();
        return false;
    }
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream_ < 0 || !decoder) {
        error = "no sound in the file";
        Close();
        return false;
    }
    const AVCodecParameters* par = format_->streams[stream_]->codecpar;
    if (par->ch_layout.nb_channels < 1 || par->ch_layout.nb_channels > kMaxChannels ||
        par->sample_rate < kMinRate || par->sample_rate > kMaxRate) {
        error = "unsupported sound format";
        Close();
        return false;
    }
    codec_ = avcodec_alloc_context3(decoder);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!codec_ || !packet_ || !frame_) {
        error = "out of memory";
        Close();
        return false;
    }
    rc = avcodec_parameters_to_context(codec_, par);
    if (rc >= 0) rc = avcodec_open2(codec_, decoder, nullptr);
    if (rc < 0) {
        error = "cannot decode: " + AvError(rc);
        Close();
        return false;
    }
    if (format_->duration > 0)
        durationMs_ = static_cast<int>(std::min<std::int64_t>(format_->duration / 1000, INT32_MAX));
    return true;
}

bool CSongSource::Convert(const AVFrame* frame, std::vector<std::int16_t>& out) {
    if (frame->nb_samples <= 0 || frame->nb_samples > kMaxFrameSamples || frame->sample_rate < kMinRate ||
        frame->sample_rate > kMaxRate || frame->ch_layout.nb_channels < 1 ||
        frame->ch_layout.nb_channels > kMaxChannels)
        return false;
    int skip = 0;  // leading frames before a seek's target
    if (skipUntilMs_ >= 0 && frame->pts != AV_NOPTS_VALUE) {
        const AVRational tb = format_->streams[stream_]->time_base;
        const std::int64_t startMs = av_rescale_q(frame->pts, tb, AVRational{1, 1000});
        const std::int64_t endMs = startMs + std::int64_t(frame->nb_samples) * 1000 / frame->sample_rate;
        if (endMs <= skipUntilMs_) return true;
        if (startMs < skipUntilMs_) skip = int((skipUntilMs_ - startMs) * frame->sample_rate / 1000);
    }
    skipUntilMs_ = -1;
    // A stream may change its format midway (chained files): convert anew.
    if (swr_ && (frame->sample_rate != inRate_ || frame->format != inFormat_ ||
                 frame->ch_layout.nb_channels != inChannels_))
        swr_free(&swr_);
    if (!swr_) {
        inRate_ = frame->sample_rate;
        inFormat_ = frame->format;
        inChannels_ = frame->ch_layout.nb_channels;
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, kPlayChannels);
        if (swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, kPlayRate,
                                const_cast<AVChannelLayout*>(&frame->ch_layout),  // not const before FFmpeg 6
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
    }
    const int room = swr_get_out_samples(swr_, frame->nb_samples);
    if (room < 0 || room > kMaxOutFrames) return false;
    const std::size_t at = out.size();
    out.resize(at + std::size_t(room) * kPlayChannels);
    auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + at);
    const int made = swr_convert(swr_, &dst, room, const_cast<const std::uint8_t**>(frame->extended_data),
                                 frame->nb_samples);
    if (made < 0) {
        out.resize(at);
        return false;
    }
    out.resize(at + std::size_t(made) * kPlayChannels);
    // Seeking lands before the target: drop the resampled lead-in.
    const int drop = std::min(made, int(std::int64_t(skip) * kPlayRate / frame->sample_rate));
    out.erase(out.begin() + std::ptrdiff_t(at), out.begin() + std::ptrdiff_t(at + std::size_t(drop) * kPlayChannels));
    produced_ += made - drop;
    return true;
}

CSongSource::Step CSongSource::Finish(std::vector<std::int16_t>& out, std::string& error) {
    done_ = true;
    if (swr_) {
        const int room = swr_get_out_samples(swr_, 0);
        if (room > 0 && room <= kMaxOutFrames) {
            const std::size_t at = out.size();
            out.resize(at + std::size_t(room) * kPlayChannels);
            auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + at);
            const int made = swr_convert(swr_, &dst, room, nullptr, 0);
            out.resize(at + std::size_t(std::max(made, 0)) * kPlayChannels);
            produced_ += std::max(made, 0);
        }
    }
    if (produced_ == 0) {
        error = "nothing in the file could be decoded";
        return Step::failed;
    }
    return Step::end;
}

CSongSource::Step CSongSource::Decode(std::vector<std::int16_t>& out, std::string& error) {
    if (!format_) {
        error = "no song open";
        return Step::failed;
    }
    if (done_) return produced_ > 0 ? Step::end : Step::failed;
    for (;;) {
        int rc = avcodec_receive_frame(codec_, frame_);
        if (rc >= 0) {
            const bool ok = Convert(frame_, out);
            av_frame_unref(frame_);
            if (ok) {
                badInARow_ = 0;
                return Step::more;
            }
            if (++badInARow_ > kMaxBadInARow) break;
            continue;
        }
        if (rc == AVERROR_EOF) return Finish(out, error);
        if (rc != AVERROR(EAGAIN)) {
            if (++badInARow_ > kMaxBadInARow) break;
            continue;
        }
        if (draining_) return Finish(out, error);
        rc = av_read_frame(format_, packet_);
        if (rc < 0) {
            // The end of the file, or damage that stops reading: play what came.
            draining_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index == stream_) {
            rc = avcodec_send_packet(codec_, packet_);
            if (rc < 0 && rc != AVERROR(EAGAIN) && ++badInARow_ > kMaxBadInARow) {
                av_packet_unref(packet_);
                break;
            }
        }
        av_packet_unref(packet_);
    }
    done_ = true;
    error = "the file is damaged";
    return Step::failed;
}

bool CSongSource::Seek(int positionMs, std::string& error) {
    if (!format_) {
        error = "no song open";
        return false;
    }
    positionMs = std::max(positionMs, 0);
    const std::int64_t target = std::int64_t(positionMs) * (AV_TIME_BASE / 1000);
    const int rc = avformat_seek_file(format_, -1, INT64_MIN, target, target, 0);
    if (rc < 0) {
        error = "cannot seek: " + AvError(rc);
        return false;
    }
    avcodec_flush_buffers(codec_);
    if (swr_) swr_free(&swr_);  // its buffered tail belongs before the seek
    draining_ = done_ = false;
    badInARow_ = 0;
    skipUntilMs_ = positionMs;
    return true;
}

}  // namespace jukebox
