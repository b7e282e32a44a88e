#include "ui/live_setting_dlg.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QString>

#include <algorithm>
#include <cstdlib>

#include "core/log.h"
#include "platform/dui/inputs.h"
#include "platform/keys/app_key_state.h"
#include "platform/keys/key_state.h"

namespace {

constexpr const char* kTip = "text_tip";
constexpr const char* kSaveFailed = "设置保存失败,请检查磁盘空间和文件权限";
constexpr const char* kTalkKey = "EditSpearkKey";
constexpr const char* kDefaultDevice = "默认设备";
constexpr const char* kDefaultCamera = "默认摄像头";

// The device flags and the options that edit them.
struct FlagOption {
    const char* option;
    std::uint32_t DeviceSettings::*field;
};
constexpr FlagOption kDeviceFlags[] = {
    {"OptionMicEnhance", &DeviceSettings::micenhance}, {"OptionMicNoise", &DeviceSettings::micnoise},
    {"OptionMicEcho", &DeviceSettings::micecho},       {"OptionMicHardMix", &DeviceSettings::mixhard},
    {"OptionSoftwareMix", &DeviceSettings::mixsoftwate}, {"OptionLoopBack", &DeviceSettings::loopback},
};
// What needs the audio layer to mean anything.
constexpr const char* kAudioControls[] = {
    "OptionMicEnhance", "OptionMicNoise",   "OptionMicEcho",  "OptionMicHardMix", "OptionSoftwareMix",
    "OptionLoopBack",   "OptionFreeSpeark", "OptionKeySpeark", kTalkKey,          "ComboAudioIn",
    "ComboAudioOut",    "SliderAudioIn",    "SliderAudioOut",
};

struct Ratio {
    const char* label;
    std::uint32_t width, height;
};
constexpr Ratio kRatios[] = {{"640×480", 640, 480}, {"320×240", 320, 240}, {"176×144", 176, 144}};
constexpr const char* kQualities[] = {"低", "中", "高"};
constexpr std::uint32_t kFpsChoices[] = {5, 10, 15, 20, 25, 30};

// Fills a device combo: first the system's default (an empty name), then
// the devices; selects the one named `chosen` (case aside, as the room
// matches devices), else the default. Item i is device i - 1.
void Fill(CComboUI* combo, const char* defaultLabel, const std::vector<std::string>& items,
          const std::string& chosen) {
    if (!combo) return;
    combo->RemoveAll();
    combo->AddItem(defaultLabel);
    int sel = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int at = combo->AddItem(items[i]);
        if (sel == 0 && !chosen.empty() &&
            QString::fromStdString(items[i]).compare(QString::fromStdString(chosen), Qt::CaseInsensitive) == 0)
            sel = at;
    }
    combo->SelectItem(sel);
}

LiveSettingAsk DefaultAsk(QWidget* owner) {
    LiveSettingAsk a;
    a.openFile = [owner](const std::string& title, const std::string& filter, const std::string& suffix) {
        QFileDialog d(owner, QString::fromStdString(title), QString(), QString::fromStdString(filter));
        d.setFileMode(QFileDialog::ExistingFile);
        d.setDefaultSuffix(QString::fromStdString(suffix).remove(0, suffix.starts_with('.') ? 1 : 0));
        if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::string();
        return d.selectedFiles().first().toStdString();
    };
    a.pickFont = [owner](const std::string& current) {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, QFont(QString::fromStdString(current)), owner);
        return ok ? f.family().toStdString() : std::string();
    };
    return a;
}

}  // namespace

CLiveSettingDlg::CLiveSettingDlg(ILiveVideo& video, LiveSettingDevices devices, LiveSettingFiles files,
                                 std::function<void()> onChanged)
    : engine_(video), devices_(std::move(devices)), files_(std::move(files)), onChanged_(std::move(onChanged)) {
    ask_ = DefaultAsk(this);
}

CLiveSettingDlg::~CLiveSettingDlg() {
    KillTimer(kGridTimer);
    KillTimer(kMovieTimer);
    if (picker_) {
        picker_->Detach();
        delete picker_.data();
    }
}

void CLiveSettingDlg::InitWindow() {
    Reload();
    SetScreenButtons(false);
    SetMovieControls(false);
    if (auto* edit = FindControl<CEditUI>(kTalkKey)) edit->Edit()->installEventFilter(this);
}

void CLiveSettingDlg::Reload() {
    LoadSettings();
    ShowTip({});
    ShowDevices();
    ShowVideoSource();
    ShowRecord();
    ShowEffect();
}

