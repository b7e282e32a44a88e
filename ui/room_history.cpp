#include "ui/room_history.h"

#include <QCursor>
#include <QEvent>

#include <algorithm>
#include <cstdio>

#include "core/log.h"
#include "platform/dui/builder.h"
#include "platform/dui/controls.h"

namespace rooms {

std::string CRoomsUI::NameText(const RoomLine& l) {
    return l.secondName.empty() ? l.name : l.name + "(" + l.secondName + ")";
}

std::string CRoomsUI::DescriptionText(const RoomLine& l) { return "<x 2><c #3899a7>" + l.description + "</c>"; }

std::string CRoomsUI::OperationText(const RoomLine& l) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "<x 2><c #3899a7>%u</c> <x 10><i %s><x 5><c #3899a7>%u</c>", l.roomId,
                  "Im/people.png", l.people);
    const std::string mode = rooms::ModeName(l.mode);
    return mode.empty() ? std::string(buf) : std::string(buf) + "<x 10><c #8a4bff>" + mode + "</c>";
}

bool CRoomsUI::AddRoom(const RoomLine& line) {
    CSkinManager* m = GetManager();
    if (!m) return false;
    CControlUI* item = CSkinBuilder::BuildFile(m->SkinFolder() + "room_list_item.xml", *m, nullptr);
    if (!item) return false;
    if (!dynamic_cast<CListContainerElementUI*>(item)) {
        log_msg("skin: room_list_item.xml is no list line");
        delete item;
        return false;
    }
    item->SetFixedHeight(kLineHeight);
    if (CControlUI* c = item->FindSubControl("nickname")) c->SetText(NameText(line));
    if (CControlUI* c = item->FindSubControl("description")) c->SetText(DescriptionText(line));
    if (CControlUI* c = item->FindSubControl("operation")) c->SetText(OperationText(line));
    // A logo the skin can draw replaces the template's default.
    if (CControlUI* c = item->FindSubControl("logo"); c && !line.logo.empty() && !m->Image(line.logo).isNull())
        c->SetBkImage(line.logo);
    if (!Add(item)) {
        delete item;
        return false;
    }
    lines_.push_back(line);
    return true;
}

void CRoomsUI::RemoveAll() {
    CListUI::RemoveAll();
    lines_.clear();
}

const RoomLine* CRoomsUI::LineAt(int index) const {
    if (index < 0 || index >= static_cast<int>(lines_.size())) return nullptr;
    return &lines_[static_cast<std::size_t>(index)];
}

}  // namespace rooms

CRoomHistoryDlg::CRoomHistoryDlg(HWND owner) : owner_(owner) {
    // A drop-down: no task-bar entry, above its owner.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

CControlUI* CRoomHistoryDlg::CreateControl(std::string_view name) {
    if (name == "roomlist") {
        list_ = new rooms::CRoomsUI;
        return list_;
    }
    return nullptr;
}

int CRoomHistoryDlg::HeightFor(int rooms) {
    return std::min(std::max(0, rooms) * rooms::CRoomsUI::kLineHeight, kMaxListHeight) + kHeaderHeight;
}

void CRoomHistoryDlg::Fill(const BuddyRoomInfo* chain) {
    int n = 0;
    if (list_) {
        list_->RemoveAll();
        for (const rooms::RoomLine& line : rooms::FromStore(chain))
            if (list_->AddRoom(line)) ++n;
    }
    const int h = HeightFor(n);
    setMinimumHeight(0);
    resize(width(), h);
}

void CRoomHistoryDlg::FillFromStore(BUDDY_HANDLE buddy) {
    BuddyRoomInfo* chain = BUDDY_GetHistoryRoom(buddy);
    Fill(chain);
    BUDDY_DestoryRoomInfo(chain);
}

QPoint CRoomHistoryDlg::PlaceFor(const QRect& b) {
    return QPoint(b.left() - kLeftOfButton, b.top() + b.height() - kAboveButtonBottom);
}

void CRoomHistoryDlg::ShowUnder(const QRect& buttonOnScreen) {
    move(PlaceFor(buttonOnScreen));
    ShowWindow(true);
    raise();
    activateWindow();
}

void CRoomHistoryDlg::Dismiss() {
    ShowWindow(false);
    if (list_) list_->RemoveAll();
}

void CRoomHistoryDlg::Notify(TNotifyUI& msg) {
    if (msg.sType != dui::notify::kItemClick || !list_ || msg.pSender != list_) return;
    const rooms::RoomLine* line = list_->LineAt(static_cast<int>(msg.wParam));
    if (!line) return;
    const std::uint32_t room = line->roomId;
    ShowWindow(false);
    PostMessage(owner_, UM_HISTORY_ENTER_ROOM, room, 0);
}

bool CRoomHistoryDlg::event(QEvent* e) {
    // Deactivated by a click elsewhere: gone. A deactivation while the mouse
    // is still over it (a tool tip, say) keeps it.
    if (e->type() == QEvent::WindowDeactivate && isVisible() && !frameGeometry().contains(QCursor::pos()))
        Dismiss();
    return WindowImplBase::event(e);
}
