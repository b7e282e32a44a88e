// The play instance: what reaches the screen from good, damaged and hostile
// streams, and a release racing frames from another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "h264_test_stream.h"
#include "platform/vcast/test_pattern.h"
#include "platform/vcast/vcast.h"

namespace {

constexpr std::uint32_t kUnreadable = 0xFFFFFFFFu;

// What the picture callback saw: each picture's counter (or kUnreadable).
struct Screen {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::uint32_t> counters;
    std::vector<std::uint32_t> stamps;

    static void OnPicture(const VcastPicture& picture, void* context) {
        auto* self = static_cast<Screen*>(context);
        std::uint32_t counter = kUnreadable;
        if (!vcast_pattern::ReadCounter(picture, counter)) counter = kUnreadable;
        // Windows draw it as ARGB: a transparent pixel would not show.
        for (std::uint32_t px : picture.argb)
            if (px >> 24 != 0xFF) counter = kUnreadable;
        std::lock_guard<std::mutex> g(self->lock);
        self->counters.push_back(counter);
        self->stamps.push_back(picture.stamp);
        self->changed.notify_all();
    }
    bool WaitFor(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> g(lock);
        return changed.wait_for(g, limit, [&] { return counters.size() >= n; });
    }
    std::vector<std::uint32_t> Seen() {
        std::lock_guard<std::mutex> g(lock);
        return counters;
    }
};

class Player {
public:
    Player() {
        handle_ = VCAST_PlayInit(0, 320, 240);
        VCAST_PlaySetPictureCallback(handle_, &Screen::OnPicture, &screen);
        started_ = VCAST_PlayStart(handle_) != 0;
    }
    ~Player() { VCAST_PlayRelease(handle_); }
    bool Ok() const { return handle_ && started_; }
    int Push(const EncodedFrame& f, std::uint32_t stamp = 0) { return PushAs(f, f.key, stamp); }
    int PushAs(const EncodedFrame& f, bool key, std::uint32_t stamp = 0) {
        MediaFrame d;
        d.f0 = media_frame::kCodecH264;
        d.f1 = key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
        d.f3 = key ? 1 : 0;
        d.stamp = stamp;
        d.length = static_cast<std::uint32_t>(f.bytes.size());
        return VCAST_IntoData(handle_, &d, f.bytes.data(), d.length);
    }
    // Nothing new shows within a while (the worker had time to decode).
    bool StaysAt(std::size_t n) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return screen.Seen().size() == n;
    }
    vcast_play_t* handle() { return handle_; }
    Screen screen;

private:
    vcast_play_t* handle_ = nullptr;
    bool started_ = false;
};

std::vector<EncodedFrame> EncodeRun(CPatternEncoder& enc, std::uint32_t first, int count) {
    std::vector<EncodedFrame> out;
    for (int i = 0; i < count; ++i) out.push_back(enc.Encode(first + static_cast<std::uint32_t>(i)));
    return out;
}

}  // namespace

TEST(Play, ShowsEveryFrameInOrderWithItsCounter) {
    CPatternEncoder enc(320, 240, 25, 30);
    ASSERT_TRUE(enc.Ok());
    const auto frames = EncodeRun(enc, 1000, 100);
    ASSERT_TRUE(frames[0].key);
    Player p;
    ASSERT_TRUE(p.Ok());
    // Bursts well inside the queue's bound, so nothing is dropped for room.
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(p.Push(frames[i], static_cast<std::uint32_t>(i * 40)), 1) << i;
        if (i % 20 == 19) {
            ASSERT_TRUE(p.screen.WaitFor(i + 1)) << i;
        }
    }
    ASSERT_TRUE(p.screen.WaitFor(100));
    const auto seen = p.screen.Seen();
    ASSERT_EQ(seen.size(), 100u);
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], 1000 + i) << i;
    std::lock_guard<std::mutex> g(p.screen.lock);
    EXPECT_EQ(p.screen.stamps[99], 99u * 40) << "pictures keep their frame's stamp";
}

