#include "platform/vcast/capture.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "platform/vcast/camera_source.h"
#include "platform/vcast/picture_fit.h"
#include "platform/vcast/screen_source.h"

namespace vcast_capture {

Mode ModeSize(int mode, int initWidth, int initHeight, int initFps) {
    switch (mode) {
        case 0: return {initWidth, initHeight, initFps};
        case 2: return {640, 360, 25};
        default: return {640, 360, 15};
    }
}

void DrawGrid(VcastPicture& p) {
    const auto blend = [](std::uint32_t& px) {  // half way to white
        px = 0xFF000000u | (((px & 0xFEFEFEu) >> 1) + 0x7F7F7Fu);
    };
    for (int i = 1; i <= 2; ++i) {
        const int x = p.width * i / 3, y = p.height * i / 3;
        for (int r = 0; r < p.height; ++r) blend(p.argb[static_cast<std::size_t>(r) * p.width + x]);
        for (int c = 0; c < p.width; ++c) blend(p.argb[static_cast<std::size_t>(y) * p.width + c]);
    }
}

}  // namespace vcast_capture

namespace {
constexpr std::size_t kMaxLyricBytes = 256;
constexpr std::size_t kMaxFaceBytes = 128;

std::string Capped(const char* s, std::size_t cap) {
    if (!s) return {};
    std::string out(s, strnlen(s, cap));
    if (out.size() == cap)  // keep whole characters
        while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0x80)) out.pop_back();
    return out;
}
}  // namespace

vcast_capture_t* vcast_capture_t::Create(HWND window, int width, int height, int fps,
                                         VcastFrameCallback callback, void* context) {
    if (width < 16 || height < 16 || width > vcast_limits::kMaxSourceSide ||
        height > vcast_limits::kMaxSourceSide || fps < 1 || fps > vcast_capture::kMaxFps) {
        log_msg("VCAST_CaptureInit refused %dx%d at %d fps\r\n", width, height, fps);
        return nullptr;
    }
    auto* c = new vcast_capture_t();
    c->window_ = window;
    c->initWidth_ = width & ~1;
    c->initHeight_ = height & ~1;
    c->initFps_ = fps;
    c->callback_ = callback;
    c->context_ = context;
    c->thread_ = std::thread(&vcast_capture_t::Run, c);
    return c;
}

vcast_capture_t::~vcast_capture_t() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void vcast_capture_t::Run() {
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now();
    std::unique_lock<std::mutex> lk(lock_);
    while (!stop_) {
        const auto mode = vcast_capture::ModeSize(mode_, initWidth_, initHeight_, initFps_);
        const auto period = std::chrono::microseconds(1'000'000 / mode.fps);
        next += period;
        const auto now = Clock::now();
        if (next + period < now) next = now;  // fell behind: no burst to catch up
        wake_.wait_until(lk, next, [this] { return stop_; });
        if (stop_) break;
        lk.unlock();
        Tick(GetTickCount());
        lk.lock();
    }
}

bool vcast_capture_t::ChildRunning() const {
    if (childKind_ == 1) return screen_ && screen_->Running();
    if (childKind_ == 2) return movie_ && movie_->Running();
    return false;
}

