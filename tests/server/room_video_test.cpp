// The video relay of zeri-server over real TCP: the anchor's frames reach
// every other viewer once and unchanged; nothing else is relayed; a viewer
// who logs in later starts at the room's last keyframe; a new anchor starts
// afresh; a viewer that stops reading is kept, on keyframes only.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "mic_fixture.h"
#include "video/frame_fragments.h"

using namespace srvtest::mic;
using srvtest::RawClient;

namespace {

constexpr std::uint8_t kVideo = 2;
constexpr std::uint32_t kMusicRoom = 1002;

std::string Pattern(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7) & 0xFF);
    return s;
}

// One packet the anchor sends.
struct Sent {
    std::uint32_t word = 0, stamp = 0;
    std::string bytes;
};

Sent Whole(std::uint32_t stamp, bool key, std::size_t size = 1000) {
    MediaFrame f;
    f.f0 = media_frame::kCodecH264;
    f.f1 = key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
    f.f3 = key ? 1 : 0;
    return {PackFrameWord(f), stamp, Pattern(size, stamp)};
}

// A frame as the anchor sends it: cut into pieces when large.
std::vector<Sent> Frame(std::uint32_t stamp, bool key, std::size_t size) {
    const std::string bytes = Pattern(size, stamp);
    MediaFrame f;
    f.f0 = media_frame::kCodecH264;
    f.f1 = key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
    f.f3 = key ? 1 : 0;
    f.stamp = stamp;
    std::vector<Sent> out;
    for (const FramePiece& p :
         SplitFrame(f, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()))
        out.push_back({PackFrameWord(p.frame), stamp,
                       std::string(reinterpret_cast<const char*>(p.data), p.length)});
    return out;
}

Sent Raw(std::uint32_t word, std::size_t size, std::uint32_t stamp = 1) {
    return {word, stamp, Pattern(size, stamp)};
}

void Send(RawClient& c, const Sent& p) {
    msg::Video_Data d;
    d.stamp_diff = p.stamp;
    d.header_word = p.word;
    d.frame = wire::bytes(reinterpret_cast<const unsigned char*>(p.bytes.data()), p.bytes.size());
    c.Send(kVideo, d);
}
void Send(RawClient& c, const std::vector<Sent>& pieces) {
    for (const Sent& p : pieces) Send(c, p);
}

// A relayed piece as a viewer got it.
struct Got {
    std::uint32_t sender = 0, word = 0, stamp = 0;
    std::string bytes;
    std::string payload;  // the whole body, to compare what each viewer got
    bool operator==(const Sent& s) const {
        return word == s.word && stamp == s.stamp && bytes == s.bytes;
    }
};

std::optional<Got> AsVideo(const srvtest::Frame& f) {
    if (f.command != cmd::Video_Data_Notify) return std::nullopt;
    EXPECT_EQ(f.channel, kVideo);
    const auto n = srvtest::Decode<msg::Video_Data_Notify>(f.payload);
    return Got{n.value1, n.header_word, n.value4,
               std::string(reinterpret_cast<const char*>(n.frame.data()), n.frame.size()),
               f.payload};
}

// Everything `c` is sent within the wait, video or not.
std::vector<srvtest::Frame> All(RawClient& c, std::chrono::milliseconds wait = 300ms) {
    std::vector<srvtest::Frame> out;
    while (auto f = c.Next(wait)) out.push_back(std::move(*f));
    return out;
}

std::vector<Got> Seen(RawClient& c, std::chrono::milliseconds wait = 300ms) {
    std::vector<Got> out;
    for (const auto& f : All(c, wait))
        if (auto g = AsVideo(f)) out.push_back(std::move(*g));
    return out;
}

struct Member {
    std::unique_ptr<RawClient> chat, av;
    std::string key;
};

class VideoRelay : public ::testing::Test {
protected:
    void SetUp() override {
        // The stalled-viewer test sends far faster than any camera.
        RoomLimits limits;
        limits.mediaPerSecond = limits.mediaBurst = 1e6;
        server.Start({}, limits);
    }
    // A member of `room`, with its audio/video connection logged in to
    // video unless told otherwise.
    Member Join(std::uint32_t user, std::uint32_t room = kLobby, bool video = true) {
        Member m;
        m.chat = server.In(user, &m.key, room);
        m.av = std::make_unique<RawClient>(server.srv->port(), "pc_av");
        if (video) {
            EXPECT_TRUE(VideoLogin(m, user, room));
        }
        return m;
    }
    static bool VideoLogin(Member& m, std::uint32_t user, std::uint32_t room = kLobby) {
        msg::Video_Login_Req r;
        r.user_id = user, r.room_id = room, r.media_key = m.key;
        auto resp = m.av->Ask<msg::Video_Login_Resp>(kVideo, r);
        return resp && resp->ok() && resp->room_id == room;
    }
    static bool Anchor(Member& m, std::uint32_t user) {
        auto open = Order<msg::Control_Open_Mic_Resp>(*m.chat, OpenMic(user));
        return open && open->ok() && open->user_id == 0;
    }
    static bool LeaveMic(Member& m, std::uint32_t user) {
        msg::Control_Close_Mic_Req close;
        close.user_id = user, close.room_id = kLobby;
        auto closed = Order<msg::Control_Close_Mic_Resp>(*m.chat, close);
        return closed && closed->ok();
    }
    // Pieces the relay has passed on, held back or dropped so far.
    std::uint64_t Handled() {
        const auto c = server.rooms().VideoCounters();
        return c.relayed + c.held + c.notAnchor + c.badFrames;
    }
    // Until `n` more than `before` are.
    void Settle(std::uint64_t before, std::uint64_t n) {
        for (int i = 0; i < 250 && Handled() < before + n; ++i) std::this_thread::sleep_for(20ms);
    }
    MicServer server;
};

