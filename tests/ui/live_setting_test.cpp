// The live-settings dialog: it opens with what the files hold, each effect
// control reaches the video engine at once, "closebtn" writes both files and
// tells the room (or shows a tip when it cannot), the audio controls stand
// down without an audio layer, and the screen and movie sources start, stop
// and report as the user sees them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>

#include <cstring>
#include <fstream>
#include <map>
#include <tuple>

#include "platform/dui/inputs.h"
#include "platform/vcast/effect_layout.h"
#include "ui/live_setting_dlg.h"
#include "ui_test_util.h"

using uitest::Click;

namespace {

namespace L = effect_layout;

class FakeVideo : public ILiveVideo {
public:
    bool SetEffect(const EffectRecord::Bytes& record) override {
        effects.push_back(record);
        return true;
    }
    void SetScreen(std::uintptr_t window, VcastRect rect, bool mouse) override {
        screens.emplace_back(window, rect, mouse);
    }
    bool StartChild(int kind) override {
        children.push_back(kind);
        return startOk;
    }
    void StopChild() override { ++childStops; }
    bool MoviePlay(const std::string& path) override {
        played.push_back(path);
        return playOk;
    }
    void MoviePause() override { ++pauses; }
    void MovieStop() override { ++movieStops; }
    int MovieTotal() const override { return total; }
    int MovieNow() const override { return now; }
    void MovieSeek(int seconds) override { seeks.push_back(seconds); }
    void SetGrid(bool on) override { grid.push_back(on); }

    std::vector<EffectRecord::Bytes> effects;
    std::vector<std::tuple<std::uintptr_t, VcastRect, bool>> screens;
    std::vector<int> children;
    int childStops = 0;
    bool startOk = true, playOk = true;
    std::vector<std::string> played;
    int pauses = 0, movieStops = 0, total = 0, now = 0;
    std::vector<int> seeks;
    std::vector<bool> grid;
};

// The dialog with its timers in reach.
class TestDlg : public CLiveSettingDlg {
public:
    using CLiveSettingDlg::CLiveSettingDlg;
    using CLiveSettingDlg::OnTimer;
};

float F32(const EffectRecord::Bytes& b, std::size_t at) {
    float f;
    std::memcpy(&f, b.data() + at, 4);
    return f;
}

void Move(CSliderUI* s, int value) {
    ASSERT_NE(s, nullptr);
    s->Slider()->setValue(value);  // as the user drags it
}

void Pick(CComboUI* c, int index) {
    ASSERT_NE(c, nullptr);
    emit c->Box()->activated(index);  // as the user picks it
}

class LiveSetting : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        files.settings = dir.filePath("common.xml").toStdString();
        files.effect = dir.filePath("effect.dat").toStdString();
        devices.inputs = {"Built-in Mic", "USB Mic"};
        devices.outputs = {"Speakers", "Headset"};
        devices.cameras = {"Cam A", "测试图案"};
        devices.getVolume = [this](int kind, int device) { return volumes[{kind, device}]; };
        devices.setVolume = [this](int kind, int device, int percent) {
            set.emplace_back(kind, device, percent);
            return true;
        };
    }
    TestDlg& Open() {
        dlg = std::make_unique<TestDlg>(video, devices, files, [this] { ++changes; });
        LiveSettingAsk ask;
        ask.openFile = [this](const std::string& title, const std::string& filter, const std::string& suffix) {
            asked.push_back(title + "|" + filter + "|" + suffix);
            return answer;
        };
        ask.pickFont = [this](const std::string&) { return font; };
        dlg->SetAsk(ask);
        EXPECT_TRUE(dlg->Create()) << dlg->SkinError();
        dlg->ShowWindow(true);
        return *dlg;
    }
    template <class T = CControlUI>
    T* Find(const char* name) {
        return dlg->FindControl<T>(name);
    }
    void ClickNamed(const char* name) {
        CControlUI* c = Find(name);
        ASSERT_NE(c, nullptr) << name;
        Click(c);
    }

    QTemporaryDir dir;
    LiveSettingFiles files;
    LiveSettingDevices devices;
    std::map<std::pair<int, int>, int> volumes;
    std::vector<std::tuple<int, int, int>> set;
    FakeVideo video;
    std::unique_ptr<TestDlg> dlg;
    int changes = 0;
    std::vector<std::string> asked;
    std::string answer, font;
};

}  // namespace

