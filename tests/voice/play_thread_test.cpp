// Playback as a listener hears it: two speakers at once are both there at
// their levels and take real time, not twice it; a speaker's volume is
// applied; muting silences the room but not voice messages, and the video
// clock still hears the anchor's stamps; narrowband goes first on its
// output; queues refuse past their limits; a missing device costs one
// try a second.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "audio/engine/vcast_video.h"
#include "audio/playback/play_thread.h"
#include "audio/user_volumes.h"
#include "core/clock.h"
#include "core/paths.h"
#include "tests/voice/memory_backend.h"
#include "tests/voice/voice_signals.h"

namespace {

using voicetest::CMemoryBackend;
using voicetest::Tone;
using voicetest::ToneDbfs;

class VideoClock : public IVcastVideo {
public:
    void RecordAudio(bool, int, std::uint32_t, const unsigned char*, std::size_t) override {}
    void SignStamp(std::uint32_t stamp) override { stamps.push_back(stamp); }
    void PlayClear() override {}
    std::vector<std::uint32_t> stamps;
};

class PlaybackTest : public ::testing::Test {
protected:
    CManualClock clock;
    std::shared_ptr<CMemoryBackend> devices = std::make_shared<CMemoryBackend>();
    CPlayThread play{devices, 40, &clock};

    // Frames of 1024 samples arriving in real time, 46 ms apart, each
    // played as it falls due by a device taking one frame's worth a step.
    void Speak(std::uint32_t speaker, const std::vector<std::int16_t>& pcm, std::uint32_t stamp0) {
        for (std::size_t at = 0; at + 1024 <= pcm.size(); at += 1024) {
            play.PushVoice(speaker, stamp0 + static_cast<std::uint32_t>(at / 1024 * 46),
                           pcm.data() + at, 1024);
            Step();
        }
    }
    void Step() {
        play.Pump(clock.TickMs());
        clock.AdvanceMs(46);
    }
    void Drain() {
        for (int i = 0; i < 10; ++i) Step();
    }
};

TEST_F(PlaybackTest, TwoSpeakersAreMixedAtTheirLevelsInRealTime) {
    const auto a = Tone(440, -12, 1024 * 20);
    const auto b = Tone(660, -18, 1024 * 20);
    // Interleaved frame by frame, as they arrive; the device takes one
    // frame's worth each step, as a real one drains in real time.
    for (std::size_t i = 0; i < 20; ++i) {
        devices->SetRoom(22050, 0);
        play.PushVoice(1, 1000 + 46 * i, a.data() + i * 1024, 1024);
        play.PushVoice(2, 9000 + 46 * i, b.data() + i * 1024, 1024);
        play.Pump(clock.TickMs());
        devices->SetRoom(22050, 2048);
        Step();
    }
    Drain();
    const auto out = devices->Played(22050);
    // Mixed, not queued in turn: as long as one speaker's voice, not two.
    ASSERT_GE(out.size(), 1024u * 19);
    EXPECT_LE(out.size(), 1024u * 21);
    EXPECT_NEAR(ToneDbfs(out.data(), out.size(), 440), -12, 1.0);
    EXPECT_NEAR(ToneDbfs(out.data(), out.size(), 660), -18, 1.0);
}

TEST_F(PlaybackTest, AJitterySpeakerStaysInStepWithASteadyOneWithoutGaps) {
    const auto a = Tone(440, -12, 1024 * 40);
    const auto b = Tone(660, -12, 1024 * 40);
    // B's frames arrive two at a time, so its buffer learns to hold them
    // back; when the device runs dry they play rather than leave gaps.
    for (std::size_t i = 0; i < 40; ++i) {
        devices->SetRoom(22050, 0);
        play.PushVoice(1, 46 * i, a.data() + i * 1024, 1024);
        if (i % 2 == 1) {
            play.PushVoice(2, 46 * (i - 1), b.data() + (i - 1) * 1024, 1024);
            play.PushVoice(2, 46 * i, b.data() + i * 1024, 1024);
        }
        play.Pump(clock.TickMs());
        devices->SetRoom(22050, 2048);
        Step();
    }
    Drain();
    const auto out = devices->Played(22050);
    ASSERT_GE(out.size(), 1024u * 39);
    EXPECT_LE(out.size(), 1024u * 41) << "the two voices were played one after the other";
    EXPECT_NEAR(ToneDbfs(out.data(), out.size(), 440), -12, 1.0);
    EXPECT_NEAR(ToneDbfs(out.data(), out.size(), 660), -12, 1.0);
}

TEST_F(PlaybackTest, ASpeakersVolumeIsAppliedAndKeptAcrossARestart) {
    const std::string folder = paths::UserFolder(1);
    std::filesystem::create_directories(folder);
    const std::string file = folder + "volumes.xml";
    {
        CUserVolumes volumes(file);
        volumes.Set(7, 50);
    }
    CUserVolumes volumes(file);
    ASSERT_TRUE(volumes.Load());
    play.SetVolumes(&volumes);
    Speak(7, Tone(440, -12, 1024 * 10), 0);
    Drain();
    const auto out = devices->Played(22050);
    ASSERT_FALSE(out.empty());
    EXPECT_NEAR(ToneDbfs(out.data(), out.size(), 440), -18, 0.5) << "50 % is −6 dB";
}

TEST_F(PlaybackTest, MutedRoomAudioIsDroppedButTheAnchorsStampsStillReachTheVideoClock) {
    VideoClock clock;
    play.SetVideo(&clock);
    play.SetAnchor(10003);
    play.SetMuted(true);
    Speak(10003, Tone(440, -12, 1024 * 5), 500);
    Speak(10004, Tone(660, -12, 1024 * 5), 900);
    std::vector<std::int16_t> narrow(800, 1000);
    EXPECT_TRUE(play.Push(narrow.data(), narrow.size() * 2, CPlayThread::kNarrow));
    std::vector<std::int16_t> message(400, 2000);
    EXPECT_TRUE(play.Push(message.data(), message.size() * 2, CPlayThread::kVoiceMessage));
    Drain();
    EXPECT_TRUE(devices->Played(22050).empty());
    EXPECT_EQ(clock.stamps, (std::vector<std::uint32_t>{500, 546, 592, 638, 684}));
    // Only the voice message reached the 8000 Hz output.
    EXPECT_EQ(devices->Played(8000), message);
    EXPECT_TRUE(play.VoiceQueueEmpty());
    play.SetVideo(nullptr);
}

TEST_F(PlaybackTest, NarrowbandPlaysBeforeAVoiceMessageOnTheirOutput) {
    devices->SetRoom(8000, 200);  // a device that takes 100 samples a pass
    std::vector<std::int16_t> message(300, 2), narrow(300, 1);
    play.Push(message.data(), 600, CPlayThread::kVoiceMessage);
    play.Push(narrow.data(), 600, CPlayThread::kNarrow);
    for (int i = 0; i < 10; ++i) play.Pump(GetTickCount());
    const auto out = devices->Played(8000);
    ASSERT_EQ(out.size(), 600u);
    EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 300), narrow);
    EXPECT_EQ(std::vector<std::int16_t>(out.begin() + 300, out.end()), message);
}

