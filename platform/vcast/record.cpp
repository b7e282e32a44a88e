// The recorder: pushed video is decoded and re-encoded at the record size and
// rate, pushed voices are decoded and mixed into one track, both placed on
// the file's time line by the clock they were stamped on. Pushes only check
// and queue; the recorder's own thread does all decoding, encoding and
// writing, so no pushing thread ever waits for a codec or the disk.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include "core/clock.h"
#include "core/log.h"
#include "platform/vcast/h264_decoder.h"
#include "platform/vcast/handle_registry.h"
#include "platform/vcast/picture_scaler.h"
#include "platform/vcast/record_audio.h"
#include "platform/vcast/record_peek.h"
#include "platform/vcast/record_mix.h"
#include "platform/vcast/record_queue.h"
#include "platform/vcast/record_timeline.h"
#include "platform/vcast/record_writer.h"
#include "platform/vcast/vcast.h"

namespace {
constexpr std::uint32_t kMaxVideoBytes = 4u << 20;
constexpr std::uint32_t kMaxAudioBytes = 64u << 10;
// Voices arriving this much later than others are still mixed in.
constexpr std::int64_t kMixWindowMs = 500;
// What lags real time by more than this is not waited for: the tracks
// advance (the last picture repeats, silence fills) without it.
constexpr std::int64_t kLateMs = 3000;

struct AVFrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, AVFrameFree>;

// Annex B: the frame starts with a start code.
bool StartsWithStartCode(const unsigned char* p, std::uint32_t length) {
    if (length >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1) return true;
    return length >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1;
}
}  // namespace

struct vcast_record_t {
    vcast_record_t(int fps, int rate, int channels)
        : fps(fps), rate(rate), channels(channels), timeline(GetTickCount()), pacer(fps),
          mix(channels) {}
    ~vcast_record_t() { Stop(); }

    // Any thread: copies the push into the queue; false when it was refused.
    bool Enqueue(const MediaFrame& frame, const unsigned char* data, std::uint32_t length);
    // Any thread, once: lets the thread drain the queue and finish the file.
    bool Stop();

    // The recorder's thread only, from here on.
    void Run();
    bool PushVideo(const RecordItem& item);
    bool PushAudio(const RecordItem& item);
    bool Finish();
    // Write the video frames that stand before `ms`; the audio before sample `samples`.
    void VideoUntil(std::int64_t ms);
    void AudioUntil(std::int64_t samples);
    // `nowTick` is the tick of the push being worked on, not the thread's
    // clock: the file comes out as if every push were written as it came.
    void CatchUpWithRealTime(std::uint32_t nowTick);
    std::int64_t MsToSamples(std::int64_t ms) const { return ms * rate / 1000; }

    const int fps, rate, channels;

    std::mutex lock;  // the queue and the flags below it
    std::condition_variable wake;
    CRecordQueue queue;
    bool closing = false;
    bool held = false;
    std::thread worker;
    bool written = false;  // the thread's verdict; read after it was joined
    std::atomic<std::uint64_t> undecodable{0};

    CRecordWriter writer;
    CRecordTimeline timeline;
    CFramePacer pacer;
    CAudioMix mix;
    CH264Decoder decoder;
    CPictureScaler scaler;
    FramePtr shown;  // the picture the next video frames repeat
    std::map<int, std::unique_ptr<CRecordAudio>> voices;  // by codec and clock
    std::vector<std::int16_t> pcm;
};

namespace {
CHandleRegistry<vcast_record_t>& Records() {
    static CHandleRegistry<vcast_record_t> registry;
    return registry;
}
}  // namespace

bool vcast_record_t::Enqueue(const MediaFrame& frame, const unsigned char* data,
                             std::uint32_t length) {
    RecordItem item;  // copied before the lock: other pushes do not wait for it
    item.frame = frame;
    item.frame.data = nullptr;
    item.frame.length = length;
    item.bytes.assign(data, data + length);
    {
        std::lock_guard<std::mutex> g(lock);
        if (closing) return false;
        // Read under the lock, so ticks rise in the order the thread takes them.
        item.tick = GetTickCount();
        if (!queue.Push(std::move(item))) return false;
    }
    wake.notify_one();
    return true;
}

