// Whole clients against an in-process zeri-server over real TCP: entering
// and leaving a room, the media logins, displacement by another sign-in and
// by signing out, server restarts,
// refused logins, the room history across client restarts, chat between
// users, and the room window beside a headless client.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/buddy/buddy.h"
#include "platform/kitlib/kitlib.h"
#include "tests/e2e/e2e_client.h"
#include "tests/e2e/e2e_fixture.h"
#include "ui/chat_view.h"
#include "ui/room_user_list.h"

using e2e::CTestClient;
using e2e::WaitFor;
using e2e::kAlice;
using e2e::kBob;
using e2e::kCarol;
using e2e::kHall;

namespace {

class RoomE2E : public e2e::RoomFixture {};

TEST_F(RoomE2E, UsersInOneRoomSeeEachOtherArriveLeaveAndComeBack) {
    CTestClient alice(srv, kAlice), bob(srv, kBob);
    alice.Enter(kHall);
    ASSERT_TRUE(alice.InRoom(kHall));
    EXPECT_TRUE(Printed(alice, "tip: 登录频道成功！"));
    bob.Enter(kHall);
    ASSERT_TRUE(SeesUsers(alice, 2));
    ASSERT_TRUE(SeesUsers(bob, 2));
    ExpectListMatchesUsers(alice);
    ExpectListMatchesUsers(bob);
    EXPECT_EQ(alice.session().users().count(kBob.id), 1u);
    EXPECT_EQ(bob.session().users().count(kAlice.id), 1u);

    // Bob leaves: Alice's list and count follow.
    bob.session().LeaveRoom();
    ASSERT_TRUE(SeesUsers(alice, 1));
    ExpectListMatchesUsers(alice);
    EXPECT_EQ(alice.session().users().count(kBob.id), 0u);

    // Back in: both lists are whole again, without doubles.
    bob.Enter(kHall);
    ASSERT_TRUE(SeesUsers(alice, 2));
    ASSERT_TRUE(SeesUsers(bob, 2));
    ExpectListMatchesUsers(bob);

    // Entering the room one is in rebuilds the list from the server's.
    const int logins = alice.link().loginsSent();
    alice.Enter(kHall);
    ASSERT_TRUE(WaitFor([&] { return alice.link().loginsSent() > logins && alice.session().loggedIn() &&
                                      alice.session().users().size() == 2; }));
    ExpectListMatchesUsers(alice);
}

TEST_F(RoomE2E, SigningInElsewhereEndsTheFirstSessionForGood) {
    auto first = std::make_unique<CTestClient>(srv, kAlice);
    first->Enter(kHall);
    ASSERT_TRUE(first->InRoom(kHall));
    const int logins = first->link().loginsSent();
    const int connects = first->link().connects();

    CTestClient second(srv, kAlice);
    second.Enter(kHall);
    ASSERT_TRUE(second.InRoom(kHall));
    ASSERT_TRUE(WaitFor([&] { return Printed(*first, "box: 提示: 此帐号在其他地区登录"); }));
    EXPECT_FALSE(first->session().loggedIn());

    // The server closed the first connection; once it is back, no login
    // goes out and the second session keeps the room.
    ASSERT_TRUE(WaitFor([&] { return first->link().connects() > connects; }));
    QCoreApplication::processEvents();  // the connected message is handled
    EXPECT_EQ(first->link().loginsSent(), logins);
    EXPECT_TRUE(second.session().loggedIn());
    EXPECT_FALSE(Printed(second, "此帐号在其他地区登录"));
}

TEST_F(RoomE2E, EachClientsMediaLogsInWithTheKeyOfItsOwnChatLogin) {
    // Two users from one address: each binds its own media, by key.
    CTestClient alice(srv, kAlice), bob(srv, kBob);
    alice.Enter(kHall);
    bob.Enter(kHall);
    ASSERT_TRUE(alice.InRoom(kHall));
    ASSERT_TRUE(bob.InRoom(kHall));
    server::CRoomHandler& rooms = srv.srv->rooms();
    EXPECT_TRUE(WaitFor([&] {
        return rooms.VideoIn(kAlice.id, kHall) && rooms.MixIn(kAlice.id, kHall) &&
               rooms.VideoIn(kBob.id, kHall) && rooms.MixIn(kBob.id, kHall);
    }));
    EXPECT_EQ(alice.session().mediaKey().size(), 64u);
    EXPECT_NE(alice.session().mediaKey(), bob.session().mediaKey());
}

TEST_F(RoomE2E, SigningOutEndsTheRoomSessionForGood) {
    CTestClient alice(srv, kAlice), bob(srv, kBob);
    alice.Enter(kHall);
    bob.Enter(kHall);
    ASSERT_TRUE(alice.InRoom(kHall));
    ASSERT_TRUE(SeesUsers(bob, 2));
    server::CRoomHandler& rooms = srv.srv->rooms();
    ASSERT_TRUE(WaitFor([&] { return rooms.MixIn(kAlice.id, kHall); }));
    const int logins = alice.link().loginsSent();
    const int connects = alice.link().connects();

    // Alice's token is signed out elsewhere, through the account service.
    httplib::Client http("127.0.0.1", srv.accountPort());
    const httplib::Headers auth = {{"X-Zeri-User", std::to_string(kAlice.id)},
                                   {"Authorization", "Bearer " + alice.session().me().token}};
    auto r = http.Post("/account/logout", auth, "{}", "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200) << r->body;

    ASSERT_TRUE(WaitFor([&] { return Printed(alice, "box: 提示: 此帐号在其他地区登录"); }));
    EXPECT_FALSE(alice.session().loggedIn());
    ASSERT_TRUE(SeesUsers(bob, 1));
    EXPECT_FALSE(rooms.ChatIn(kAlice.id, kHall));
    EXPECT_FALSE(rooms.VideoIn(kAlice.id, kHall));
    EXPECT_FALSE(rooms.MixIn(kAlice.id, kHall));
    // The connection comes back, but no login goes out with the dead token.
    ASSERT_TRUE(WaitFor([&] { return alice.link().connects() > connects; }));
    QCoreApplication::processEvents();  // the connected message is handled
    EXPECT_EQ(alice.link().loginsSent(), logins);
}

TEST_F(RoomE2E, AServerRestartBringsEveryoneBackIntoTheRoom) {
    CTestClient alice(srv, kAlice), bob(srv, kBob);
    alice.Enter(kHall);
    bob.Enter(kHall);
    ASSERT_TRUE(SeesUsers(alice, 2));
    ASSERT_TRUE(SeesUsers(bob, 2));
    GivePowers(bob);
    const int aliceLogins = alice.link().loginsSent(), bobLogins = bob.link().loginsSent();

    RestartServer();
    ASSERT_TRUE(WaitFor([&] {
        return alice.link().loginsSent() > aliceLogins && bob.link().loginsSent() > bobLogins &&
               alice.session().loggedIn() && bob.session().loggedIn();
    }));
    ASSERT_TRUE(SeesUsers(alice, 2));
    ASSERT_TRUE(SeesUsers(bob, 2));
    ExpectListMatchesUsers(alice);
    // Both are members on the new server: a line from one reaches the other.
    Type(bob, "back again");
    EXPECT_TRUE(WaitFor([&] { return ChatLinesWith(alice, "back again") == 1; })) << ChatText(alice);
}

TEST_F(RoomE2E, ARefusedLoginShowsWhyAndIsNotRepeatedUntilTheUserEntersAgain) {
    CTestClient alice(srv, kAlice);
    alice.Enter(9999);  // no such room
    ASSERT_TRUE(WaitFor([&] { return alice.session().loginRefused(); }));
    EXPECT_EQ(alice.view().Text("Label_Fail"), "房间不存在(1003)");
    const int logins = alice.link().loginsSent();
    const int connects = alice.link().connects();

    RestartServer();
    ASSERT_TRUE(WaitFor([&] { return alice.link().connects() > connects; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(alice.link().loginsSent(), logins) << "a refused login came back after the reconnect";

    alice.Enter(kHall);
    ASSERT_TRUE(alice.InRoom(kHall));
    EXPECT_FALSE(alice.session().loginRefused());
}

TEST_F(RoomE2E, RoomHistoryAndFavouritesOutliveTheClient) {
    {
        CTestClient alice(srv, kAlice);
        alice.Enter(kHall);
        ASSERT_TRUE(alice.InRoom(kHall));
        ASSERT_TRUE(BUDDY_AddStore(alice.session().buddy(), kHall));
        alice.session().ExitApplication();
    }
    CTestClient again(srv, kAlice);
    const BUDDY_HANDLE buddy = again.session().buddy();
    ASSERT_NE(buddy, nullptr);
    EXPECT_TRUE(BUDDY_IsStore(buddy, kHall));
    EXPECT_FALSE(BUDDY_IsStore(buddy, 1002));
    BuddyRoomInfo* history = BUDDY_GetHistoryRoom(buddy);
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->roomId, kHall);
    EXPECT_EQ(history->name, "zeri 大厅");
    BUDDY_DestoryRoomInfo(history);
}

TEST_F(RoomE2E, PublicLinesReachEveryOtherMemberOncePrivateLinesOnlyTheirReceiver) {
    CTestClient alice(srv, kAlice), bob(srv, kBob), carol(srv, kCarol);
    for (CTestClient* c : {&alice, &bob, &carol}) {
        c->Enter(kHall);
        GivePowers(*c);
    }
    for (CTestClient* c : {&alice, &bob, &carol}) ASSERT_TRUE(SeesUsers(*c, 3));

    Type(alice, "hello everyone");
    ASSERT_TRUE(WaitFor([&] {
        return ChatLinesWith(bob, "hello everyone") > 0 && ChatLinesWith(carol, "hello everyone") > 0;
    }));
    // Bob privately to Carol; then Carol answers in public. Alice's
    // connection delivers in order, so a leaked private line would be there
    // before Carol's answer.
    Type(bob, "/to 10003 just for you");
    ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(carol, "just for you") > 0; })) << ChatText(carol);
    Type(carol, "thanks");
    ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(alice, "thanks") > 0; }));
    ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(bob, "thanks") > 0; }));

    EXPECT_EQ(ChatLinesWith(bob, "hello everyone"), 1) << ChatText(bob);
    EXPECT_EQ(ChatLinesWith(carol, "hello everyone"), 1) << ChatText(carol);
    EXPECT_NE(ChatText(bob).find("爱丽丝(10001)"), std::string::npos) << ChatText(bob);
    EXPECT_NE(ChatText(carol).find("鲍勃(10002)对卡萝(10003)"), std::string::npos) << ChatText(carol);
    EXPECT_EQ(ChatLinesWith(carol, "just for you"), 1);
    EXPECT_EQ(ChatLinesWith(alice, "just for you"), 0) << ChatText(alice);
    // Bob sees his own private line once (his echo), never a relayed copy.
    EXPECT_EQ(ChatLinesWith(bob, "just for you"), 1) << ChatText(bob);
}

