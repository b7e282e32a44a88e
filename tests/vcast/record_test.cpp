// Recordings as a user would check them: ffprobe reads one H.264 and one
// AAC track of the pushed length, and every frame shows the picture that
// was newest at its time.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <opencore-amrnb/interf_enc.h>
}

#include "aac_test_stream.h"
#include "h264_test_stream.h"
#include "record_read_back.h"
#include "platform/vcast/test_pattern.h"
#include "platform/vcast/vcast.h"

namespace fs = std::filesystem;
using namespace record_test;

class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kProbe)) << "ffprobe missing at " << kProbe << ": install ffmpeg (scripts/setup)";
    }
};

TEST_F(Recording, ThreeSecondsOfPatternAndVoicePassFfprobeAndShowTheNewestPicture) {
    const fs::path file = TempFile("three_seconds.mp4");
    CPatternEncoder video(320, 240, 25, 50);
    CAdtsEncoder voice(16000, 2);  // another rate and layout than the file's
    ASSERT_TRUE(video.Ok());
    ASSERT_TRUE(voice.Ok());
    // Encoded before the recording opens, so the first picture lands within
    // its first frame even on a slow (sanitised) build.
    std::vector<EncodedFrame> frames;
    for (std::uint32_t i = 0; i < 75; ++i) frames.push_back(video.Encode(100 + i));
    // 4:3 into 4:3, so the counter reads back from every recorded frame.
    vcast_record_t* record = VCAST_RecordOpen(file.c_str(), 240, 180, 25, 1, 16, 22050, 1);
    ASSERT_NE(record, nullptr);

    const std::uint32_t base = 5'000'000;  // sender stamps: any number
    std::vector<std::int16_t> pcm(2 * 1024);
    int audioPackets = 0;
    std::int64_t audioIn = 0;  // sample frames fed to the voice encoder
    for (std::uint32_t i = 0; i < 75; ++i) {  // 3 s at 25 fps
        const std::uint32_t ms = i * 40;
        const EncodedFrame& f = frames[i];
        const MediaFrame d = VideoFrame(f.key, base + ms, f.bytes.size(), media_frame::kClockSender);
        ASSERT_EQ(VCAST_push_video(record, &d, f.bytes.data(), d.length), 1) << i;
        // Voice up to the same time, 16 kHz: packet k starts at (k − 1)·1024.
        while (audioIn * 1000 / 16000 < ms + 40) {
            for (int s = 0; s < 1024; ++s) {
                const double t = double(audioIn + s) / 16000;
                pcm[2 * s] = pcm[2 * s + 1] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
            }
            const auto adts = voice.Encode(pcm.data());
            audioIn += 1024;
            if (adts.empty()) continue;
            const std::int64_t startMs = std::int64_t(audioPackets - 1) * 1024 * 1000 / 16000;
            ++audioPackets;
            if (startMs < 0) continue;  // the encoder's priming
            const MediaFrame a = AudioFrame(base + static_cast<std::uint32_t>(startMs), adts.size(),
                                            media_frame::kClockSender);
            ASSERT_EQ(VCAST_push_audio(record, &a, adts.data(), a.length), 1);
        }
    }
    ASSERT_EQ(VCAST_RecordClose(record), 1);
    EXPECT_EQ(VCAST_push_video(record, nullptr, nullptr, 0), 0);

    const auto tracks = Probe(file);
    ASSERT_EQ(tracks.size(), 2u) << Shell(std::string(kProbe) + " -v error -show_streams '" + file.string() + "'");
    double videoEnd = -1, audioEnd = -1;
    for (const auto& [index, t] : tracks) {
        if (t.codec == "h264") videoEnd = t.lastEnd;
        if (t.codec == "aac") audioEnd = t.lastEnd;
        EXPECT_NEAR(t.duration, 3.0, 0.1) << t.codec;
    }
    ASSERT_GT(videoEnd, 0) << "one h264 track";
    ASSERT_GT(audioEnd, 0) << "one aac track";
    EXPECT_NEAR(videoEnd, audioEnd, 0.1);
    EXPECT_NEAR(videoEnd, 3.0, 0.1);
    EXPECT_NEAR(audioEnd, 3.0, 0.1);

    // Every pushed picture on its own frame, in order.
    const auto pictures = ReadBack(file).pictures;
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(pictures[0].width, 240);
    std::vector<std::uint32_t> want;
    for (std::uint32_t c = 100; c < 175; ++c) want.push_back(c);
    EXPECT_EQ(Counters(pictures), want);
}