void ExpectSame(const std::vector<Got>& got, const std::vector<Sent>& sent, std::uint32_t sender) {
    ASSERT_EQ(got.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_TRUE(got[i] == sent[i]) << "piece " << i;
        EXPECT_EQ(got[i].sender, sender) << "piece " << i;
    }
}

}  // namespace

TEST_F(VideoRelay, TheAnchorsFramesReachEveryOtherViewerOnceUnchangedAndNobodyElse) {
    Member carol = Join(kCarol), bob = Join(kBob), dave = Join(kDave);
    Member alice = Join(kAlice, kLobby, /*video=*/false);  // in the room, no video login
    Member erin = Join(kErin, kMusicRoom);
    ASSERT_TRUE(Anchor(carol, kCarol));

    std::vector<Sent> sent = Frame(1000, true, 130000);  // three pieces
    ASSERT_EQ(sent.size(), 3u);
    sent.push_back(Whole(1040, false));
    sent.push_back(Whole(1080, false, 1));
    for (const Sent& p : sent) Send(*carol.av, p);

    const auto bobGot = Seen(*bob.av), daveGot = Seen(*dave.av);
    ExpectSame(bobGot, sent, kCarol);
    ExpectSame(daveGot, sent, kCarol);
    // One encoding for all: the very same bodies.
    for (std::size_t i = 0; i < bobGot.size() && i < daveGot.size(); ++i)
        EXPECT_EQ(bobGot[i].payload, daveGot[i].payload);
    EXPECT_TRUE(All(*carol.av, 100ms).empty());  // no echo, no answer
    EXPECT_TRUE(All(*alice.av, 100ms).empty());
    EXPECT_TRUE(All(*erin.av, 100ms).empty());
    // Video never goes to the chat connections.
    for (Member* m : {&bob, &dave, &alice})
        for (const auto& f : All(*m->chat, 100ms)) EXPECT_NE(f.command, cmd::Video_Data_Notify);
    EXPECT_EQ(server.rooms().VideoCounters().relayed, 2 * sent.size());

    // A viewer that logs out of video hears no more.
    msg::Video_Logout_Req out;
    out.room_id = kLobby, out.user_id = kBob;
    ASSERT_TRUE(bob.av->Ask<msg::Video_Logout_Resp>(kVideo, out));
    Send(*carol.av, Whole(1120, false));
    EXPECT_TRUE(Seen(*bob.av).empty());
    EXPECT_EQ(Seen(*dave.av).size(), 1u);
}

TEST_F(VideoRelay, OnlyTheAnchorsWellFormedFramesAreRelayedTheRestDroppedUnanswered) {
    Member carol = Join(kCarol), bob = Join(kBob), dave = Join(kDave);
    Member alice = Join(kAlice, kLobby, /*video=*/false);
    // Nobody holds the microphone: a viewer's frames go nowhere.
    Send(*dave.av, Whole(1, true));
    ASSERT_TRUE(Anchor(carol, kCarol));
    // A member that is not the anchor, and a connection without a video
    // login (even the anchor's own chat user on it), are not relayed.
    Send(*dave.av, Whole(2, true));
    Send(*alice.av, Whole(3, true));
    Member carolAgain{nullptr, std::make_unique<RawClient>(server.srv->port(), "pc_av"), ""};
    Send(*carolAgain.av, Whole(4, true));

    const std::uint32_t h264Key = Whole(0, true).word;
    const Sent hostile[] = {
        Raw(h264Key, 0),                 // no bytes
        Raw(0x22000000u, 100),           // not H.264
        Raw(0x01000000u, 100),           // no codec at all
        Raw(0x11000100u, 100),           // a whole frame with index 1
        Raw(0x11020200u, 100),           // index 2 of 2 pieces
        Raw(0x11110000u, 100),           // 17 pieces
        Raw(0x11FFFE00u, 100),           // 255 pieces
    };
    for (const Sent& h : hostile) Send(*carol.av, h);
    Settle(0, 4 + std::size(hostile));
    EXPECT_TRUE(Seen(*bob.av).empty());
    EXPECT_TRUE(All(*carol.av, 100ms).empty());  // dropped, never answered
    EXPECT_TRUE(All(*dave.av, 100ms).empty());
    auto c = server.rooms().VideoCounters();
    EXPECT_EQ(c.notAnchor, 4u);
    EXPECT_EQ(c.badFrames, std::size(hostile));
    EXPECT_EQ(c.relayed, 0u);

    // The anchor's connection is kept: a good frame still goes through.
    Send(*carol.av, Whole(5, true));
    EXPECT_EQ(Seen(*bob.av).size(), 1u);
    // Once the microphone is closed, nothing more is.
    ASSERT_TRUE(LeaveMic(carol, kCarol));
    Send(*carol.av, Whole(6, true));
    EXPECT_TRUE(Seen(*bob.av).empty());
    EXPECT_EQ(server.rooms().VideoCounters().notAnchor, 5u);
}

