// The microphone queue's side of CRoomMic: its requests, the list notify,
// the answers, the list lines and the panel's buttons.
#include "core/app_context.h"
#include "core/log.h"
#include "room/markup_text.h"
#include "room/mic/room_mic.h"

namespace {
template <class Msg>
Msg Decode(const unsigned char* body, std::size_t length) {
    return wire::decode<Msg>(body, length);
}
}  // namespace

template <class Req>
CRoomMic::Result CRoomMic::SendQueueRequest(const Req& req) {
    if (!session_.loggedIn()) return Refuse(Result::not_in_room, "请先进入房间");
    if (!session_.link().Send(req)) return Refuse(Result::not_sent, "网络未连接，发送失败");
    return Result::sent;
}

CRoomMic::Result CRoomMic::Rob() {
    return SendQueueRequest(msg::Control_Rob_Wheat_Req{session_.myUserId()});
}
CRoomMic::Result CRoomMic::Put() {
    return SendQueueRequest(msg::Control_Put_Wheat_Req{session_.myUserId()});
}
CRoomMic::Result CRoomMic::Control(bool controlled) {
    return SendQueueRequest(
        msg::Control_Control_Wheat_Req{session_.myUserId(), controlled ? 1u : 0u});
}
CRoomMic::Result CRoomMic::Disable(bool forbidden) {
    return SendQueueRequest(
        msg::Control_Disable_Wheat_Req{session_.myUserId(), forbidden ? 1u : 0u});
}
CRoomMic::Result CRoomMic::Top(std::uint32_t target) {
    return SendQueueRequest(msg::Control_Top_Wheat_Req{target});
}
CRoomMic::Result CRoomMic::AddTime(std::uint32_t target) {
    return SendQueueRequest(msg::Control_Add_WheatTm_Req{target});
}
CRoomMic::Result CRoomMic::Remove(std::uint32_t target) {
    return SendQueueRequest(msg::Control_Remove_Wheat_Req{target});
}
CRoomMic::Result CRoomMic::RemoveAll() {
    // The server takes the actor from the connection; the id is mine.
    return SendQueueRequest(msg::Control_RemoveAll_Wheat_Req{session_.myUserId()});
}

// --- the view ------------------------------------------------------------------------

MicQueueLine CRoomMic::LineFor(std::size_t index) const {
    MicQueueLine line;
    line.userId = queue_.ids()[index];
    const auto it = session_.users().find(line.userId);
    const RoomUser* u = it == session_.users().end() ? nullptr : &it->second;
    line.text = markup::MicQueueEntry(Speaking(line.userId) ? "spearking.png" : "un_speark.png",
                                      static_cast<int>(index) + 1, u ? u->vestIcon : "",
                                      markup::ListNickname(u ? u->nickname : ""));
    return line;
}

void CRoomMic::ShowQueue() {
    std::vector<MicQueueLine> lines;
    lines.reserve(queue_.ids().size());
    for (std::size_t i = 0; i < queue_.ids().size(); ++i) lines.push_back(LineFor(i));
    session_.view().MicQueueView().OnQueueShown(lines);
}

// Which of rob and down shows follows from the queue itself, so a refusal
// or a re-login never offers "rob" to someone queued.
void CRoomMic::ShowQueueButtons() {
    IRoomView& v = session_.view();
    const bool queued = queue_.Contains(session_.myUserId());
    v.SetVisible("down_mic", queued);
    v.SetVisible("rob_mic", !queued);
    v.SetEnabled("rob_mic", !queue_.forbidden());
}

void CRoomMic::ShowSwitches() {
    IRoomView& v = session_.view();
    v.SetVisible("put_mic", queue_.controlled());
    v.SetVisible("control_mic", !queue_.controlled());
    v.SetVisible("open_mic", queue_.forbidden());
    v.SetVisible("ban_mic", !queue_.forbidden());
}