TEST_F(Recording, OtherAspectGetsBordersAndThePictureRepeatsWhenNoneCome) {
    const fs::path file = TempFile("borders.mp4");
    // Odd sizes are made even; 16:9 around a 4:3 picture.
    vcast_record_t* record = VCAST_RecordOpen(file.c_str(), 321, 181, 5, 7, 16, 8000, 1);
    ASSERT_NE(record, nullptr);
    CPatternEncoder video(320, 240, 25, 50);
    const EncodedFrame f = video.Encode(4242);
    MediaFrame d = VideoFrame(true, 1000, f.bytes.size(), media_frame::kClockLocal);
    ASSERT_EQ(VCAST_push_video(record, &d, f.bytes.data(), d.length), 1);
    // One second later, another frame: the first repeats in between.
    const EncodedFrame g = video.Encode(4243);
    d = VideoFrame(false, 2000, g.bytes.size(), media_frame::kClockLocal);
    ASSERT_EQ(VCAST_push_video(record, &d, g.bytes.data(), d.length), 1);
    // A frame from before what was written is dropped, not shown.
    const EncodedFrame h = video.Encode(9999);
    d = VideoFrame(false, 1500, h.bytes.size(), media_frame::kClockLocal);
    VCAST_push_video(record, &d, h.bytes.data(), d.length);
    ASSERT_EQ(VCAST_RecordClose(record), 1);

    // The last picture lasts as long as the one before it: 2 s at 5 fps.
    const auto pictures = ReadBack(file).pictures;
    std::vector<VcastPicture> middles;
    for (std::size_t n = 0; n < pictures.size(); ++n) {
        const VcastPicture& p = pictures[n];
        ASSERT_EQ(p.width, 320);
        ASSERT_EQ(p.height, 180);
        const auto at = [&](int x, int y) { return p.argb[static_cast<std::size_t>(y) * p.width + x] & 0xFFFFFF; };
        EXPECT_LT(at(5, 90) & 0xFF, 30u) << "left border black, frame " << n;
        EXPECT_LT(at(314, 90) & 0xFF, 30u) << "right border black, frame " << n;
        // Crop the 240-wide middle: the pattern at its own aspect.
        VcastPicture middle;
        middle.width = 240, middle.height = 180;
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 240; ++x) middle.argb.push_back(p.argb[static_cast<std::size_t>(y) * 320 + 40 + x]);
        middles.push_back(std::move(middle));
    }
    const std::vector<std::uint32_t> want = {4242, 4242, 4242, 4242, 4242,
                                             4243, 4243, 4243, 4243, 4243};
    EXPECT_EQ(Counters(middles), want);
}

TEST_F(Recording, RefusesBadValuesAndPathsItCannotCreate) {
    const std::string ok = TempFile("refused.mp4").string();
    fs::remove(ok);  // from an earlier repeat
    struct Values { int w, h, fps, bits, rate, channels; };
    for (const Values& v : {Values{320, 240, 10, 8, 22050, 1}, {15, 240, 10, 16, 22050, 1},
                            {320, 4097, 10, 16, 22050, 1}, {320, 240, 0, 16, 22050, 1},
                            {320, 240, 61, 16, 22050, 1}, {320, 240, 10, 16, 7999, 1},
                            {320, 240, 10, 16, 48001, 1}, {320, 240, 10, 16, 22050, 3}})
        EXPECT_EQ(VCAST_RecordOpen(ok.c_str(), v.w, v.h, v.fps, 1, v.bits, v.rate, v.channels), nullptr)
            << v.w << "x" << v.h << "@" << v.fps << " " << v.bits << " " << v.rate << "/" << v.channels;
    EXPECT_FALSE(fs::exists(ok)) << "nothing created for refused values";
    EXPECT_EQ(VCAST_RecordOpen("/nonexistent-folder/x/record.mp4", 320, 240, 10, 1, 16, 22050, 1),
              nullptr);
    // Opened and closed with nothing pushed: still a whole file.
    vcast_record_t* empty = VCAST_RecordOpen(ok.c_str(), 64, 48, 10, 2, 16, 48000, 2);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(VCAST_RecordClose(empty), 1);
    EXPECT_EQ(VCAST_RecordClose(empty), 0) << "closed once";
    EXPECT_EQ(Probe(ok).size(), 2u);
}

