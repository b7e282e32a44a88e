// The play instance: frames queue on the connection thread, decode and wait
// for the audio clock on the instance's own thread, and the newest picture
// goes to the window's mailbox and the picture callback.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include "core/clock.h"
#include "core/log.h"
#include "platform/vcast/h264_decoder.h"
#include "platform/vcast/handle_registry.h"
#include "platform/vcast/picture_scaler.h"
#include "platform/vcast/play_queue.h"
#include "platform/vcast/present_clock.h"
#include "platform/vcast/vcast.h"

namespace {
constexpr std::uint32_t kMaxFrameBytes = 4u << 20;
}

struct vcast_play_t {
    vcast_play_t(HWND w, int width, int height) : window(w), width(width), height(height) {}
    void Run();
    std::shared_ptr<const VcastPicture> ToPicture(const AVFrame& frame, std::uint32_t stamp);

    const HWND window;
    const int width, height;  // the window's size at creation; pictures keep the stream's size
    const std::shared_ptr<CPictureMailbox> mailbox = std::make_shared<CPictureMailbox>();

    // Guarded by lock: everything the other threads touch.
    std::mutex lock;
    std::condition_variable wake;
    CPlayQueue queue;
    CSystemClock systemClock;
    CPresentClock present{systemClock};
    bool running = false;
    bool closing = false;
    unsigned generation = 0;  // moves on every clear, start and stop
    VcastPictureCallback callback = nullptr;
    void* callbackContext = nullptr;

    // The instance's thread alone.
    CH264Decoder decoder;
    CPictureScaler scaler;
    std::thread worker;
};

namespace {
CHandleRegistry<vcast_play_t>& Plays() {
    static CHandleRegistry<vcast_play_t> registry;
    return registry;
}
}  // namespace

std::shared_ptr<const VcastPicture> vcast_play_t::ToPicture(const AVFrame& frame,
                                                            std::uint32_t stamp) {
    auto picture = std::make_shared<VcastPicture>();
    picture->width = frame.width;
    picture->height = frame.height;
    picture->stamp = stamp;
    picture->argb.resize(static_cast<std::size_t>(frame.width) * frame.height);
    // Native-endian 32-bit ARGB is exactly VcastPicture's 0xAARRGGBB.
    std::uint8_t* planes[4] = {reinterpret_cast<std::uint8_t*>(picture->argb.data()), nullptr,
                               nullptr, nullptr};
    const int strides[4] = {frame.width * 4, 0, 0, 0};
    if (!scaler.Scale(frame, frame.width, frame.height, AV_PIX_FMT_RGB32, planes, strides))
        return nullptr;
    return picture;
}

void vcast_play_t::Run() {
    std::unique_lock<std::mutex> g(lock);
    unsigned seen = generation;
    while (!closing) {
        PlayFrame frame;
        if (!queue.Pop(frame)) {
            wake.wait(g);
            continue;
        }
        const bool restart = generation != seen;
        seen = generation;
        g.unlock();
        if (restart) decoder.Reset();
        std::shared_ptr<const VcastPicture> picture;
        if (decoder.Decode(frame.bytes.data(), frame.bytes.size(), frame.key, frame.stamp) ==
            CH264Decoder::Result::Picture)
            picture = ToPicture(*decoder.Frame(), frame.stamp);
        g.lock();
        if (!picture) continue;
        // Held until the audio clock reaches it; a clear or stop drops it.
        while (!closing && running && generation == seen) {
            const std::uint32_t wait = present.WaitMs(picture->stamp);
            if (wait == 0) break;
            wake.wait_for(g, std::chrono::milliseconds(wait));
        }
        if (closing || !running || generation != seen) continue;
        const VcastPictureCallback cb = callback;
        void* const context = callbackContext;
        g.unlock();
        CPictureMailbox::Deliver(mailbox, window, picture);
        if (cb) cb(*picture, context);
        g.lock();
    }
}

vcast_play_t* VCAST_PlayInit(HWND window, int width, int height) {
    auto play = std::make_shared<vcast_play_t>(window, width, height);
    if (!play->decoder.Open()) return nullptr;
    // The thread keeps its instance alive, so a release from the picture
    // callback (which cannot join) frees it only when the thread ends.
    play->worker = std::thread([p = play] { p->Run(); });
    return Plays().Add(std::move(play));
}

int VCAST_PlayStart(vcast_play_t* handle) {
    auto play = Plays().Find(handle);
    if (!play) return 0;
    std::lock_guard<std::mutex> g(play->lock);
    if (!play->running) {
        play->running = true;
        play->queue.Clear();
        ++play->generation;
    }
    return 1;
}

void VCAST_PlayStop(vcast_play_t* handle) {
    auto play = Plays().Find(handle);
    if (!play) return;
    std::lock_guard<std::mutex> g(play->lock);
    play->running = false;
    play->queue.Clear();
    ++play->generation;
    play->wake.notify_all();
}

void VCAST_PlayRelease(vcast_play_t* handle) {
    auto play = Plays().Remove(handle);
    if (!play) return;
    {
        std::lock_guard<std::mutex> g(play->lock);
        play->closing = true;
        play->running = false;
        play->queue.Clear();
        play->wake.notify_all();
    }
    if (!play->worker.joinable()) return;
    // Released from its own picture callback: the thread ends after it returns.
    if (play->worker.get_id() == std::this_thread::get_id()) play->worker.detach();
    else play->worker.join();
}

void VCAST_Clear(vcast_play_t* handle) {
    auto play = Plays().Find(handle);
    if (!play) return;
    std::lock_guard<std::mutex> g(play->lock);
    play->queue.Clear();
    play->present.Reset();
    ++play->generation;
    play->wake.notify_all();
}

int VCAST_IntoData(vcast_play_t* handle, const MediaFrame* frame, const unsigned char* data,
                   std::uint32_t length) {
    if (!frame || !data || length == 0 || length > kMaxFrameBytes) return 0;
    if (frame->f0 != media_frame::kCodecH264) return 0;
    if (frame->f1 != media_frame::kKeyFrame && frame->f1 != media_frame::kDeltaFrame) return 0;
    if (frame->f4 > 1 || frame->f2 != 0) return 0;  // fragments are joined before this
    auto play = Plays().Find(handle);
    if (!play) return 0;
    PlayFrame copy;
    copy.key = frame->f1 == media_frame::kKeyFrame;
    copy.stamp = frame->stamp;
    copy.bytes.assign(data, data + length);
    std::lock_guard<std::mutex> g(play->lock);
    if (play->closing || !play->running) return 0;
    if (!play->queue.Push(std::move(copy))) return 0;
    play->wake.notify_all();
    return 1;
}

void VCAST_SignStamp(vcast_play_t* handle, std::uint32_t stamp) {
    auto play = Plays().Find(handle);
    if (!play) return;
    std::lock_guard<std::mutex> g(play->lock);
    play->present.SignStamp(stamp);
    play->wake.notify_all();
}

void VCAST_PlaySetPictureCallback(vcast_play_t* handle, VcastPictureCallback callback,
                                  void* context) {
    auto play = Plays().Find(handle);
    if (!play) return;
    std::lock_guard<std::mutex> g(play->lock);
    play->callback = callback;
    play->callbackContext = context;
}