TEST_F(LiveSetting, HasEveryNamedControl) {
    Open();
    for (const char* name :
         {"OptionMicEnhance", "OptionMicNoise", "OptionMicEcho", "OptionMicHardMix", "OptionSoftwareMix",
          "OptionLoopBack", "OptionFreeSpeark", "OptionKeySpeark", "EditSpearkKey", "ComboAudioIn",
          "ComboAudioOut", "ComboVideo", "SliderAudioIn", "SliderAudioOut", "OptionCatchFull1",
          "OptionCatchFull2", "OptionCatchWindows1", "OptionCatchWindows2", "OptionCatchRect1",
          "OptionCatchRect2", "OptionCatchEnabled", "OptionCatchMax", "OptionCatchMid", "OptionCatchMin",
          "combo_quality", "combo_ratio", "combo_fps", "slider_Brightness", "slider_Contrast", "slider_Stretch",
          "slider_Whitebalace", "option_bg_transparent", "edit_effect_text", "option_random", "slider_y_pos",
          "slider_speed", "Combo_Effect_Roll", "bnt_effect_font_set", "Effect_Stp", "Effect_light", "Effect_Ani",
          "Effect_Color", "Effect_Mirror", "bnt_screen_start", "bnt_screen_stop", "bnt_movie_open",
          "bnt_movie_pause", "bnt_movie_stop", "slider_movie_progress", "text_movie_time", "bnt_grid",
          "closebtn", "text_tip"})
        EXPECT_NE(Find(name), nullptr) << name;
    EXPECT_EQ(Find<CComboUI>("combo_ratio")->GetItemText(0), "640×480");
    EXPECT_EQ(Find<CComboUI>("combo_ratio")->GetItemText(2), "176×144");
}

// Each page as the user sees it, left in build/artifacts for people to look
// at: every page draws something of its own.
TEST_F(LiveSetting, EveryPageDraws) {
    Open();
    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    QImage previous;
    for (const char* tab : {"tab_audio", "tab_video", "tab_effect", "tab_record"}) {
        ClickNamed(tab);
        QApplication::processEvents();
        const QImage shot = dlg->grab().toImage();
        ASSERT_FALSE(shot.isNull()) << tab;
        EXPECT_NE(shot, previous) << tab << " looks like the page before it";
        EXPECT_TRUE(shot.save(folder + "live-settings-" + QString(tab).mid(4) + ".png")) << tab;
        previous = shot;
    }
}