void vcast_capture_t::Tick(std::uint32_t ms) {
    std::shared_ptr<ICaptureSource> camera, child;
    bool childMaster, grid;
    vcast_capture::Mode mode{};
    VcastPictureCallback pictureCallback;
    void* pictureContext;
    {
        std::lock_guard<std::mutex> g(lock_);
        camera = camera_;
        if (ChildRunning()) child = childKind_ == 1 ? screen_ : std::shared_ptr<ICaptureSource>(movie_);
        childMaster = childMaster_;
        grid = grid_;
        mode = vcast_capture::ModeSize(mode_, initWidth_, initHeight_, initFps_);
        pictureCallback = pictureCallback_;
        pictureContext = pictureContext_;
        if (effectChanged_) {
            compositor_.SetEffect(effect_);
            effectChanged_ = false;
        }
        compositor_.SetFace(face_);
        compositor_.SetLyric(lyric_);
    }
    if (!camera && !child) return;
    ICaptureSource* main = (child && (childMaster || !camera)) ? child.get() : camera.get();
    ICaptureSource* inset = main == camera.get() ? child.get() : camera.get();

    VcastPicture canvas;
    const auto mainPicture = main->Latest(mode.width, mode.height, ms);
    // Until the main source has its first picture nothing is shown or sent:
    // black frames would only cost bandwidth.
    if (!mainPicture || !fitMain_.Fit(*mainPicture, canvas, mode.width, mode.height)) return;
    canvas.stamp = ms;
    const std::int64_t tick = tick_++;
    if (inset) {
        const int iw = std::max(2, (mode.width / 4) & ~1), ih = std::max(2, (mode.height / 4) & ~1);
        const auto insetPicture = inset->Latest(iw, ih, ms);
        if (insetPicture && fitInset_.Fit(*insetPicture, inset_, iw, ih)) {
            const int margin = std::max(2, mode.width / 64);
            const int x0 = mode.width - iw - margin, y0 = mode.height - ih - margin;
            for (int y = 0; y < ih; ++y)
                std::copy_n(&inset_.argb[static_cast<std::size_t>(y) * iw], iw,
                            &canvas.argb[static_cast<std::size_t>(y0 + y) * mode.width + x0]);
        }
    }
    compositor_.Apply(canvas);

    if (window_) {
        auto preview = std::make_shared<VcastPicture>(canvas);
        if (grid) vcast_capture::DrawGrid(*preview);
        CPictureMailbox::Deliver(mailbox_, window_, std::move(preview));
    }
    if (pictureCallback) pictureCallback(canvas, pictureContext);

    if (!encoder_.IsOpen() || encoder_.Settings().width != (mode.width & ~1) ||
        encoder_.Settings().height != (mode.height & ~1) || encoder_.Settings().fps != mode.fps) {
        if (!encoder_.Open(mode.width, mode.height, mode.fps)) return;
    }
    bool force = false;
    if (needKey_) {
        // Pictures before the forced keyframe are not encoded: a delta would reference a lost frame.
        if (forcedOnce_ && ms - lastForcedMs_ < vcast_capture::kForcedKeyGapMs) return;
        force = true;
        forcedOnce_ = true;
        lastForcedMs_ = ms;
    }
    EncodedFrame encoded;
    if (!encoder_.Encode(canvas, force, encoded, tick)) return;
    MediaFrame frame;
    frame.f0 = media_frame::kCodecH264;
    frame.f1 = encoded.key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
    frame.f3 = encoded.key ? 1 : 0;
    frame.stamp = ms;
    frame.length = static_cast<std::uint32_t>(encoded.bytes.size());
    frame.data = encoded.bytes.data();
    const bool taken = callback_ ? callback_(&frame, encoded.referenced ? 1 : 0, context_) : true;
    needKey_ = !taken;
}

int vcast_capture_t::MasterStart() {
    int index;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (camera_) return 1;
        index = cameraIndex_;
    }
    std::shared_ptr<ICaptureSource> camera = OpenCamera(index);  // may take a while: not under the lock
    if (!camera) return 0;
    std::lock_guard<std::mutex> g(lock_);
    if (!camera_) camera_ = std::move(camera);
    return 1;
}

void vcast_capture_t::MasterStop() {
    std::shared_ptr<ICaptureSource> old;
    std::lock_guard<std::mutex> g(lock_);
    old.swap(camera_);  // freed after the lock: a device joins its reader
}

bool vcast_capture_t::IsCapturing() {
    std::lock_guard<std::mutex> g(lock_);
    return camera_ != nullptr || ChildRunning();
}

void vcast_capture_t::SetCamera(int index) {
    if (index < 0) {
        log_msg("VCAST_SetCamID %d ignored\r\n", index);
        return;
    }
    std::lock_guard<std::mutex> g(lock_);
    cameraIndex_ = index;
}

int vcast_capture_t::ChildStart(int kind) {
    if (kind == 2 || kind == 3) {  // the movie itself comes with VCAST_MoviePlay
        std::shared_ptr<ICaptureSource> oldScreen;
        std::lock_guard<std::mutex> g(lock_);
        oldScreen.swap(screen_);
        childKind_ = 2;
        return 1;
    }
    if (kind != 1) {
        log_msg("VCAST_CaptureChildStart kind %d refused\r\n", kind);
        return 0;
    }
    std::uintptr_t window;
    VcastRect rect;
    bool mouse;
    int fps;
    {
        std::lock_guard<std::mutex> g(lock_);
        window = screenWindow_;
        rect = screenRect_;
        mouse = screenMouse_;
        fps = vcast_capture::ModeSize(mode_, initWidth_, initHeight_, initFps_).fps;
    }
    std::shared_ptr<ICaptureSource> screen = vcast_screen::Open(window, rect, mouse, fps);
    if (!screen) return 0;
    std::shared_ptr<ICaptureSource> oldScreen;
    std::shared_ptr<CMovieSource> oldMovie;
    std::lock_guard<std::mutex> g(lock_);
    oldScreen.swap(screen_);
    oldMovie.swap(movie_);
    screen_ = std::move(screen);
    childKind_ = 1;
    return 1;
}

