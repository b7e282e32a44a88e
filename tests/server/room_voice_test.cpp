// The voice relay of zeri-server over real TCP: who is heard, by whom, in
// what shape; what is dropped and counted; how many speak at once; when a
// free turn ends.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "mic_fixture.h"
#include "net/adts.h"

using namespace srvtest::mic;
using srvtest::RawClient;

namespace {

constexpr std::uint32_t kMusicRoom = 1002;

// `frames` ADTS frames of `payload` bytes each (headers added), AAC-LC
// 22050 Hz mono unless told otherwise.
std::string Adts(int frames, std::size_t payload, int samplingIndex = 7, int channels = 1,
                 int profile = 1) {
    std::string out;
    for (int i = 0; i < frames; ++i) {
        unsigned char h[adts::kHeaderBytes];
        adts::WriteHeader(h, profile, samplingIndex, channels, payload + 7);
        out.append(reinterpret_cast<const char*>(h), 7);
        for (std::size_t k = 0; k < payload; ++k) out.push_back(static_cast<char>(k * 7 + i));
    }
    return out;
}

msg::Mix_Audio_Data Frame(const std::string& bytes, std::uint32_t stamp) {
    msg::Mix_Audio_Data d;
    d.audio = wire::bytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    d.stamp_diff = stamp;
    return d;
}

// A relayed voice packet as a listener got it (the decoded bytes would
// point into a frame already gone).
struct Voice {
    std::uint32_t speaker1 = 0, speaker2 = 0, stamp = 0;
    std::string audio;
};

// A member of a room with both connections.
struct Member {
    std::unique_ptr<RawClient> chat, media;
};

class VoiceRelay : public ::testing::Test {
protected:
    void SetUp() override {
        // Voice at a speaker's real pace never meets the media limit; the
        // stalled-listener test sends faster than anyone speaks.
        RoomLimits limits;
        limits.mediaPerSecond = limits.mediaBurst = 1e6;
        server.Start({}, limits);
    }
    Member Join(std::uint32_t user, std::uint32_t room = kLobby) {
        std::string key;
        Member m;
        m.chat = server.In(user, &key, room);
        m.media = server.Media(user, key, room);
        return m;
    }
    // What `c` hears of the voice relay within the wait.
    static std::vector<Voice> Heard(RawClient& c, std::chrono::milliseconds wait = 300ms) {
        std::vector<Voice> out;
        while (auto f = c.Next(wait)) {
            if (f->command != cmd::Mix_Aac_Notify) continue;
            EXPECT_EQ(f->channel, kMix);
            const auto n = srvtest::Decode<msg::Mix_Aac_Notify>(f->payload);
            out.push_back({n.speaker1, n.speaker2, n.stamp,
                           std::string(reinterpret_cast<const char*>(n.audio.data()),
                                       n.audio.size())});
        }
        return out;
    }
    bool FreeTurn(Member& m, std::uint32_t user, std::uint32_t room = kLobby,
                  std::uint32_t* code = nullptr) {
        auto r = MixOpen(user, 0);
        r.room_id = room;
        auto resp = Order<msg::Mix_Open_Mic_Resp>(*m.media, r, kMix);
        if (code) *code = resp ? resp->code : 0;
        return resp && resp->ok();
    }
    MicServer server;
};

}  // namespace

