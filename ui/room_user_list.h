#pragma once
// The room's user list control (skin classes "UserList" and "AhchorList"):
// one line of label markup per user, in the order the room's user list
// model keeps. The model tells it what changed through IUserListObserver;
// the control never decides the order itself, so the Qt list and the
// headless view cannot disagree.

#include <cstdint>
#include <vector>

#include "platform/dui/list.h"
#include "room/user_list_model.h"

class CRoomUserList : public CListUI, public IUserListObserver {
public:
    static constexpr int kLineHeight = 32;

    explicit CRoomUserList(QWidget* parent = nullptr);
    std::string_view GetClass() const override { return "UserList"; }

    void OnInserted(std::size_t index, const UserListItem& item) override;
    void OnRemoved(std::size_t index) override;
    void OnChanged(std::size_t index, const UserListItem& item) override;
    void OnCleared() override;

    // The line's data; nullptr outside the list.
    const UserListItem* ItemAt(int index) const;
    // 0 outside the list.
    std::uint32_t UserAt(int index) const;
    int IndexOfUser(std::uint32_t userId) const;
    // Selects the user's line (no "itemselect") and scrolls it into view;
    // false when the user has no line.
    bool SelectUser(std::uint32_t userId);

private:
    // Parallel to the lines.
    std::vector<UserListItem> items_;
};
