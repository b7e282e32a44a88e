// The drop-down of recently visited rooms: its height rule, its place
// under the history button, choosing a room, and going away.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/dui/controls.h"
#include "ui/room_history.h"
#include "ui_test_util.h"

using uitest::FakeActions;

namespace {

// A chain of n rooms, ids 1000, 1001, ...
std::vector<BuddyRoomInfo> Chain(int n) {
    std::vector<BuddyRoomInfo> rooms(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        rooms[i].roomId = 1000 + i;
        rooms[i].name = "room " + std::to_string(i);
        rooms[i].people = 10 + i;
        rooms[i].description = "desc";
        if (i + 1 < n) rooms[i].next = &rooms[i + 1];
    }
    return rooms;
}

}  // namespace

TEST(RoomHistory, HeightFollowsTheNumberOfRoomsUpToFour) {
    EXPECT_EQ(CRoomHistoryDlg::HeightFor(0), 25);
    EXPECT_EQ(CRoomHistoryDlg::HeightFor(1), 95);
    EXPECT_EQ(CRoomHistoryDlg::HeightFor(4), 305);
    EXPECT_EQ(CRoomHistoryDlg::HeightFor(5), 305);
    EXPECT_EQ(CRoomHistoryDlg::HeightFor(40), 305);

    CRoomHistoryDlg dlg(0);
    ASSERT_TRUE(dlg.Create()) << dlg.SkinError();
    ASSERT_NE(dlg.List(), nullptr);
    const int width = dlg.width();
    for (int n : {0, 1, 4, 5, 9}) {
        auto rooms = Chain(n);
        dlg.Fill(n ? rooms.data() : nullptr);
        EXPECT_EQ(dlg.List()->GetCount(), n);
        EXPECT_EQ(dlg.height(), CRoomHistoryDlg::HeightFor(n)) << n << " rooms";
        EXPECT_EQ(dlg.width(), width);
    }
}

TEST(RoomHistory, LinesShowTheRoomsInChainOrder) {
    CRoomHistoryDlg dlg(0);
    ASSERT_TRUE(dlg.Create());
    auto rooms = Chain(2);
    rooms[0].secondName = "lounge";
    dlg.Fill(rooms.data());
    const rooms::RoomLine* first = dlg.List()->LineAt(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->roomId, 1000u);
    EXPECT_EQ(dlg.List()->LineAt(1)->roomId, 1001u);
    EXPECT_EQ(dlg.List()->LineAt(2), nullptr);
    CControlUI* line = dlg.List()->GetItemAt(0);
    EXPECT_EQ(line->FindSubControl("nickname")->GetText(), "room 0(lounge)");
    EXPECT_EQ(dlg.List()->GetItemAt(1)->FindSubControl("nickname")->GetText(), "room 1");
    EXPECT_EQ(line->FindSubControl("description")->GetText(), "<x 2><c #3899a7>desc</c>");
    EXPECT_EQ(line->FindSubControl("operation")->GetText(),
              "<x 2><c #3899a7>1000</c> <x 10><i Im/people.png><x 5><c #3899a7>10</c>");
    EXPECT_EQ(line->height(), 70);
}

TEST(RoomHistory, ItSitsUnderTheButtonAndAChoiceEntersTheRoomThroughTheWindow) {
    QTemporaryDir dir;
    paths::SetDataFolderOverride(dir.path().toStdString() + "/");
    FakeActions actions;
    actions.buddy = BUDDY_Create(7);
    ASSERT_NE(actions.buddy, nullptr);
    BUDDY_LoginRoomResp(actions.buddy, 3001, "older");
    BUDDY_LoginRoomResp(actions.buddy, 3002, "newer");

    CRoomUI w(actions);
    ASSERT_TRUE(w.Create());
    w.move(100, 80);
    w.show();
    uitest::Pump([] { return false; }, 20);
    CControlUI* button = w.FindControl("bnt_history");
    uitest::Click(button);
    CRoomHistoryDlg* dlg = w.History();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    const QPoint b = button->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(dlg->pos(), QPoint(b.x() - 50, b.y() + button->height() - 5));
    EXPECT_EQ(dlg->height(), CRoomHistoryDlg::HeightFor(2));
    ASSERT_EQ(dlg->List()->GetCount(), 2);
    const std::uint32_t second = dlg->List()->LineAt(1)->roomId;
    EXPECT_EQ(dlg->List()->LineAt(0)->roomId + second, 3001u + 3002u) << "both rooms, once each";

    // A click on a part of the line is a click on the line.
    uitest::Click(dlg->List()->GetItemAt(1)->FindSubControl("nickname"));
    EXPECT_FALSE(dlg->isVisible());
    ASSERT_TRUE(uitest::Pump([&] { return !actions.entered.empty(); }));
    EXPECT_EQ(actions.entered, std::vector<std::uint32_t>{second});

    // Opened again it is the same window, filled anew; losing the focus
    // with the mouse elsewhere hides and empties it.
    uitest::Click(button);
    EXPECT_EQ(w.History(), dlg);
    EXPECT_EQ(dlg->List()->GetCount(), 2);
    QCursor::setPos(dlg->frameGeometry().bottomRight() + QPoint(200, 200));
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(dlg, &deactivate);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->List()->GetCount(), 0);

    // Without a store the button does nothing.
    BUDDY_Close(actions.buddy);
    actions.buddy = nullptr;
    paths::SetDataFolderOverride("");
}