TEST_F(Recording, HostilePushesAndACloseFromAnotherThread) {
    const fs::path file = TempFile("threads.mp4");
    vcast_record_t* record = VCAST_RecordOpen(file.c_str(), 176, 144, 15, 0, 16, 22050, 1);
    ASSERT_NE(record, nullptr);
    std::vector<unsigned char> junk(3000);
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<unsigned char>(i * 131 + 7);
    MediaFrame a = AudioFrame(10, junk.size(), media_frame::kClockLocal);
    EXPECT_EQ(VCAST_push_audio(record, &a, junk.data(), a.length), 0) << "no audio frame in it";
    a.f0 = media_frame::kCodecAmrNb;
    VCAST_push_audio(record, &a, junk.data(), a.length);  // decodes or not, never crashes
    a.f0 = 9;
    EXPECT_EQ(VCAST_push_audio(record, &a, junk.data(), a.length), 0) << "unknown codec";
    a.f0 = media_frame::kCodecAacAdts, a.clock = 5;
    EXPECT_EQ(VCAST_push_audio(record, &a, junk.data(), a.length), 0) << "unknown clock";
    MediaFrame v = VideoFrame(true, 10, junk.size(), media_frame::kClockLocal);
    VCAST_push_video(record, &v, junk.data(), v.length);

    CPatternEncoder video(176, 144, 15, 15);
    std::vector<EncodedFrame> frames;
    for (int i = 0; i < 30; ++i) frames.push_back(video.Encode(i));
    std::atomic<bool> stop{false};
    std::thread pusher([&] {
        for (std::uint32_t i = 0; !stop; ++i) {
            const EncodedFrame& f = frames[i % frames.size()];
            const MediaFrame d = VideoFrame(f.key, 100 + i * 66, f.bytes.size(), media_frame::kClockLocal);
            VCAST_push_video(record, &d, f.bytes.data(), d.length);
            if (i > 5000) break;
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(VCAST_RecordClose(record), 1);
    stop = true;
    pusher.join();
    const auto tracks = Probe(file);
    EXPECT_EQ(tracks.size(), 2u);
}

TEST_F(Recording, VoicesOfBothCodecsAndBothClocksMixIntoOneTrack) {
    const fs::path file = TempFile("voices.mp4");
    vcast_record_t* record = VCAST_RecordOpen(file.c_str(), 160, 120, 10, 1, 16, 22050, 1);
    ASSERT_NE(record, nullptr);
    // Our own voice: AMR-NB at 8 kHz, 300 Hz, on the local tick.
    void* amr = Encoder_Interface_init(0);
    ASSERT_NE(amr, nullptr);
    // The anchor's voice: AAC at 16 kHz stereo, 1000 Hz, on the sender's stamps.
    CAdtsEncoder aac(16000, 2);
    ASSERT_TRUE(aac.Ok());
    std::vector<std::int16_t> aacPcm(2 * 1024);
    std::int64_t aacIn = 0;
    int aacPackets = 0;
    for (int i = 0; i < 100; ++i) {  // 2 s of 20 ms AMR frames
        short speech[160];
        for (int s = 0; s < 160; ++s)
            speech[s] = static_cast<short>(6000 * std::sin(2 * M_PI * 300 * (i * 160 + s) / 8000.0));
        unsigned char bits[64];
        const int n = Encoder_Interface_Encode(amr, MR122, speech, bits, 0);
        ASSERT_GT(n, 0);
        MediaFrame a = AudioFrame(777000 + i * 20, n, media_frame::kClockLocal);
        a.f0 = media_frame::kCodecAmrNb;
        ASSERT_EQ(VCAST_push_audio(record, &a, bits, a.length), 1) << i;
        while (aacIn * 1000 / 16000 < (i + 1) * 20) {
            for (int s = 0; s < 1024; ++s) {
                const auto v = static_cast<std::int16_t>(6000 * std::sin(2 * M_PI * 1000 * double(aacIn + s) / 16000));
                aacPcm[2 * s] = aacPcm[2 * s + 1] = v;
            }
            aacIn += 1024;
            const auto adts = aac.Encode(aacPcm.data());
            if (adts.empty()) continue;
            const std::int64_t startMs = std::int64_t(aacPackets++ - 1) * 1024 * 1000 / 16000;
            if (startMs < 0) continue;
            const MediaFrame f = AudioFrame(40000 + static_cast<std::uint32_t>(startMs), adts.size(),
                                            media_frame::kClockSender);
            ASSERT_EQ(VCAST_push_audio(record, &f, adts.data(), f.length), 1);
        }
    }
    Encoder_Interface_exit(amr);
    ASSERT_EQ(VCAST_RecordClose(record), 1);

    const Contents contents = ReadBack(file);
    const int rate = contents.rate;
    const auto& audio = contents.audio;
    ASSERT_EQ(rate, 22050);
    ASSERT_GT(audio.size(), std::size_t(rate) * 3 / 2);
    const std::size_t from = rate / 2, to = rate * 3 / 2;
    const double ours = ToneLevel(audio, rate, 300, from, to);
    const double theirs = ToneLevel(audio, rate, 1000, from, to);
    const double neither = ToneLevel(audio, rate, 2500, from, to);
    EXPECT_GT(ours, 10 * neither) << ours << " " << neither;
    EXPECT_GT(theirs, 10 * neither) << theirs << " " << neither;
    float peak = 0;
    for (std::size_t i = from; i < to; ++i) peak = std::max(peak, std::fabs(audio[i]));
    EXPECT_GT(peak, 0.25f) << "both voices add up";
    EXPECT_LT(peak, 0.6f);
}