TEST(Play, NothingShowsUntilAKeyframeAfterStartOrClear) {
    CPatternEncoder enc(320, 240, 25, 100);
    ASSERT_TRUE(enc.Ok());
    const auto frames = EncodeRun(enc, 1, 10);  // one keyframe, nine deltas
    const EncodedFrame midKey = enc.Encode(50, true);
    const EncodedFrame after = enc.Encode(51);
    ASSERT_TRUE(midKey.key);
    ASSERT_FALSE(after.key);

    Player p;
    ASSERT_TRUE(p.Ok());
    for (int i = 1; i < 10; ++i) EXPECT_EQ(p.Push(frames[i]), 0) << "delta before any keyframe";
    EXPECT_TRUE(p.StaysAt(0));

    // A keyframe from the middle of a stream decodes on its own.
    ASSERT_EQ(p.Push(midKey), 1);
    ASSERT_EQ(p.Push(after), 1);
    ASSERT_TRUE(p.screen.WaitFor(2));
    EXPECT_EQ(p.screen.Seen(), (std::vector<std::uint32_t>{50, 51}));

    VCAST_Clear(p.handle());
    EXPECT_EQ(p.Push(after), 0) << "deltas after a clear wait for a keyframe";
    EXPECT_TRUE(p.StaysAt(2));
    ASSERT_EQ(p.Push(frames[0]), 1);
    ASSERT_TRUE(p.screen.WaitFor(3));
    EXPECT_EQ(p.screen.Seen().back(), 1u);

    // Stopped, nothing is taken; started again, it waits for a keyframe.
    VCAST_PlayStop(p.handle());
    EXPECT_EQ(p.Push(midKey), 0);
    ASSERT_EQ(VCAST_PlayStart(p.handle()), 1);
    EXPECT_EQ(p.Push(frames[1]), 0);
    ASSERT_EQ(p.Push(midKey), 1);
    ASSERT_TRUE(p.screen.WaitFor(4));
    EXPECT_EQ(p.screen.Seen().back(), 50u);
}

