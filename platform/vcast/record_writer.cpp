#include "platform/vcast/record_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <cstring>

#include "core/log.h"

namespace {
// quality 0 low … 2 high: x264's constant-quality factor and AAC's bit rate
// per channel.
constexpr const char* kCrf[3] = {"32", "27", "22"};
constexpr int kAacBitsPerChannel[3] = {32000, 48000, 64000};
}  // namespace

CRecordWriter::~CRecordWriter() { Free(); }

void CRecordWriter::Free() {
    avcodec_free_context(&video_);
    avcodec_free_context(&audio_);
    av_frame_free(&audioFrame_);
    av_packet_free(&packet_);
    if (format_) {
        if (format_->pb) avio_closep(&format_->pb);
        avformat_free_context(format_);
        format_ = nullptr;
    }
}

bool CRecordWriter::Open(const std::string& path, int width, int height, int fps, int quality,
                         int rate, int channels) {
    channels_ = channels;
    if (avformat_alloc_output_context2(&format_, nullptr, "mp4", path.c_str()) < 0 || !format_)
        return false;
    const bool globalHeader = format_->oformat->flags & AVFMT_GLOBALHEADER;

    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    const AVCodec* aac = avcodec_find_encoder_by_name("aac");
    if (!h264 || !aac) {
        log_err("record: encoder missing (h264 %d, aac %d)\r\n", h264 != nullptr, aac != nullptr);
        return false;
    }
    video_ = avcodec_alloc_context3(h264);
    video_->width = width;
    video_->height = height;
    // Millisecond stamps: the frames keep a fixed rate, but the grid's phase
    // follows the first picture.
    video_->time_base = AVRational{1, 1000};
    frameMs_ = (1000 + fps - 1) / fps;
    video_->framerate = AVRational{fps, 1};
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->gop_size = fps * 2;
    video_->max_b_frames = 0;
    video_->thread_count = 1;
    if (globalHeader) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(video_->priv_data, "preset", "veryfast", 0);
    av_opt_set(video_->priv_data, "tune", "zerolatency", 0);
    av_opt_set(video_->priv_data, "crf", kCrf[quality], 0);
    if (avcodec_open2(video_, h264, nullptr) < 0) {
        log_err("record: h264 encoder open fail %dx%d@%d\r\n", width, height, fps);
        return false;
    }

    audio_ = avcodec_alloc_context3(aac);
    audio_->sample_rate = rate;
    audio_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&audio_->ch_layout, channels);
    audio_->bit_rate = kAacBitsPerChannel[quality] * channels;
    audio_->time_base = AVRational{1, rate};
    if (globalHeader) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(audio_, aac, nullptr) < 0) {
        log_err("record: aac encoder open fail %d/%d\r\n", rate, channels);
        return false;
    }
    audioFrameSize_ = audio_->frame_size > 0 ? audio_->frame_size : 1024;

    videoStream_ = avformat_new_stream(format_, nullptr);
    audioStream_ = avformat_new_stream(format_, nullptr);
    if (!videoStream_ || !audioStream_) return false;
    avcodec_parameters_from_context(videoStream_->codecpar, video_);
    videoStream_->time_base = video_->time_base;
    avcodec_parameters_from_context(audioStream_->codecpar, audio_);
    audioStream_->time_base = audio_->time_base;

    audioFrame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!audioFrame_ || !packet_) return false;

    if (avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        log_err("record: cannot create %s\r\n", path.c_str());
        return false;
    }
    if (avformat_write_header(format_, nullptr) < 0) {
        log_err("record: header fail %s\r\n", path.c_str());
        return false;
    }
    headerWritten_ = true;
    return true;
}

AVFrame* CRecordWriter::NewPicture() const {
    AVFrame* f = av_frame_alloc();
    if (!f) return nullptr;
    f->width = video_->width;
    f->height = video_->height;
    f->format = AV_PIX_FMT_YUV420P;
    if (av_frame_get_buffer(f, 0) < 0) {
        av_frame_free(&f);
        return nullptr;
    }
    for (int y = 0; y < f->height; ++y) std::memset(f->data[0] + y * f->linesize[0], 16, f->width);
    for (int p = 1; p < 3; ++p)
        for (int y = 0; y < f->height / 2; ++y)
            std::memset(f->data[p] + y * f->linesize[p], 128, f->width / 2);
    return f;
}

bool CRecordWriter::Drain(AVCodecContext* codec, AVStream* stream) {
    for (;;) {
        const int rc = avcodec_receive_packet(codec, packet_);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return false;
        // Every picture lasts one frame; without it the file ends a frame early.
        if (codec == video_ && packet_->duration <= 0) packet_->duration = frameMs_;
        av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
        packet_->stream_index = stream->index;
        if (av_interleaved_write_frame(format_, packet_) < 0) return false;
    }
}

bool CRecordWriter::WriteVideo(const AVFrame& picture, std::int64_t ms) {
    if (!headerWritten_ || failed_) return false;
    AVFrame* f = av_frame_clone(&picture);  // the encoder may keep a reference
    if (!f) return false;
    f->pts = ms;
    f->pict_type = AV_PICTURE_TYPE_NONE;
    const bool ok = avcodec_send_frame(video_, f) >= 0 && Drain(video_, videoStream_);
    av_frame_free(&f);
    if (!ok) failed_ = true;
    return ok;
}

bool CRecordWriter::WriteAudio(const std::int16_t* pcm, int frames) {
    if (!headerWritten_ || failed_ || frames <= 0 || frames > audioFrameSize_) return false;
    av_frame_unref(audioFrame_);
    audioFrame_->nb_samples = frames;
    audioFrame_->format = AV_SAMPLE_FMT_FLTP;
    audioFrame_->sample_rate = audio_->sample_rate;
    av_channel_layout_copy(&audioFrame_->ch_layout, &audio_->ch_layout);
    if (av_frame_get_buffer(audioFrame_, 0) < 0) return failed_ = true, false;
    for (int c = 0; c < channels_; ++c) {
        auto* plane = reinterpret_cast<float*>(audioFrame_->data[c]);
        for (int i = 0; i < frames; ++i) plane[i] = pcm[i * channels_ + c] / 32768.0f;
    }
    audioFrame_->pts = audioPts_;
    audioPts_ += frames;
    const bool ok = avcodec_send_frame(audio_, audioFrame_) >= 0 && Drain(audio_, audioStream_);
    if (!ok) failed_ = true;
    return ok;
}

bool CRecordWriter::Close() {
    bool ok = headerWritten_ && !failed_;
    if (headerWritten_) {
        ok = avcodec_send_frame(video_, nullptr) >= 0 && Drain(video_, videoStream_) && ok;
        ok = avcodec_send_frame(audio_, nullptr) >= 0 && Drain(audio_, audioStream_) && ok;
        ok = av_write_trailer(format_) >= 0 && ok;
        headerWritten_ = false;
    }
    if (format_ && format_->pb) ok = avio_closep(&format_->pb) >= 0 && ok;
    Free();
    return ok;
}