TEST_F(VoiceRelay, TheAnchorIsHeardOnceByEveryOtherMemberNeverByHimselfOrAnotherRoom) {
    Member carol = Join(kCarol), bob = Join(kBob), dave = Join(kDave);
    Member erin = Join(kErin, kMusicRoom);
    auto open = Order<msg::Control_Open_Mic_Resp>(*carol.chat, OpenMic(kCarol));
    ASSERT_TRUE(open && open->ok() && open->user_id == 0);
    const std::string voice = Adts(2, 150);
    carol.media->Send(kMix, Frame(voice, 4321));

    for (Member* listener : {&bob, &dave}) {
        const auto heard = Heard(*listener->media);
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].speaker1, kCarol);
        EXPECT_EQ(heard[0].speaker2, 0u);
        EXPECT_EQ(heard[0].stamp, 4321u);
        EXPECT_EQ(heard[0].audio, voice);
    }
    EXPECT_TRUE(Heard(*carol.media).empty());
    EXPECT_TRUE(Heard(*erin.media, 100ms).empty());
    EXPECT_EQ(server.rooms().VoiceCounters().relayed, 2u);

    // Once the microphone is closed, nothing more is passed on.
    msg::Control_Close_Mic_Req close;
    close.user_id = kCarol, close.room_id = kLobby;
    auto closed = Order<msg::Control_Close_Mic_Resp>(*carol.chat, close);
    ASSERT_TRUE(closed && closed->ok());
    carol.media->Send(kMix, Frame(voice, 4400));
    EXPECT_TRUE(Heard(*bob.media).empty());
}

TEST_F(VoiceRelay, NoMicrophoneNoVoiceAndMalformedFramesAreCountedNotRelayed) {
    Member dave = Join(kDave), bob = Join(kBob), carol = Join(kCarol);
    for (int i = 0; i < 100; ++i) dave.media->Send(kMix, Frame(Adts(1, 100), i));
    EXPECT_TRUE(Heard(*bob.media).empty());

    ASSERT_TRUE(Order<msg::Control_Open_Mic_Resp>(*carol.chat, OpenMic(kCarol)));
    const std::string good = Adts(1, 100);
    std::string cut = good.substr(0, good.size() - 1);
    std::string noSync = good;
    noSync[0] = 0x00;
    const std::string bad[] = {
        "",                             // nothing
        cut,                            // a frame cut short
        good + "x",                     // bytes after the last frame
        noSync,                         // no sync word
        Adts(1, 100, 4),                // 44100 Hz
        Adts(1, 100, 7, 2),             // stereo
        Adts(1, 100, 7, 1, 0),          // AAC Main
        Adts(5, 100),                   // five frames
        Adts(1, 2100),                  // over a block's worth
    };
    for (const std::string& b : bad) carol.media->Send(kMix, Frame(b, 1));
    EXPECT_TRUE(Heard(*bob.media).empty());
    const auto counts = server.rooms().VoiceCounters();
    EXPECT_EQ(counts.noSlot, 100u);
    EXPECT_EQ(counts.badFrames, std::size(bad));
    EXPECT_EQ(counts.relayed, 0u);
    // The connection is kept: a good frame still goes through.
    carol.media->Send(kMix, Frame(Adts(4, 300), 2));
    EXPECT_EQ(Heard(*bob.media).size(), 1u);
}

TEST_F(VoiceRelay, TwoSpeakAtOnceEachNamingTheOtherAndAThirdIsRefused) {
    // The lobby is in free-mic mode: every role may take a free turn.
    Member alice = Join(kAlice), bob = Join(kBob), dave = Join(kDave), erin = Join(kErin);
    ASSERT_TRUE(FreeTurn(alice, kAlice));
    ASSERT_TRUE(FreeTurn(bob, kBob));
    std::uint32_t code = 0;
    EXPECT_FALSE(FreeTurn(dave, kDave, kLobby, &code));
    EXPECT_EQ(code, room_error::voices_full);
    // Nor may a third take the anchor microphone meanwhile.
    auto open = Order<msg::Control_Open_Mic_Resp>(*dave.chat, OpenMic(kDave));
    ASSERT_TRUE(open);
    EXPECT_EQ(open->code, room_error::voices_full);
    // Nor be given it by a manager.
    auto given = Order<msg::Control_Set_User_Mic_Resp>(
        *bob.chat, Of<msg::Control_Set_User_Mic_Req>(kBob, kDave));
    ASSERT_TRUE(given);
    EXPECT_EQ(given->code, room_error::voices_full);
    EXPECT_EQ(server.rooms().AnchorOf(kLobby), 0u);

    alice.media->Send(kMix, Frame(Adts(1, 80), 10));
    const auto heard = Heard(*erin.media);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].speaker1, kAlice);
    EXPECT_EQ(heard[0].speaker2, kBob);  // or erin's speaker marks would flicker
    EXPECT_EQ(Heard(*bob.media).size(), 1u);
}