TEST_F(RoomE2E, TheRoomWindowShowsTheRoomBesideAHeadlessClient) {
    CTestClient alice(srv, kAlice, CRoomStack::Mode::window);
    CRoomUI* window = alice.stack().window();
    ASSERT_NE(window, nullptr);
    window->SetMessageBoxHandler([](const std::string&, const std::string&, BoxIcon) {});
    CTestClient bob(srv, kBob);
    GivePowers(bob);
    alice.Enter(kHall);
    bob.Enter(kHall);
    ASSERT_TRUE(WaitFor([&] { return alice.session().users().size() == 2; }));
    ASSERT_TRUE(SeesUsers(bob, 2));

    Type(bob, "hello from the console");
    CChatView* recv = window->FindChat("Edit_RecvChat");
    ASSERT_NE(recv, nullptr);
    ASSERT_TRUE(WaitFor([&] { return recv->PlainText().contains("hello from the console"); }))
        << recv->PlainText().toStdString();
    EXPECT_TRUE(recv->PlainText().contains(QString::fromUtf8("鲍勃(10002)")));
    CRoomUserList* list = window->UserList();
    ASSERT_NE(list, nullptr);
    EXPECT_GE(list->IndexOfUser(kAlice.id), 0);
    EXPECT_GE(list->IndexOfUser(kBob.id), 0);

    window->resize(1180, 740);
    WaitFor([] { return false; }, 200);  // let the window lay out and paint
    const QImage shot = window->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(shot.save(folder + "room.png")) << folder.toStdString();
}

}  // namespace

