#include "ui/room_user_list.h"

#include <string>

CRoomUserList::CRoomUserList(QWidget* parent) : CListUI(parent) {
    // Lines are markup whatever the skin says; a skin may still restyle them.
    SetItemShowHtml(true);
}

void CRoomUserList::OnInserted(std::size_t index, const UserListItem& item) {
    if (index > items_.size()) index = items_.size();
    auto* line = new CListLabelElementUI;
    line->SetManager(GetManager());
    line->SetFixedHeight(kLineHeight);
    line->SetText(item.text);
    line->SetUserData(std::to_string(item.userId));
    if (!AddAt(line, static_cast<int>(index))) {
        delete line;
        return;
    }
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), item);
}

void CRoomUserList::OnRemoved(std::size_t index) {
    if (index >= items_.size()) return;
    if (CControlUI* line = GetItemAt(static_cast<int>(index))) Remove(line);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void CRoomUserList::OnChanged(std::size_t index, const UserListItem& item) {
    if (index >= items_.size()) return;
    items_[index] = item;
    if (CControlUI* line = GetItemAt(static_cast<int>(index))) {
        line->SetText(item.text);
        line->SetUserData(std::to_string(item.userId));
        line->update();
    }
}

void CRoomUserList::OnCleared() {
    RemoveAll();
    items_.clear();
}

const UserListItem* CRoomUserList::ItemAt(int index) const {
    if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
    return &items_[static_cast<std::size_t>(index)];
}

std::uint32_t CRoomUserList::UserAt(int index) const {
    const UserListItem* item = ItemAt(index);
    return item ? item->userId : 0;
}

int CRoomUserList::IndexOfUser(std::uint32_t userId) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].userId == userId) return static_cast<int>(i);
    return -1;
}

bool CRoomUserList::SelectUser(std::uint32_t userId) {
    const int index = IndexOfUser(userId);
    if (index < 0) return false;
    SelectItem(index, false);
    EnsureVisible(index);
    return true;
}
