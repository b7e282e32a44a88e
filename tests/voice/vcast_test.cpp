// The engine between the microphone, the network and playback: blocks are
// encoded whole and once, packets are decoded per speaker, every queue
// stays bounded under a flood, and a reset empties everything.
#include <gtest/gtest.h>

#include <vector>

#include "audio/engine/vcast.h"
#include "audio/playback/play_thread.h"
#include "net/adts.h"
#include "tests/voice/memory_backend.h"
#include "tests/voice/voice_signals.h"

namespace {

using voicetest::CMemoryBackend;

struct Sent {
    std::vector<std::vector<unsigned char>> frames;
    std::vector<std::uint32_t> ticks;
    static void Callback(std::uint32_t kind, const void* data, std::uint32_t length,
                         std::uint32_t tick, void* context) {
        auto* self = static_cast<Sent*>(context);
        EXPECT_EQ(kind, CVcast::kSendKind);
        const auto* b = static_cast<const unsigned char*>(data);
        self->frames.emplace_back(b, b + length);
        self->ticks.push_back(tick);
    }
};

class EngineTest : public ::testing::Test {
protected:
    std::shared_ptr<CMemoryBackend> devices = std::make_shared<CMemoryBackend>();
    CPlayThread play{devices};
    CVcast engine{play};
    Sent sent;
    void SetUp() override { engine.SetSendCallback(&Sent::Callback, &sent); }
};

TEST_F(EngineTest, EachWholeBlockIsEncodedOnceAndAPartialOneWaits) {
    const auto tone = voicetest::Tone(440, -12, 2048 * 8);
    engine.OnMicPcm(tone.data(), 4096);
    engine.Pump();
    EXPECT_EQ(engine.counters().blocksEncoded, 2u);

    engine.OnMicPcm(tone.data() + 2048, 2047);
    engine.Pump();
    EXPECT_EQ(engine.counters().blocksEncoded, 2u) << "2047 bytes are not a block";
    engine.OnMicPcm(reinterpret_cast<const unsigned char*>(tone.data() + 2048) + 2047, 1);
    engine.Pump();
    EXPECT_EQ(engine.counters().blocksEncoded, 3u);

    // Fed on: every frame that comes out reaches the callback as whole ADTS.
    for (int i = 0; i < 10; ++i) engine.OnMicPcm(tone.data() + (i % 8) * 1024, 2048);
    engine.Pump();
    ASSERT_GE(sent.frames.size(), 8u);
    for (const auto& f : sent.frames)
        EXPECT_EQ(adts::CountFrames(f.data(), f.size(), adts::kProfileLc, adts::kSampling22050,
                                    adts::kMono, 1), 1);
}

TEST_F(EngineTest, AStalledWorkerLosesTheOldestMicrophoneBlocksNotTheNewest) {
    const std::vector<std::int16_t> block(1024, 100);
    for (int i = 0; i < 100; ++i) engine.OnMicPcm(block.data(), 2048);  // 4.6 s, never pumped
    EXPECT_GT(engine.counters().captureDropped, 0u);
    engine.Pump();
    EXPECT_LE(engine.counters().blocksEncoded * 2048, CVcast::kCaptureLimitBytes);
}

TEST_F(EngineTest, EachSpeakerIsDecodedOnItsOwnAndHeardTogether) {
    const auto a = voicetest::EncodeFrames(voicetest::Tone(440, -12, 1024 * 12));
    const auto b = voicetest::EncodeFrames(voicetest::Tone(660, -12, 1024 * 12));
    ASSERT_GE(a.size(), 8u);
    ASSERT_GE(b.size(), 8u);
    // Interleaved, as two voices arrive through the relay.
    for (std::size_t i = 0; i < 8; ++i) {
        engine.OnAudioPacket(1, 10003, 1000 + 46 * i, a[i].data(), a[i].size());
        engine.OnAudioPacket(1, 10004, 5000 + 46 * i, b[i].data(), b[i].size());
    }
    engine.Pump();
    const auto c = engine.counters();
    EXPECT_EQ(c.decode.aacPackets, 16u);
    EXPECT_EQ(c.decode.badFrames, 0u);
    EXPECT_EQ(play.Speakers(), 2u);
}

TEST_F(EngineTest, PayloadsAreKeptWholeUpTo8192BytesAndRefusedBeyond) {
    // Four frames of loud noise at the highest rate make a payload near 3000 bytes.
    std::vector<std::int16_t> noise(1024 * 8);
    std::uint32_t seed = 1;
    for (auto& s : noise) s = static_cast<std::int16_t>((seed = seed * 1103515245 + 12345) >> 16);
    auto frames = voicetest::EncodeFrames(noise, 256000);
    ASSERT_GE(frames.size(), 5u);
    std::vector<unsigned char> payload;
    for (int i = 1; i <= 4; ++i) payload.insert(payload.end(), frames[i].begin(), frames[i].end());
    ASSERT_GT(payload.size(), 2048u);
    engine.OnAudioPacket(1, 7, 100, payload.data(), payload.size());
    engine.Pump();
    EXPECT_EQ(engine.counters().decode.oversize, 0u);
    EXPECT_EQ(engine.counters().decode.badFrames, 0u);
    EXPECT_EQ(play.counters().refused[CPlayThread::kRecord], 0u);
    EXPECT_EQ(play.Speakers(), 1u);

    std::vector<unsigned char> big(8193, 0xFF);
    engine.OnAudioPacket(1, 7, 200, big.data(), big.size());
    EXPECT_EQ(engine.counters().packetsOversize, 1u);
    std::vector<unsigned char> edge(8192, 0);
    engine.OnAudioPacket(1, 7, 300, edge.data(), edge.size());
    engine.Pump();
    EXPECT_EQ(engine.counters().packetsOversize, 1u) << "8192 bytes is within the limit";
    EXPECT_EQ(engine.counters().decode.badFrames, 1u) << "zeros are no ADTS frame";
}

TEST_F(EngineTest, HostileInputIsDroppedAndCountedByKind) {
    const auto good = voicetest::EncodeFrames(voicetest::Tone(440, -12, 1024 * 4));
    ASSERT_FALSE(good.empty());
    std::vector<unsigned char> cut(good[0].begin(), good[0].end() - 3);
    std::vector<unsigned char> wrongRate = good[0];
    wrongRate[2] = static_cast<unsigned char>((wrongRate[2] & ~0x3C) | (4 << 2));  // 44100 Hz
    const unsigned char garbage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    engine.OnAudioPacket(1, 1, 0, cut.data(), cut.size());
    engine.OnAudioPacket(1, 1, 0, wrongRate.data(), wrongRate.size());
    engine.OnAudioPacket(1, 1, 0, garbage, sizeof garbage);
    engine.OnAudioPacket(9, 1, 0, good[0].data(), good[0].size());
    engine.Pump();
    const auto c = engine.counters();
    EXPECT_EQ(c.decode.badFrames, 3u);
    EXPECT_EQ(c.decode.badKind, 1u);
    EXPECT_EQ(play.Speakers(), 0u);
}

TEST_F(EngineTest, AFloodStaysBoundedPerSpeakerAndInSpeakers) {
    const auto frames = voicetest::EncodeFrames(voicetest::Tone(440, -12, 1024 * 4));
    ASSERT_FALSE(frames.empty());
    const auto& f = frames[0];
    for (int i = 0; i < 500; ++i) engine.OnAudioPacket(1, 42, i * 46, f.data(), f.size());
    EXPECT_EQ(engine.counters().packetsDropped, 500u - CVcast::kPacketsPerSpeaker);
    // Made-up speaker ids: a bounded number is queued, the rest refused.
    for (std::uint32_t id = 100; id < 1100; ++id) engine.OnAudioPacket(1, id, 0, f.data(), f.size());
    engine.Pump();
    const auto c = engine.counters();
    EXPECT_LE(c.packetsQueued, 500u + 2 * CSpeakerDecoders::kMaxSpeakers);
    EXPECT_GT(c.decode.tooManySpeakers, 0u);
    EXPECT_LE(play.Speakers(), CPlayThread::kMaxSpeakers);
}

TEST_F(EngineTest, AmrFramesAreCarriedOverAndDecodedAsSoonAsWhole) {
    // Two 12.2 kbit/s frames (type 7: 32 bytes with the header byte), cut
    // 40 + 24 across two packets.
    std::vector<unsigned char> two(64, 0x55);
    two[0] = two[32] = 7 << 3 | 0x04;
    engine.OnAudioPacket(0, 5, 0, two.data(), 40);
    engine.Pump();
    EXPECT_EQ(play.QueuedBytes(CPlayThread::kNarrow), 320u) << "the first frame at once";
    engine.OnAudioPacket(0, 5, 0, two.data() + 40, 24);
    engine.Pump();
    EXPECT_EQ(play.QueuedBytes(CPlayThread::kNarrow), 640u);
}

TEST_F(EngineTest, ResetEmptiesEveryQueue) {
    const auto frames = voicetest::EncodeFrames(voicetest::Tone(440, -12, 1024 * 6));
    for (std::size_t i = 0; i < frames.size(); ++i)
        engine.OnAudioPacket(1, 3, 46 * i, frames[i].data(), frames[i].size());
    std::vector<unsigned char> amr(32, 0);
    amr[0] = 7 << 3 | 0x04;
    engine.OnAudioPacket(0, 3, 0, amr.data(), amr.size());
    engine.Pump();
    const std::vector<std::int16_t> mic(1500, 1);
    engine.OnMicPcm(mic.data(), 3000);
    ASSERT_GT(play.Speakers(), 0u);
    engine.Reset();
    EXPECT_EQ(play.Speakers(), 0u);
    EXPECT_EQ(play.QueuedBytes(CPlayThread::kNarrow), 0u);
    engine.Pump();
    EXPECT_EQ(engine.counters().blocksEncoded, 0u) << "the partial microphone block went too";
}

}  // namespace