TEST(Play, ANewStreamSizeShowsAtItsOwnSize) {
    CPatternEncoder small(176, 144, 25, 10);
    CPatternEncoder large(640, 360, 25, 10);
    ASSERT_TRUE(small.Ok() && large.Ok());
    Player p;
    ASSERT_TRUE(p.Ok());
    std::vector<std::pair<int, int>> sizes;
    VCAST_PlaySetPictureCallback(p.handle(), [](const VcastPicture& picture, void* context) {
        static_cast<std::vector<std::pair<int, int>>*>(context)->emplace_back(picture.width, picture.height);
        std::uint32_t counter = 0;
        EXPECT_TRUE(vcast_pattern::ReadCounter(picture, counter));
        EXPECT_EQ(counter % 1000, picture.stamp);
    }, &sizes);
    ASSERT_EQ(p.Push(small.Encode(1), 1), 1);
    ASSERT_EQ(p.Push(small.Encode(2), 2), 1);
    ASSERT_EQ(p.Push(large.Encode(1003), 3), 1);  // a keyframe of another size
    ASSERT_EQ(p.Push(large.Encode(1004), 4), 1);
    ASSERT_EQ(p.Push(small.Encode(5, true), 5), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    VCAST_PlayStop(p.handle());  // nothing runs the callback past here
    const std::vector<std::pair<int, int>> want = {{176, 144}, {176, 144}, {640, 360}, {640, 360}, {176, 144}};
    EXPECT_EQ(sizes, want);
}

TEST(Play, RefusesFramesThatAreNotWholeH264Frames) {
    Player p;
    ASSERT_TRUE(p.Ok());
    std::vector<unsigned char> bytes((4u << 20) + 1, 0);
    MediaFrame good;
    good.f0 = media_frame::kCodecH264;
    good.f1 = media_frame::kKeyFrame;
    MediaFrame audio = good, neither = good, fragment = good;
    audio.f0 = media_frame::kCodecAacAdts;
    neither.f1 = 7;
    fragment.f4 = 3, fragment.f2 = 1;
    for (const MediaFrame* d : {&audio, &neither, &fragment})
        EXPECT_EQ(VCAST_IntoData(p.handle(), d, bytes.data(), 64), 0) << int(d->f0) << int(d->f1);
    EXPECT_EQ(VCAST_IntoData(p.handle(), &good, bytes.data(), 0), 0) << "empty";
    EXPECT_EQ(VCAST_IntoData(p.handle(), &good, nullptr, 64), 0) << "no data";
    EXPECT_EQ(VCAST_IntoData(p.handle(), &good, bytes.data(), (4u << 20) + 1), 0) << "over 4 MiB";
    EXPECT_EQ(VCAST_IntoData(p.handle(), &good, bytes.data(), 4u << 20), 1)
        << "a whole keyframe of 4 MiB (even of garbage) queues";
    EXPECT_TRUE(p.StaysAt(0)) << "but garbage never shows";
}

TEST(Play, DamagedStreamsShowNothingUntilTheNextGoodKeyframe) {
    CPatternEncoder enc(320, 240, 25, 1000);
    ASSERT_TRUE(enc.Ok());
    const auto frames = EncodeRun(enc, 7000, 6);
    const EncodedFrame key2 = enc.Encode(8000, true);

    EncodedFrame corrupt = frames[0];
    std::mt19937 rng(11);
    for (std::size_t i = corrupt.bytes.size() / 3; i < corrupt.bytes.size(); i += 5)
        corrupt.bytes[i] = static_cast<unsigned char>(rng());
    EncodedFrame truncated = frames[0];
    truncated.bytes.resize(truncated.bytes.size() / 2);
    EncodedFrame random;
    random.key = true;
    random.bytes.resize(5000);
    for (auto& b : random.bytes) b = static_cast<unsigned char>(rng());
    EncodedFrame randomAfterStartCode = random;
    randomAfterStartCode.bytes[0] = 0, randomAfterStartCode.bytes[1] = 0;
    randomAfterStartCode.bytes[2] = 1, randomAfterStartCode.bytes[3] = 0x65;
    CPatternEncoder bigEnc(4096, 4096, 25, 10);
    ASSERT_TRUE(bigEnc.Ok());
    const EncodedFrame oversized = bigEnc.Encode(9);
    ASSERT_TRUE(oversized.key);

    for (const EncodedFrame* bad : std::vector<const EncodedFrame*>{&corrupt, &truncated, &random, &randomAfterStartCode,
                                    &oversized}) {
        Player p;
        ASSERT_TRUE(p.Ok());
        ASSERT_EQ(p.PushAs(*bad, true), 1);
        for (int i = 1; i < 6; ++i) p.Push(frames[i]);  // deltas that lean on the damage
        EXPECT_TRUE(p.StaysAt(0)) << "damaged keyframe of " << bad->bytes.size() << " bytes";
        ASSERT_EQ(p.Push(key2), 1);
        ASSERT_TRUE(p.screen.WaitFor(1));
        EXPECT_EQ(p.screen.Seen(), (std::vector<std::uint32_t>{8000}));
    }

    // Damage in the middle of a running stream stops the picture until a keyframe.
    Player p;
    ASSERT_TRUE(p.Ok());
    ASSERT_EQ(p.Push(frames[0]), 1);
    ASSERT_TRUE(p.screen.WaitFor(1));
    ASSERT_EQ(p.PushAs(random, false), 1);
    for (int i = 2; i < 6; ++i) p.Push(frames[i]);
    ASSERT_EQ(p.Push(key2), 1);
    ASSERT_TRUE(p.screen.WaitFor(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (std::uint32_t c : p.screen.Seen()) EXPECT_NE(c, kUnreadable) << "no smeared picture";
    EXPECT_EQ(p.screen.Seen().back(), 8000u);
}

TEST(Play, APictureAheadOfTheAudioWaitsAndAClearDropsIt) {
    CPatternEncoder enc(176, 144, 25, 10);
    ASSERT_TRUE(enc.Ok());
    const EncodedFrame key = enc.Encode(31);
    Player p;
    ASSERT_TRUE(p.Ok());
    VCAST_SignStamp(p.handle(), 1000);
    ASSERT_EQ(p.Push(key, 1400), 1);  // 400 ms ahead of the voice
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(p.screen.Seen().empty()) << "shown before the voice reached it";
    ASSERT_TRUE(p.screen.WaitFor(1, std::chrono::seconds(5)));
    EXPECT_EQ(p.screen.Seen(), (std::vector<std::uint32_t>{31}));

    VCAST_SignStamp(p.handle(), 5000);
    ASSERT_EQ(p.Push(enc.Encode(32, true), 5450), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    VCAST_Clear(p.handle());  // a new anchor: what was waiting is not theirs
    EXPECT_TRUE(p.StaysAt(1));
    EXPECT_TRUE(p.StaysAt(1)) << "past the time it was due";
}

namespace {
// A window that keeps what the play instance posts to it.
class PictureWindow : public IMessageRouter {
public:
    static constexpr HWND kWindow = 4711;
    std::mutex lock;
    std::vector<std::shared_ptr<CPictureMailbox>> boxes;
    bool Post(HWND target, WindowMessage m, std::unique_ptr<CMessageData> data) override {
        if (target != kWindow || m.msg != UM_VCAST_PICTURE) return false;
        auto* box = dynamic_cast<TMessageData<std::shared_ptr<CPictureMailbox>>*>(data.get());
        if (!box) return false;
        std::lock_guard<std::mutex> g(lock);
        boxes.push_back(box->value);
        return true;
    }
    std::intptr_t Send(HWND, const WindowMessage&) override { return 0; }
    bool IsWindow(HWND target) override { return target == kWindow; }
};
}  // namespace

TEST(Play, TheWindowIsToldOnceAndTakesTheNewestPicture) {
    PictureWindow window;
    SetMessageRouter(&window);
    CPatternEncoder enc(176, 144, 25, 50);
    ASSERT_TRUE(enc.Ok());
    vcast_play_t* play = VCAST_PlayInit(PictureWindow::kWindow, 176, 144);
    ASSERT_NE(play, nullptr);
    Screen screen;
    VCAST_PlaySetPictureCallback(play, &Screen::OnPicture, &screen);
    ASSERT_EQ(VCAST_PlayStart(play), 1);
    MediaFrame d;
    d.f0 = media_frame::kCodecH264;
    for (std::uint32_t i = 0; i < 10; ++i) {
        const EncodedFrame f = enc.Encode(600 + i);
        d.f1 = f.key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
        ASSERT_EQ(VCAST_IntoData(play, &d, f.bytes.data(), static_cast<std::uint32_t>(f.bytes.size())), 1);
    }
    ASSERT_TRUE(screen.WaitFor(10));
    VCAST_PlayRelease(play);
    SetMessageRouter(nullptr);
    // Nobody read the mailbox: one message for ten pictures, and it holds the last.
    ASSERT_EQ(window.boxes.size(), 1u);
    auto picture = window.boxes[0]->Take();
    ASSERT_NE(picture, nullptr);
    std::uint32_t counter = 0;
    ASSERT_TRUE(vcast_pattern::ReadCounter(*picture, counter));
    EXPECT_EQ(counter, 609u);
}

TEST(Play, ReleaseFromThePictureCallbackIsSafe) {
    CPatternEncoder enc(176, 144, 25, 10);
    ASSERT_TRUE(enc.Ok());
    vcast_play_t* play = VCAST_PlayInit(0, 176, 144);
    ASSERT_NE(play, nullptr);
    struct Context {
        vcast_play_t* play;
        std::atomic<int> pictures{0};
    } context{play};
    VCAST_PlaySetPictureCallback(play, [](const VcastPicture&, void* c) {
        auto* self = static_cast<Context*>(c);
        ++self->pictures;
        VCAST_PlayRelease(self->play);
    }, &context);
    ASSERT_EQ(VCAST_PlayStart(play), 1);
    const EncodedFrame key = enc.Encode(1), next = enc.Encode(2);
    MediaFrame d;
    d.f0 = media_frame::kCodecH264;
    d.f1 = media_frame::kKeyFrame;
    ASSERT_EQ(VCAST_IntoData(play, &d, key.bytes.data(), static_cast<std::uint32_t>(key.bytes.size())), 1);
    for (int i = 0; i < 100 && context.pictures == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    d.f1 = media_frame::kDeltaFrame;
    EXPECT_EQ(VCAST_IntoData(play, &d, next.bytes.data(), static_cast<std::uint32_t>(next.bytes.size())), 0);
    EXPECT_EQ(context.pictures, 1);
}

TEST(Play, ReleaseWhileAnotherThreadPushesIsSafe) {
    CPatternEncoder enc(176, 144, 25, 10);
    ASSERT_TRUE(enc.Ok());
    const auto frames = EncodeRun(enc, 0, 30);
    for (int round = 0; round < 5; ++round) {
        vcast_play_t* play = VCAST_PlayInit(0, 176, 144);
        ASSERT_NE(play, nullptr);
        Screen screen;
        VCAST_PlaySetPictureCallback(play, &Screen::OnPicture, &screen);
        ASSERT_EQ(VCAST_PlayStart(play), 1);
        std::atomic<bool> stop{false};
        std::atomic<int> pushed{0};
        std::thread connection([&] {
            for (std::size_t i = 0; !stop; i = (i + 1) % frames.size()) {
                MediaFrame d;
                d.f0 = media_frame::kCodecH264;
                d.f1 = frames[i].key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
                d.stamp = static_cast<std::uint32_t>(i * 40);
                d.length = static_cast<std::uint32_t>(frames[i].bytes.size());
                pushed += VCAST_IntoData(play, &d, frames[i].bytes.data(), d.length);
                VCAST_SignStamp(play, d.stamp);
            }
        });
        std::thread ui([&] {
            while (!stop) {
                VCAST_Clear(play);
                std::this_thread::sleep_for(std::chrono::milliseconds(7));
            }
        });
        while (pushed < 20) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(10 * round));
        VCAST_PlayRelease(play);
        // Calls that race the release find nothing and do nothing.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int afterRelease = pushed;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(pushed, afterRelease) << "a released handle takes no frames";
        stop = true;
        connection.join();
        ui.join();
    }
}
