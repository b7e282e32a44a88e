#include "platform/vcast/movie_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "platform/vcast/movie_sound.h"
#include "platform/vcast/picture_fit.h"

namespace {
// Pacing sleeps at most this long between looks at stop, pause and seek.
constexpr double kStepSeconds = 0.01;
// A sound frame larger than this (before or after resampling) is damage, not sound.
constexpr int kMaxSoundFrameSamples = 1 << 20;
constexpr int kMinSoundRate = 1000;
constexpr int kMaxSoundRate = 768000;
// Movies longer than a day report an unknown length.
constexpr std::int64_t kMaxTotalSeconds = 24 * 3600;
}  // namespace

std::unique_ptr<CMovieSource> CMovieSource::Open(const std::string& path) {
    std::unique_ptr<CMovieSource> movie(new CMovieSource());
    if (avformat_open_input(&movie->input_, path.c_str(), nullptr, nullptr) < 0) {
        log_msg("vcast: movie %s does not open\r\n", path.c_str());
        return nullptr;
    }
    if (avformat_find_stream_info(movie->input_, nullptr) < 0) {
        log_msg("vcast: movie %s unreadable\r\n", path.c_str());
        return nullptr;
    }
    movie->stream_ = av_find_best_stream(movie->input_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (movie->stream_ < 0) {
        log_msg("vcast: movie %s has no video\r\n", path.c_str());
        return nullptr;
    }
    const AVCodecParameters* par = movie->input_->streams[movie->stream_]->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > vcast_limits::kMaxSourceSide ||
        par->height > vcast_limits::kMaxSourceSide || !avcodec_find_decoder(par->codec_id)) {
        log_msg("vcast: movie %s video %dx%d codec %d refused\r\n", path.c_str(), par->width,
                par->height, static_cast<int>(par->codec_id));
        return nullptr;
    }
    const std::int64_t duration = movie->input_->duration;
    if (duration != AV_NOPTS_VALUE && duration > 0 && duration / AV_TIME_BASE < kMaxTotalSeconds)
        movie->total_ = static_cast<int>((duration + AV_TIME_BASE / 2) / AV_TIME_BASE);
    movie->audioStream_ = av_find_best_stream(movie->input_, AVMEDIA_TYPE_AUDIO, -1, movie->stream_, nullptr, 0);
    if (movie->audioStream_ >= 0) movie->sound_ = movie->OpenSound();
    if (!movie->sound_) movie->audioStream_ = -1;
    movie->thread_ = std::thread(&CMovieSource::Run, movie.get());
    log_msg("vcast: movie %s %dx%d %d s\r\n", path.c_str(), par->width, par->height, movie->total_);
    return movie;
}

struct CMovieSource::Sound {
    AVCodecContext* decoder = nullptr;
    SwrContext* resampler = nullptr;
    AVFrame* frame = nullptr;
    double timeBase = 0;
    std::unique_ptr<CMovieSound> player;
    ~Sound() {
        player.reset();  // its thread first: it asks the movie's clock
        swr_free(&resampler);
        av_frame_free(&frame);
        avcodec_free_context(&decoder);
    }
};

CMovieSource::~CMovieSource() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    sound_.reset();
    avformat_close_input(&input_);
}

std::unique_ptr<CMovieSource::Sound> CMovieSource::OpenSound() {
    const AVStream* stream = input_->streams[audioStream_];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    auto sound = std::make_unique<Sound>();
    sound->decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!sound->decoder || avcodec_parameters_to_context(sound->decoder, stream->codecpar) < 0 ||
        avcodec_open2(sound->decoder, codec, nullptr) < 0) {
        log_msg("vcast: movie sound codec %d not played\r\n", static_cast<int>(stream->codecpar->codec_id));
        return nullptr;
    }
    AVCodecContext* dec = sound->decoder;
    if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC && dec->ch_layout.nb_channels > 0) {
        const int channels = dec->ch_layout.nb_channels;
        av_channel_layout_uninit(&dec->ch_layout);
        av_channel_layout_default(&dec->ch_layout, channels);
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;  // the call takes no const
    if (dec->sample_rate < kMinSoundRate || dec->sample_rate > kMaxSoundRate ||
        swr_alloc_set_opts2(&sound->resampler, &stereo, AV_SAMPLE_FMT_S16, CMovieSound::kRate,
                            &dec->ch_layout, dec->sample_fmt, dec->sample_rate, 0, nullptr) < 0 ||
        swr_init(sound->resampler) < 0) {
        log_msg("vcast: movie sound format not played\r\n");
        return nullptr;
    }
    sound->frame = av_frame_alloc();
    if (!sound->frame) return nullptr;
    sound->timeBase = av_q2d(stream->time_base);
    sound->player = std::make_unique<CMovieSound>(
        [this](double& position, bool& paused) { return ClockNow(position, paused); });
    return sound;
}

bool CMovieSource::ClockNow(double& position, bool& paused) {
    std::lock_guard<std::mutex> g(lock_);
    if (!clockSet_ || seekTo_ >= 0) return false;
    position = Position();
    paused = paused_;
    return true;
}

double CMovieSource::SoundSeconds() const { return sound_ ? sound_->player->WrittenSeconds() : 0; }

