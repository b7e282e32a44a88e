// The room window's video controls: the broadcast and record buttons, the
// video area's picture window and the text scrolling over it. The room's
// CRoomVideo decides and shows the buttons' states.
#include "room/video/room_video.h"
#include "ui/room_ui.h"
#include "ui/video_wnd.h"

bool CRoomUI::OnVideoClick(const std::string& name) {
    CRoomVideo* video = actions_.Video();
    if (name == "bnt_videoOpen") {
        if (video) video->OpenCamera();
    } else if (name == "bnt_videoClose") {
        if (video) video->CloseCamera();
    } else if (name == "bnt_videoOpen2") {
        if (openLiveSettings_) openLiveSettings_();
    } else if (name == "bnt_music_play") {
        if (video) video->OpenMusicPlayer();
    } else if (name == "bnt_record_start") {
        if (video) video->StartRecording();
    } else if (name == "bnt_record_stop") {
        if (video) video->StopRecording();
    } else {
        return false;
    }
    return true;
}

void CRoomUI::SetLiveSettingsOpener(std::function<void()> open) {
    openLiveSettings_ = std::move(open);
    SetControlEnabled("bnt_videoOpen2", openLiveSettings_ != nullptr);
}

HWND CRoomUI::VideoWindow() const { return videoArea_ ? videoArea_->VideoWnd().Handle() : 0; }

std::string CRoomUI::ChooseRecordPath(const std::string& suggested) {
    return saveRecord_ ? saveRecord_(suggested, "(*.mp4)") : suggested;
}