TEST_F(LiveSetting, OpensWithWhatTheFilesHold) {
    std::ofstream(files.settings) << "<xml_root>\r\n<micnoise>1</micnoise>\r\n<keyvalue>116</keyvalue>\r\n"
                                     "<spearkertype>1</spearkertype>\r\n<keyname>F5</keyname>\r\n"
                                     "<micname>usb mic</micname>\r\n<videoname >测试图案</videoname >\r\n"
                                     "<catch_type >2</catch_type >\r\n<mouse_type >0</mouse_type >\r\n"
                                     "<record_quality>2</record_quality>\r\n<record_width>640</record_width>\r\n"
                                     "<record_height>480</record_height>\r\n<record_fps>12</record_fps>\r\n"
                                     "</xml_root>\r\n";
    EffectRecord e;
    e.brightness = 1.5f;
    e.SetText("hi");
    e.rollMode = 1;
    e.mirror = 1;
    ASSERT_TRUE(SaveEffect(files.effect, e));
    volumes[{3, 1}] = 64;
    Open();
    EXPECT_TRUE(dlg->IsControlSelected("OptionMicNoise"));
    EXPECT_FALSE(dlg->IsControlSelected("OptionMicEcho"));
    EXPECT_TRUE(dlg->IsControlSelected("OptionSoftwareMix"));  // its default
    EXPECT_TRUE(dlg->IsControlSelected("OptionKeySpeark"));
    EXPECT_EQ(dlg->GetControlText("EditSpearkKey"), "F5");
    EXPECT_EQ(Find<CComboUI>("ComboAudioIn")->GetCurSel(), 2);  // matched without case, after the default
    EXPECT_EQ(Find<CComboUI>("ComboAudioOut")->GetCurSel(), 0);  // the default device
    EXPECT_EQ(Find<CSliderUI>("SliderAudioIn")->GetValue(), 64);
    EXPECT_EQ(Find<CComboUI>("ComboVideo")->GetCurSel(), 2);
    EXPECT_TRUE(dlg->IsControlSelected("OptionCatchRect1"));
    EXPECT_FALSE(dlg->IsControlSelected("OptionCatchFull1"));
    EXPECT_TRUE(dlg->IsControlSelected("OptionCatchMax"));
    EXPECT_EQ(Find<CComboUI>("combo_quality")->GetCurSel(), 2);
    EXPECT_EQ(Find<CComboUI>("combo_ratio")->GetCurSel(), 0);
    EXPECT_EQ(Find<CComboUI>("combo_fps")->GetText(), "12");  // a rate not offered is kept
    EXPECT_EQ(Find<CSliderUI>("slider_Brightness")->GetValue(), 15);
    EXPECT_EQ(Find<CSliderUI>("slider_Contrast")->GetValue(), 10);
    EXPECT_EQ(dlg->GetControlText("edit_effect_text"), "hi");
    EXPECT_EQ(Find<CComboUI>("Combo_Effect_Roll")->GetCurSel(), 1);
    EXPECT_TRUE(dlg->IsControlSelected("Effect_Mirror"));
    EXPECT_TRUE(video.effects.empty());  // opening changes nothing
}

TEST_F(LiveSetting, EveryEffectChangeReachesTheEngineAtOnce) {
    Open();
    Move(Find<CSliderUI>("slider_Brightness"), 15);
    ASSERT_EQ(video.effects.size(), 1u);
    EXPECT_FLOAT_EQ(F32(video.effects.back(), L::kBrightness), 1.5f);
    EXPECT_EQ(video.effects.back()[L::kFlagAdjust], 1);
    Move(Find<CSliderUI>("slider_Brightness"), 10);
    EXPECT_EQ(video.effects.back()[L::kFlagAdjust], 0);  // neutral again

    Find<CEditUI>("edit_effect_text")->Edit()->insert("欢迎光临");  // typed
    ASSERT_EQ(video.effects.size(), 3u);
    EXPECT_EQ(video.effects.back()[L::kFlagText], 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(video.effects.back().data() + L::kText), "欢迎光临");

    Pick(Find<CComboUI>("Combo_Effect_Roll"), 2);
    EXPECT_EQ(video.effects.back()[L::kRollMode], 2);
    EXPECT_EQ(video.effects.back()[L::kRollBits] & 1, 1);
    ClickNamed("Effect_Mirror");
    EXPECT_EQ(video.effects.back()[L::kMirror], 1);
    Move(Find<CSliderUI>("slider_y_pos"), 80);
    EXPECT_EQ(video.effects.back()[L::kTextY], 80);

    // A picture is chosen by a click and taken off by the next.
    answer = "/home/u/pictures/star.png";
    ClickNamed("Effect_Stp");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(video.effects.back()[L::kFlagSticker], 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(video.effects.back().data() + L::kSticker), answer.c_str());
    ClickNamed("Effect_Stp");
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(video.effects.back()[L::kFlagSticker], 0);
    // Cancelled: nothing changes, nothing is sent.
    answer.clear();
    const std::size_t sent = video.effects.size();
    ClickNamed("Effect_Ani");
    EXPECT_EQ(video.effects.size(), sent);

    font = "Noto Sans";
    ClickNamed("bnt_effect_font_set");
    EXPECT_EQ(video.effects.back()[L::kFace], 'N');
    EXPECT_EQ(video.effects.back()[L::kFace + 1], 0);  // UTF-16LE
    EXPECT_EQ(dlg->Effect().face, u"Noto Sans");
}

