// The room directory of a window client against an in-process zeri-server:
// it lists the server's rooms with live people counts, enters one, comes
// back when the room window is closed (the others see the user leave), and
// enters again by a typed id — all without restarting the client.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "platform/dui/notify.h"
#include "platform/kitlib/kitlib.h"
#include "tests/e2e/e2e_client.h"
#include "tests/e2e/e2e_fixture.h"
#include "ui/room_directory_wnd.h"

using e2e::CTestClient;
using e2e::WaitFor;
using e2e::kAlice;
using e2e::kBob;
using e2e::kHall;

namespace {

class DirectoryE2E : public e2e::RoomFixture {
protected:
    void SetUp() override {
        // The HTTP helper serves the whole process: point it at this server.
        const std::string http = "127.0.0.1:" + std::to_string(srv.accountPort());
        KITLIB_Init(0);
        KITLIB_SetHosts(http, http);
    }
    void TearDown() override { KITLIB_Release(); }
};

TNotifyUI Click(const char* name) {
    TNotifyUI m;
    m.sType = dui::notify::kClick;
    m.senderName = name;
    return m;
}

const rooms::RoomLine* Line(const CRoomDirectoryWnd& d, std::uint32_t room) {
    for (const rooms::RoomLine& l : d.lines())
        if (l.roomId == room) return &l;
    return nullptr;
}

int IndexOf(const CRoomDirectoryWnd& d, std::uint32_t room) {
    for (std::size_t i = 0; i < d.lines().size(); ++i)
        if (d.lines()[i].roomId == room) return static_cast<int>(i);
    return -1;
}

TEST_F(DirectoryE2E, ListsLiveRoomsEntersOneAndComesBackWhenTheRoomWindowCloses) {
    CTestClient alice(srv, kAlice, CRoomStack::Mode::window);
    CTestClient bob(srv, kBob);
    CRoomUI* window = alice.stack().window();
    ASSERT_NE(window, nullptr);
    window->SetMessageBoxHandler([](const std::string&, const std::string&, BoxIcon) {});
    bob.Enter(kHall);
    ASSERT_TRUE(SeesUsers(bob, 1));

    const HWND host = alice.stack().host().Handle();
    int quits = 0;
    alice.stack().OpenDirectory(
        [host](std::uint32_t room) { PostMessage(host, UM_ENTER_ROOM, room, 0); }, [&quits] { ++quits; },
        true);
    CRoomDirectoryWnd* dir = alice.stack().directory();
    ASSERT_NE(dir, nullptr);
    EXPECT_TRUE(dir->isVisible());
    EXPECT_FALSE(window->isVisible());  // no room yet, no room window

    // The seeded rooms, the hall first with bob in it.
    ASSERT_TRUE(WaitFor([&] { return Line(*dir, kHall) != nullptr; })) << dir->Status();
    EXPECT_EQ(Line(*dir, kHall)->people, 1u);
    EXPECT_EQ(dir->lines().front().roomId, kHall);
    EXPECT_GE(dir->lines().size(), 2u);
    EXPECT_EQ(dir->List()->GetCount(), static_cast<int>(dir->lines().size()));
    dir->resize(560, 640);
    WaitFor([] { return false; }, 200);  // lay out and paint
    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(dir->grab().toImage().save(folder + "directory.png"));

    // Choosing the line enters the room through the room window's own path.
    TNotifyUI click;
    click.sType = dui::notify::kItemClick;
    click.pSender = dir->List();
    click.wParam = static_cast<std::uintptr_t>(IndexOf(*dir, kHall));
    dir->Notify(click);
    ASSERT_TRUE(alice.InRoom(kHall));
    ASSERT_TRUE(SeesUsers(bob, 2));
    EXPECT_FALSE(dir->isVisible());
    EXPECT_TRUE(window->isVisible());

    // Closing the room window leaves the room and shows the directory.
    TNotifyUI close = Click("bnt_SysClose");
    window->Notify(close);
    ASSERT_TRUE(WaitFor([&] { return dir->isVisible(); }));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(alice.session().roomId(), 0u);
    ASSERT_TRUE(SeesUsers(bob, 1));
    EXPECT_EQ(quits, 0);
    // The directory's counts follow: alice has gone again.
    dir->Refresh();
    ASSERT_TRUE(WaitFor([&] { return Line(*dir, kHall) && Line(*dir, kHall)->people == 1; }));

    // The recent rooms hold the hall now; enter it again by its typed id.
    dir->SelectTab(CRoomDirectoryWnd::Tab::recent);
    ASSERT_NE(Line(*dir, kHall), nullptr);
    dir->SetControlText("edit_roomid", "abc");
    EXPECT_FALSE(dir->EnterTyped());
    EXPECT_TRUE(dir->isVisible());
    dir->SetControlText("edit_roomid", std::to_string(kHall));
    EXPECT_TRUE(dir->EnterTyped());
    ASSERT_TRUE(alice.InRoom(kHall));
    ASSERT_TRUE(SeesUsers(bob, 2));

    // Signed in elsewhere: the room ends and the directory says why.
    CTestClient alice2(srv, kAlice);
    alice2.Enter(kHall);
    ASSERT_TRUE(WaitFor([&] { return dir->isVisible(); }));
    EXPECT_TRUE(dir->IsControlVisible("Label_reason"));
    EXPECT_EQ(dir->GetControlText("Label_reason"), "此帐号在其他地区登录");
    EXPECT_FALSE(window->isVisible());

    // The directory's close is the program's quit.
    TNotifyUI quit = Click("bnt_close");
    dir->Notify(quit);
    EXPECT_EQ(quits, 1);
}

}  // namespace
