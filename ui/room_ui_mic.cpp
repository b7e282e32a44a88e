// The room window's microphone controls: the anchor and talk buttons, the
// queue panel, the queue list and its menu. Every action goes to the room's
// CRoomMic, which checks, sends and sets the controls' states.
#include "platform/dui/list.h"
#include "platform/dui/menu.h"
#include "room/mic/room_mic.h"
#include "ui/room_ui.h"

namespace {
constexpr const char* kQueueMenu = "WheatMenu.xml";
constexpr int kQueueLineHeight = 30;
}  // namespace

bool CRoomUI::OnMicClick(const std::string& name) {
    CRoomMic* mic = actions_.Mic();
    struct Button {
        const char* name;
        void (*run)(CRoomMic&);
    };
    static const Button kButtons[] = {
        {"bnt_AnchorOpen", [](CRoomMic& m) { m.OpenAnchor(); }},
        {"bnt_AnchorClose", [](CRoomMic& m) { m.CloseAnchor(); }},
        {"bnt_keyspeaker", [](CRoomMic& m) { m.ToggleFreeSpeech(); }},
        {"rob_mic", [](CRoomMic& m) { m.Rob(); }},
        {"down_mic", [](CRoomMic& m) { m.Put(); }},
        {"control_mic", [](CRoomMic& m) { m.Control(true); }},
        {"put_mic", [](CRoomMic& m) { m.Control(false); }},
        {"ban_mic", [](CRoomMic& m) { m.Disable(true); }},
        {"open_mic", [](CRoomMic& m) { m.Disable(false); }},
    };
    for (const Button& b : kButtons) {
        if (name != b.name) continue;
        if (mic) b.run(*mic);
        return true;
    }
    return false;
}

void CRoomUI::OpenQueueMenu(std::uint32_t userId, QPoint screen) {
    if (menu_) menu_->close();
    auto* menu = new CMenuWnd(this, kQueueMenu);
    if (!menu->IsLoaded()) {
        delete menu;
        return;
    }
    queueMenuUser_ = userId;
    menuView_.clear();
    menu_ = menu;
    menu->Popup(screen);
}

bool CRoomUI::OnMicMenuChoice(const std::string& element) {
    if (element.rfind("Menu_Wheat_", 0) != 0) return false;
    CRoomMic* mic = actions_.Mic();
    const std::uint32_t target = queueMenuUser_;
    if (!mic || target == 0) return true;
    // No local checks: the server decides and its refusal shows in the tip.
    if (element == "Menu_Wheat_top") mic->Top(target);
    else if (element == "Menu_Wheat_add") mic->AddTime(target);
    else if (element == "Menu_Wheat_remove") mic->Remove(target);
    else if (element == "Menu_Wheat_removeall") mic->RemoveAll();
    else if (element == "Menu_Wheat_info") actions_.ShowUserInfo(target);
    return true;
}

void CRoomUI::WheatListForward::OnQueueShown(const std::vector<MicQueueLine>& lines) {
    auto* list = w_.FindControl<CListUI>("List_Wheat");
    if (!list) return;
    list->RemoveAll();
    for (const MicQueueLine& l : lines) {
        auto* line = new CListLabelElementUI;
        line->SetManager(list->GetManager());
        line->SetFixedHeight(kQueueLineHeight);
        line->SetText(l.text);
        line->SetUserData(std::to_string(l.userId));
        if (!list->Add(line)) delete line;
    }
}

void CRoomUI::WheatListForward::OnQueueLineChanged(std::size_t index, const MicQueueLine& l) {
    auto* list = w_.FindControl<CListUI>("List_Wheat");
    CControlUI* line = list ? list->GetItemAt(static_cast<int>(index)) : nullptr;
    if (!line) return;
    line->SetText(l.text);
    line->SetUserData(std::to_string(l.userId));
    line->update();
}
