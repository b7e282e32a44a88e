#pragma once
// The drop-down of recently visited rooms under the room window's history
// button, and its list control (skin class "RoomList").

#include <cstdint>
#include <string>
#include <vector>

#include "core/message.h"
#include "platform/buddy/buddy.h"
#include "platform/dui/list.h"
#include "platform/dui/window.h"
#include "room/room_directory.h"

// Posted to the room window with the chosen room id in wParam.
inline constexpr unsigned UM_HISTORY_ENTER_ROOM = 1757;

namespace rooms {

// Lines built from the template "room_list_item.xml" of the window's skin
// folder.
class CRoomsUI : public CListUI {
public:
    static constexpr int kLineHeight = 70;

    std::string_view GetClass() const override { return "RoomList"; }
    // False when the template cannot be built (the line is not added).
    bool AddRoom(const RoomLine& line);
    void RemoveAll() override;
    // nullptr for an index without line data.
    const RoomLine* LineAt(int index) const;

    // The texts of a line's parts, as the template shows them.
    static std::string NameText(const RoomLine& line);
    static std::string DescriptionText(const RoomLine& line);
    static std::string OperationText(const RoomLine& line);

private:
    std::vector<RoomLine> lines_;
};

}  // namespace rooms

class CRoomHistoryDlg : public WindowImplBase {
public:
    static constexpr int kHeaderHeight = 25;
    static constexpr int kMaxListHeight = 280;
    // Below the button: this far left of its left edge ...
    static constexpr int kLeftOfButton = 50;
    // ... and this far above its bottom edge.
    static constexpr int kAboveButtonBottom = 5;

    // `owner` receives UM_HISTORY_ENTER_ROOM when a room is chosen.
    explicit CRoomHistoryDlg(HWND owner);

    std::string GetWindowClassName() const override { return "RoomHistoryUI"; }
    std::string GetSkinFile() const override { return "RoomHistoryDlg.xml"; }
    CControlUI* CreateControl(std::string_view name) override;
    void Notify(TNotifyUI& msg) override;

    // Window height for n rooms.
    static int HeightFor(int rooms);
    // Empties the list and adds one line per record of the chain, in order;
    // resizes the window, keeping its width.
    void Fill(const BuddyRoomInfo* chain);
    // Rooms from the store, then released.
    void FillFromStore(BUDDY_HANDLE buddy);
    // Top-left corner for a button at this screen rectangle.
    static QPoint PlaceFor(const QRect& buttonOnScreen);
    void ShowUnder(const QRect& buttonOnScreen);
    rooms::CRoomsUI* List() const { return list_; }
    // Hides and empties the list (a choice, or the focus went elsewhere).
    void Dismiss();

protected:
    bool event(QEvent* e) override;

private:
    HWND owner_;
    rooms::CRoomsUI* list_ = nullptr;
};