TEST_F(LiveSetting, ClosebtnWritesBothFilesAndTellsTheRoom) {
    // Keys the dialog does not show still come back as they were.
    std::ofstream(files.settings) << "<xml_root>\r\n<encode_mode>2</encode_mode>\r\n"
                                     "<mouse_color >65280</mouse_color >\r\n</xml_root>\r\n";
    Open();
    ClickNamed("OptionLoopBack");
    ClickNamed("OptionMicEcho");
    ClickNamed("OptionSoftwareMix");  // on by default: off now
    Pick(Find<CComboUI>("ComboAudioOut"), 2);
    Pick(Find<CComboUI>("ComboVideo"), 1);
    ClickNamed("OptionCatchWindows2");  // the caption selects its option
    ClickNamed("OptionCatchEnabled");
    ClickNamed("OptionCatchMid");
    Pick(Find<CComboUI>("combo_ratio"), 2);
    Pick(Find<CComboUI>("combo_fps"), 4);
    Pick(Find<CComboUI>("combo_quality"), 0);
    ClickNamed("OptionKeySpeark");
    QKeyEvent f6(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
    QApplication::sendEvent(Find<CEditUI>("EditSpearkKey")->Edit(), &f6);
    EXPECT_EQ(dlg->GetControlText("EditSpearkKey"), "F6");
    Move(Find<CSliderUI>("slider_Contrast"), 13);
    Find<CEditUI>("edit_effect_text")->Edit()->insert("晚上好");

    ClickNamed("closebtn");
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->IsControlVisible("text_tip"));

    CSettingsStore store;
    ASSERT_TRUE(store.SetPath(files.settings));
    DeviceSettings d;
    VideoSettings v;
    RecordSettings r;
    ASSERT_TRUE(store.ReadDevice(d) && store.ReadVideo(v) && store.ReadRecord(r));
    EXPECT_EQ(d.loopback, 1u);
    EXPECT_EQ(d.micecho, 1u);
    EXPECT_EQ(d.mixsoftwate, 0u);
    EXPECT_EQ(d.speakername, "Headset");
    EXPECT_EQ(d.spearkertype, 1u);
    EXPECT_EQ(d.keyvalue, 117u);  // F6
    EXPECT_EQ(d.keyname, "F6");
    EXPECT_EQ(v.videoname, "Cam A");
    EXPECT_EQ(v.catch_type, 1u);
    EXPECT_EQ(v.mouse_enabled, 0u);
    EXPECT_EQ(v.mouse_type, 1u);
    EXPECT_EQ(v.encode_mode, 2u);
    EXPECT_EQ(v.mouse_color, 65280u);
    EXPECT_EQ(r.record_width, 176u);
    EXPECT_EQ(r.record_height, 144u);
    EXPECT_EQ(r.record_fps, 25u);
    EXPECT_EQ(r.record_quality, 0u);
    EffectRecord e;
    ASSERT_TRUE(LoadEffect(files.effect, e));
    EXPECT_EQ(e, dlg->Effect());
    EXPECT_FLOAT_EQ(e.contrast, 1.3f);
    EXPECT_EQ(e.text, "晚上好");

    // Shown again later, it starts from the files, not from what it held.
    std::ofstream(files.settings) << "<xml_root/>";
    ASSERT_TRUE(SaveEffect(files.effect, EffectRecord::Defaults()));
    dlg->Reload();
    EXPECT_EQ(Find<CComboUI>("combo_ratio")->GetCurSel(), 1);
    EXPECT_EQ(dlg->GetControlText("edit_effect_text"), "");
    EXPECT_EQ(Find<CSliderUI>("slider_Contrast")->GetValue(), 10);
    EXPECT_FALSE(dlg->IsControlSelected("OptionLoopBack"));
}

