#include "ui/room_directory_wnd.h"

#include <QLineEdit>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/log.h"
#include "platform/dui/controls.h"
#include "platform/dui/inputs.h"
#include "platform/kitlib/kitlib.h"

namespace {

const char* TabName(CRoomDirectoryWnd::Tab t) {
    switch (t) {
        case CRoomDirectoryWnd::Tab::favourites: return "tab_favourite";
        case CRoomDirectoryWnd::Tab::recent: return "tab_recent";
        default: return "tab_all";
    }
}

std::string AnswerText(const WindowMessage& m) {
    const KitlibAnswer* a = m.As<KitlibAnswer>();
    if (!a) return {};
    return std::string(a->bytes.begin(), a->bytes.end());
}

}  // namespace

CRoomDirectoryWnd::CRoomDirectoryWnd(Setup setup) : setup_(std::move(setup)) {}

CControlUI* CRoomDirectoryWnd::CreateControl(std::string_view name) {
    if (name == "roomlist") {
        list_ = new rooms::CRoomsUI;
        return list_;
    }
    return nullptr;
}

void CRoomDirectoryWnd::InitWindow() {
    if (!setup_.logoFolder.empty()) Manager().AddImageRoot(setup_.logoFolder);
    SetControlText("Label_me", setup_.me);
    if (auto* edit = FindControl<CEditUI>("edit_roomid"))
        edit->Edit()->setInputMethodHints(Qt::ImhDigitsOnly);
}

void CRoomDirectoryWnd::ShowDirectory(const std::string& reason) {
    if (!IsSkinLoaded()) Create();
    SetControlText("Label_reason", reason);
    SetControlVisible("Label_reason", !reason.empty());
    if (!centred_) {
        CenterWindow();
        centred_ = true;
    }
    ShowWindow(true);
    raise();
    activateWindow();
    if (CControlUI* search = FindControl("edit_search")) search->setFocus();
    Refresh();
    SetTimer(kRefreshTimer, kRefreshMs);
}

void CRoomDirectoryWnd::SelectTab(Tab tab) {
    tab_ = tab;
    SetControlSelected(TabName(tab), true);
    page_ = 1;
    Refresh();
}

void CRoomDirectoryWnd::SetStatus(const std::string& text) { SetControlText("Label_status", text); }

void CRoomDirectoryWnd::Refresh() {
    const std::intptr_t tag = static_cast<std::intptr_t>(++asked_);
    if (tab_ == Tab::all) {
        const std::string url = rooms::DirectoryUrl(setup_.servicesHost, search_, page_);
        if (!KITLIB_GetHttpUrl(GetHWND(), UM_DIRECTORY_PAGE, url, tag)) SetStatus("房间列表无法获取");
        else if (lines_.empty()) SetStatus("正在获取房间列表…");
        return;
    }
    // Kept rooms show at once from the store, then with live counts.
    BuddyRoomInfo* chain = tab_ == Tab::favourites ? BUDDY_GetStoreRoom(setup_.buddy)
                                                   : BUDDY_GetHistoryRoom(setup_.buddy);
    std::vector<rooms::RoomLine> kept = rooms::FromStore(chain);
    BUDDY_DestoryRoomInfo(chain);
    const std::string url = rooms::RoomsByIdsUrl(setup_.servicesHost, rooms::IdsOf(kept));
    total_ = static_cast<std::uint32_t>(kept.size());
    const bool empty = kept.empty();
    Show(std::move(kept));
    SetControlEnabled("bnt_prev", false);
    SetControlEnabled("bnt_next", false);
    if (empty) {
        SetStatus(tab_ == Tab::favourites ? "还没有收藏的房间：在房间里点 ☆ 收藏" : "还没有去过的房间");
        return;
    }
    SetStatus(std::to_string(total_) + " 个房间");
    if (!url.empty()) KITLIB_GetHttpUrl(GetHWND(), UM_DIRECTORY_KEPT, url, tag);
}

void CRoomDirectoryWnd::Show(std::vector<rooms::RoomLine> lines) {
    lines_ = std::move(lines);
    if (!list_) return;
    const int selected = list_->GetCurSel();
    list_->RemoveAll();
    for (const rooms::RoomLine& l : lines_) {
        rooms::RoomLine shown = l;
        // Downloaded logos are files of the logo folder named by room id;
        // other logos are not the skin's to read.
        // Asked only once the file is there: the skin remembers a picture
        // it could not read.
        shown.logo.clear();
        const std::string file = setup_.logoFolder + std::to_string(l.roomId) + ".logo";
        std::error_code ec;
        if (!setup_.logoFolder.empty() && !l.logo.empty() && std::filesystem::exists(file, ec))
            shown.logo = file;
        list_->AddRoom(shown);
    }
    if (selected >= 0 && selected < list_->GetCount()) list_->SelectItem(selected, false);
    FetchLogos();
}

