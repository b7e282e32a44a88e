// The room window's sound controls: the microphone and sound buttons show
// and change the voice's devices, a refused change shows as none, the
// volume pop-up sets a device's volume or a user's own (kept in
// volumes.xml), and the pop-up sits beside what opened it.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QSlider>
#include <QTemporaryDir>

#include <map>
#include <utility>

#include "audio/capture/mixer.h"
#include "net/catalogue_room.h"
#include "platform/dui/inputs.h"
#include "platform/dui/menu.h"
#include "platform/wavedev/wav_file.h"
#include "room/mic/voice_set.h"
#include "room/room_moderation.h"
#include "room/room_volumes.h"
#include "tests/room/room_test_support.h"
#include "ui/moderation_actions.h"
#include "ui/room_actions.h"
#include "ui/sound_slider_dlg.h"
#include "ui_test_util.h"

using uitest::Click;

namespace {

constexpr int kMic = CMixer::kMicrophone, kPlayback = CMixer::kPlayback;
constexpr std::uint32_t kMe = 42, kBob = 7;

// The sound buttons shown, as "MicClose FmOpen"; '-' marks a disabled one.
std::string SoundButtons(CRoomUI& w) {
    std::string s;
    for (const char* name : {"bnt_MicOpen", "bnt_MicClose", "bnt_FmOpen", "bnt_FmClose"}) {
        CControlUI* c = w.FindControl(name);
        if (!c || !c->IsVisible()) continue;
        s += (s.empty() ? "" : " ") + std::string(c->IsEnabled() ? "" : "-") + (name + 4);
    }
    return s;
}

void RightClick(CControlUI* c) {
    ASSERT_NE(c, nullptr);
    const QPoint at = c->rect().center();
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, c->mapToGlobal(at));
    QApplication::sendEvent(c, &e);
}

// The pop-up's slider moved by the person to `value`.
void MoveSlider(CSoundSliderDlg* dlg, int value) {
    ASSERT_TRUE(dlg && dlg->Slider());
    dlg->Slider()->Slider()->setValue(value);
}

// The real voice set on file devices, behind the session's own actions.
class RoomSoundOnFiles : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        std::string error;
        const std::string wav = dir.filePath("mic.wav").toStdString();
        ASSERT_TRUE(wavedev::WriteWav(wav, {22050, 1}, std::vector<std::int16_t>(2205), error))
            << error;
        CVoiceSet::Options o;
        o.devices.inputWav = wav;
        o.devices.outputDir = dir.path().toStdString();
        voice = std::make_unique<CVoiceSet>(link, o);
        ASSERT_EQ(voice->devices().Name(), "file");
        ASSERT_TRUE(w.Create()) << w.SkinError();
        account.me.userId = kMe;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
        volumes = std::make_unique<CRoomVolumes>(session);
        moderation = std::make_unique<CRoomModeration>(session, account);
    }
    void TearDown() override {
        if (CMenuWnd* m = w.OpenMenu()) m->close();
        actions.SetModeration(nullptr);
        actions.SetVolumes(nullptr);
        actions.SetVoice(nullptr);
        bridge.reset();
        moderation.reset();
        volumes.reset();
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    CMixer& mixer() { return voice->mixer(); }
    void EnterWithBob() {
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = 20;
        roomtest::Deliver(session, r);
        roomtest::Deliver(session, roomtest::MemberList({{kMe, "ann", 20}, {kBob, "bob", 20}}));
    }

    roomtest::ScopedDataFolder data{"soundui"};
    QTemporaryDir dir;
    roomtest::RecordingLink link;
    std::unique_ptr<CVoiceSet> voice;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSessionActions actions{session, nullptr, nullptr};
    CRoomUI w{actions};
    CRoomSession session{w, link, timers, clock, account};
    std::unique_ptr<CRoomVolumes> volumes;
    std::unique_ptr<CRoomModeration> moderation;
    CRoleTable roles;
    std::unique_ptr<CRoomModerationActions> bridge;
};

// A device whose mixer remembers by kind, notes the device each change was
// for, and refuses every change while told to.
class ScriptedDevice : public wavedev::IWaveBackend {
public:
    std::string Name() const override { return "scripted"; }
    std::vector<std::string> InputNames() override { return {"a", "b"}; }
    std::vector<std::string> OutputNames() override { return {"a", "b", "c"}; }
    std::unique_ptr<wavedev::IWaveInStream> OpenIn(int, int, int, std::size_t, wavedev::PcmCallback,
                                                   int& result) override {
        result = wavedev::no_driver;
        return nullptr;
    }
    std::unique_ptr<wavedev::IWaveOutStream> OpenOut(int, int, int, std::size_t,
                                                     wavedev::WritableCallback,
                                                     int& result) override {
        result = wavedev::no_driver;
        return nullptr;
    }
    int GetVolume(int kind, int) override { return volume[kind]; }
    bool SetVolume(int kind, int percent, int device) override {
        changed.emplace_back(kind, device);
        if (!refuse) volume[kind] = percent;
        return !refuse;
    }
    bool GetMute(int kind, int) override { return mute[kind]; }
    bool SetMute(int kind, bool m, int device) override {
        changed.emplace_back(kind, device);
        if (!refuse) mute[kind] = m;
        return !refuse;
    }

