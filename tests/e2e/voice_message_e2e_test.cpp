// Voice messages end to end: whole headless clients with their voice path
// on file devices against the in-process server over real TCP. Bob sends a
// WAV of a 1 kHz tone as a voice message in room 1001; Alice sees the clip,
// plays it into her speaker file, and her second play fetches nothing; Bob
// plays his own message without fetching it at all. In the room window, a
// click on the clip animates its icon until the message has played.
#include <QApplication>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextEdit>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/kitlib/kitlib.h"
#include "platform/wavedev/wav_file.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/voice/voice_signals.h"
#include "ui/chat_view.h"

namespace e2e {
namespace {

class VoiceMessageE2E : public RoomFixture {
protected:
    void SetUp() override {
        RoomFixture::SetUp();
        // Uploads and downloads go to the in-process room service.
        const std::string http = "127.0.0.1:" + std::to_string(srv.accountPort());
        KITLIB_Init(0);
        KITLIB_SetHosts(http, http);
    }
    void TearDown() override {
        KITLIB_SetCredentials(0, std::string());
        KITLIB_Release();
        RoomFixture::TearDown();
    }
    std::unique_ptr<CTestClient> Join(const testsupport::DemoLogin& who) {
        CVoiceSet::Options o;
        const std::string dir = data.path() + "/" + who.name + "-audio";
        std::filesystem::create_directories(dir);
        o.devices.outputDir = dir;
        outDirs_[who.id] = dir;
        auto c = std::make_unique<CTestClient>(srv, who, CRoomStack::Mode::headless, &o);
        GivePowers(*c);
        c->Enter(kHall);
        EXPECT_TRUE(c->InRoom(kHall)) << Output(*c);
        return c;
    }
    // The strongest second of `hz` in what the client's 8000 Hz speaker played.
    double HeardLevel(std::uint32_t id, double hz) {
        wavedev::WavFormat f;
        std::vector<std::int16_t> s;
        std::string error;
        const std::string path = outDirs_[id] + "/" + wavedev::OutputFileName(8000);
        EXPECT_TRUE(wavedev::ReadWav(path, f, s, error)) << error;
        double best = -200;
        for (std::size_t at = 0; at + 8000 <= s.size(); at += 400)
            best = std::max(best, voicetest::ToneDbfs(s.data() + at, 8000, hz, 8000));
        return best;
    }
    std::uint64_t Served() { return srv.srv->voices()->served(); }
    // Bob sends three seconds of 1 kHz; the id the service gave it.
    std::string SendTone(CTestClient& bob) {
        const std::string wav = data.path() + "/tone1k.wav";
        std::string error;
        EXPECT_TRUE(wavedev::WriteWav(wav, {16000, 1}, voicetest::Tone(1000, -12, 48000, 16000), error))
            << error;
        KITLIB_SetCredentials(kBob.id, bob.session().me().token);
        Type(bob, "/voice " + wav);
        EXPECT_TRUE(WaitFor([&] { return !LastPrinted(bob, "voice: sent ").empty(); }, 10000))
            << Output(bob);
        const std::string line = LastPrinted(bob, "voice: sent ");
        return line.empty() ? line : line.substr(12);
    }

