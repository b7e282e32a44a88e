#include "room/user_list_model.h"

#include "room/markup_text.h"

std::string CRoomUserListModel::LineText(const RoomUser& u, bool gagged) const {
    return markup::UserListLine(u.vipIcon, u.vestIcon, "#c2c2c2", u.nickname,
                                gagged ? gagIcon_ : std::string(), u.medalIcon);
}

std::size_t CRoomUserListModel::OrderedPosition(std::int32_t r, std::uint32_t o,
                                                std::uint32_t u) const {
    const std::size_t n = items_.size();
    if (n == 0) return 0;
    const UserListItem& last = items_.back();
    if (last.userId == u) return n - 1;
    if (last.wealthGrade > r || (last.wealthGrade == r && last.role <= o)) return n;
    std::size_t p = 0;
    for (const UserListItem& line : items_) {
        if (line.userId == u) continue;
        if (line.wealthGrade > r) {
            ++p;
        } else if (line.wealthGrade < r) {
            break;
        } else {
            if (o < line.role) break;
            ++p;
        }
    }
    return p;
}

int CRoomUserListModel::IndexOf(std::uint32_t userId) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].userId == userId) return static_cast<int>(i);
    return -1;
}

std::size_t CRoomUserListModel::AddUser(const RoomUser& u, std::uint32_t state) {
    const int existing = IndexOf(u.userId);
    if (existing >= 0) {
        UserListItem& item = items_[static_cast<std::size_t>(existing)];
        item.state = state;
        item.gagged = u.gagged;
        MoveToOrder(static_cast<std::size_t>(existing), u);
        return static_cast<std::size_t>(IndexOf(u.userId));
    }
    UserListItem item;
    item.gagged = u.gagged;
    item.state = state;
    item.userId = u.userId;
    item.role = u.role;
    item.wealthGrade = u.wealthGrade;
    item.text = LineText(u, u.gagged);
    const std::size_t pos = OrderedPosition(u.wealthGrade, u.role, u.userId);
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(pos), item);
    if (observer_) observer_->OnInserted(pos, items_[pos]);
    return pos;
}

void CRoomUserListModel::MoveToOrder(std::size_t index, const RoomUser& u) {
    // The place is found among the other lines, so a user whose grade or role
    // changed while last in the list moves too, instead of staying last.
    UserListItem item = items_[index];
    item.text = LineText(u, item.gagged);
    item.role = u.role;
    item.wealthGrade = u.wealthGrade;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    const std::size_t pos = OrderedPosition(u.wealthGrade, u.role, u.userId);
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(pos), item);
    if (!observer_) return;
    if (pos == index) {
        observer_->OnChanged(index, items_[index]);
    } else {
        observer_->OnRemoved(index);
        observer_->OnInserted(pos, items_[pos]);
    }
}

bool CRoomUserListModel::RemoveUser(std::uint32_t userId) {
    const int i = IndexOf(userId);
    if (i < 0) return false;
    items_.erase(items_.begin() + i);
    if (observer_) observer_->OnRemoved(static_cast<std::size_t>(i));
    return true;
}

void CRoomUserListModel::SetGag(const RoomUser& u, bool gagged) {
    const int i = IndexOf(u.userId);
    if (i < 0) return;
    UserListItem& item = items_[static_cast<std::size_t>(i)];
    item.gagged = gagged;
    item.text = LineText(u, gagged);
    if (observer_) observer_->OnChanged(static_cast<std::size_t>(i), item);
}

void CRoomUserListModel::UpdateRole(const RoomUser& u) {
    const int i = IndexOf(u.userId);
    if (i >= 0) MoveToOrder(static_cast<std::size_t>(i), u);
}

void CRoomUserListModel::UpdateWealthGrade(const RoomUser& u) {
    const int i = IndexOf(u.userId);
    if (i >= 0) MoveToOrder(static_cast<std::size_t>(i), u);
}

void CRoomUserListModel::Redraw(const RoomUser& u) {
    const int i = IndexOf(u.userId);
    if (i < 0) return;
    UserListItem& item = items_[static_cast<std::size_t>(i)];
    item.text = LineText(u, item.gagged);
    if (observer_) observer_->OnChanged(static_cast<std::size_t>(i), item);
}

void CRoomUserListModel::Clear() {
    items_.clear();
    if (observer_) observer_->OnCleared();
}
