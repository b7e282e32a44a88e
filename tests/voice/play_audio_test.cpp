// The voice-message player as the room sees it: a clip is fetched once
// however often it is clicked, plays to its last frame through the
// narrowband output with room audio muted meanwhile, a click on another
// clip cuts the first off cleanly, and every failure (a missing file,
// foreign bytes, an unreadable file) ends in one "done" message and leaves
// nothing behind that would fail the next click. Real AMR codecs, a real
// playback thread over memory devices, a real HTTP server on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "audio/playback/play_thread.h"
#include "audio/voice_message/play_audio.h"
#include "audio/voice_message/voice_writer.h"
#include "core/files.h"
#include "core/message.h"
#include "tests/support/file_server.h"
#include "tests/voice/memory_backend.h"
#include "tests/voice/voice_signals.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr HWND kWindow = 31;
constexpr int kNarrowRate = 8000;

struct Done {
    std::uint64_t id;
    std::intptr_t end;
    bool operator==(const Done&) const = default;
};

class DoneRouter : public IMessageRouter {
public:
    bool Post(HWND target, WindowMessage m, std::unique_ptr<CMessageData>) override {
        std::lock_guard<std::mutex> g(lock);
        if (target == kWindow && m.msg == UM_VOICE_PLAY_DONE) got.push_back({m.wParam, m.lParam});
        cv.notify_all();
        return true;
    }
    std::intptr_t Send(HWND, const WindowMessage&) override { return 0; }
    bool IsWindow(HWND) override { return true; }
    bool WaitCount(std::size_t n) {
        std::unique_lock<std::mutex> g(lock);
        return cv.wait_for(g, 30s, [&] { return got.size() >= n; });
    }
    std::vector<Done> Got() {
        std::lock_guard<std::mutex> g(lock);
        return got;
    }
    std::mutex lock;
    std::condition_variable cv;
    std::vector<Done> got;
};

// An AMR file of a tone, made by the real encoder.
std::string AmrTone(double hz, double seconds) {
    voice::CVoiceWriter writer;
    EXPECT_TRUE(writer.Start());
    const auto pcm = voicetest::Tone(hz, -12, std::size_t(seconds * kNarrowRate), kNarrowRate);
    writer.Push8k(pcm.data(), pcm.size());
    return writer.Finish();
}

