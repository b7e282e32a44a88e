// The recorder's own thread: pushes only queue, so they return while the
// thread is held as by a slow encoder or disk; what overflows follows the
// queue's rule and the file still decodes; the close drains what waits; the
// time line is the pushes' time, not the thread's.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "aac_test_stream.h"
#include "h264_test_stream.h"
#include "record_read_back.h"
#include "platform/vcast/record_peek.h"
#include "platform/vcast/vcast.h"

namespace fs = std::filesystem;
using namespace record_test;

namespace {

struct Voice {
    std::uint32_t startMs = 0;  // from the first sample fed
    std::vector<unsigned char> adts;
};

// `count` ADTS frames of a 440 Hz tone, mono at `rate`, in order.
std::vector<Voice> Tone(int rate, int count) {
    CAdtsEncoder encoder(rate, 1);
    std::vector<Voice> out;
    std::vector<std::int16_t> pcm(1024);
    std::int64_t fed = 0;
    int packets = 0;
    while (encoder.Ok() && static_cast<int>(out.size()) < count) {
        for (int s = 0; s < 1024; ++s)
            pcm[s] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * double(fed + s) / rate));
        fed += 1024;
        auto adts = encoder.Encode(pcm.data());
        if (adts.empty()) continue;
        const std::int64_t first = std::int64_t(packets++ - CAdtsEncoder::kDelayFrames) * 1024;
        if (first < 0) continue;  // the encoder's priming
        out.push_back(Voice{static_cast<std::uint32_t>(first * 1000 / rate), std::move(adts)});
    }
    return out;
}

std::vector<std::uint32_t> Distinct(const std::vector<std::uint32_t>& counters) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t c : counters)
        if (out.empty() || out.back() != c) out.push_back(c);
    return out;
}

// Runs `pushes` on another thread; false when it has not come back while
// the recorder is held (then the hold is lifted so it can end).
bool ReturnsWhileHeld(vcast_record_t* record, const std::function<void()>& pushes) {
    auto done = std::async(std::launch::async, pushes);
    // A generous bound only so that a blocking push fails the test instead
    // of hanging it; nothing here measures speed.
    if (done.wait_for(std::chrono::seconds(120)) == std::future_status::ready) return true;
    VcastRecordHold(record, false);
    done.wait();
    return false;
}

}  // namespace

class RecordingThread : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kProbe)) << "ffprobe missing at " << kProbe << ": install ffmpeg (scripts/setup)";
    }
};

TEST_F(RecordingThread, AStormIntoAHeldRecorderReturnsAndTheFileHoldsWhatTheQueueKept) {
    constexpr int kRate = 22050;
    CPatternEncoder encoder(320, 240, 25, 25);
    ASSERT_TRUE(encoder.Ok());
    std::vector<EncodedFrame> frames;
    for (std::uint32_t i = 0; i < 260; ++i) {
        frames.push_back(encoder.Encode(i));
        ASSERT_EQ(frames.back().key, i % 25 == 0) << i;
    }
    const std::vector<Voice> voice = Tone(kRate, 160);
    ASSERT_EQ(voice.size(), 160u);

    const fs::path file = TempFile("storm.mp4");
    vcast_record_t* record = VCAST_RecordOpen(file.c_str(), 240, 180, 25, 1, 16, kRate, 1);
    ASSERT_NE(record, nullptr);
    VcastRecordHold(record, true);  // the thread takes nothing from here on
    const std::uint32_t base = 9'000'000;
    std::vector<int> videoTaken(frames.size(), -1), voiceTaken(voice.size(), -1);
    auto pushVideo = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const MediaFrame d = VideoFrame(frames[i].key, base + static_cast<std::uint32_t>(i) * 40,
                                            frames[i].bytes.size(), media_frame::kClockSender);
            videoTaken[i] = VCAST_push_video(record, &d, frames[i].bytes.data(), d.length);
        }
    };
    ASSERT_TRUE(ReturnsWhileHeld(record, [&] {
        pushVideo(0, 200);  // 200 of the queue's 300 places
        for (std::size_t k = 0; k < voice.size(); ++k) {
            const MediaFrame a = AudioFrame(base + voice[k].startMs, voice[k].adts.size(),
                                            media_frame::kClockSender);
            voiceTaken[k] = VCAST_push_audio(record, &a, voice[k].adts.data(), a.length);
        }
        pushVideo(200, 260);
    })) << "a push waited for the held recorder";

    // Voices past the 100 free places pushed out the oldest voices (0–59).
    for (std::size_t k = 0; k < voice.size(); ++k) EXPECT_EQ(voiceTaken[k], 1) << "voice " << k;
    // Full: keyframe 200 pushed out the newest delta (199); deltas waited for
    // a keyframe; keyframes 225 and 250 each pushed out the oldest voice.
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const bool kept = i < 200 || i == 200 || i == 225 || i == 250;
        EXPECT_EQ(videoTaken[i], kept ? 1 : 0) << "frame " << i;
    }
    VcastRecordCounts counts;
    ASSERT_TRUE(VcastRecordPeek(record, counts));
    EXPECT_EQ(counts.queued, 300u);
    EXPECT_EQ(counts.videoDropped, 1u + 24 + 24 + 9);
    EXPECT_EQ(counts.audioDropped, 60u + 2);
    EXPECT_EQ(counts.undecodable, 0u);

    // The close lifts the hold and writes everything that was queued.
    ASSERT_EQ(VCAST_RecordClose(record), 1);
    EXPECT_EQ(Probe(file).size(), 2u);
    const Contents contents = ReadBack(file);
    std::vector<std::uint32_t> want;
    for (std::uint32_t c = 0; c < 199; ++c) want.push_back(c);
    for (std::uint32_t c : {200u, 225u, 250u}) want.push_back(c);
    EXPECT_EQ(Distinct(Counters(contents.pictures)), want);
    // Voices 62 on (from 2.88 s) were kept: silence before, the tone after.
    ASSERT_EQ(contents.rate, kRate);
    ASSERT_GT(contents.audio.size(), std::size_t(kRate) * 7);
    const double lost = ToneLevel(contents.audio, kRate, 440, kRate / 4, kRate * 5 / 2);
    const double kept = ToneLevel(contents.audio, kRate, 440, kRate * 13 / 4, kRate * 7);
    EXPECT_GT(kept, 0.05) << lost;
    EXPECT_LT(lost, kept / 20) << kept;
}