void CMovieSource::DecodeSound(const AVPacket* packet, double skipUntil) {
    Sound& s = *sound_;
    if (avcodec_send_packet(s.decoder, packet) < 0) return;
    while (avcodec_receive_frame(s.decoder, s.frame) >= 0) {
        const std::int64_t pts = s.frame->best_effort_timestamp;
        const double t = pts == AV_NOPTS_VALUE ? 0 : pts * s.timeBase;
        if (t + 0.1 >= skipUntil && s.frame->nb_samples > 0 && s.frame->nb_samples <= kMaxSoundFrameSamples) {
            const int room = swr_get_out_samples(s.resampler, s.frame->nb_samples);
            if (room > 0 && room <= kMaxSoundFrameSamples) {
                std::vector<std::int16_t> pcm(static_cast<std::size_t>(room) * CMovieSound::kChannels);
                auto* outPtr = reinterpret_cast<uint8_t*>(pcm.data());
                const int n = swr_convert(s.resampler, &outPtr, room,
                                          const_cast<const uint8_t**>(s.frame->extended_data),
                                          s.frame->nb_samples);
                if (n > 0) {
                    pcm.resize(static_cast<std::size_t>(n) * CMovieSound::kChannels);
                    s.player->Push(t, std::move(pcm));
                }
            }
        }
        av_frame_unref(s.frame);
    }
}

std::shared_ptr<const VcastPicture> CMovieSource::Latest(int, int, std::uint32_t) {
    std::lock_guard<std::mutex> g(lock_);
    return newest_;
}

int CMovieSource::CurrentSeconds() const {
    std::lock_guard<std::mutex> g(lock_);
    return static_cast<int>(std::max(0.0, current_));
}

double CMovieSource::Position() const {
    if (paused_) return posBase_;
    return posBase_ + std::chrono::duration<double>(Clock::now() - wallBase_).count();
}

void CMovieSource::TogglePause() {
    std::lock_guard<std::mutex> g(lock_);
    if (!paused_) {
        posBase_ = Position();
        paused_ = true;
    } else {
        wallBase_ = Clock::now();
        paused_ = false;
    }
}

bool CMovieSource::Paused() const {
    std::lock_guard<std::mutex> g(lock_);
    return paused_;
}

void CMovieSource::Seek(int seconds) {
    std::lock_guard<std::mutex> g(lock_);
    double target = std::max(0, seconds);
    if (total_ > 0) target = std::min(target, static_cast<double>(total_));
    seekTo_ = target;
    current_ = target;  // the position shows the target before the first picture there
}

bool CMovieSource::WaitFor(double t) {
    while (!stop_) {
        double ahead;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (seekTo_ >= 0) return false;
            if (!clockSet_) {
                posBase_ = t;
                wallBase_ = Clock::now();
                clockSet_ = true;
            }
            ahead = paused_ ? kStepSeconds : t - Position();
        }
        if (ahead <= 0) return true;
        av_usleep(static_cast<unsigned>(std::min(ahead, kStepSeconds) * 1e6));
    }
    return false;
}

void CMovieSource::ApplySeek(AVCodecContext* dec, double target) {
    const auto ts = static_cast<std::int64_t>(target * AV_TIME_BASE);
    if (av_seek_frame(input_, -1, ts, AVSEEK_FLAG_BACKWARD) < 0)
        log_msg("vcast: movie seek to %.1f s failed\r\n", target);
    avcodec_flush_buffers(dec);
    if (sound_) {
        avcodec_flush_buffers(sound_->decoder);
        sound_->player->Flush();
    }
}

void CMovieSource::Run() {
    const AVStream* stream = input_->streams[stream_];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    if (!dec || avcodec_parameters_to_context(dec, stream->codecpar) < 0 ||
        avcodec_open2(dec, codec, nullptr) < 0) {
        log_msg("vcast: movie decoder does not open\r\n");
        avcodec_free_context(&dec);
        running_ = false;
        return;
    }
    const double timeBase = av_q2d(stream->time_base);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    CFrameToArgb convert;
    double skipUntil = -1;  // after a seek, frames before the target are decoded, not shown
    bool draining = false;
    while (!stop_ && packet && frame) {
        double seek = -1;
        {
            std::lock_guard<std::mutex> g(lock_);
            std::swap(seek, seekTo_);
            if (seek >= 0) clockSet_ = false;
        }
        if (seek >= 0) {
            ApplySeek(dec, seek);
            skipUntil = seek;
            draining = false;
        }
        if (!draining) {
            const int rc = av_read_frame(input_, packet);
            if (rc < 0) {
                draining = true;
                avcodec_send_packet(dec, nullptr);
            } else {
                if (packet->stream_index == stream_) avcodec_send_packet(dec, packet);
                else if (sound_ && packet->stream_index == audioStream_) DecodeSound(packet, skipUntil);
                av_packet_unref(packet);
            }
        }
        bool any = false;
        while (!stop_ && avcodec_receive_frame(dec, frame) >= 0) {
            any = true;
            const std::int64_t pts = frame->best_effort_timestamp;
            const double t = pts == AV_NOPTS_VALUE ? 0 : pts * timeBase;
            if (t + 1e-3 >= skipUntil && WaitFor(t)) {
                auto picture = std::make_shared<VcastPicture>();
                if (convert.Convert(frame, *picture)) {
                    std::lock_guard<std::mutex> g(lock_);
                    newest_ = std::move(picture);
                    current_ = t;
                }
            }
            av_frame_unref(frame);
        }
        if (draining && !any) {
            std::lock_guard<std::mutex> g(lock_);
            if (seekTo_ < 0) break;  // the end, unless a seek came meanwhile
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&dec);
    if (!stop_) log_msg("vcast: movie ended\r\n");
    running_ = false;
}