template <class F>
bool WaitFor(F done) {
    for (auto until = std::chrono::steady_clock::now() + 30s; !done();) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class VoicePlayer : public testing::Test {
protected:
    void SetUp() override {
        SetMessageRouter(&router);
        ASSERT_TRUE(play.StartPlayback());
    }
    void TearDown() override {
        player.reset();
        play.StopPlayback();
        SetMessageRouter(nullptr);
        fs::remove_all(folder);
    }
    void MakePlayer(std::size_t maxFileBytes = 128 * 1024) {
        player = std::make_unique<CPlayAudio>(
            play, PlayAudioSetup{kWindow, folder, [this] { return host; }, maxFileBytes});
    }
    std::string PathOf(const std::string& name) const { return folder + name + ".amr"; }
    // A clip's file put there beforehand, as a recording of one's own is.
    bool Keep(const std::string& name, const std::string& bytes) {
        fs::create_directories(folder);
        return files::WriteFileAtomic(PathOf(name), bytes);
    }
    std::vector<std::int16_t> Played() { return devices->Played(kNarrowRate); }
    double Level(double hz) {
        const auto out = Played();
        return voicetest::ToneDbfs(out.data(), out.size(), hz, kNarrowRate);
    }

    std::string folder = (fs::temp_directory_path() /
                          ("zeri_voice_" + std::to_string(::getpid()) + "_" +
                           testing::UnitTest::GetInstance()->current_test_info()->name()))
                             .string() +
                         "/audio/";
    DoneRouter router;
    testsupport::FileServer server;
    std::string host = server.Host();
    std::shared_ptr<voicetest::CMemoryBackend> devices =
        std::make_shared<voicetest::CMemoryBackend>();
    CPlayThread play{devices};
    std::unique_ptr<CPlayAudio> player;
};

TEST_F(VoicePlayer, AClipIsFetchedOnceAndPlaysToItsLastFrameEachTime) {
    MakePlayer();
    const std::string amr = AmrTone(1000, 3.0);
    server.Serve("/tone", amr);
    ASSERT_TRUE(player->Add(5, "tone"));
    EXPECT_FALSE(player->Play(6));  // unknown

    ASSERT_TRUE(player->Play(5));
    ASSERT_TRUE(router.WaitCount(1));
    EXPECT_EQ(router.Got()[0], (Done{5, kVoiceFinished}));
    EXPECT_FALSE(player->Busy(5));
    // 150 frames of 160 samples: the last frame too.
    EXPECT_EQ(Played().size(), 24000u);
    EXPECT_GT(Level(1000), -20);
    std::string kept;
    ASSERT_TRUE(files::ReadFile(PathOf("tone"), kept));
    EXPECT_EQ(kept, amr);

    ASSERT_TRUE(player->Play(5));
    ASSERT_TRUE(router.WaitCount(2));
    EXPECT_EQ(router.Got()[1], (Done{5, kVoiceFinished}));
    EXPECT_EQ(Played().size(), 48000u);
    EXPECT_EQ(server.Gets("/tone"), 1);

    // The mute went with the message: room audio plays again.
    const auto room = voicetest::Tone(400, -12, 800, kNarrowRate);
    ASSERT_TRUE(play.Push(room.data(), room.size() * 2, CPlayThread::kNarrow));
    EXPECT_TRUE(WaitFor([&] { return Played().size() == 48800u; }));
}

TEST_F(VoicePlayer, ClicksWhileDownloadingFetchOnceAndALateFileForAnotherClickPlaysNothing) {
    MakePlayer();
    server.Serve("/slow", AmrTone(1000, 1.0));
    server.Hold("/slow");
    ASSERT_TRUE(player->Add(1, "slow"));
    ASSERT_TRUE(player->Play(1));
    ASSERT_TRUE(server.WaitGets("/slow", 1));
    ASSERT_TRUE(player->Play(1));
    EXPECT_TRUE(player->Busy(1));

    // Another clip is clicked; the first one's file arrives while it waits for its own.
    server.Serve("/next", AmrTone(400, 0.5));
    ASSERT_TRUE(player->Add(2, "next"));
    ASSERT_TRUE(player->Play(2));
    EXPECT_FALSE(player->Busy(1));
    EXPECT_TRUE(player->Busy(2));
    server.Release("/slow");
    ASSERT_TRUE(router.WaitCount(1));

    EXPECT_EQ(router.Got(), (std::vector<Done>{{2, kVoiceFinished}}));
    EXPECT_EQ(server.Gets("/slow"), 1);
    EXPECT_EQ(Played().size(), 4000u);
    EXPECT_LT(Level(1000), -40);
    EXPECT_TRUE(fs::exists(PathOf("slow")));  // kept for the next click
}

TEST_F(VoicePlayer, SwitchingMidPlayCutsTheFirstOffAndReleasesItsMute) {
    MakePlayer();
    devices->SetRoom(kNarrowRate, 0);  // the output takes nothing: the first clip stays mid-play
    ASSERT_TRUE(Keep("long", AmrTone(1000, 3.0)));
    ASSERT_TRUE(player->Add(1, "long"));
    ASSERT_TRUE(player->Play(1));
    ASSERT_TRUE(WaitFor([&] { return play.QueuedBytes(CPlayThread::kVoiceMessage) >= 16000; }));
    // Room audio is dropped while a message plays.
    const auto room = voicetest::Tone(400, -12, 800, kNarrowRate);
    ASSERT_TRUE(play.Push(room.data(), room.size() * 2, CPlayThread::kNarrow));
    EXPECT_TRUE(WaitFor([&] { return play.QueuedBytes(CPlayThread::kNarrow) == 0; }));

    ASSERT_TRUE(Keep("short", AmrTone(400, 1.0)));
    ASSERT_TRUE(player->Add(2, "short"));
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(player->Play(2));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    devices->SetRoom(kNarrowRate, 1 << 20);
    ASSERT_TRUE(router.WaitCount(1));
    EXPECT_EQ(router.Got(), (std::vector<Done>{{2, kVoiceFinished}}));
    EXPECT_EQ(Played().size(), 8000u);  // the second clip, none of the first after it
    EXPECT_LT(Level(1000), -40);

    // A clip stopped early by Clear leaves room audio unmuted too.
    devices->SetRoom(kNarrowRate, 0);
    ASSERT_TRUE(player->Play(2));
    ASSERT_TRUE(WaitFor([&] { return play.QueuedBytes(CPlayThread::kVoiceMessage) > 0; }));
    player->Clear();
    EXPECT_FALSE(player->Busy(2));
    EXPECT_FALSE(player->Play(2));  // forgotten
    ASSERT_TRUE(play.Push(room.data(), room.size() * 2, CPlayThread::kNarrow));
    devices->SetRoom(kNarrowRate, 1 << 20);
    EXPECT_TRUE(WaitFor([&] { return Played().size() == 8800u; }));
    EXPECT_EQ(router.Got().size(), 1u);  // a stopped clip posts nothing
}

TEST_F(VoicePlayer, FailedFetchesEndInOneDoneMessageAndTheNextClickFetchesAgain) {
    MakePlayer(4096);
    ASSERT_TRUE(player->Add(1, "gone"));  // the server has no such file
    ASSERT_TRUE(player->Play(1));
    ASSERT_TRUE(router.WaitCount(1));
    EXPECT_FALSE(player->Busy(1));

    const std::vector<std::string> foreign = {
        "\x89PNG\r\n\x1a\n" + std::string(100, '\0'),
        "#!AMR-WB\n" + std::string(200, '\x3c'),
        "#!AMR\n" + std::string(20, '\x48'),   // frame types 9: none whole
        "#!AMR\n\x3c" + std::string(10, 'x'),  // one 32-byte frame cut short
        AmrTone(1000, 3.0),                    // over the 4 KiB given to this player
    };
    ASSERT_TRUE(player->Add(2, "odd"));
    for (std::size_t i = 0; i < foreign.size(); ++i) {
        server.Serve("/odd", foreign[i]);
        ASSERT_TRUE(player->Play(2));
        ASSERT_TRUE(router.WaitCount(i + 2)) << i;
        EXPECT_FALSE(fs::exists(PathOf("odd"))) << i;
        EXPECT_EQ(server.Gets("/odd"), int(i + 1));
    }
    // Damaged but playable: invalid frame bytes are skipped, whole frames play.
    const std::string good = AmrTone(1000, 0.2);
    server.Serve("/odd", "#!AMR\n\x48\x50" + good.substr(6) + "\x3c\x01\x02");
    ASSERT_TRUE(player->Play(2));
    ASSERT_TRUE(router.WaitCount(foreign.size() + 2));

    std::vector<Done> expected(foreign.size() + 2, Done{2, kVoiceFailed});
    expected.front().id = 1;
    expected.back().end = kVoiceFinished;
    EXPECT_EQ(router.Got(), expected);
    EXPECT_EQ(Played().size(), 1600u);
    EXPECT_EQ(server.Gets("/gone"), 1);
}

TEST_F(VoicePlayer, AFileThatCannotBePlayedIsRemovedAndFetchedAgain) {
    MakePlayer();
    // In the way of the clip's file: a folder, then bytes that are no AMR.
    fs::create_directories(PathOf("bad"));
    server.Serve("/bad", AmrTone(1000, 0.2));
    ASSERT_TRUE(player->Add(1, "bad"));
    ASSERT_TRUE(player->Play(1));
    ASSERT_TRUE(router.WaitCount(1));
    EXPECT_FALSE(fs::exists(PathOf("bad")));
    ASSERT_TRUE(Keep("bad", "<html>not here</html>"));
    ASSERT_TRUE(player->Play(1));
    ASSERT_TRUE(router.WaitCount(2));
    EXPECT_FALSE(fs::exists(PathOf("bad")));
    EXPECT_EQ(server.Gets("/bad"), 0);

    ASSERT_TRUE(player->Play(1));
    ASSERT_TRUE(router.WaitCount(3));
    EXPECT_EQ(router.Got(),
              (std::vector<Done>{{1, kVoiceFailed}, {1, kVoiceFailed}, {1, kVoiceFinished}}));
    EXPECT_EQ(server.Gets("/bad"), 1);
}

TEST_F(VoicePlayer, NamesFromChatLinesStayInTheFolderAndAreEncodedInTheUrl) {
    MakePlayer();
    for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "tab\there"})
        EXPECT_FALSE(player->Add(1, bad)) << bad;
    EXPECT_FALSE(player->Add(1, std::string(300, 'a')));

    server.Serve("/a%20b%3Fc%23d", AmrTone(1000, 0.2));
    ASSERT_TRUE(player->Add(1, "a b?c#d"));
    ASSERT_TRUE(player->Play(1));
    ASSERT_TRUE(router.WaitCount(1));
    EXPECT_EQ(router.Got()[0], (Done{1, kVoiceFinished}));
    EXPECT_TRUE(fs::exists(PathOf("a b?c#d")));

    host.clear();  // no voice file host known
    ASSERT_TRUE(player->Add(2, "other"));
    ASSERT_TRUE(player->Play(2));
    ASSERT_TRUE(router.WaitCount(2));
    EXPECT_EQ(router.Got()[1], (Done{2, kVoiceFailed}));
}

TEST_F(VoicePlayer, ClosingNeverWaitsForADownloadTheServerHoldsOpen) {
    MakePlayer();
    server.Hold("/stuck");
    ASSERT_TRUE(player->Add(1, "stuck"));
    ASSERT_TRUE(player->Play(1));
    ASSERT_TRUE(server.WaitGets("/stuck", 1));
    const auto before = std::chrono::steady_clock::now();
    player->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_TRUE(router.Got().empty());
    EXPECT_FALSE(player->Busy(1));
    // Nothing fetches any more: a click fails at once rather than wait for ever.
    ASSERT_TRUE(player->Play(1));
    EXPECT_EQ(router.Got(), (std::vector<Done>{{1, kVoiceFailed}}));
    player.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_FALSE(fs::exists(PathOf("stuck")));
}

}  // namespace