TEST_F(LiveSetting, AFailedSaveShowsATipAndKeepsTheDialog) {
    Open();
    // Something in the way of effect.dat: it cannot be replaced.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(files.effect + "/in_the_way")));
    ClickNamed("closebtn");
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->IsControlVisible("text_tip"));
    EXPECT_FALSE(dlg->GetControlText("text_tip").empty());
    // Out of the way: the next try saves and closes.
    ASSERT_TRUE(QDir(QString::fromStdString(files.effect)).removeRecursively());
    ClickNamed("closebtn");
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(LiveSetting, WithoutAnAudioLayerItsControlsStandDownAndItsKeysKeep) {
    devices.getVolume = nullptr;
    devices.setVolume = nullptr;
    std::ofstream(files.settings) << "<xml_root>\r\n<micecho>1</micecho>\r\n<micname>Far Mic</micname>\r\n"
                                     "<keyvalue>120</keyvalue>\r\n</xml_root>\r\n";
    Open();
    for (const char* name : {"OptionMicEcho", "OptionLoopBack", "ComboAudioIn", "SliderAudioOut", "EditSpearkKey"})
        EXPECT_FALSE(Find(name)->IsEnabled()) << name;
    EXPECT_TRUE(Find("ComboVideo")->IsEnabled());
    EXPECT_TRUE(Find("slider_Brightness")->IsEnabled());
    ClickNamed("closebtn");
    CSettingsStore store;
    ASSERT_TRUE(store.SetPath(files.settings));
    DeviceSettings d;
    ASSERT_TRUE(store.ReadDevice(d));
    EXPECT_EQ(d.micecho, 1u);
    EXPECT_EQ(d.micname, "Far Mic");
    EXPECT_EQ(d.keyvalue, 120u);
}

TEST_F(LiveSetting, VolumeSlidersFollowTheChosenDevice) {
    volumes[{3, 0}] = 20;
    volumes[{3, 1}] = 70;
    volumes[{1, 1}] = 33;
    Open();
    volumes[{3, -1}] = 55;
    Pick(Find<CComboUI>("ComboAudioIn"), 2);
    EXPECT_EQ(Find<CSliderUI>("SliderAudioIn")->GetValue(), 70);
    Pick(Find<CComboUI>("ComboAudioIn"), 1);
    EXPECT_EQ(Find<CSliderUI>("SliderAudioIn")->GetValue(), 20);
    EXPECT_TRUE(set.empty());  // showing a volume sets nothing
    Move(Find<CSliderUI>("SliderAudioIn"), 45);
    Pick(Find<CComboUI>("ComboAudioOut"), 2);
    EXPECT_EQ(Find<CSliderUI>("SliderAudioOut")->GetValue(), 33);
    Pick(Find<CComboUI>("ComboAudioIn"), 0);  // back to the default device
    EXPECT_EQ(Find<CSliderUI>("SliderAudioIn")->GetValue(), 55);
    Move(Find<CSliderUI>("SliderAudioOut"), 90);
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set[0], std::make_tuple(3, 0, 45));
    EXPECT_EQ(set[1], std::make_tuple(1, 1, 90));
}

TEST_F(LiveSetting, WholeDesktopCaptureStartsAndStops) {
    Open();
    ClickNamed("OptionCatchEnabled");  // no pointer
    ClickNamed("bnt_screen_start");
    ASSERT_EQ(video.screens.size(), 1u);
    const auto [window, rect, mouse] = video.screens[0];
    const QRect screen = dlg->screen()->geometry();
    EXPECT_EQ(window, 0u);
    EXPECT_EQ(rect.left, screen.left());
    EXPECT_EQ(rect.right - rect.left, screen.width() & ~1);
    EXPECT_EQ(rect.bottom - rect.top, screen.height() & ~1);
    EXPECT_FALSE(mouse);
    EXPECT_EQ(video.children, std::vector<int>{1});
    EXPECT_TRUE(dlg->ScreenRunning());
    EXPECT_FALSE(dlg->IsControlVisible("bnt_screen_start"));
    EXPECT_TRUE(dlg->IsControlVisible("bnt_screen_stop"));
    EXPECT_EQ(dlg->Picker(), nullptr);
    ClickNamed("bnt_screen_stop");
    EXPECT_EQ(video.childStops, 1);
    EXPECT_TRUE(dlg->IsControlVisible("bnt_screen_start"));
    EXPECT_FALSE(dlg->IsControlVisible("bnt_screen_stop"));
}

