// The room window's sound controls: the microphone and sound buttons mute
// and unmute the voice's devices, a right-click on them opens the device's
// volume, and the user menu opens a user's own volume. The buttons always
// show what the device says, so a refused change shows as no change.
#include "audio/capture/mixer.h"
#include "room/room_volumes.h"
#include "ui/room_ui.h"
#include "ui/sound_slider_dlg.h"

namespace {

struct SoundButtons {
    const char* open;   // shown while muted
    const char* close;  // shown while not
    int kind;
    const char* icon;
};
constexpr SoundButtons kSoundButtons[] = {
    {"bnt_MicOpen", "bnt_MicClose", CMixer::kMicrophone, "mic_on.png"},
    {"bnt_FmOpen", "bnt_FmClose", CMixer::kPlayback, "fm_on.png"},
};
constexpr int kDeviceVolumeMax = 100;
constexpr int kUserVolumeMax = 200;
constexpr const char* kUserVolumeIcon = "fm_on.png";
constexpr const char* kSetFailed = "设置失败";
constexpr const char* kUserVolumeNotSaved = "音量设置保存失败";

const SoundButtons* ButtonsNamed(const std::string& name) {
    for (const SoundButtons& b : kSoundButtons)
        if (name == b.open || name == b.close) return &b;
    return nullptr;
}

const SoundButtons* ButtonsOfKind(int kind) {
    for (const SoundButtons& b : kSoundButtons)
        if (kind == b.kind) return &b;
    return nullptr;
}

int DeviceOf(const RoomSound& s, int kind) {
    return kind == CMixer::kMicrophone ? s.micDevice : s.speakerDevice;
}

}  // namespace

void CRoomUI::ShowSoundButtons() {
    const RoomSound s = actions_.Sound();
    for (const SoundButtons& b : kSoundButtons) {
        SetControlEnabled(b.open, s.mixer != nullptr);
        SetControlEnabled(b.close, s.mixer != nullptr);
        if (!s.mixer) continue;
        const bool muted = s.mixer->GetMute(b.kind, DeviceOf(s, b.kind));
        SetControlVisible(b.open, muted);
        SetControlVisible(b.close, !muted);
    }
}

bool CRoomUI::OnSoundClick(const std::string& name) {
    const SoundButtons* b = ButtonsNamed(name);
    if (!b) return false;
    const RoomSound s = actions_.Sound();
    if (s.mixer && !s.mixer->SetMute(b->kind, name == b->close, DeviceOf(s, b->kind)))
        ShowTip(kSetFailed);
    ShowSoundButtons();
    return true;
}

bool CRoomUI::OnSoundRightClick(const std::string& name, const TNotifyUI& msg) {
    const SoundButtons* b = ButtonsNamed(name);
    if (!b) return false;
    const QRect beside = msg.pSender
                             ? QRect(msg.pSender->mapToGlobal(QPoint(0, 0)), msg.pSender->size())
                             : QRect(msg.ptMouse, QSize(1, 1));
    OpenDeviceVolume(b->kind, beside);
    return true;
}

CSoundSliderDlg& CRoomUI::Slider() {
    if (!slider_) {
        slider_ = new CSoundSliderDlg;
        slider_->Create();
    }
    return *slider_;
}

void CRoomUI::OpenDeviceVolume(int kind, const QRect& besideOnScreen) {
    const SoundButtons* b = ButtonsOfKind(kind);
    const RoomSound s = actions_.Sound();
    if (!b || !s.mixer) return;
    CSoundSliderDlg& dlg = Slider();
    dlg.Setup(kDeviceVolumeMax, s.mixer->GetVolume(kind, DeviceOf(s, kind)), b->icon,
              [this, kind](int value) {
                  // Asked again: the voice may have gone while the pop-up was open.
                  const RoomSound now = actions_.Sound();
                  if (!now.mixer || !now.mixer->SetVolume(kind, value, DeviceOf(now, kind)))
                      ShowTip(kSetFailed);
              });
    dlg.ShowBeside(besideOnScreen);
}

void CRoomUI::OpenUserVolume(std::uint32_t userId, QPoint screen) {
    const CRoomVolumes* volumes = actions_.Volumes();
    if (!volumes || userId == 0) return;
    CSoundSliderDlg& dlg = Slider();
    dlg.Setup(kUserVolumeMax, volumes->Volume(userId), kUserVolumeIcon, [this, userId](int value) {
        CRoomVolumes* now = actions_.Volumes();
        if (!now || !now->SetVolume(userId, value)) ShowTip(kUserVolumeNotSaved);
    });
    dlg.ShowBeside(QRect(screen, QSize(1, 1)));
}
