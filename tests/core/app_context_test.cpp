// Speaker bookkeeping: who is shown as speaking, and the messages that say so.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/app_context.h"

namespace {

struct Posted {
    HWND target;
    unsigned msg;
    std::uintptr_t w;
    std::intptr_t l;
    bool operator==(const Posted&) const = default;
};

class RecordingRouter : public IMessageRouter {
public:
    std::vector<Posted> posts;
    bool Post(HWND t, WindowMessage m, std::unique_ptr<CMessageData>) override {
        posts.push_back({t, m.msg, m.wParam, m.lParam});
        return true;
    }
    std::intptr_t Send(HWND, const WindowMessage&) override { return 0; }
    bool IsWindow(HWND) override { return true; }
};

class Speakers : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRouter(&router);
        ctx.Reset();
        ctx.SetHwnd(77);
        ctx.SetClock(&clock);
    }
    void TearDown() override {
        ctx.SetClock(nullptr);
        ctx.Reset();
        SetMessageRouter(nullptr);
    }
    std::vector<Posted> Take() { return std::exchange(router.posts, {}); }
    static Posted Starts(std::uint32_t id) { return {77, UM_SPEAKER_STATE, id, 1}; }
    static Posted Stops(std::uint32_t id) { return {77, UM_SPEAKER_STATE, id, 0}; }

    RecordingRouter router;
    CManualClock clock;
    AppContext& ctx = AppContext::instance();
};

}  // namespace

TEST_F(Speakers, NewSpeakersAreAnnouncedOnceAndRepeatsSayNothing) {
    ctx.updateSpeakers(10, 0xFFFFFFFF);  // "none" in the second slot
    EXPECT_EQ(Take(), std::vector<Posted>{Starts(10)});
    ctx.updateSpeakers(10, 20);
    EXPECT_EQ(Take(), std::vector<Posted>{Starts(20)});
    ctx.updateSpeakers(20, 10);  // both already shown, any order
    EXPECT_TRUE(Take().empty());
    std::uint32_t a, b;
    ctx.GetSpeakers(a, b);
    EXPECT_EQ(a, 10u);
    EXPECT_EQ(b, 20u);
}

TEST_F(Speakers, ANewSpeakerFirstClearsTheOldOneAndIsAnnouncedByTheNextPacket) {
    ctx.updateSpeakers(10, 0);
    Take();
    ctx.updateSpeakers(30, 0);
    EXPECT_EQ(Take(), std::vector<Posted>{Stops(10)});
    ctx.updateSpeakers(30, 0);
    EXPECT_EQ(Take(), std::vector<Posted>{Starts(30)});
}

TEST_F(Speakers, SilenceOfMoreThanTwoSecondsClearsBothOnTheNextTick) {
    ctx.updateSpeakers(10, 20);
    Take();
    clock.AdvanceMs(2000);
    ctx.expireSpeakers();
    EXPECT_TRUE(Take().empty());  // exactly two seconds is not yet silence
    clock.AdvanceMs(1);
    ctx.expireSpeakers();
    EXPECT_EQ(Take(), (std::vector<Posted>{Stops(10), Stops(20)}));
    clock.AdvanceMs(5000);
    ctx.expireSpeakers();
    EXPECT_TRUE(Take().empty());  // nothing left to clear
}

TEST_F(Speakers, SetSpeakersStoresSilentlyAndAThirdSpeakerIsAnnouncedButNotStored) {
    ctx.setSpeakers(1, 2);
    EXPECT_TRUE(Take().empty());
    ctx.updateSpeakers(1, 2);
    EXPECT_TRUE(Take().empty());
    ctx.setSpeakers(1, 2);
    ctx.updateSpeakers(2, 1);
    Take();
    // With both slots held by the named speakers there is no room for a third.
    ctx.updateSpeakers(1, 2);
    EXPECT_TRUE(Take().empty());
}

TEST_F(Speakers, MediaWithoutAnEngineIsCountedNotLost) {
    const unsigned char bytes[3] = {1, 2, 3};
    ctx.OnAudioPacket(1, 7, 5, bytes, 3);
    ctx.PlayFrame(VideoFrameHeader{}, bytes, 3);
    EXPECT_EQ(ctx.UnplayedAudio(), 1u);
    EXPECT_EQ(ctx.UnplayedVideo(), 1u);
    struct Engine : IAudioPacketSink {
        int got = 0;
        void OnAudioPacket(int kind, std::uint32_t speaker, std::uint32_t stamp,
                           const unsigned char*, std::size_t n) override {
            got += kind == 0 && speaker == 7 && stamp == 9 && n == 3;
        }
    } engine;
    ctx.SetAudioSink(&engine);
    ctx.OnAudioPacket(0, 7, 9, bytes, 3);
    EXPECT_EQ(engine.got, 1);
    EXPECT_EQ(ctx.UnplayedAudio(), 1u);
}

TEST_F(Speakers, UnregisteringTheEngineWaitsForACallStillInIt) {
    struct Slow : IAudioPacketSink {
        std::atomic<bool> inside{false}, release{false}, done{false};
        void OnAudioPacket(int, std::uint32_t, std::uint32_t, const unsigned char*,
                           std::size_t) override {
            inside = true;
            while (!release) std::this_thread::yield();
            done = true;
        }
    } engine;
    ctx.SetAudioSink(&engine);
    const unsigned char byte[1] = {0};
    std::thread call([&] { ctx.OnAudioPacket(1, 7, 1, byte, 1); });
    while (!engine.inside) std::this_thread::yield();
    std::atomic<bool> unregistered{false};
    std::thread leave([&] {
        ctx.SetAudioSink(nullptr);
        unregistered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(unregistered) << "the engine could be destroyed under a running call";
    engine.release = true;
    leave.join();
    call.join();
    EXPECT_TRUE(engine.done);
    EXPECT_TRUE(unregistered);
    // Gone: what comes now is only counted.
    ctx.OnAudioPacket(1, 7, 2, byte, 1);
    EXPECT_EQ(ctx.UnplayedAudio(), 1u);
}

TEST_F(Speakers, UnregisteringTheVideoSinkWaitsForAFrameStillInIt) {
    struct Slow : IVideoFrameSink {
        std::atomic<bool> inside{false}, release{false}, done{false};
        void PlayFrame(const VideoFrameHeader&, const unsigned char*, std::size_t) override {
            inside = true;
            while (!release) std::this_thread::yield();
            done = true;
        }
    } sink;
    ctx.SetVideoSink(&sink);
    const unsigned char byte[1] = {0};
    std::thread call([&] { ctx.PlayFrame(VideoFrameHeader{}, byte, 1); });
    while (!sink.inside) std::this_thread::yield();
    std::atomic<bool> unregistered{false};
    std::thread leave([&] {
        ctx.SetVideoSink(nullptr);
        unregistered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(unregistered) << "the video sink could be destroyed under a frame in flight";
    sink.release = true;
    leave.join();
    call.join();
    EXPECT_TRUE(sink.done);
    EXPECT_TRUE(unregistered);
    ctx.PlayFrame(VideoFrameHeader{}, byte, 1);
    EXPECT_EQ(ctx.UnplayedVideo(), 1u);
}
