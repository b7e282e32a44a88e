// The player as the room uses it: its three calls, and its window playing a
// list — lyric lines reaching the callback in order as they are sung, a
// seek re-synchronising them, and songs that cannot be played skipped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/jukebox/jukebox.h"
#include "platform/jukebox/jukebox_devices.h"
#include "platform/jukebox/jukebox_window.h"
#include "platform/wavedev/wav_file.h"
#include "tests/jukebox/songs.h"
#include "tests/wavedev/signal.h"

namespace {

using namespace jukebox;
using namespace std::chrono_literals;

struct Lyric {
    int index;
    int timeMs;
    std::string text;
    int heardMs;  // the player's position when it came
};

struct Listener {
    CJukeboxWindow* window = nullptr;
    std::vector<Lyric> lyrics;
    static void OnLyric(int index, int timeMs, const char* text, void* context) {
        auto* self = static_cast<Listener*>(context);
        const int heard = self->window ? self->window->Status().positionMs : -1;
        self->lyrics.push_back({index, timeMs, text, heard});
    }
};

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 15s) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (done()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return done();
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(songs_.path().empty());
        devices_.outputDir = out_.path();
        devices_.pulseServer = "unix:/nonexistent/zeri-test";
    }

    std::string Song(const std::string& name, double seconds, const std::string& lyrics = {}) {
        std::string error;
        const std::string path = songs_ / name;
        EXPECT_TRUE(jukeboxtest::MakeTone(path, seconds, 440, error)) << error;
        if (!lyrics.empty()) {
            EXPECT_TRUE(jukeboxtest::WriteText(LrcPathFor(path), lyrics));
        }
        return path;
    }

    std::unique_ptr<CJukeboxWindow> Window(Listener& listener) {
        auto window = std::make_unique<CJukeboxWindow>(&Listener::OnLyric, &listener, devices_);
        listener.window = window.get();
        return window;
    }

    wavetest::CTempDir songs_, out_;
    wavedev::Options devices_;
};

std::vector<int> Indexes(const std::vector<Lyric>& lyrics) {
    std::vector<int> out;
    for (const auto& l : lyrics) out.push_back(l.index);
    return out;
}

TEST_F(PlayerTest, LyricLinesArriveInOrderAsTheSongPassesThem) {
    const std::string song = Song("sung.mp3", 2.0,
                                  "[ti:A tone]\n[00:00.30]one\n[00:00.60][00:01.20]two\n"
                                  "[00:01.50]\xe4\xb8\x89\n[00:09.00]after the end\n");
    Listener listener;
    auto window = Window(listener);
    window->AddSongs({QString::fromStdString(song)});
    window->PlayRow(0);
    EXPECT_EQ(window->CurrentRow(), 0);
    ASSERT_TRUE(RunUntil([&] { return window->CurrentRow() == -1; })) << "the song never ended";

    // A clear for the new song, the four lines sung, a clear when the list ends.
    ASSERT_EQ(Indexes(listener.lyrics), (std::vector<int>{-1, 0, 1, 2, 3, -1}));
    const int times[] = {300, 600, 1200, 1500};
    const char* texts[] = {"one", "two", "two", "\xe4\xb8\x89"};
    for (int i = 0; i < 4; ++i) {
        const Lyric& l = listener.lyrics[std::size_t(i + 1)];
        EXPECT_EQ(l.timeMs, times[i]);
        EXPECT_EQ(l.text, texts[i]);
        // Announced once the line is reached, within a couple of polls.
        EXPECT_GE(l.heardMs, l.timeMs) << l.text;
        EXPECT_LE(l.heardMs, l.timeMs + 400) << l.text;
    }
    EXPECT_EQ(listener.lyrics.back().text, "");
    EXPECT_TRUE(window->LyricText().isEmpty());
    EXPECT_TRUE(window->NoticeText().isEmpty());
}

TEST_F(PlayerTest, SeekingResynchronisesTheLyrics) {
    const std::string song = Song("seek.wav", 4.0, "[00:00.30]a\n[00:01.00]b\n[00:03.00]c\n[00:03.60]d\n");
    Listener listener;
    auto window = Window(listener);
    window->AddSongs({QString::fromStdString(song)});
    window->PlayRow(0);
    ASSERT_TRUE(RunUntil([&] { return Indexes(listener.lyrics) == std::vector<int>{-1, 0}; }, 5s));
    window->SeekTo(3200);
    ASSERT_TRUE(RunUntil([&] { return window->CurrentRow() == -1; }));
    // "b" was jumped over; "c" is shown at once, "d" follows as it is sung.
    EXPECT_EQ(Indexes(listener.lyrics), (std::vector<int>{-1, 0, 2, 3, -1}));
    EXPECT_GE(listener.lyrics[2].heardMs, 3000);
}