TEST_F(LiveSetting, RegionCaptureFollowsThePickerAndAFailureClosesIt) {
    Open();
    ClickNamed("OptionCatchRect2");
    video.startOk = false;
    ClickNamed("bnt_screen_start");
    EXPECT_EQ(dlg->Picker(), nullptr);  // failed: the picker went
    EXPECT_FALSE(dlg->ScreenRunning());
    EXPECT_TRUE(dlg->IsControlVisible("bnt_screen_start"));
    EXPECT_TRUE(dlg->IsControlVisible("text_tip"));

    video.startOk = true;
    video.screens.clear();
    ClickNamed("bnt_screen_start");
    CAvScreenRect* picker = dlg->Picker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->GetMode(), CAvScreenRect::Mode::kRegion);
    EXPECT_TRUE(picker->isVisible());
    ASSERT_FALSE(video.screens.empty());
    auto region = std::get<1>(video.screens.back());
    EXPECT_EQ(QRect(region.left, region.top, region.right - region.left, region.bottom - region.top),
              picker->RegionRect());
    // The user sizes the frame: the capture follows with the new region.
    picker->resize(301, 211);
    region = std::get<1>(video.screens.back());
    EXPECT_EQ(std::get<0>(video.screens.back()), 0u);
    EXPECT_EQ(QRect(region.left, region.top, region.right - region.left, region.bottom - region.top),
              picker->RegionRect());
    EXPECT_EQ((region.right - region.left) % 2, 0);
    // Its close button ends the capture.
    ClickNamed("OptionCatchFull1");  // a change of choice does not touch the running one
    Click(picker->FindControl("bnt_close"));
    EXPECT_EQ(video.childStops, 1);
    EXPECT_FALSE(dlg->ScreenRunning());
    EXPECT_EQ(dlg->Picker(), nullptr);
    EXPECT_TRUE(dlg->IsControlVisible("bnt_screen_start"));
}

TEST_F(LiveSetting, FollowCaptureTakesTheReportedWindowNotTheDialog) {
    Open();
    dlg->move(0, 0);
    QWidget other;
    other.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    other.setGeometry(600, 300, 200, 150);
    other.show();
    ClickNamed("OptionCatchWindows1");
    ClickNamed("bnt_screen_start");
    CAvScreenRect* picker = dlg->Picker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->GetMode(), CAvScreenRect::Mode::kFollow);
    const std::size_t before = video.screens.size();
    picker->FollowTick(dlg->geometry().center());  // over the dialog: nothing
    EXPECT_EQ(video.screens.size(), before);
    picker->FollowTick(QPoint(700, 350));
    ASSERT_EQ(video.screens.size(), before + 1);
    const auto [window, rect, mouse] = video.screens.back();
    EXPECT_EQ(window, static_cast<std::uintptr_t>(other.winId()));
    EXPECT_NE(window, static_cast<std::uintptr_t>(dlg->winId()));
    EXPECT_EQ(rect.left, 600);
    EXPECT_EQ(rect.right, 800);
    EXPECT_EQ(picker->geometry(), other.frameGeometry());
    ClickNamed("bnt_screen_stop");
    EXPECT_EQ(dlg->Picker(), nullptr);
}

