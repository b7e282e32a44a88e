#include "platform/vcast/device_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/time.h>
}

#include "core/log.h"
#include "platform/vcast/picture_fit.h"

namespace {
// How often a non-blocking device is asked again when it had nothing.
constexpr unsigned kPollMicroseconds = 5000;

AVDictionary* ToDictionary(const CDeviceSource::Options& options) {
    AVDictionary* d = nullptr;
    for (const auto& [k, v] : options) av_dict_set(&d, k.c_str(), v.c_str(), 0);
    return d;
}

AVFormatContext* OpenInput(const char* format, const std::string& url,
                           const CDeviceSource::Options& options, AVIOInterruptCB interrupt) {
    avdevice_register_all();  // once per process inside the library; cheap after
    const AVInputFormat* input = av_find_input_format(format);
    if (!input) {
        log_msg("vcast: no input device %s\r\n", format);
        return nullptr;
    }
    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx) return nullptr;
    ctx->interrupt_callback = interrupt;
    // A camera that stops delivering must not hold its reader (and a release) forever.
    ctx->flags |= AVFMT_FLAG_NONBLOCK;
    AVDictionary* dict = ToDictionary(options);
    const int rc = avformat_open_input(&ctx, url.c_str(), input, &dict);
    av_dict_free(&dict);
    if (rc < 0) {
        char err[128];
        av_strerror(rc, err, sizeof err);
        log_msg("vcast: %s %s does not open: %s\r\n", format, url.c_str(), err);
        return nullptr;  // avformat_open_input freed the context
    }
    return ctx;
}
}  // namespace

bool ProbeDeviceSize(const char* format, const std::string& url,
                     const CDeviceSource::Options& options, int& width, int& height) {
    AVFormatContext* ctx = OpenInput(format, url, options, {});
    if (!ctx) return false;
    bool ok = false;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVCodecParameters* par = ctx->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && par->width > 0 && par->height > 0) {
            width = par->width;
            height = par->height;
            ok = true;
            break;
        }
    }
    avformat_close_input(&ctx);
    return ok;
}

std::unique_ptr<CDeviceSource> CDeviceSource::Open(const char* format, const std::string& url,
                                                   const Options& options) {
    std::unique_ptr<CDeviceSource> source(new CDeviceSource());
    source->input_ = OpenInput(format, url, options, {&CDeviceSource::Interrupt, source.get()});
    if (!source->input_) return nullptr;
    source->stream_ = av_find_best_stream(source->input_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (source->stream_ < 0) {
        log_msg("vcast: %s %s has no video\r\n", format, url.c_str());
        return nullptr;
    }
    const AVCodecParameters* par = source->input_->streams[source->stream_]->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > vcast_limits::kMaxSourceSide ||
        par->height > vcast_limits::kMaxSourceSide) {
        log_msg("vcast: %s picture %dx%d refused\r\n", format, par->width, par->height);
        return nullptr;
    }
    source->width_ = par->width;
    source->height_ = par->height;
    source->thread_ = std::thread(&CDeviceSource::Read, source.get());
    return source;
}

CDeviceSource::~CDeviceSource() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    avformat_close_input(&input_);
}

int CDeviceSource::Interrupt(void* self) {
    return static_cast<CDeviceSource*>(self)->stop_.load() ? 1 : 0;
}

std::shared_ptr<const VcastPicture> CDeviceSource::Latest(int, int, std::uint32_t) {
    std::lock_guard<std::mutex> g(lock_);
    return newest_;
}

void CDeviceSource::Read() {
    const AVCodecParameters* par = input_->streams[stream_]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    AVCodecContext* dec = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!dec || avcodec_parameters_to_context(dec, par) < 0 || avcodec_open2(dec, codec, nullptr) < 0) {
        log_msg("vcast: device codec %d does not open\r\n", static_cast<int>(par->codec_id));
        avcodec_free_context(&dec);
        running_ = false;
        return;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    CFrameToArgb convert;
    int failures = 0;
    while (!stop_ && packet && frame) {
        const int rc = av_read_frame(input_, packet);
        if (rc == AVERROR(EAGAIN)) {
            av_usleep(kPollMicroseconds);
            continue;
        }
        if (rc < 0) {
            if (!stop_) log_msg("vcast: device read ends (%d)\r\n", rc);
            break;
        }
        if (packet->stream_index == stream_ && avcodec_send_packet(dec, packet) >= 0) {
            while (avcodec_receive_frame(dec, frame) >= 0) {
                auto picture = std::make_shared<VcastPicture>();
                if (convert.Convert(frame, *picture)) {
                    failures = 0;
                    std::lock_guard<std::mutex> g(lock_);
                    newest_ = std::move(picture);
                } else if (++failures == 1) {
                    log_msg("vcast: device frame %dx%d not converted\r\n", frame->width, frame->height);
                }
                av_frame_unref(frame);
            }
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&dec);
    running_ = false;
}