TEST_F(RoomE2E, APictureSentByOneUserAppearsAtTheOtherAfterItsDownload) {
    // The HTTP helper serves the whole process: point it at this server.
    const std::string http = "127.0.0.1:" + std::to_string(srv.accountPort());
    KITLIB_Init(0);
    KITLIB_SetHosts(http, http);
    CTestClient alice(srv, kAlice), bob(srv, kBob);
    // Uploads carry the uploader's token, as the program sets it at sign-in.
    KITLIB_SetCredentials(kAlice.id, alice.session().me().token);
    for (CTestClient* c : {&alice, &bob}) {
        c->Enter(kHall);
        GivePowers(*c);
    }
    ASSERT_TRUE(SeesUsers(alice, 2));
    ASSERT_TRUE(SeesUsers(bob, 2));

    QImage picture(12, 9, QImage::Format_RGB32);
    picture.fill(qRgb(200, 40, 90));
    const std::string file = data.path() + "snap.png";
    ASSERT_TRUE(picture.save(QString::fromStdString(file), "PNG"));
    ASSERT_EQ(alice.stack().chat()->SendPicture(file), CRoomChat::SendResult::sent);

    // Bob's line shows the waiting picture first, then the downloaded file.
    ASSERT_TRUE(WaitFor([&] { return Printed(bob, "picture ready: "); })) << ChatText(bob);
    std::string ready;
    for (const auto& l : bob.view().Lines())
        if (auto at = l.find("picture ready: "); at != std::string::npos)
            ready = l.substr(at + std::string("picture ready: ").size());
    QImage got(QString::fromStdString(ready));
    ASSERT_FALSE(got.isNull()) << ready;
    EXPECT_EQ(got.size(), picture.size());
    EXPECT_EQ(got.pixel(3, 3), picture.pixel(3, 3));
    EXPECT_EQ(ChatLinesWith(bob, "[图片]"), 1) << ChatText(bob);
    KITLIB_SetCredentials(0, std::string());
    KITLIB_Release();
}