    std::map<std::uint32_t, std::string> outDirs_;
};

TEST_F(VoiceMessageE2E, AMessageIsFetchedOnceAndHeardByTheOtherUser) {
    auto bob = Join(kBob);
    auto alice = Join(kAlice);
    ASSERT_TRUE(SeesUsers(*alice, 2));

    // Three seconds of 1 kHz at 16000 Hz: converted to the message's 8000 Hz.
    const std::string id = SendTone(*bob);
    ASSERT_EQ(id.size(), 32u) << id;
    ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(*alice, "[语音]") > 0; })) << ChatText(*alice);

    Type(*alice, "/play");
    ASSERT_TRUE(WaitFor([&] { return Printed(*alice, "voice: done " + id); }, 20000))
        << Output(*alice);
    EXPECT_EQ(Served(), 1u);
    const std::string kept = paths::UserFolder(kAlice.id) + "audio/" + id + ".amr";
    EXPECT_TRUE(std::filesystem::exists(kept)) << kept;
    // Played again from the file she has.
    Type(*alice, "/play");
    ASSERT_TRUE(WaitFor([&] { return PrintedTimes(*alice, "voice: done " + id) == 2; }, 20000))
        << Output(*alice);
    EXPECT_EQ(Served(), 1u);
    // The sender's copy was kept under its id when the service answered.
    Type(*bob, "/play");
    ASSERT_TRUE(WaitFor([&] { return Printed(*bob, "voice: done " + id); }, 20000)) << Output(*bob);
    EXPECT_EQ(Served(), 1u);

    alice.reset();
    bob.reset();
    EXPECT_NEAR(HeardLevel(kAlice.id, 1000), -12, 3.0);
    EXPECT_LT(HeardLevel(kAlice.id, 440), -40);
}

// Where the voice clip is in a chat view, and the file its icon shows.
struct ClipSpot {
    int position = -1;
    std::string icon;
};
ClipSpot FindClip(CChatView& view) {
    ClipSpot spot;
    const QTextDocument* doc = view.Editor()->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat() || !f.anchorHref().startsWith(CChatView::kVoiceLinkPrefix)) continue;
            spot.position = it.fragment().position();
            spot.icon = std::filesystem::path(f.toImageFormat().name().toStdString()).filename();
        }
    return spot;
}

TEST_F(VoiceMessageE2E, ClickingAClipInTheWindowAnimatesItsIconUntilItHasPlayed) {
    CVoiceSet::Options o;
    o.devices.outputDir = data.path() + "/alice-window-audio";
    std::filesystem::create_directories(o.devices.outputDir);
    CTestClient alice(srv, kAlice, CRoomStack::Mode::window, &o);
    CRoomUI* window = alice.stack().window();
    ASSERT_NE(window, nullptr);
    window->SetMessageBoxHandler([](const std::string&, const std::string&, BoxIcon) {});
    GivePowers(alice);
    alice.Enter(kHall);
    ASSERT_TRUE(alice.InRoom(kHall));
    auto bob = Join(kBob);
    ASSERT_TRUE(WaitFor([&] { return alice.session().users().size() == 2; }));
    window->resize(1180, 740);

    ASSERT_EQ(SendTone(*bob).size(), 32u);
    CChatView* recv = window->FindChat("Edit_RecvChat");
    ASSERT_NE(recv, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FindClip(*recv).position >= 0; })) << recv->PlainText().toStdString();
    EXPECT_EQ(FindClip(*recv).icon, "chat_sound_normal.png");

    // A left click on the icon, as the mouse gives it.
    QTextEdit* edit = recv->Editor();
    QTextCursor at(edit->document());
    at.setPosition(FindClip(*recv).position);
    edit->ensureCursorVisible();
    const QRect r = edit->cursorRect(at);
    const QPoint inside(r.left() + 4, r.center().y());
    ASSERT_FALSE(edit->anchorAt(inside).isEmpty()) << "no clip under the mouse";
    QWidget* viewport = edit->viewport();
    const QPoint global = viewport->mapToGlobal(inside);
    QMouseEvent press(QEvent::MouseButtonPress, inside, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QApplication::sendEvent(viewport, &release);

    // Playing: the animated icon; played (three seconds): the still one again.
    ASSERT_TRUE(WaitFor([&] { return FindClip(*recv).icon == "chat_sound_push.gif"; }, 5000))
        << FindClip(*recv).icon;
    ASSERT_TRUE(WaitFor([&] { return FindClip(*recv).icon == "chat_sound_normal.png"; }, 20000))
        << FindClip(*recv).icon;
    EXPECT_EQ(Served(), 1u);
}

}  // namespace
}  // namespace e2e