TEST_F(VideoRelay, ALateViewerStartsAtTheLastKeyframeRightAfterItsLogin) {
    Member carol = Join(kCarol), bob = Join(kBob);
    ASSERT_TRUE(Anchor(carol, kCarol));
    Send(*carol.av, Whole(10, false));  // before any keyframe: never kept, nor sent
    Send(*carol.av, Frame(20, true, 70000));    // an older keyframe
    Send(*carol.av, Whole(30, false));
    std::vector<Sent> since = Frame(40, true, 150000);  // the latest, three pieces
    since.push_back(Whole(50, false));
    since.push_back(Whole(60, false, 7));
    Send(*carol.av, since);
    EXPECT_EQ(Seen(*bob.av).size(), 8u);
    EXPECT_GT(server.rooms().VideoCacheBytes(kLobby), 150000u);

    Member dave = Join(kDave, kLobby, /*video=*/false);
    msg::Video_Login_Req r;
    r.user_id = kDave, r.room_id = kLobby, r.media_key = dave.key;
    dave.av->Send(kVideo, r);
    const auto got = All(*dave.av);
    ASSERT_EQ(got.size(), 1 + since.size());
    EXPECT_EQ(got[0].command, cmd::Video_Login_Resp);  // the answer first, then the catch-up
    std::vector<Got> video;
    for (std::size_t i = 1; i < got.size(); ++i) video.push_back(*AsVideo(got[i]));
    ExpectSame(video, since, kCarol);
    EXPECT_EQ(server.rooms().VideoCounters().caughtUp, since.size());

    // Then live, like everyone.
    Send(*carol.av, Whole(70, false));
    EXPECT_EQ(Seen(*dave.av).size(), 1u);
    EXPECT_EQ(Seen(*bob.av).size(), 1u);

    // The same login again on that connection is answered, but what dave
    // already has is not replayed (his pictures would run backwards).
    dave.av->Send(kVideo, r);
    const auto again = All(*dave.av);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].command, cmd::Video_Login_Resp);
    Send(*carol.av, Whole(80, false));
    EXPECT_EQ(Seen(*dave.av).size(), 1u);
}

TEST_F(VideoRelay, ANewAnchorStartsAfreshAndViewersWaitForItsKeyframe) {
    Member carol = Join(kCarol), bob = Join(kBob), dave = Join(kDave);
    ASSERT_TRUE(Anchor(carol, kCarol));
    Send(*carol.av, Whole(100, true, 5000));
    Send(*carol.av, Whole(140, false));
    EXPECT_EQ(Seen(*dave.av).size(), 2u);
    ASSERT_TRUE(LeaveMic(carol, kCarol));
    EXPECT_EQ(server.rooms().VideoCacheBytes(kLobby), 0u);
    // A viewer logging in now is shown nothing of carol's.
    Member alice = Join(kAlice);
    EXPECT_TRUE(Seen(*alice.av).empty());

    // Bob's first frames are deltas: nobody could draw them.
    ASSERT_TRUE(Anchor(bob, kBob));
    const std::uint64_t before = Handled();
    Send(*bob.av, Whole(7, false));
    Send(*bob.av, Frame(8, false, 90000));
    Settle(before, 3 * 3);  // three pieces, three viewers
    EXPECT_TRUE(Seen(*dave.av).empty());
    EXPECT_TRUE(Seen(*alice.av).empty());
    std::vector<Sent> fresh = Frame(9, true, 61000);
    fresh.push_back(Whole(10, false));
    Send(*bob.av, fresh);
    ExpectSame(Seen(*dave.av), fresh, kBob);
    ExpectSame(Seen(*alice.av), fresh, kBob);
    ExpectSame(Seen(*carol.av), fresh, kBob);  // carol, now a viewer, too
}

