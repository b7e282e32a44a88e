// What users of a voice room hear, end to end: whole clients with their
// voice path on file devices (a WAV as the microphone, WAV files as the
// speakers) against the in-process server over real TCP. Carol takes the
// anchor microphone in room 1002 with a 440 Hz tone: Bob and Dave hear the
// tone, Carol does not hear herself, Erin in room 1001 hears nothing, and
// nothing more arrives once she closes the microphone. Two free turns in
// room 1001 are both heard by a third member.
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/wavedev/wav_file.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/voice/voice_signals.h"

namespace e2e {
namespace {

constexpr std::uint32_t kMusic = 1002;  // anchor mode; Carol is its anchor

class VoiceE2E : public RoomFixture {
protected:
    // A client whose microphone plays `toneHz` (0: silence) and whose
    // speakers write into its own folder.
    std::unique_ptr<CTestClient> Join(const testsupport::DemoLogin& who, double toneHz) {
        CVoiceSet::Options o;
        const std::string dir = data.path() + "/" + who.name + "-audio";
        std::filesystem::create_directories(dir);
        if (toneHz > 0) {
            o.devices.inputWav = dir + "/mic.wav";
            std::string error;
            EXPECT_TRUE(wavedev::WriteWav(o.devices.inputWav, {voicetest::kRate, 1},
                                          voicetest::Tone(toneHz, -12, voicetest::kRate * 20),
                                          error))
                << error;
        }
        o.devices.outputDir = dir;
        outDirs_[who.id] = dir;
        auto c = std::make_unique<CTestClient>(srv, who, CRoomStack::Mode::headless, &o);
        GivePowers(*c);
        return c;
    }
    static std::uint64_t Heard(CTestClient& c) {
        return c.stack().voice()->engine().counters().decode.aacPackets;
    }
    // What the client's 22050 Hz speaker played (read after the client is gone).
    std::vector<std::int16_t> Played(std::uint32_t id) {
        wavedev::WavFormat f;
        std::vector<std::int16_t> s;
        std::string error;
        const std::string path = outDirs_[id] + "/" + wavedev::OutputFileName(22050);
        if (!std::filesystem::exists(path)) return s;
        EXPECT_TRUE(wavedev::ReadWav(path, f, s, error)) << error;
        return s;
    }
    void EnterAndMix(CTestClient& c, std::uint32_t room) {
        c.Enter(room);
        ASSERT_TRUE(c.InRoom(room)) << Output(c);
        ASSERT_TRUE(WaitFor([&] { return srv.srv->rooms().MixIn(c.session().myUserId(), room); }));
    }
    // A tone's level over the strongest second of a recording, measured
    // frame by frame (1024 samples) so that a splice where the network
    // jittered — a shift of phase, heard as nothing — does not read as a
    // quieter voice.
    static double LevelOf(const std::vector<std::int16_t>& s, double hz) {
        constexpr std::size_t kFrame = 1024, kSecond = 21;
        std::vector<double> power;
        for (std::size_t at = 0; at + kFrame <= s.size(); at += kFrame)
            power.push_back(std::pow(10.0, voicetest::ToneDbfs(s.data() + at, kFrame, hz) / 10));
        double best = -200;
        for (std::size_t i = 0; i + kSecond <= power.size(); ++i) {
            double sum = 0;
            for (std::size_t j = i; j < i + kSecond; ++j) sum += power[j];
            best = std::max(best, 10 * std::log10(sum / kSecond));
        }
        return best;
    }

