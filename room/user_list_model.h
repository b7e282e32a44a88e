#pragma once
// The room's user list as data: one line per user, ordered by wealth grade
// (highest first) and, within a grade, by role id (lowest first); a newcomer
// goes after the lines that compare equal. Lines are found by user id, so a
// RoomUser never holds a reference into the list that could go stale.
// The Qt list control and the headless view render it through the observer.

#include <cstdint>
#include <string>
#include <vector>

#include "room/room_user.h"

struct UserListItem {
    bool gagged = false;
    std::uint32_t state = 0;
    std::uint32_t userId = 0;
    std::uint32_t role = 0;
    std::int32_t wealthGrade = 0;
    std::string text;  // the line in label markup
};

class IUserListObserver {
public:
    virtual ~IUserListObserver() = default;
    virtual void OnInserted(std::size_t index, const UserListItem& item) = 0;
    virtual void OnRemoved(std::size_t index) = 0;
    virtual void OnChanged(std::size_t index, const UserListItem& item) = 0;
    virtual void OnCleared() = 0;
};

class CRoomUserListModel {
public:
    explicit CRoomUserListModel(std::string gagIcon = "gag.png") : gagIcon_(std::move(gagIcon)) {}
    void SetObserver(IUserListObserver* o) { observer_ = o; }

    // Inserts the user's line at its ordered place; returns the index. A user
    // already listed is moved and redrawn instead of listed twice.
    std::size_t AddUser(const RoomUser& u, std::uint32_t state = 0);
    bool RemoveUser(std::uint32_t userId);
    void SetGag(const RoomUser& u, bool gagged);
    void UpdateRole(const RoomUser& u);
    void UpdateWealthGrade(const RoomUser& u);
    void Redraw(const RoomUser& u);
    void Clear();

    // -1 when the user has no line.
    int IndexOf(std::uint32_t userId) const;
    std::size_t size() const { return items_.size(); }
    const UserListItem& at(std::size_t i) const { return items_[i]; }
    const std::vector<UserListItem>& items() const { return items_; }

    // Where a user with this grade and role belongs among the current lines
    // (the user's own line, if any, does not count).
    std::size_t OrderedPosition(std::int32_t wealthGrade, std::uint32_t role,
                                std::uint32_t userId) const;
    std::string LineText(const RoomUser& u, bool gagged) const;

private:
    void MoveToOrder(std::size_t index, const RoomUser& u);

    std::string gagIcon_;
    std::vector<UserListItem> items_;
    IUserListObserver* observer_ = nullptr;
};