bool vcast_record_t::Stop() {
    {
        std::lock_guard<std::mutex> g(lock);
        closing = true;
        held = false;
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
    return written;
}

void vcast_record_t::Run() {
    for (;;) {
        RecordItem item;
        {
            std::unique_lock<std::mutex> g(lock);
            wake.wait(g, [&] { return !held && (!queue.Empty() || closing); });
            if (!queue.Pop(item)) break;  // closing, and everything queued is done
        }
        const bool ok = item.Video() ? PushVideo(item) : PushAudio(item);
        if (!ok) ++undecodable;
    }
    written = Finish();
}

void vcast_record_t::VideoUntil(std::int64_t ms) {
    while (pacer.Due(ms)) {
        writer.WriteVideo(*shown, pacer.NextTime());
        pacer.Wrote();
    }
}

void vcast_record_t::AudioUntil(std::int64_t samples) {
    std::vector<std::int16_t> block(static_cast<std::size_t>(writer.AudioFrameSize()) * channels);
    while (samples - mix.Taken() >= writer.AudioFrameSize()) {
        mix.Take(static_cast<std::size_t>(writer.AudioFrameSize()), block.data());
        writer.WriteAudio(block.data(), writer.AudioFrameSize());
    }
}

void vcast_record_t::CatchUpWithRealTime(std::uint32_t nowTick) {
    const std::int64_t behind = timeline.ElapsedMs(nowTick) - kLateMs;
    if (behind <= 0) return;
    VideoUntil(behind);
    AudioUntil(MsToSamples(behind));
}

bool vcast_record_t::PushVideo(const RecordItem& item) {
    const MediaFrame& frame = item.frame;
    const bool key = frame.f1 == media_frame::kKeyFrame;
    std::int64_t ms = -1;
    const bool placed = timeline.ToFileMs(frame.clock, frame.stamp, item.tick, ms);
    // Decoded even when it is too late to show: later frames refer to it.
    const auto result = decoder.Decode(item.bytes.data(), item.bytes.size(), key, frame.stamp);
    if (result == CH264Decoder::Result::Picture && placed && pacer.Admits(ms)) {
        const AVFrame& src = *decoder.Frame();
        FramePtr next(writer.NewPicture());
        if (next) {
            const FitRect r = FitInside(src.width, src.height, next->width, next->height);
            std::uint8_t* planes[4] = {
                next->data[0] + r.y * next->linesize[0] + r.x,
                next->data[1] + r.y / 2 * next->linesize[1] + r.x / 2,
                next->data[2] + r.y / 2 * next->linesize[2] + r.x / 2, nullptr};
            if (r.width > 0 && scaler.Scale(src, r.width, r.height, AV_PIX_FMT_YUV420P, planes,
                                            next->linesize)) {
                VideoUntil(ms);
                shown = std::move(next);
                pacer.Picture(ms);
            }
        }
    }
    CatchUpWithRealTime(item.tick);
    return result != CH264Decoder::Result::Error;
}

bool vcast_record_t::PushAudio(const RecordItem& item) {
    const MediaFrame& frame = item.frame;
    auto& voice = voices[frame.f0 * 2 + frame.clock];
    if (!voice) {
        voice = std::make_unique<CRecordAudio>(rate, channels);
        if (!voice->Open(frame.f0)) {
            voice.reset();
            return false;
        }
    }
    pcm.clear();
    if (!voice->Decode(item.bytes.data(), item.bytes.size(), pcm)) return false;
    std::int64_t ms = 0;
    if (timeline.ToFileMs(frame.clock, frame.stamp, item.tick, ms)) {
        const std::int64_t at = MsToSamples(ms);
        // The mix keeps only the window behind the newest voice: what is
        // older than that is written (silence in a gap) before this is added.
        AudioUntil(at - MsToSamples(kMixWindowMs));
        mix.Add(at, pcm.data(), pcm.size() / channels);
        AudioUntil(mix.End() - MsToSamples(kMixWindowMs));
    }
    CatchUpWithRealTime(item.tick);
    return true;
}

bool vcast_record_t::Finish() {
    // Both tracks end together, after the last picture and the last voice.
    std::int64_t end = std::max(pacer.NextTime(), (mix.End() * 1000 + rate - 1) / rate);
    end = std::max(end, pacer.PicturesEnd());
    end = std::max<std::int64_t>(end, 1);  // at least one frame, so both tracks exist
    VideoUntil(end);
    const std::int64_t samples = MsToSamples(pacer.NextTime());
    AudioUntil(samples);
    if (samples > mix.Taken()) {
        const auto rest = static_cast<std::size_t>(samples - mix.Taken());
        std::vector<std::int16_t> block(rest * channels);
        mix.Take(rest, block.data());
        writer.WriteAudio(block.data(), static_cast<int>(rest));
    }
    return writer.Close();
}

vcast_record_t* VCAST_RecordOpen(const char* path, int width, int height, int fps, int quality,
                                 int bits, int rate, int channels) {
    if (!path || !*path || bits != 16 || width < 16 || height < 16 || width > 4096 ||
        height > 4096 || fps < 1 || fps > 60 || rate < 8000 || rate > 48000 || channels < 1 ||
        channels > 2) {
        log_msg("VCAST_RecordOpen refused %dx%d@%d bits=%d rate=%d ch=%d\r\n", width, height, fps,
                bits, rate, channels);
        return nullptr;
    }
    width &= ~1;
    height &= ~1;
    quality = std::clamp(quality, 0, 2);
    auto record = std::make_shared<vcast_record_t>(fps, rate, channels);
    if (!record->decoder.Open() ||
        !record->writer.Open(path, width, height, fps, quality, rate, channels)) {
        record->writer.Close();
        return nullptr;
    }
    record->shown.reset(record->writer.NewPicture());
    if (!record->shown) {
        record->writer.Close();
        return nullptr;
    }
    try {
        record->worker = std::thread([r = record.get()] { r->Run(); });
    } catch (const std::system_error&) {
        log_msg("VCAST_RecordOpen: no thread\r\n");
        record->writer.Close();
        return nullptr;
    }
    log_msg("VCAST_RecordOpen %s %dx%d@%d q%d %d/%d\r\n", path, width, height, fps, quality, rate,
            channels);
    return Records().Add(std::move(record));
}

int VCAST_push_video(vcast_record_t* handle, const MediaFrame* frame, const unsigned char* data,
                     std::uint32_t length) {
    if (!frame || !data || length == 0 || length > kMaxVideoBytes) return 0;
    if (frame->f0 != media_frame::kCodecH264 || frame->f4 > 1 || frame->f2 != 0) return 0;
    if (frame->f1 != media_frame::kKeyFrame && frame->f1 != media_frame::kDeltaFrame) return 0;
    if (frame->clock != media_frame::kClockLocal && frame->clock != media_frame::kClockSender)
        return 0;
    if (!StartsWithStartCode(data, length)) return 0;
    auto record = Records().Find(handle);
    if (!record) return 0;
    return record->Enqueue(*frame, data, length) ? 1 : 0;
}

int VCAST_push_audio(vcast_record_t* handle, const MediaFrame* frame, const unsigned char* data,
                     std::uint32_t length) {
    if (!frame || !data || length == 0 || length > kMaxAudioBytes) return 0;
    if (frame->f0 != media_frame::kCodecAacAdts && frame->f0 != media_frame::kCodecAmrNb) return 0;
    if (frame->clock != media_frame::kClockLocal && frame->clock != media_frame::kClockSender)
        return 0;
    // At least one whole frame of its codec at the start (what follows is
    // checked frame by frame when it is decoded).
    if (CRecordAudio::FrameBytes(frame->f0, data, length) == 0) return 0;
    auto record = Records().Find(handle);
    if (!record) return 0;
    return record->Enqueue(*frame, data, length) ? 1 : 0;
}

int VCAST_RecordClose(vcast_record_t* handle) {
    auto record = Records().Remove(handle);
    if (!record) return 0;
    // Pushes racing this find the handle gone, or the queue closed.
    const bool ok = record->Stop();
    std::uint64_t video = 0, audio = 0;
    {
        std::lock_guard<std::mutex> g(record->lock);
        video = record->queue.VideoDropped();
        audio = record->queue.AudioDropped();
    }
    log_msg("VCAST_RecordClose %s (dropped: %llu video, %llu audio; undecodable %llu)\r\n",
            ok ? "ok" : "fail", static_cast<unsigned long long>(video),
            static_cast<unsigned long long>(audio),
            static_cast<unsigned long long>(record->undecodable.load()));
    return ok ? 1 : 0;
}

bool VcastRecordPeek(vcast_record_t* handle, VcastRecordCounts& counts) {
    auto record = Records().Find(handle);
    if (!record) return false;
    std::lock_guard<std::mutex> g(record->lock);
    counts.queued = record->queue.Count();
    counts.queuedBytes = record->queue.Bytes();
    counts.videoDropped = record->queue.VideoDropped();
    counts.audioDropped = record->queue.AudioDropped();
    counts.undecodable = record->undecodable.load();
    return true;
}

void VcastRecordHold(vcast_record_t* handle, bool hold) {
    auto record = Records().Find(handle);
    if (!record) return;
    {
        std::lock_guard<std::mutex> g(record->lock);
        if (record->closing) return;
        record->held = hold;
    }
    record->wake.notify_all();
}