    bool refuse = false;
    std::map<int, int> volume;
    std::map<int, bool> mute;
    std::vector<std::pair<int, int>> changed;  // (kind, device)
};

class SoundActions : public uitest::FakeActions {
public:
    RoomSound Sound() const override { return sound; }
    RoomSound sound;
};

}  // namespace

TEST_F(RoomSoundOnFiles, TheButtonsShowAndChangeTheVoicesDevices) {
    w.ShowWindow(true);
    EXPECT_EQ(SoundButtons(w), "-MicOpen -FmClose") << "no voice yet";

    actions.SetVoice(voice.get());
    mixer().SetMute(kPlayback, true, voice->speakerDevice());  // muted before the room was entered
    w.ShowWindow(true);
    EXPECT_EQ(SoundButtons(w), "MicClose FmOpen");

    Click(w.FindControl("bnt_MicClose"));
    EXPECT_TRUE(mixer().GetMute(kMic, voice->micDevice()));
    EXPECT_TRUE(mixer().GetMute(kPlayback, voice->speakerDevice())) << "the other kind untouched";
    EXPECT_EQ(SoundButtons(w), "MicOpen FmOpen");
    Click(w.FindControl("bnt_FmOpen"));
    EXPECT_FALSE(mixer().GetMute(kPlayback, voice->speakerDevice()));
    Click(w.FindControl("bnt_MicOpen"));
    EXPECT_FALSE(mixer().GetMute(kMic, voice->micDevice()));
    EXPECT_EQ(SoundButtons(w), "MicClose FmClose");
}

TEST_F(RoomSoundOnFiles, TheVolumePopUpSetsTheKindOfTheButtonRightClicked) {
    actions.SetVoice(voice.get());
    w.ShowWindow(true);
    ASSERT_TRUE(mixer().SetVolume(kMic, 64, voice->micDevice()));
    RightClick(w.FindControl("bnt_MicClose"));
    CSoundSliderDlg* dlg = w.SoundSlider();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->Maximum(), 100);
    EXPECT_EQ(dlg->Value(), 64) << "seeded from the device";
    MoveSlider(dlg, 37);
    EXPECT_EQ(mixer().GetVolume(kMic, voice->micDevice()), 37);
    EXPECT_EQ(dlg->GetControlText("text_value"), "37%");

    RightClick(w.FindControl("bnt_FmClose"));
    EXPECT_EQ(w.SoundSlider(), dlg) << "one pop-up, set up again";
    EXPECT_EQ(dlg->Value(), mixer().GetVolume(kPlayback, voice->speakerDevice()));
    MoveSlider(dlg, 55);
    EXPECT_EQ(mixer().GetVolume(kPlayback, voice->speakerDevice()), 55);
    EXPECT_EQ(mixer().GetVolume(kMic, voice->micDevice()), 37);

    // Leaving the room takes the pop-up away; moves then reach nothing.
    w.ShowWindow(false);
    EXPECT_FALSE(dlg->isVisible());
    MoveSlider(dlg, 5);
    EXPECT_EQ(mixer().GetVolume(kPlayback, voice->speakerDevice()), 55);
}

TEST_F(RoomSoundOnFiles, TheUserMenuSetsAUsersOwnVolumeKeptInTheFile) {
    actions.SetVolumes(volumes.get());
    bridge = std::make_unique<CRoomModerationActions>(session, *moderation, roles, nullptr,
                                                      volumes.get());
    actions.SetModeration(bridge.get());
    EnterWithBob();
    ASSERT_TRUE(volumes->SetVolume(kBob, 80));

    w.OpenUserMenu(kMe, QPoint(300, 300));
    ASSERT_NE(w.OpenMenu(), nullptr);
    EXPECT_TRUE(w.OpenMenu()->FindElement("Menu_Volume")->isHidden()) << "not for myself";
    w.OpenUserMenu(kBob, QPoint(300, 300));
    ASSERT_NE(w.OpenMenu(), nullptr);
    EXPECT_FALSE(w.OpenMenu()->FindElement("Menu_Volume")->isHidden());
    EXPECT_TRUE(w.OpenMenu()->FindElement("Menu_Volume")->IsEnabled());
    w.OpenMenu()->close();
    w.OnMenuChoice("Menu_Volume");
    CSoundSliderDlg* dlg = w.SoundSlider();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->Maximum(), 200);
    EXPECT_EQ(dlg->Value(), 80);
    MoveSlider(dlg, 150);
    EXPECT_EQ(volumes->Volume(kBob), 150);
    volumes.reset();  // read back from volumes.xml
    actions.SetVolumes(nullptr);
    CRoomVolumes again(session);
    EXPECT_EQ(again.Volume(kBob), 150);

    // A room that keeps no volumes offers the entry disabled.
    bridge =
        std::make_unique<CRoomModerationActions>(session, *moderation, roles, nullptr, nullptr);
    actions.SetModeration(bridge.get());
    w.OpenUserMenu(kBob, QPoint(300, 300));
    ASSERT_NE(w.OpenMenu(), nullptr);
    EXPECT_FALSE(w.OpenMenu()->FindElement("Menu_Volume")->IsEnabled());
}

