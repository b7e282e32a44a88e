#include "room/mic/room_mic.h"

#include <cstdio>

#include "core/app_context.h"
#include "core/log.h"
#include "net/catalogue_media.h"
#include "room/markup_text.h"

namespace {

template <class Msg>
Msg Decode(const unsigned char* body, std::size_t length) {
    return wire::decode<Msg>(body, length);
}

}  // namespace

CRoomMic::CRoomMic(CRoomSession& session, Setup setup)
    : session_(session),
      audio_(setup.audio ? *setup.audio : loggedAudio_),
      postKey_(std::move(setup.postKey)),
      talkKey_(setup.talkKey) {
    if (setup.keys) {
        watcher_ = std::make_unique<CKeyWatcher>(
            *setup.keys, session_.timers(), room_timer::kKeyPoll, [this](bool down, unsigned vk) {
                if (postKey_) postKey_(down, vk);
                else OnTalkKey(down);
            });
        watcher_->Register(talkKey_);
    }
    ShowTalkLabel();
    session_.AddFeature(this);
}

CRoomMic::~CRoomMic() {
    session_.RemoveFeature(this);
    session_.timers().KillTimer(room_timer::kQueueCountdown);
    session_.timers().KillTimer(room_timer::kTalkStop);
}

CRoomMic::Result CRoomMic::Refuse(Result r, const char* tip) {
    if (tip) session_.view().ShowTip(tip);
    return r;
}

const char* CRoomMic::MicState() const {
    return micOpen_ ? "anchor" : freeSpeech_ ? "free" : "off";
}

// --- the anchor microphone -----------------------------------------------------------

CRoomMic::Result CRoomMic::OpenAnchor() {
    if (!session_.loggedIn()) return Refuse(Result::not_in_room, "请先进入房间");
    if (freeSpeech_) return Refuse(Result::refused, "请先关闭自由说话!");
    if (session_.anchor().userId != 0) return Refuse(Result::refused, "主播不能同时上麦!");
    if (!session_.powers().HasPower(session_.myRole(), power_id::open_mic))
        return Refuse(Result::refused, "无权限!");
    if (micOpen_) return Result::ignored;
    msg::Control_Open_Mic_Req req;
    req.user_id = session_.myUserId();
    req.room_id = session_.roomId();
    if (!session_.link().Send(req)) return Refuse(Result::not_sent, "网络未连接，发送失败");
    // One request at a time: the answer enables it again.
    session_.view().SetEnabled("bnt_AnchorOpen", false);
    return Result::sent;
}

CRoomMic::Result CRoomMic::CloseAnchor() {
    if (!session_.loggedIn()) return Refuse(Result::not_in_room, "请先进入房间");
    msg::Control_Close_Mic_Req req;
    req.user_id = session_.myUserId();
    req.room_id = session_.roomId();
    if (!session_.link().Send(req)) return Refuse(Result::not_sent, "网络未连接，发送失败");
    log_msg("send  close anchor req \r\n");
    return Result::sent;
}

void CRoomMic::SendMixOpen(bool anchor) {
    msg::Mix_Open_Mic_Req req;
    req.user_id = session_.myUserId();
    req.room_id = session_.roomId();
    req.granted = anchor ? 1 : 0;
    session_.link().Send(req);
}

void CRoomMic::ReleaseAnchor() {
    if (!micOpen_) return;
    micOpen_ = false;
    if (videoOn_) {
        audio_.CloseVideo();
        videoOn_ = false;
    }
    audio_.StopSending();
    SetSpeaking(session_.myUserId(), false);
    IRoomView& v = session_.view();
    v.SetEnabled("bnt_keyspeaker", true);
    v.SetVisible("bnt_AnchorOpen", true);
    v.SetVisible("bnt_AnchorClose", false);
}

void CRoomMic::OnOpenMicResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Open_Mic_Resp>(body, length);
    IRoomView& v = session_.view();
    v.SetEnabled("bnt_AnchorOpen", true);
    if (!r.ok()) {
        v.ShowTip(r.message);
        log_msg("open Microphone  fail =%s \r\n", r.message.c_str());
        return;
    }
    if (r.user_id == 0) {
        v.ShowTip("上麦成功");
        SendMixOpen(true);
        if (!micOpen_) {
            micOpenTick_ = session_.clock().TickMs();
            micOpen_ = true;
            v.SetEnabled("bnt_keyspeaker", false);
            v.SetVisible("bnt_AnchorOpen", false);
            v.SetVisible("bnt_AnchorClose", true);
            audio_.StartSending(true, micOpenTick_);
        }
    } else if (const auto it = session_.users().find(r.user_id); it != session_.users().end()) {
        char text[512];
        std::snprintf(text, sizeof text, "当前%s已上麦，不能同时多人上麦！",
                      it->second.nickname.c_str());
        v.ShowTip(text);
    }
    log_msg("open Microphone  succeed user_id=%d\r\n", static_cast<int>(r.user_id));
}