void vcast_capture_t::ChildStop() {
    std::shared_ptr<ICaptureSource> oldScreen;
    std::shared_ptr<CMovieSource> oldMovie;
    std::lock_guard<std::mutex> g(lock_);
    oldScreen.swap(screen_);
    oldMovie.swap(movie_);
    childKind_ = 0;
}

void vcast_capture_t::SetChildMaster(bool flag) {
    std::lock_guard<std::mutex> g(lock_);
    childMaster_ = flag;
}

void vcast_capture_t::SetGrid(bool flag) {
    std::lock_guard<std::mutex> g(lock_);
    grid_ = flag;
}

void vcast_capture_t::SetMode(int mode) {
    if (mode < 0 || mode > 2) {
        log_msg("VCAST_SetX264Mode %d unknown, mode 1 used\r\n", mode);
        mode = 1;
    }
    std::lock_guard<std::mutex> g(lock_);
    mode_ = mode;
}

void vcast_capture_t::SetFace(const char* face) {
    std::lock_guard<std::mutex> g(lock_);
    face_ = Capped(face, kMaxFaceBytes);
}

void vcast_capture_t::SetScreen(std::uintptr_t window, VcastRect rect) {
    bool restart;
    {
        std::lock_guard<std::mutex> g(lock_);
        screenWindow_ = window;
        screenRect_ = rect;
        restart = childKind_ == 1 && screen_;
    }
    if (restart) ChildStart(1);  // follow the new window or region at once
}

void vcast_capture_t::SetScreenMouse(bool enabled) {
    bool restart;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (screenMouse_ == enabled) return;
        screenMouse_ = enabled;
        restart = childKind_ == 1 && screen_;
    }
    if (restart) ChildStart(1);
}

int vcast_capture_t::SetEffect(const unsigned char* record) {
    if (!record) return 0;
    const EffectSettings effect = ReadEffectRecord(record);
    std::lock_guard<std::mutex> g(lock_);
    effect_ = effect;
    effectChanged_ = true;
    return 1;
}

int vcast_capture_t::MoviePlay(const char* path) {
    if (!path || !*path) return 0;
    std::shared_ptr<CMovieSource> movie = CMovieSource::Open(path);
    if (!movie) return 0;
    std::shared_ptr<CMovieSource> old;
    std::lock_guard<std::mutex> g(lock_);
    old.swap(movie_);
    movie_ = std::move(movie);
    return 1;
}

void vcast_capture_t::MoviePause() {
    std::lock_guard<std::mutex> g(lock_);
    if (movie_) movie_->TogglePause();
}

void vcast_capture_t::MovieStop() {
    std::shared_ptr<CMovieSource> old;
    std::lock_guard<std::mutex> g(lock_);
    old.swap(movie_);
}

void vcast_capture_t::MovieSeek(int seconds) {
    std::lock_guard<std::mutex> g(lock_);
    if (movie_) movie_->Seek(seconds);
}

int vcast_capture_t::MovieTotal() {
    std::lock_guard<std::mutex> g(lock_);
    return movie_ ? movie_->TotalSeconds() : 0;
}

int vcast_capture_t::MovieNow() {
    std::lock_guard<std::mutex> g(lock_);
    return movie_ ? movie_->CurrentSeconds() : 0;
}

void vcast_capture_t::PushLyric(int, int, const char* text) {
    std::lock_guard<std::mutex> g(lock_);
    lyric_ = Capped(text, kMaxLyricBytes);
}

void vcast_capture_t::SetPictureCallback(VcastPictureCallback callback, void* context) {
    std::lock_guard<std::mutex> g(lock_);
    pictureCallback_ = callback;
    pictureContext_ = context;
}