TEST(RoomSound, ARefusedChangeLeavesTheButtonsAsTheDeviceSays) {
    auto device = std::make_shared<ScriptedDevice>();
    CMixer mixer(device);
    SoundActions actions;
    actions.sound = {&mixer, 1, 2};
    device->mute[kMic] = true;
    CRoomUI w(actions);
    ASSERT_TRUE(w.Create()) << w.SkinError();
    EXPECT_EQ(SoundButtons(w), "MicOpen FmClose") << "as the device was when the window was made";

    device->refuse = true;
    Click(w.FindControl("bnt_MicOpen"));
    Click(w.FindControl("bnt_FmClose"));
    EXPECT_EQ(SoundButtons(w), "MicOpen FmClose");
    EXPECT_EQ(w.GetControlText("text_tip"), "设置失败");
    w.ShowTip("");
    RightClick(w.FindControl("bnt_MicOpen"));
    MoveSlider(w.SoundSlider(), 20);
    EXPECT_EQ(w.GetControlText("text_tip"), "设置失败");

    // Each kind goes to its own device.
    device->refuse = false;
    device->changed.clear();
    Click(w.FindControl("bnt_MicOpen"));
    Click(w.FindControl("bnt_FmClose"));
    EXPECT_EQ(SoundButtons(w), "MicClose FmOpen");
    const std::vector<std::pair<int, int>> expected{{kMic, 1}, {kPlayback, 2}};
    EXPECT_EQ(device->changed, expected);

    // The voice gone while the pop-up is open: a move is refused, and the
    // buttons go disabled when next shown.
    actions.sound = {};
    w.ShowTip("");
    MoveSlider(w.SoundSlider(), 30);
    EXPECT_EQ(w.GetControlText("text_tip"), "设置失败");
    w.ShowSoundButtons();
    EXPECT_EQ(SoundButtons(w), "-MicClose -FmOpen");
}

TEST(SoundSlider, ItOpensBesideWhatOpenedItInsideTheScreenAndClosesWhenLeft) {
    const QRect screen(0, 0, 1000, 700);
    const QSize size(48, 168);
    // Centred above a button in the middle.
    EXPECT_EQ(CSoundSliderDlg::PlaceFor(QRect(500, 600, 28, 28), size, screen), QPoint(490, 428));
    // Below a button too near the top, and pushed in from either side.
    EXPECT_EQ(CSoundSliderDlg::PlaceFor(QRect(500, 50, 28, 28), size, screen), QPoint(490, 82));
    EXPECT_EQ(CSoundSliderDlg::PlaceFor(QRect(990, 600, 10, 10), size, screen).x(), 952);
    EXPECT_EQ(CSoundSliderDlg::PlaceFor(QRect(0, 600, 10, 10), size, screen).x(), 0);

    CSoundSliderDlg dlg;
    ASSERT_TRUE(dlg.Create()) << dlg.SkinError();
    int got = -1;
    dlg.Setup(200, 250, "fm_on.png", [&](int v) { got = v; });
    EXPECT_EQ(dlg.Value(), 200) << "clamped into the range";
    EXPECT_EQ(got, -1) << "setting up is no move";
    EXPECT_EQ(dlg.Slider()->Slider()->palette().color(QPalette::Highlight),
              QColor(0xFF, 0x4F, 0x8B))
        << "the room's pink from the skin";
    dlg.ShowBeside(QRect(400, 400, 28, 28));
    ASSERT_TRUE(dlg.isVisible());
    QWidget other;
    other.setGeometry(100, 100, 50, 50);
    other.show();
    other.activateWindow();
    EXPECT_TRUE(uitest::Pump([&] { return !dlg.isVisible(); })) << "another window took the focus";
    MoveSlider(&dlg, 120);
    EXPECT_EQ(got, -1) << "a dismissed pop-up reaches nobody";
}