TEST_F(VoiceRelay, AFreeTurnEndsAfterThreeSilentSecondsAndWithItsSpeaker) {
    Member alice = Join(kAlice), bob = Join(kBob), dave = Join(kDave);
    ASSERT_TRUE(FreeTurn(alice, kAlice));
    ASSERT_TRUE(FreeTurn(bob, kBob));
    // Alice keeps talking; bob falls silent.
    server.clock.AdvanceMs(2000);
    alice.media->Send(kMix, Frame(Adts(1, 80), 1));
    EXPECT_EQ(Heard(*dave.media).size(), 1u);
    server.clock.AdvanceMs(1500);
    server.rooms().OnTick(server.clock.Now());
    EXPECT_EQ(server.rooms().FreeTurnsOf(kLobby), std::vector<std::uint32_t>{kAlice});
    bob.media->Send(kMix, Frame(Adts(1, 80), 2));
    EXPECT_TRUE(Heard(*dave.media).empty());
    // The place is free again for a third speaker.
    EXPECT_TRUE(FreeTurn(dave, kDave));

    // Leaving ends a turn at once.
    alice.chat->Close();
    alice.media->Close();
    for (int i = 0; i < 50 && server.rooms().FreeTurnsOf(kLobby).size() != 1; ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(server.rooms().FreeTurnsOf(kLobby), std::vector<std::uint32_t>{kDave});
}

TEST_F(VoiceRelay, AListenerThatStopsReadingLosesVoiceWhileOthersKeepIt) {
    Member carol = Join(kCarol), bob = Join(kBob), dave = Join(kDave);
    ASSERT_TRUE(Order<msg::Control_Open_Mic_Resp>(*carol.chat, OpenMic(kCarol)));
    // Dave listens throughout; bob reads nothing while carol talks.
    std::atomic<bool> talking{true};
    std::atomic<int> daveHeard{0};
    std::thread listener([&] {
        while (talking || dave.media->Next(300ms))
            while (auto f = dave.media->Next(50ms))
                if (f->command == cmd::Mix_Aac_Notify) ++daveHeard;
    });
    constexpr int kFrames = 3000;
    const std::string voice = Adts(1, 2000);
    // In steps a reading listener keeps up with, whatever the machine's
    // load: ten frames (20 KB) at most are on their way to dave.
    for (int i = 0; i < kFrames; ++i) {
        carol.media->Send(kMix, Frame(voice, i));
        if (i % 10 != 9) continue;
        for (int wait = 0; wait < 500 && daveHeard < i + 1; ++wait)
            std::this_thread::sleep_for(2ms);
    }
    for (int i = 0; i < 200 && server.rooms().VoiceCounters().relayed +
                                       server.rooms().VoiceCounters().backlog < 2 * kFrames;
         ++i)
        std::this_thread::sleep_for(50ms);
    talking = false;
    listener.join();

    EXPECT_EQ(daveHeard.load(), kFrames);
    const auto counts = server.rooms().VoiceCounters();
    EXPECT_GT(counts.backlog, 0u);
    EXPECT_EQ(counts.relayed + counts.backlog, 2u * kFrames);
    // Bob gets what was already on its way, not the rest...
    const auto late = Heard(*bob.media, 500ms);
    EXPECT_LT(late.size(), static_cast<std::size_t>(kFrames));
    EXPECT_EQ(late.size() + counts.backlog, static_cast<std::size_t>(kFrames));
    // ...and, drained, hears voice again.
    carol.media->Send(kMix, Frame(voice, kFrames));
    EXPECT_EQ(Heard(*bob.media).size(), 1u);
}