TEST_F(RecordingThread, TheTimeLineTakesTheTimeOfThePushNotOfTheThread) {
    CPatternEncoder encoder(320, 240, 25, 25);
    ASSERT_TRUE(encoder.Ok());
    const EncodedFrame first = encoder.Encode(1), second = encoder.Encode(2);
    const fs::path file = TempFile("push_time.mp4");
    vcast_record_t* record = VCAST_RecordOpen(file.c_str(), 240, 180, 25, 1, 16, 22050, 1);
    ASSERT_NE(record, nullptr);
    VcastRecordHold(record, true);
    // The first sender frame ties its clock where it arrives: at the file's
    // start. Taken by the thread only a second later, it must still land there.
    MediaFrame d = VideoFrame(true, 70'000, first.bytes.size(), media_frame::kClockSender);
    ASSERT_EQ(VCAST_push_video(record, &d, first.bytes.data(), d.length), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    d = VideoFrame(false, 71'000, second.bytes.size(), media_frame::kClockSender);
    ASSERT_EQ(VCAST_push_video(record, &d, second.bytes.data(), d.length), 1);
    VcastRecordHold(record, false);
    ASSERT_EQ(VCAST_RecordClose(record), 1);
    // Pictures at about 0 and 1 s, the last lasting 1 s: both tracks end at
    // about 2 s (3.2 s had the thread's time been taken).
    const auto tracks = Probe(file);
    ASSERT_EQ(tracks.size(), 2u);
    for (const auto& [index, t] : tracks) EXPECT_NEAR(t.lastEnd, 2.0, 0.3) << t.codec;
    EXPECT_EQ(Distinct(Counters(ReadBack(file).pictures)), (std::vector<std::uint32_t>{1, 2}));
}

TEST_F(RecordingThread, PushesRacingTheCloseAreRefusedAfterItAndTheFileStaysWhole) {
    CPatternEncoder encoder(320, 240, 25, 25);
    ASSERT_TRUE(encoder.Ok());
    std::vector<EncodedFrame> frames;
    for (std::uint32_t i = 0; i < 300; ++i) frames.push_back(encoder.Encode(1000 + i));
    const std::vector<Voice> voice = Tone(16000, 300);

    const fs::path file = TempFile("racing_close.mp4");
    vcast_record_t* record = VCAST_RecordOpen(file.c_str(), 240, 180, 25, 0, 16, 16000, 1);
    ASSERT_NE(record, nullptr);
    std::atomic<bool> closed{false};
    std::atomic<int> started{0}, videoStarted{0};
    std::vector<int> videoTaken(frames.size(), -1);
    std::atomic<int> lateAccepted{0};
    // As fast as they can, so the queue overflows and the thread works while
    // more comes; video on the local tick, voices on the sender's.
    std::thread video([&] {
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const bool after = closed;
            const MediaFrame d = VideoFrame(frames[i].key, 50 + static_cast<std::uint32_t>(i) * 40,
                                            frames[i].bytes.size(), media_frame::kClockLocal);
            videoTaken[i] = VCAST_push_video(record, &d, frames[i].bytes.data(), d.length);
            if (after && videoTaken[i]) ++lateAccepted;
            ++started;
            ++videoStarted;
        }
    });
    std::vector<std::thread> voices;
    for (int n = 0; n < 2; ++n)
        voices.emplace_back([&] {
            for (const Voice& v : voice) {
                const bool after = closed;
                const MediaFrame a = AudioFrame(5'000 + v.startMs, v.adts.size(), media_frame::kClockSender);
                if (VCAST_push_audio(record, &a, v.adts.data(), a.length) && after) ++lateAccepted;
                ++started;
            }
        });
    // Close amid the pushes, once each kind has had its turn (a loaded
    // machine may run the voices far ahead of the pictures).
    while (started < 300 || videoStarted < 60) std::this_thread::yield();
    EXPECT_EQ(VCAST_RecordClose(record), 1);
    closed = true;
    video.join();
    for (auto& t : voices) t.join();
    EXPECT_EQ(lateAccepted, 0) << "taken after the close returned";

    EXPECT_EQ(Probe(file).size(), 2u);
    const auto shown = Distinct(Counters(ReadBack(file).pictures));
    ASSERT_FALSE(shown.empty());
    for (std::size_t n = 0; n < shown.size(); ++n) {
        ASSERT_GE(shown[n], 1000u);
        ASSERT_LT(shown[n], 1300u);
        EXPECT_EQ(videoTaken[shown[n] - 1000], 1) << "frame " << shown[n] << " shown but refused";
        if (n > 0) {
            EXPECT_GT(shown[n], shown[n - 1]) << "out of order";
        }
    }
}