void CLiveSettingDlg::OnFinalMessage() {
    // A grid left on would stay on the preview for good.
    if (gridOn_) {
        KillTimer(kGridTimer);
        engine_.SetGrid(false);
        gridOn_ = false;
    }
}

void CLiveSettingDlg::LoadSettings() {
    // A missing or damaged file leaves the defaults; the store set a damaged
    // one aside already.
    store_.SetPath(files_.settings);
    device_ = {};
    video_ = {};
    record_ = {};
    store_.ReadDevice(device_);
    store_.ReadVideo(video_);
    store_.ReadRecord(record_);
    effect_ = EffectRecord::Defaults();
    LoadEffect(files_.effect, effect_);
}

void CLiveSettingDlg::ShowDevices() {
    for (const FlagOption& f : kDeviceFlags) SetControlSelected(f.option, device_.*f.field != 0);
    SetControlSelected(device_.spearkertype ? "OptionKeySpeark" : "OptionFreeSpeark", true);
    SetControlText(kTalkKey, device_.keyname);
    Fill(FindControl<CComboUI>("ComboAudioIn"), kDefaultDevice, devices_.inputs, device_.micname);
    Fill(FindControl<CComboUI>("ComboAudioOut"), kDefaultDevice, devices_.outputs, device_.speakername);
    const bool audio = static_cast<bool>(devices_.getVolume);
    for (const char* name : kAudioControls) SetControlEnabled(name, audio);
    if (!audio) return;
    ShowVolume("ComboAudioIn", "SliderAudioIn", kMicrophoneKind);
    ShowVolume("ComboAudioOut", "SliderAudioOut", kPlaybackKind);
}

void CLiveSettingDlg::ShowVolume(const char* combo, const char* slider, int kind) {
    auto* s = FindControl<CSliderUI>(slider);
    if (!s || !devices_.getVolume) return;
    s->SetValue(std::clamp(devices_.getVolume(kind, Selected(combo)), 0, 100));
}

int CLiveSettingDlg::Selected(const char* combo) const {
    const auto* c = FindControl<CComboUI>(combo);
    return c ? std::max(-1, c->GetCurSel() - 1) : -1;
}

void CLiveSettingDlg::ShowVideoSource() {
    Fill(FindControl<CComboUI>("ComboVideo"), kDefaultCamera, devices_.cameras, video_.videoname);
    static constexpr const char* kCatch[] = {"OptionCatchFull1", "OptionCatchWindows1", "OptionCatchRect1"};
    SetControlSelected(kCatch[std::min<std::uint32_t>(video_.catch_type, 2)], true);
    SetControlSelected("OptionCatchEnabled", video_.mouse_enabled != 0);
    static constexpr const char* kMouse[] = {"OptionCatchMax", "OptionCatchMid", "OptionCatchMin"};
    SetControlSelected(kMouse[std::min<std::uint32_t>(video_.mouse_type, 2)], true);
}

void CLiveSettingDlg::ShowRecord() {
    if (auto* q = FindControl<CComboUI>("combo_quality")) {
        q->RemoveAll();
        for (const char* label : kQualities) q->AddItem(label);
        q->SelectItem(static_cast<int>(std::min<std::uint32_t>(record_.record_quality, 2)));
    }
    if (auto* r = FindControl<CComboUI>("combo_ratio")) {
        r->RemoveAll();
        int sel = -1;
        for (std::size_t i = 0; i < std::size(kRatios); ++i) {
            r->AddItem(kRatios[i].label);
            if (kRatios[i].width == record_.record_width && kRatios[i].height == record_.record_height)
                sel = static_cast<int>(i);
        }
        // A size written by hand stays until another is chosen.
        r->SelectItem(sel);
    }
    if (auto* f = FindControl<CComboUI>("combo_fps")) {
        f->RemoveAll();
        std::vector<std::uint32_t> choices(std::begin(kFpsChoices), std::end(kFpsChoices));
        if (std::find(choices.begin(), choices.end(), record_.record_fps) == choices.end()) {
            choices.push_back(record_.record_fps);
            std::sort(choices.begin(), choices.end());
        }
        for (std::uint32_t fps : choices) {
            const int at = f->AddItem(std::to_string(fps));
            if (fps == record_.record_fps) f->SelectItem(at);
        }
    }
}