void CRoomMic::OnCloseMicResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Close_Mic_Resp>(body, length);
    if (!r.ok()) {
        session_.view().ShowTip(r.message);
        log_msg("close Microphone  fail =%s \r\n", r.message.c_str());
        return;
    }
    ReleaseAnchor();
    log_msg("close Microphone succeedd \r\n");
}

// --- free speech ---------------------------------------------------------------------

void CRoomMic::ShowTalkLabel() {
    char text[128];
    std::snprintf(text, sizeof text, "按住%s说话", keys::KeyName(talkKey_).c_str());
    session_.view().SetText("bnt_keyspeaker", text);
}

CRoomMic::Result CRoomMic::ToggleFreeSpeech() {
    if (freeSpeech_ && !micOpen_) {
        StopFreeSpeech();
        return Result::sent;
    }
    return StartFreeSpeech(false);
}

CRoomMic::Result CRoomMic::StartFreeSpeech(bool byKey) {
    if (!session_.loggedIn()) return Refuse(Result::not_in_room, "请先进入房间");
    if (micOpen_ || freeSpeech_) return Result::ignored;
    const CPowerTable& powers = session_.powers();
    const std::uint8_t role = session_.myRole();
    switch (session_.roomMode()) {
        case 2:
            if (!powers.HasPower(role, power_id::mic_in_mode_2))
                return Refuse(Result::refused, "无权限");
            break;
        case 1:
            if (!powers.HasPower(role, power_id::mic_in_mode_1))
                return Refuse(Result::refused, "无权限");
            break;
        case 4:
            if (!powers.HasPower(role, power_id::mic_in_mode_4))
                return Refuse(Result::refused, "无权限");
            // The server's first id, not the first one we know: the second
            // in line is not the head because the first has not arrived yet.
            if (queue_.head() != session_.myUserId()) return Refuse(Result::refused, "请先抢麦");
            break;
        default:
            return Refuse(Result::refused, "房间该模式下不能说话");
    }
    msg::Mix_Open_Mic_Req req;
    req.user_id = session_.myUserId();
    req.room_id = session_.roomId();
    req.granted = 0;
    // Without the media channel there is no turn to claim.
    if (!session_.link().Send(req)) return Refuse(Result::not_sent, "网络未连接，发送失败");
    freeSpeech_ = true;
    if (byKey) {
        keyHeld_ = true;
        session_.view().SetText("bnt_keyspeaker", "松开结束说话");
        session_.timers().SetTimer(room_timer::kTalkStop, kKeyHeldLimitMs);
    } else {
        session_.view().SetText("bnt_keyspeaker", "自由发言");
    }
    return Result::sent;
}

void CRoomMic::EndFreeTurn() {
    audio_.StopSending();
    SetSpeaking(session_.myUserId(), false);
    ShowTalkLabel();
    freeSpeech_ = false;
    keyHeld_ = false;
    session_.timers().KillTimer(room_timer::kTalkStop);
}

void CRoomMic::StopFreeSpeech() {
    if (micOpen_ || !freeSpeech_) return;
    EndFreeTurn();
}

void CRoomMic::OnTalkKey(bool down) {
    if (down) {
        if (!videoOn_) StartFreeSpeech(true);
        return;
    }
    if (!keyHeld_) return;
    keyHeld_ = false;
    StopFreeSpeech();
}

void CRoomMic::SetTalkKey(unsigned virtualKey) {
    if (virtualKey == 0) return;
    // The old key's release will never be seen.
    if (keyHeld_) OnTalkKey(false);
    talkKey_ = virtualKey;
    if (watcher_) watcher_->Register(virtualKey);
    if (!freeSpeech_) ShowTalkLabel();
}

void CRoomMic::OnMixOpenMicResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Mix_Open_Mic_Resp>(body, length);
    if (!r.ok()) {
        session_.view().ShowTip(r.message);
        if (freeSpeech_ && !micOpen_) EndFreeTurn();
        log_msg("open Microphone fail error=%s\r\n", r.message.c_str());
        return;
    }
    if (r.user_id != session_.myUserId() || r.room_id != session_.roomId()) return;
    if (micOpen_ || freeSpeech_) {
        if (micOpen_) audio_.SendingAccepted();
        else audio_.StartSending(false, session_.clock().TickMs());
        SetSpeaking(session_.myUserId(), true);
    }
    log_msg("open Microphone succeed \r\n");
}

// --- set user mic --------------------------------------------------------------------

CRoomMic::Result CRoomMic::SetUserMic(std::uint32_t target) {
    if (!session_.loggedIn()) return Refuse(Result::not_in_room, "请先进入房间");
    if (!session_.users().count(target)) return Refuse(Result::refused, "对方不在房间");
    msg::Control_Set_User_Mic_Req req;
    req.user_id = session_.myUserId();
    req.value = target;
    if (!session_.link().Send(req)) return Refuse(Result::not_sent, "网络未连接，发送失败");
    return Result::sent;
}

void CRoomMic::OnSetUserMicResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Set_User_Mic_Resp>(body, length);
    if (r.ok()) {
        log_msg("set user mic  succeed \r\n");
        return;
    }
    session_.view().ShowTip(r.message);
    log_msg("set user mic  fail =%d \r\n", static_cast<int>(r.code));
}