void CRoomDirectoryWnd::FetchLogos() {
    if (setup_.logoFolder.empty()) return;
    for (const rooms::RoomLine& l : lines_) {
        const std::string url = rooms::LogoUrl(setup_.servicesHost, l.logo);
        if (url.empty() || std::count(logosAsked_.begin(), logosAsked_.end(), l.roomId)) continue;
        logosAsked_.push_back(l.roomId);
        KITLIB_DownHttpUrl(GetHWND(), UM_DIRECTORY_LOGO, url,
                           setup_.logoFolder + std::to_string(l.roomId) + ".logo");
    }
}

void CRoomDirectoryWnd::OnPage(const WindowMessage& m) {
    if (static_cast<std::uint64_t>(m.lParam) != asked_ || tab_ != Tab::all) return;  // stale
    std::string why;
    const KitlibAnswer* a = m.As<KitlibAnswer>();
    const auto page = a ? rooms::ParseRoomPage(AnswerText(m), &why) : std::nullopt;
    if (!page) {
        SetStatus(a ? "房间列表无法识别：" + why : "房间列表无法获取，请稍后刷新");
        log_msg("room directory: %s\r\n", a ? why.c_str() : "no answer");
        return;
    }
    total_ = page->total;
    const int pages = std::max<int>(1, static_cast<int>((total_ + rooms::kPageSize - 1) / rooms::kPageSize));
    if (page_ > pages) {
        // The list shrank under us: show its last page instead.
        page_ = pages;
        Refresh();
        return;
    }
    Show(page->rooms);
    char status[128];
    if (total_ == 0)
        std::snprintf(status, sizeof status, "%s", search_.empty() ? "服务器上还没有房间" : "没有找到房间");
    else
        std::snprintf(status, sizeof status, "共 %u 个房间  第 %d/%d 页", total_, page_, pages);
    SetStatus(status);
    SetControlEnabled("bnt_prev", page_ > 1);
    SetControlEnabled("bnt_next", page_ < pages);
}

void CRoomDirectoryWnd::OnKept(const WindowMessage& m) {
    if (static_cast<std::uint64_t>(m.lParam) != asked_ || tab_ == Tab::all) return;
    const auto page = rooms::ParseRoomPage(AnswerText(m));
    if (!page) return;  // the stored counts stay
    std::vector<rooms::RoomLine> lines = lines_;
    rooms::ApplyLive(lines, page->rooms);
    Show(std::move(lines));
}

std::intptr_t CRoomDirectoryWnd::HandleMessage(const WindowMessage& m) {
    switch (m.msg) {
        case UM_DIRECTORY_PAGE: OnPage(m); return 1;
        case UM_DIRECTORY_KEPT: OnKept(m); return 1;
        case UM_DIRECTORY_LOGO:
            // The lines are rebuilt so the new file is read.
            if (m.As<KitlibAnswer>()) Show(lines_);
            return 1;
        case UM_HISTORY_ENTER_ROOM: EnterRoom(static_cast<std::uint32_t>(m.wParam)); return 1;
        default: return 0;
    }
}

void CRoomDirectoryWnd::OnTimer(unsigned id) {
    if (id == kRefreshTimer && isVisible()) Refresh();
}

void CRoomDirectoryWnd::Search() {
    search_ = GetControlText("edit_search");
    page_ = 1;
    if (tab_ != Tab::all) SelectTab(Tab::all);
    else Refresh();
}

bool CRoomDirectoryWnd::EnterTyped() {
    const auto room = rooms::ParseRoomId(GetControlText("edit_roomid"));
    if (!room) {
        SetStatus("请输入正确的房间ID（数字）");
        return false;
    }
    EnterRoom(*room);
    return true;
}

void CRoomDirectoryWnd::EnterRoom(std::uint32_t room) {
    if (room == 0) return;
    KillTimer(kRefreshTimer);
    SetControlVisible("Label_reason", false);
    ShowWindow(false);
    if (setup_.enter) setup_.enter(room);
}

void CRoomDirectoryWnd::Quit() {
    KillTimer(kRefreshTimer);
    ShowWindow(false);
    if (setup_.quit) setup_.quit();
}

bool CRoomDirectoryWnd::OnSystemClose() {
    // The window manager's close is the same as ours: quit.
    Quit();
    return false;
}

void CRoomDirectoryWnd::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kClick) {
        if (name == "bnt_close" || name == "bnt_quit") Quit();
        else if (name == "bnt_enter") EnterTyped();
        else if (name == "bnt_refresh") Refresh();
        else if (name == "bnt_search") Search();
        else if (name == "bnt_prev" && page_ > 1) {
            --page_;
            Refresh();
        } else if (name == "bnt_next") {
            ++page_;
            Refresh();
        }
    } else if (msg.sType == n::kSelectChanged) {
        if (name == "tab_all" && IsControlSelected(name)) SelectTab(Tab::all);
        else if (name == "tab_favourite" && IsControlSelected(name)) SelectTab(Tab::favourites);
        else if (name == "tab_recent" && IsControlSelected(name)) SelectTab(Tab::recent);
    } else if (msg.sType == n::kReturn) {
        if (name == "edit_roomid") EnterTyped();
        else if (name == "edit_search") Search();
    } else if (msg.sType == n::kItemClick && list_ && msg.pSender == list_) {
        if (const rooms::RoomLine* line = list_->LineAt(static_cast<int>(msg.wParam))) EnterRoom(line->roomId);
    }
}