void CLiveSettingDlg::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    if (msg.sType == n::kClick && msg.senderName == "closebtn") {
        SaveAndClose();
        return;
    }
    if (msg.sType == n::kSelectChanged && msg.senderName.starts_with("tab_") && msg.wParam) {
        static constexpr const char* kTabs[] = {"tab_audio", "tab_video", "tab_effect", "tab_record"};
        for (int i = 0; i < static_cast<int>(std::size(kTabs)); ++i)
            if (msg.senderName == kTabs[i])
                if (auto* tabs = FindControl<CTabLayoutUI>("tabs_live")) tabs->SelectItem(i);
        return;
    }
    if (OnDeviceNotify(msg) || OnRecordNotify(msg) || OnEffectNotify(msg)) return;
    OnCaptureNotify(msg);
}

bool CLiveSettingDlg::OnDeviceNotify(const TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kSelectChanged) {
        for (const FlagOption& f : kDeviceFlags) {
            if (name != f.option) continue;
            device_.*f.field = msg.wParam ? 1 : 0;
            return true;
        }
        if (name == "OptionFreeSpeark" || name == "OptionKeySpeark") {
            device_.spearkertype = IsControlSelected("OptionKeySpeark") ? 1 : 0;
            return true;
        }
        return false;
    }
    if (msg.sType == n::kItemSelect) {
        const int index = static_cast<int>(msg.wParam) - 1;  // 0 is the default
        auto text = [&](const std::vector<std::string>& list) {
            return index >= 0 && index < static_cast<int>(list.size()) ? list[index] : std::string();
        };
        if (name == "ComboAudioIn") {
            device_.micname = text(devices_.inputs);
            ShowVolume("ComboAudioIn", "SliderAudioIn", kMicrophoneKind);
        } else if (name == "ComboAudioOut") {
            device_.speakername = text(devices_.outputs);
            ShowVolume("ComboAudioOut", "SliderAudioOut", kPlaybackKind);
        } else if (name == "ComboVideo") {
            video_.videoname = text(devices_.cameras);
        } else {
            return false;
        }
        return true;
    }
    if (msg.sType == n::kValueChanged && (name == "SliderAudioIn" || name == "SliderAudioOut")) {
        const bool mic = name == "SliderAudioIn";
        const int percent = static_cast<int>(msg.wParam);
        if (devices_.setVolume &&
            !devices_.setVolume(mic ? kMicrophoneKind : kPlaybackKind,
                                Selected(mic ? "ComboAudioIn" : "ComboAudioOut"), percent))
            ShowTip("音量设置失败");
        return true;
    }
    return false;
}

bool CLiveSettingDlg::OnRecordNotify(const TNotifyUI& msg) {
    if (msg.sType != dui::notify::kItemSelect) return false;
    const int index = static_cast<int>(msg.wParam);
    if (msg.senderName == "combo_quality") {
        if (index >= 0 && index < static_cast<int>(std::size(kQualities)))
            record_.record_quality = static_cast<std::uint32_t>(index);
    } else if (msg.senderName == "combo_ratio") {
        if (index >= 0 && index < static_cast<int>(std::size(kRatios))) {
            record_.record_width = kRatios[index].width;
            record_.record_height = kRatios[index].height;
        }
    } else if (msg.senderName == "combo_fps") {
        const auto* f = FindControl<CComboUI>("combo_fps");
        const std::string text = f ? f->GetItemText(index) : std::string();
        if (!text.empty()) record_.record_fps = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
    } else {
        return false;
    }
    return true;
}

bool CLiveSettingDlg::eventFilter(QObject* watched, QEvent* e) {
    const auto* edit = FindControl<CEditUI>(kTalkKey);
    if (edit && watched == edit->Edit() && e->type() == QEvent::KeyPress &&
        TakeTalkKey(static_cast<QKeyEvent*>(e)->key()))
        return true;
    return WindowImplBase::eventFilter(watched, e);
}

bool CLiveSettingDlg::TakeTalkKey(int qtKey) {
    const unsigned vk = CAppKeyState::VirtualKeyOf(qtKey);
    if (vk == 0 || vk > 255) return false;
    device_.keyvalue = vk;
    device_.keyname = keys::KeyName(vk);
    SetControlText(kTalkKey, device_.keyname);
    return true;
}

void CLiveSettingDlg::ShowTip(const std::string& text) {
    SetControlText(kTip, text);
    SetControlVisible(kTip, !text.empty());
}

bool CLiveSettingDlg::SaveAndClose() {
    bool saved = store_.WriteDevice(device_);
    saved = store_.WriteVideo(video_) && saved;
    saved = store_.WriteRecord(record_) && saved;
    saved = SaveEffect(files_.effect, effect_) && saved;
    if (!saved) {
        ShowTip(kSaveFailed);
        return false;
    }
    ShowTip({});
    if (onChanged_) onChanged_();
    Close();
    return true;
}