TEST_F(LiveSetting, MovieSourcePlaysShowsItsTimeAndStops) {
    Open();
    answer = dir.filePath("clip.zvf").toStdString();
    video.total = 125;
    ClickNamed("bnt_movie_open");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "选择视频|视频文件(*.zvf;*.avi;*.mp4;*.mkv;*.rmvb;*.mov;*.wmv)|.mp4");
    EXPECT_EQ(video.played, std::vector<std::string>{answer});
    EXPECT_EQ(video.children, std::vector<int>{3});
    auto* progress = Find<CSliderUI>("slider_movie_progress");
    EXPECT_EQ(progress->Slider()->maximum(), 125);
    EXPECT_EQ(progress->Slider()->singleStep(), 10);
    EXPECT_TRUE(progress->IsEnabled());

    video.now = 65;
    dlg->OnTimer(CLiveSettingDlg::kMovieTimer);
    EXPECT_EQ(dlg->GetControlText("text_movie_time"), "01:05/02:05");
    EXPECT_EQ(progress->GetValue(), 65);
    // While the user holds the slider, the time moves but the slider does not.
    progress->Slider()->setSliderDown(true);
    video.now = 70;
    dlg->MovieTick();
    EXPECT_EQ(dlg->GetControlText("text_movie_time"), "01:10/02:05");
    EXPECT_EQ(progress->GetValue(), 65);
    progress->Slider()->setSliderDown(false);
    Move(progress, 100);
    EXPECT_EQ(video.seeks, std::vector<int>{100});

    ClickNamed("bnt_movie_pause");
    EXPECT_EQ(video.pauses, 1);
    // Past its end the movie stops.
    video.now = 126;
    dlg->MovieTick();
    EXPECT_FALSE(dlg->MovieRunning());
    EXPECT_EQ(video.movieStops, 1);
    EXPECT_EQ(video.childStops, 1);
    EXPECT_FALSE(Find("bnt_movie_stop")->IsEnabled());

    // Any other extension, even "ZVF", is an ordinary movie.
    answer = dir.filePath("clip.ZVF").toStdString();
    ClickNamed("bnt_movie_open");
    EXPECT_EQ(video.children.back(), 2);
    ClickNamed("bnt_movie_stop");
    EXPECT_EQ(video.movieStops, 2);
    EXPECT_EQ(video.childStops, 2);
}

TEST_F(LiveSetting, AMovieOfUnknownLengthIsNeverStoppedByTheClock) {
    Open();
    answer = "/videos/live.mp4";
    video.total = 0;
    ClickNamed("bnt_movie_open");
    EXPECT_EQ(video.children, std::vector<int>{2});
    EXPECT_FALSE(Find("slider_movie_progress")->IsEnabled());
    video.now = 3725;
    dlg->MovieTick();
    EXPECT_TRUE(dlg->MovieRunning());
    EXPECT_EQ(dlg->GetControlText("text_movie_time"), "62:05/--:--");
    EXPECT_EQ(video.movieStops, 0);

    // A movie that does not open starts no source.
    ClickNamed("bnt_movie_stop");
    video.playOk = false;
    ClickNamed("bnt_movie_open");
    EXPECT_EQ(video.children.size(), 1u);
    EXPECT_FALSE(dlg->MovieRunning());
    EXPECT_TRUE(dlg->IsControlVisible("text_tip"));
}

TEST_F(LiveSetting, TheGridGoesOffByItself) {
    Open();
    ClickNamed("bnt_grid");
    EXPECT_EQ(video.grid, std::vector<bool>{true});
    dlg->OnTimer(CLiveSettingDlg::kGridTimer);
    EXPECT_EQ(video.grid, (std::vector<bool>{true, false}));
    dlg->OnTimer(CLiveSettingDlg::kGridTimer);  // once only
    EXPECT_EQ(video.grid.size(), 2u);
}

TEST(LiveSettingText, MovieKindAndTime) {
    EXPECT_EQ(CLiveSettingDlg::MovieKind("/a/b.zvf"), 3);
    EXPECT_EQ(CLiveSettingDlg::MovieKind("/a/b.zvf.mp4"), 2);
    EXPECT_EQ(CLiveSettingDlg::MovieKind("/a.zvf/b"), 2);
    EXPECT_EQ(CLiveSettingDlg::MovieKind("/a/b.Zvf"), 2);
    EXPECT_EQ(CLiveSettingDlg::MovieTime(0, 59), "00:00/00:59");
    EXPECT_EQ(CLiveSettingDlg::MovieTime(61, 0), "01:01/--:--");
}
