// The room's video over the real video library (the test-pattern camera):
// the camera waits for the anchor microphone, my broadcast leaves as
// Video_Data on the video channel stamped from the microphone's tick, a
// backed-up channel lets only keyframes through, the microphone's end or
// leaving stops it, and a recording never replaces another.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "core/clock.h"
#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "platform/vcast/vcast.h"
#include "room/headless_view.h"
#include "room/video/room_video.h"
#include "tests/room/room_test_support.h"
#include "video/media_frame_word.h"

namespace {

constexpr std::uint32_t kMe = 42;

// The capture thread sends while the test reads: a locked record of the
// video channel, with a backlog the test sets.
class VideoLink : public IRoomLink {
public:
    struct Frame {
        std::uint32_t stampDiff, word;
        std::size_t bytes;
    };
    bool sendChat(std::uint32_t, const TLV::body&) override { return true; }
    bool sendMediaServer(std::uint32_t, const TLV::body&) override { return true; }
    bool sendVideoService(std::uint32_t command, const TLV::body& body) override {
        if (command != cmd::Video_Data) return true;
        const auto bytes = TLV::encode(body);
        const auto m = wire::decode<msg::Video_Data>(bytes.data(), bytes.size());
        std::lock_guard<std::mutex> g(lock_);
        frames_.push_back({m.stamp_diff, m.header_word, m.frame.size()});
        return true;
    }
    std::uint32_t TakeSentBytes() override { return 0; }
    std::uint32_t TakeReceivedBytes() override { return 0; }
    std::uint32_t SignalMs() override { return 0; }
    std::uint32_t VideoPending() override { return backlog.load(); }