// --- room events ---------------------------------------------------------------------

void CRoomMic::OnLoggedIn() {
    // The server forgot my slot with the old connection: ask again.
    if (!micOpen_) return;
    msg::Control_Open_Mic_Req req;
    req.user_id = session_.myUserId();
    req.room_id = session_.roomId();
    session_.link().Send(req);
}

void CRoomMic::OnMediaLoggedIn() {
    if (micOpen_) SendMixOpen(true);
}

void CRoomMic::OnRoomCleared() {
    if (micOpen_ || freeSpeech_) audio_.StopSending();
    audio_.ResetVoice();
    if (videoOn_) audio_.CloseVideo();
    micOpen_ = false;
    freeSpeech_ = false;
    keyHeld_ = false;
    videoOn_ = false;
    micOpenTick_ = 0;
    speaking_.clear();
    queue_ = CMicQueue{};
    session_.timers().KillTimer(room_timer::kTalkStop);
    session_.timers().KillTimer(room_timer::kQueueCountdown);
    IRoomView& v = session_.view();
    v.SetEnabled("bnt_keyspeaker", true);
    v.SetEnabled("bnt_AnchorOpen", true);
    v.SetVisible("bnt_AnchorOpen", true);
    v.SetVisible("bnt_AnchorClose", false);
    v.SetText("suiplustm_mic", "");
    ShowTalkLabel();
    ShowQueue();
}

void CRoomMic::OnAnchorChanged(std::uint32_t anchorId) {
    audio_.AnchorChanged(anchorId);
    // The anchor's speaking mark may have moved with it.
    ShowQueue();
}

void CRoomMic::OnSpeakers(std::uint32_t userId, bool speaking) { SetSpeaking(userId, speaking); }

void CRoomMic::SetSpeaking(std::uint32_t userId, bool speaking) {
    const bool was = speaking_.count(userId) != 0;
    if (was == speaking) return;
    if (speaking) speaking_.insert(userId);
    else speaking_.erase(userId);
    const auto& ids = queue_.ids();
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == userId) session_.view().MicQueueView().OnQueueLineChanged(i, LineFor(i));
}

void CRoomMic::OnRoleChanged(std::uint32_t userId) {
    if (userId == session_.myUserId() && micOpen_ &&
        !session_.powers().HasPower(session_.myRole(), power_id::open_mic))
        CloseAnchor();  // as the button would
    if (queue_.Contains(userId)) ShowQueue();  // the vest changed
}

void CRoomMic::OnRoomModeShown(std::uint32_t mode) {
    IRoomView& v = session_.view();
    if (mode == 4) {
        v.SetVisible("WheatPannel", true);
        ShowQueueButtons();
        session_.timers().SetTimer(room_timer::kQueueCountdown, 1000);
        return;
    }
    v.SetVisible("WheatPannel", false);
    session_.timers().KillTimer(room_timer::kQueueCountdown);
    // The queue lives only in queue mode; the server empties it on leaving.
    if (!queue_.empty()) {
        queue_.Clear();
        ShowQueue();
    }
    v.SetText("suiplustm_mic", "");
}

void CRoomMic::OnTimer(unsigned id) {
    if (id == room_timer::kQueueCountdown) {
        session_.view().SetText("suiplustm_mic", queue_.Tick());
    } else if (id == room_timer::kTalkStop) {
        session_.timers().KillTimer(room_timer::kTalkStop);
        if (keyHeld_ && freeSpeech_) {
            keyHeld_ = false;
            StopFreeSpeech();
        }
    } else if (id == room_timer::kKeyPoll) {
        if (watcher_) watcher_->Poll();
    }
}

bool CRoomMic::OnWindowMessage(const WindowMessage& m) {
    if (m.msg != UM_TALK_KEY) return false;
    OnTalkKey(m.wParam == 1);
    return true;
}

bool CRoomMic::OnPacket(std::uint32_t command, const unsigned char* body, std::size_t length) {
    switch (command) {
        case cmd::Control_Open_Mic_Resp: OnOpenMicResp(body, length); return true;
        case cmd::Control_Close_Mic_Resp: OnCloseMicResp(body, length); return true;
        case cmd::Mix_Open_Mic_Resp: OnMixOpenMicResp(body, length); return true;
        case cmd::Control_Set_User_Mic_Resp: OnSetUserMicResp(body, length); return true;
        case cmd::Control_Wheat_List_Notify: OnWheatList(body, length); return true;
        case cmd::Control_Rob_Wheat_Resp:
        case cmd::Control_Put_Wheat_Resp:
        case cmd::Control_Control_Wheat_Resp:
        case cmd::Control_Disable_Wheat_Resp:
        case cmd::Control_Add_WheatTm_Resp:
        case cmd::Control_Remove_Wheat_Resp:
        case cmd::Control_RemoveAll_Wheat_Resp:
        case cmd::Control_Top_Wheat_Resp: OnQueueResp(command, body, length); return true;
        default: return false;
    }
}