std::string CRoomMic::QueueSummary() const {
    std::string s = std::to_string(queue_.headSeconds()) + "s controlled=" +
                    (queue_.controlled() ? "1" : "0") +
                    " forbidden=" + (queue_.forbidden() ? "1" : "0") + " |";
    const auto& ids = queue_.ids();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto it = session_.users().find(ids[i]);
        s += " " + std::to_string(i + 1) + "." +
             (it == session_.users().end() ? std::string() : it->second.nickname) + "(" +
             std::to_string(ids[i]) + ")";
    }
    return s;
}

void CRoomMic::ReportQueue() { session_.view().Report("queue", QueueSummary()); }

// --- the list notify and the answers -------------------------------------------------

void CRoomMic::OnWheatList(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Wheat_List_Notify>(body, length);
    if (!r.ok()) {
        session_.view().ShowTip(r.message);
        log_msg("OnTLVCommand_Control_Wheat_List_Notify error=%s\r\n", r.message.c_str());
        return;
    }
    queue_.Assign(r, session_.users());
    ShowQueue();
    ShowSwitches();
    ShowQueueButtons();
    session_.view().SetText("suiplustm_mic", queue_.SecondsText());
    // The queue's speakers are announced afresh by the voice packets.
    AppContext::instance().setSpeakers(0, 0);
    ReportQueue();
}

void CRoomMic::OnQueueResp(std::uint32_t command, const unsigned char* body, std::size_t length) {
    // Every queue answer has the status and, where it names one, tag 1 a
    // user and tag 2 a switch.
    const auto r = Decode<msg::user_value_resp<0>>(body, length);
    IRoomView& v = session_.view();
    if (!r.ok()) {
        const char* name = command == cmd::Control_Rob_Wheat_Resp        ? "Rob_Wheat_Resp"
                           : command == cmd::Control_Put_Wheat_Resp      ? "Put_Wheat_Resp"
                           : command == cmd::Control_Control_Wheat_Resp  ? "Control_Wheat_Resp"
                           : command == cmd::Control_Disable_Wheat_Resp  ? "Disable_Wheat_Resp"
                           : command == cmd::Control_Add_WheatTm_Resp    ? "Add_WheatTm_Resp"
                           : command == cmd::Control_Remove_Wheat_Resp   ? "Remove_Wheat_Resp"
                           : command == cmd::Control_RemoveAll_Wheat_Resp ? "RemoveAll_Wheat_Resp"
                                                                          : "Top_Wheat_Resp";
        // A top refusal without text has nothing to show.
        if (!r.message.empty()) v.ShowTip(r.message);
        log_msg("OnTLVCommand_Control_%s error=%s\r\n", name, r.message.c_str());
        return;
    }
    switch (command) {
        case cmd::Control_Rob_Wheat_Resp:
            v.SetVisible("rob_mic", false);
            v.SetVisible("down_mic", true);
            break;
        case cmd::Control_Put_Wheat_Resp:
            v.SetVisible("rob_mic", true);
            v.SetVisible("down_mic", false);
            break;
        case cmd::Control_Control_Wheat_Resp:
            queue_.SetControlled(r.value == 1);
            ShowSwitches();
            break;
        case cmd::Control_Disable_Wheat_Resp:
            queue_.SetForbidden(r.value == 1);
            ShowSwitches();
            v.SetEnabled("rob_mic", !queue_.forbidden());
            break;
        case cmd::Control_Remove_Wheat_Resp:
            // Positions, head and buttons are rebuilt, not patched.
            if (queue_.Remove(r.user_id)) {
                ShowQueue();
                ShowQueueButtons();
                v.SetText("suiplustm_mic", queue_.SecondsText());
            }
            break;
        case cmd::Control_RemoveAll_Wheat_Resp:
            queue_.Clear();
            ShowQueue();
            ShowQueueButtons();
            v.SetText("suiplustm_mic", "");
            break;
        default:
            break;
    }
}