    std::map<std::uint32_t, std::string> outDirs_;
};

TEST_F(VoiceE2E, TheAnchorIsHeardByHerRoomOnlyAndNotByHerself) {
    auto carol = Join(kCarol, 440);
    auto bob = Join(kBob, 0);
    auto dave = Join(kDave, 0);
    auto erin = Join(kErin, 0);
    ASSERT_NO_FATAL_FAILURE(EnterAndMix(*carol, kMusic));
    ASSERT_NO_FATAL_FAILURE(EnterAndMix(*bob, kMusic));
    ASSERT_NO_FATAL_FAILURE(EnterAndMix(*dave, kMusic));
    ASSERT_NO_FATAL_FAILURE(EnterAndMix(*erin, kHall));

    Type(*carol, "/anchor");
    ASSERT_TRUE(WaitFor([&] { return carol->stack().mic()->micOpen(); })) << Output(*carol);
    // Two seconds of voice (about 43 frames) at each listener.
    ASSERT_TRUE(WaitFor([&] { return Heard(*bob) >= 43 && Heard(*dave) >= 43; }, 20000))
        << Heard(*bob) << " " << Heard(*dave) << "\n" << Output(*carol);
    Type(*carol, "/unanchor");
    ASSERT_TRUE(WaitFor([&] { return !carol->stack().mic()->micOpen(); }));
    WaitFor([] { return false; }, 500);
    const std::uint64_t after = Heard(*dave);
    WaitFor([] { return false; }, 1000);
    EXPECT_EQ(Heard(*dave), after) << "voice after the microphone closed";
    EXPECT_EQ(Heard(*carol), 0u) << "the speaker's own voice came back";
    EXPECT_EQ(Heard(*erin), 0u) << "another room's voice arrived";
    EXPECT_EQ(carol->stack().voice()->sender().skipped(), 0u);
    EXPECT_EQ(srv.srv->rooms().VoiceCounters().badFrames, 0u);

    carol.reset();
    bob.reset();
    dave.reset();
    erin.reset();
    for (std::uint32_t id : {kBob.id, kDave.id}) {
        const auto s = Played(id);
        ASSERT_GE(s.size(), 22050u * 2) << id;
        EXPECT_NEAR(LevelOf(s, 440), -12, 2.0) << id << ": the tone at its level";
        EXPECT_LT(LevelOf(s, 660), -40) << id;
    }
    EXPECT_LT(LevelOf(Played(kErin.id), 440), -60) << "room 1001 heard the tone";
}

TEST_F(VoiceE2E, TwoFreeTurnsAreBothHeardAtOnce) {
    auto dave = Join(kDave, 440);
    auto erin = Join(kErin, 660);
    auto bob = Join(kBob, 0);
    ASSERT_NO_FATAL_FAILURE(EnterAndMix(*dave, kHall));
    ASSERT_NO_FATAL_FAILURE(EnterAndMix(*erin, kHall));
    ASSERT_NO_FATAL_FAILURE(EnterAndMix(*bob, kHall));
    Type(*dave, "/speak");
    Type(*erin, "/speak");
    ASSERT_TRUE(WaitFor([&] {
        return dave->stack().mic()->Speaking(kDave.id) && erin->stack().mic()->Speaking(kErin.id);
    })) << Output(*dave) << Output(*erin);
    ASSERT_TRUE(WaitFor([&] { return Heard(*bob) >= 80; }, 20000)) << Heard(*bob);
    Type(*dave, "/speak");
    Type(*erin, "/speak");
    const auto pc = bob->stack().voice()->playback().counters();
    const std::string counts = "late " + std::to_string(pc.jitter.late) + " stale " +
                               std::to_string(pc.jitter.stale) + " overflow " +
                               std::to_string(pc.jitter.overflow) + " dropped " +
                               std::to_string(pc.samplesDropped) + " played " +
                               std::to_string(pc.samplesPlayed) + " sent " +
                               std::to_string(dave->stack().voice()->sender().sent()) + "/" +
                               std::to_string(erin->stack().voice()->sender().sent());
    dave.reset();
    erin.reset();
    bob.reset();
    const auto s = Played(kBob.id);
    EXPECT_NEAR(LevelOf(s, 440), -12, 2.0) << counts;
    EXPECT_NEAR(LevelOf(s, 660), -12, 2.0) << counts;
}

}  // namespace
}  // namespace e2e