    std::vector<Frame> Frames() {
        std::lock_guard<std::mutex> g(lock_);
        return frames_;
    }
    std::atomic<std::uint32_t> backlog{0};

private:
    std::mutex lock_;
    std::vector<Frame> frames_;
};

bool WaitFor(const std::function<bool()>& done, int limitMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class RoomVideo : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        VCAST_Init();
        account.me.userId = kMe;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
        CRoomVideo::Setup setup;
        setup.engine = &engine;
        setup.holdsAnchorMic = [this] { return anchorMic; };
        setup.audioBaseTick = [this] { return baseTick; };
        video = std::make_unique<CRoomVideo>(session, setup);
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = 7;
        r.room_mode = 2;
        roomtest::Deliver(session, r);
    }
    void TearDown() override {
        video.reset();
        VCAST_Release();
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    bool Visible(const char* c) const { return view.Find(c) && view.Find(c)->visible; }
    // Broadcast the test pattern, as a client with --video-source pattern
    // does once the media server accepts its anchor microphone.
    void BroadcastPattern() {
        anchorMic = true;
        video->SetWanted(CRoomVideo::Source::pattern);
        video->OnSendingAccepted();
        ASSERT_TRUE(video->broadcasting());
    }

    roomtest::ScopedDataFolder data{"rvideo"};
    CHeadlessView view{nullptr};
    VideoLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
    CVideoEngine engine;
    std::unique_ptr<CRoomVideo> video;
    bool anchorMic = false;
    std::uint32_t baseTick = GetTickCount();
};

TEST_F(RoomVideo, TheCameraWaitsForTheAnchorMicrophone) {
    EXPECT_EQ(video->OpenCamera(), CRoomVideo::Result::refused);
    EXPECT_EQ(view.Text("text_tip"), "请先上麦!");
    EXPECT_FALSE(engine.HasCapture());
    EXPECT_FALSE(video->broadcasting());
    // Wanted, it still waits for the media server to accept the microphone.
    video->SetWanted(CRoomVideo::Source::pattern);
    EXPECT_FALSE(video->broadcasting());
    ASSERT_NO_FATAL_FAILURE(BroadcastPattern());
    EXPECT_FALSE(Visible("bnt_videoOpen"));
    EXPECT_TRUE(Visible("bnt_videoClose"));
}

TEST_F(RoomVideo, MyFramesLeaveOnTheVideoChannelStampedFromTheMicrophone) {
    ASSERT_NO_FATAL_FAILURE(BroadcastPattern());
    ASSERT_TRUE(WaitFor([&] { return link.Frames().size() >= 10; })) << link.Frames().size();
    const auto frames = link.Frames();
    const MediaFrame first = UnpackFrameWord(frames.front().word);
    EXPECT_EQ(first.f0, media_frame::kCodecH264);
    EXPECT_EQ(first.f1, media_frame::kKeyFrame) << "a viewer can start at the first frame";
    EXPECT_EQ(first.f3, 1);
    for (const auto& f : frames) {
        EXPECT_TRUE(ValidVideoWord(f.word, f.bytes));
        // Capture ticks minus the microphone's open tick: small and rising.
        EXPECT_LT(f.stampDiff, 60000u);
    }
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_GE(frames[i].stampDiff, frames[i - 1].stampDiff);
    EXPECT_EQ(video->framesDropped(), 0u);
}

TEST_F(RoomVideo, ABackedUpChannelLetsOnlyKeyframesThrough) {
    link.backlog = 30;
    ASSERT_NO_FATAL_FAILURE(BroadcastPattern());
    ASSERT_TRUE(WaitFor([&] { return video->framesDropped() >= 10 && link.Frames().size() >= 2; }))
        << video->framesDropped() << " dropped, " << link.Frames().size() << " sent";
    for (const auto& f : link.Frames()) {
        const MediaFrame m = UnpackFrameWord(f.word);
        EXPECT_EQ(m.f1, media_frame::kKeyFrame);
        EXPECT_NE(m.f3, 0);
    }
    // Back to normal: deltas flow again after the next keyframe.
    link.backlog = 0;
    const std::size_t before = link.Frames().size();
    ASSERT_TRUE(WaitFor([&] {
        const auto frames = link.Frames();
        for (std::size_t i = before; i < frames.size(); ++i)
            if (UnpackFrameWord(frames[i].word).f1 == media_frame::kDeltaFrame) return true;
        return false;
    }));
}

TEST_F(RoomVideo, TheMicrophonesEndOrLeavingStopsMyBroadcastAndRecording) {
    ASSERT_NO_FATAL_FAILURE(BroadcastPattern());
    video->OnMicClosed();
    EXPECT_FALSE(video->broadcasting());
    EXPECT_FALSE(engine.HasCapture());
    EXPECT_TRUE(Visible("bnt_videoOpen"));
    EXPECT_FALSE(Visible("bnt_videoClose"));

    ASSERT_NO_FATAL_FAILURE(BroadcastPattern());
    ASSERT_EQ(video->StartRecording(), CRoomVideo::Result::done);
    const std::string file = video->recordPath();
    EXPECT_NE(file.find("/user/42/record/"), std::string::npos) << file;
    EXPECT_TRUE(Visible("bnt_record_stop"));
    EXPECT_EQ(video->StartRecording(), CRoomVideo::Result::ignored) << "one recording at a time";
    ASSERT_TRUE(WaitFor([&] { return link.Frames().size() >= 5; }));
    session.LeaveRoom();
    EXPECT_FALSE(video->broadcasting());
    EXPECT_FALSE(video->recording());
    EXPECT_TRUE(Visible("bnt_record_start"));
    EXPECT_GT(std::filesystem::file_size(file), 1000u) << "the file was finished when leaving";
}

TEST(RecordPath, ARecordingNeverReplacesAnother) {
    const auto dir = std::filesystem::temp_directory_path() / ("zeri-rec-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "20261207211500.mp4").string();
    EXPECT_EQ(UnusedRecordPath(path), path);
    std::ofstream(path) << "x";
    EXPECT_EQ(UnusedRecordPath(path), (dir / "20261207211500-1.mp4").string());
    std::ofstream((dir / "20261207211500-1.mp4").string()) << "x";
    EXPECT_EQ(UnusedRecordPath(path), (dir / "20261207211500-2.mp4").string());
    std::filesystem::remove_all(dir);
}

}  // namespace