TEST_F(PlaybackTest, QueuesRefuseOnceAtTheirLimit) {
    devices->SetRoom(8000, 0);  // a stalled device
    std::vector<unsigned char> piece(2000, 0);
    int taken = 0;
    for (int i = 0; i < 10; ++i) taken += play.Push(piece.data(), piece.size(), CPlayThread::kNarrow);
    EXPECT_EQ(taken, 8) << "checked before appending: 8 × 2000 reaches 16000";
    EXPECT_EQ(play.counters().refused[CPlayThread::kNarrow], 2u);
    // A stamped record of my own voice, and one that lies about its length.
    std::vector<unsigned char> record(CPlayThread::kRecordBytes, 0);
    record[4] = 0x00;
    record[5] = 0x08;  // 2048 bytes of PCM
    EXPECT_TRUE(play.Push(record.data(), record.size(), CPlayThread::kRecord));
    record[5] = 0x30;  // 12288 bytes: more than a record holds
    EXPECT_FALSE(play.Push(record.data(), record.size(), CPlayThread::kRecord));
}

TEST_F(PlaybackTest, AMissingDeviceIsTriedOnceASecondAndItsVoiceLetGo) {
    devices->failOutputs = true;
    const auto frame = Tone(440, -12, 1024);
    // Half a second of voice with no device: one try, the voice let go.
    for (int i = 0; i < 11; ++i) Speak(1, frame, 46 * i);
    EXPECT_EQ(devices->outputs[22050].opens, 0);
    EXPECT_EQ(play.Speakers(), 1u);
    devices->failOutputs = false;
    Speak(1, frame, 46 * 11);  // 552 ms after the try: not yet
    EXPECT_EQ(devices->outputs[22050].opens, 0) << "not before a second has passed";
    for (int i = 12; i < 24; ++i) Speak(1, frame, 46 * i);
    EXPECT_EQ(devices->outputs[22050].opens, 1);
    EXPECT_FALSE(devices->Played(22050).empty());
}

TEST_F(PlaybackTest, TheSpeakerDeviceChangesAtTheNextOpen) {
    Speak(1, Tone(440, -12, 1024 * 2), 0);
    Drain();
    EXPECT_EQ(devices->lastOutputDevice, -1);
    play.SetDevice(1);
    Speak(1, Tone(440, -12, 1024 * 2), 200);
    Drain();
    EXPECT_EQ(devices->outputs[22050].opens, 1) << "an open output keeps its device";
    play.CloseOutputs();
    Speak(1, Tone(440, -12, 1024 * 2), 400);
    Drain();
    EXPECT_EQ(devices->outputs[22050].opens, 2);
    EXPECT_EQ(devices->lastOutputDevice, 1);
}

}  // namespace