TEST_F(VideoRelay, TheAnchorsVideoLoginEndingClearsTheCache) {
    Member carol = Join(kCarol), bob = Join(kBob);
    ASSERT_TRUE(Anchor(carol, kCarol));
    Send(*carol.av, Whole(100, true, 5000));
    EXPECT_EQ(Seen(*bob.av).size(), 1u);
    EXPECT_GT(server.rooms().VideoCacheBytes(kLobby), 5000u);
    // Its camera's connection closes; it comes back, still the anchor.
    carol.av->Close();
    for (int i = 0; i < 100 && server.rooms().VideoIn(kCarol, kLobby); ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(server.rooms().VideoCacheBytes(kLobby), 0u);
    carol.av = std::make_unique<RawClient>(server.srv->port(), "pc_av");
    ASSERT_TRUE(VideoLogin(carol, kCarol));
    Send(*carol.av, Whole(200, false));  // nothing before it here
    Send(*carol.av, Whole(240, true));
    const auto got = Seen(*bob.av);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].stamp, 240u);
}

TEST_F(VideoRelay, AViewerThatStopsReadingIsKeptOnKeyframesUntilItCatchesUp) {
    Member carol = Join(kCarol), bob = Join(kBob), dave = Join(kDave);
    ASSERT_TRUE(Anchor(carol, kCarol));
    // Dave watches throughout; bob reads nothing while carol broadcasts.
    std::atomic<bool> broadcasting{true};
    std::atomic<std::uint64_t> daveGot{0};
    std::thread viewer([&] {
        while (broadcasting || dave.av->Next(300ms))
            while (auto f = dave.av->Next(50ms))
                if (f->command == cmd::Video_Data_Notify) ++daveGot;
    });
    // Frame k has stamp k: a keyframe of two pieces every tenth, deltas of
    // one piece between. Until bob has been held back a good while (and
    // at most a bounded amount of traffic).
    constexpr std::uint32_t kMaxFrames = 1500;
    std::map<std::uint32_t, std::size_t> piecesOf;
    std::uint64_t sentPieces = 0;
    std::uint32_t frames = 0;
    while (frames < kMaxFrames && server.rooms().VideoCounters().held < 200) {
        const std::uint32_t k = frames++;
        const auto pieces = Frame(k, k % 10 == 0, k % 10 == 0 ? 120000 : 60000);
        piecesOf[k] = pieces.size();
        Send(*carol.av, pieces);
        sentPieces += pieces.size();
        // Dave reads as fast as it comes; one frame at most on its way.
        for (int wait = 0; wait < 1000 && daveGot < sentPieces; ++wait)
            std::this_thread::sleep_for(1ms);
    }
    Settle(0, 2 * sentPieces);
    broadcasting = false;
    viewer.join();
    EXPECT_EQ(daveGot.load(), sentPieces);  // the reading viewer lost nothing
    const auto counts = server.rooms().VideoCounters();
    EXPECT_GE(counts.held, 200u) << "bob never fell behind in " << frames << " frames";
    EXPECT_EQ(counts.relayed + counts.held, 2 * sentPieces);

    // Bob reads again: still connected, and what came is whole keyframes
    // and only deltas whose frames before them came too.
    std::map<std::uint32_t, std::size_t> got;
    for (const Got& g : Seen(*bob.av, 1000ms)) {
        EXPECT_EQ(g.sender, kCarol);
        ++got[g.stamp];
    }
    EXPECT_FALSE(bob.av->closed());
    std::uint32_t firstMissing = frames, keyframesAfter = 0;
    for (std::uint32_t k = 0; k < frames; ++k) {
        const auto it = got.find(k);
        if (it == got.end()) {
            firstMissing = std::min(firstMissing, k);
            continue;
        }
        EXPECT_EQ(it->second, piecesOf[k]) << "frame " << k << " came in part";
        if (k % 10 != 0) {
            EXPECT_TRUE(got.count(k - 1)) << "delta " << k << " without the frame before it";
        } else if (k > firstMissing) {
            ++keyframesAfter;
        }
    }
    EXPECT_LT(firstMissing, frames);
    EXPECT_GT(keyframesAfter, 0u) << "no keyframe while behind";
    EXPECT_LT(got.size(), static_cast<std::size_t>(frames));

    // Caught up, bob resumes at the next keyframe, not before it.
    const std::uint32_t base = 100000;
    std::vector<Sent> after = {Whole(base, false)};
    const auto key = Frame(base + 1, true, 70000);
    after.insert(after.end(), key.begin(), key.end());
    after.push_back(Whole(base + 2, false));
    Send(*carol.av, after);
    const auto resumed = Seen(*bob.av);
    ExpectSame(resumed, std::vector<Sent>(after.begin() + 1, after.end()), kCarol);
}