TEST_F(PlayerTest, SongsThatCannotBePlayedAreSkipped) {
    ASSERT_TRUE(jukeboxtest::WriteText(songs_ / "broken.mp3", "not a song at all\n"));
    const std::string good = Song("good.m4a", 1.0, "[00:00.20]good\n");
    Listener listener;
    auto window = Window(listener);
    window->AddSongs({QString::fromStdString(songs_ / "broken.mp3"),
                      QString::fromStdString(songs_ / "gone.flac"), QString::fromStdString(good)});
    EXPECT_EQ(window->SongCount(), 3);
    window->PlayRow(0);
    ASSERT_TRUE(RunUntil([&] { return window->CurrentRow() == 2; }, 5s));
    EXPECT_TRUE(window->NoticeText().contains("无法播放"));
    EXPECT_TRUE(window->NoticeText().contains("gone.flac")) << window->NoticeText().toStdString();
    ASSERT_TRUE(RunUntil([&] { return window->CurrentRow() == -1; }));
    std::vector<int> sung;
    for (const auto& l : listener.lyrics)
        if (l.index >= 0) sung.push_back(l.index);
    EXPECT_EQ(sung, std::vector<int>{0});

    // A list where nothing plays stops instead of going round for ever.
    window->RemoveSong(2);
    EXPECT_EQ(window->SongCount(), 2);
    window->PlayRow(1);
    ASSERT_TRUE(RunUntil([&] { return window->CurrentRow() == -1; }, 5s));
    const auto before = listener.lyrics.size();
    RunUntil([] { return false; }, 500ms);
    EXPECT_EQ(window->CurrentRow(), -1);
    EXPECT_EQ(listener.lyrics.size(), before);
}

TEST_F(PlayerTest, PauseHoldsTheLyricsAndStopClearsThem) {
    const std::string song = Song("held.mp3", 3.0, "[00:00.20]first\n[00:01.00]second\n");
    Listener listener;
    auto window = Window(listener);
    window->AddSongs({QString::fromStdString(song)});
    window->TogglePause();  // nothing playing: plays the selected (first) song
    ASSERT_TRUE(RunUntil([&] { return window->LyricText() == "first"; }, 5s));
    window->TogglePause();
    ASSERT_TRUE(RunUntil([&] { return window->Status().state == SongState::paused; }, 2s));
    RunUntil([] { return false; }, 1200ms);
    EXPECT_EQ(Indexes(listener.lyrics), (std::vector<int>{-1, 0}));
    EXPECT_EQ(window->TimeText().right(5), "00:03");
    window->TogglePause();
    ASSERT_TRUE(RunUntil([&] { return window->LyricText() == "second"; }, 5s));
    window->StopSong();
    EXPECT_EQ(Indexes(listener.lyrics), (std::vector<int>{-1, 0, 1, -1}));
    EXPECT_TRUE(window->LyricText().isEmpty());
    EXPECT_EQ(window->TimeText(), "00:00/00:00");
}

TEST_F(PlayerTest, TheThreeCalls) {
    SetDevices(devices_);
    Listener first, second;
    JUKEBOX_HANDLE a = JUKEBOX_InitPlay(&Listener::OnLyric, &first);
    JUKEBOX_HANDLE b = JUKEBOX_InitPlay(&Listener::OnLyric, &second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    const auto players = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "jukebox" && w->isVisible()) ++n;
        return n;
    };
    EXPECT_EQ(players(), 2);

    // Closing the window hides it; ShowPlayDlg brings it back.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "jukebox") w->close();
    EXPECT_EQ(players(), 0);
    EXPECT_EQ(JUKEBOX_ShowPlayDlg(a), 0);
    EXPECT_EQ(players(), 1);
    EXPECT_NE(JUKEBOX_ShowPlayDlg(nullptr), 0);

    // Only on the UI thread.
    JUKEBOX_HANDLE elsewhere = a;
    int shown = 0;
    std::thread([&] {
        elsewhere = JUKEBOX_InitPlay(&Listener::OnLyric, &first);
        shown = JUKEBOX_ShowPlayDlg(a);
    }).join();
    EXPECT_EQ(elsewhere, nullptr);
    EXPECT_NE(shown, 0);

    const auto windows = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "jukebox") ++n;
        return n;
    };
    JUKEBOX_Realse(nullptr);
    JUKEBOX_Realse(a);
    EXPECT_EQ(windows(), 1);
    // Released from another thread: freed on the UI thread, not there.
    std::thread([&] { JUKEBOX_Realse(b); }).join();
    EXPECT_EQ(windows(), 1);
    EXPECT_TRUE(RunUntil([&] { return windows() == 0; }, 2s));
    SetDevices({});
}

TEST_F(PlayerTest, ThroughTheCallsASongIsHeardAndItsLyricsSung) {
    const std::string song = Song("room.mp3", 1.0, "[00:00.20]in the room\n");
    SetDevices(devices_);
    Listener listener;
    JUKEBOX_HANDLE player = JUKEBOX_InitPlay(&Listener::OnLyric, &listener);
    ASSERT_NE(player, nullptr);
    CJukeboxWindow* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* j = dynamic_cast<CJukeboxWindow*>(w)) window = j;
    ASSERT_NE(window, nullptr);
    listener.window = window;
    window->AddSongs({QString::fromStdString(song)});
    window->PlayRow(0);
    ASSERT_TRUE(RunUntil([&] { return window->CurrentRow() == -1; }));
    JUKEBOX_Realse(player);
    SetDevices({});
    ASSERT_EQ(Indexes(listener.lyrics), (std::vector<int>{-1, 0, -1}));
    EXPECT_EQ(listener.lyrics[1].text, "in the room");

    // The sound went to the player's own folder of the output.
    wavedev::WavFormat format;
    std::vector<std::int16_t> samples;
    std::string error;
    ASSERT_TRUE(wavedev::ReadWav(out_ / "jukebox/speaker-44100.wav", format, samples, error)) << error;
    EXPECT_GT(wavetest::Peak(samples.data(), samples.size()), 2000);
}

}  // namespace