TEST_F(RoomE2E, MyChatStyleIsKeptForMyNextStart) {
    {
        CTestClient bob(srv, kBob, CRoomStack::Mode::window);
        CRoomUI* window = bob.stack().window();
        ASSERT_NE(window, nullptr);
        window->SetStyleChooser([](const MyChatStyle&) {
            return std::optional<MyChatStyle>(MyChatStyle{0x2266AA, "黑体,12"});
        });
        window->ChooseStyle();
        EXPECT_EQ(bob.stack().chat()->myFont(), "黑体,12");
    }
    // The next start of the client takes it from bob's folder.
    CTestClient bob(srv, kBob);
    EXPECT_EQ(bob.stack().chat()->myColour(), 0x2266AAu);
    EXPECT_EQ(bob.stack().chat()->myFont(), "黑体,12");
}

TEST_F(RoomE2E, TheTalkKeyIsTheOneInTheUsersSettings) {
    const std::string folder = paths::UserFolder(kBob.id);
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "common.xml") << "<xml_root>\r\n<keyvalue>86</keyvalue>\r\n"
                                            "<keyname>V</keyname>\r\n</xml_root>\r\n";
    CTestClient bob(srv, kBob);
    EXPECT_EQ(bob.view().Text("bnt_keyspeaker"), "按住V说话");
    CTestClient alice(srv, kAlice);  // no settings yet: F2, and a file made for them
    EXPECT_EQ(alice.view().Text("bnt_keyspeaker"), "按住F2说话");
    EXPECT_TRUE(std::filesystem::exists(paths::UserFolder(kAlice.id) + "common.xml"));
}
