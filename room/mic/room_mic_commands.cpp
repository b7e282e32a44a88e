// The microphone's typed commands (headless): each runs what its button or
// menu entry runs, with the same checks.
#include "room/mic/room_mic.h"
#include "room/typed_command.h"

bool CRoomMic::OnTypedCommand(const std::string& line) {
    const typed::Line t = typed::Split(line);
    const auto& a = t.args;
    IRoomView& view = session_.view();
    const auto usage = [&](const char* text) {
        view.ShowTip(std::string("usage: ") + text);
        return true;
    };
    // Commands without arguments.
    struct Plain {
        const char* word;
        Result (CRoomMic::*run)();
    };
    static const Plain kPlain[] = {
        {"/anchor", &CRoomMic::OpenAnchor}, {"/unanchor", &CRoomMic::CloseAnchor},
        {"/speak", &CRoomMic::ToggleFreeSpeech}, {"/rob", &CRoomMic::Rob},
        {"/down", &CRoomMic::Put}, {"/removeall", &CRoomMic::RemoveAll},
    };
    for (const Plain& p : kPlain) {
        if (t.word != p.word) continue;
        if (!a.empty()) return usage(p.word);
        (this->*p.run)();
        return true;
    }
    // Switches of the queue panel.
    struct Switch {
        const char* word;
        Result (CRoomMic::*run)(bool);
        bool on;
    };
    static const Switch kSwitches[] = {
        {"/control", &CRoomMic::Control, true}, {"/release", &CRoomMic::Control, false},
        {"/ban", &CRoomMic::Disable, true},     {"/open", &CRoomMic::Disable, false},
    };
    for (const Switch& s : kSwitches) {
        if (t.word != s.word) continue;
        if (!a.empty()) return usage(s.word);
        (this->*s.run)(s.on);
        return true;
    }
    // Commands on one user.
    struct OnUser {
        const char* word;
        const char* usage;
        Result (CRoomMic::*run)(std::uint32_t);
    };
    static const OnUser kOnUser[] = {
        {"/top", "/top ID", &CRoomMic::Top},
        {"/addtime", "/addtime ID", &CRoomMic::AddTime},
        {"/remove", "/remove ID", &CRoomMic::Remove},
        {"/setmic", "/setmic ID", &CRoomMic::SetUserMic},
    };
    for (const OnUser& o : kOnUser) {
        if (t.word != o.word) continue;
        std::uint32_t id = 0;
        if (a.size() != 1 || !typed::ParseUserId(a[0], id)) return usage(o.usage);
        (this->*o.run)(id);
        return true;
    }
    if (t.word == "/key") {
        if (a.size() != 1 || (a[0] != "down" && a[0] != "up")) return usage("/key down|up");
        // As the key watcher does: through the window's message.
        const bool down = a[0] == "down";
        if (postKey_) postKey_(down, talkKey_);
        else OnTalkKey(down);
        return true;
    }
    if (t.word == "/queue") {
        if (!a.empty()) return usage("/queue");
        if (!session_.loggedIn()) {
            Refuse(Result::not_in_room, "请先进入房间");
            return true;
        }
        ReportQueue();
        return true;
    }
    if (t.word == "/mic") {
        if (!a.empty()) return usage("/mic");
        view.Report("mic", MicState());
        return true;
    }
    return false;
}
