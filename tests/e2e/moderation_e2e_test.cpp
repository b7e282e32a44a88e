// Moderation between whole clients over real TCP, driven by what users type:
// the owner, a manager and two guests in one room; a gag that stops a guest's
// chat and outlives a server restart, a role change that re-sorts every
// list, a kick that ends the stay and keeps the door shut while it lasts, and
// the mic queue: one list at every client, removal by the manager, and free
// turns for its head only.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/e2e_client.h"
#include "tests/e2e/e2e_fixture.h"

using e2e::CTestClient;
using e2e::WaitFor;
using e2e::kAlice;
using e2e::kBob;
using e2e::kDave;
using e2e::kErin;
using e2e::kHall;

namespace {

class ModerationE2E : public e2e::RoomFixture {
protected:
    // Everyone in the hall, with the power list, seeing all four.
    void EnterAll() {
        alice = std::make_unique<CTestClient>(srv, kAlice);
        bob = std::make_unique<CTestClient>(srv, kBob);
        dave = std::make_unique<CTestClient>(srv, kDave);
        erin = std::make_unique<CTestClient>(srv, kErin);
        for (CTestClient* c : all()) {
            c->Enter(kHall);
            GivePowers(*c);
        }
        for (CTestClient* c : all()) ASSERT_TRUE(SeesUsers(*c, 4)) << Output(*c);
    }
    std::vector<CTestClient*> all() { return {alice.get(), bob.get(), dave.get(), erin.get()}; }
    std::vector<CTestClient*> others() { return {alice.get(), bob.get(), erin.get()}; }

    // The user ids of a client's list, top to bottom.
    static std::vector<std::uint32_t> ListOrder(CTestClient& c) {
        std::vector<std::uint32_t> ids;
        for (const auto& item : c.session().userList().items()) ids.push_back(item.userId);
        return ids;
    }
    // A user's flags as a client knows them.
    static bool GaggedAt(CTestClient& c, std::uint32_t user) {
        const auto it = c.session().users().find(user);
        return it != c.session().users().end() && it->second.gagged;
    }
    static int RoleAt(CTestClient& c, std::uint32_t user) {
        const auto it = c.session().users().find(user);
        return it == c.session().users().end() ? -1 : it->second.role;
    }

    std::unique_ptr<CTestClient> alice, bob, dave, erin;
};

TEST_F(ModerationE2E, AGagStopsTheGuestsChatAndOutlivesAServerRestart) {
    ASSERT_NO_FATAL_FAILURE(EnterAll());

    Type(*bob, "/gag 10004 刷屏");
    ASSERT_TRUE(WaitFor([&] { return Printed(*dave, "tip: 你被禁言!"); })) << Output(*dave);
    EXPECT_EQ(ChatLinesWith(*dave, "你被禁言!"), 1) << ChatText(*dave);
    for (CTestClient* c : others()) {
        ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(*c, "大卫已被禁言") == 1; })) << ChatText(*c);
        EXPECT_TRUE(GaggedAt(*c, kDave.id));
    }
    EXPECT_TRUE(dave->session().gagged());
    EXPECT_TRUE(srv.db().IsGagged(kHall, kDave.id));

    // Dave's line is refused where he types it; Erin's, after it, goes
    // through, so a line of Dave's would have reached the others first.
    Type(*dave, "can anyone hear me");
    ASSERT_TRUE(WaitFor([&] { return Printed(*dave, "tip: 你已被禁言！"); })) << Output(*dave);
    Type(*erin, "after the gag");
    for (CTestClient* c : {alice.get(), bob.get()}) {
        ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(*c, "after the gag") == 1; })) << ChatText(*c);
        EXPECT_EQ(ChatLinesWith(*c, "can anyone hear me"), 0) << ChatText(*c);
    }

    // The server comes back from its database: everyone logs in again, and
    // the gag is in Dave's own record and in the others' lists.
    std::vector<int> welcomes;
    for (CTestClient* c : all()) welcomes.push_back(PrintedTimes(*c, "tip: 登录频道成功！"));
    ASSERT_NO_FATAL_FAILURE(RestartServer());
    for (std::size_t i = 0; i < all().size(); ++i) {
        CTestClient& c = *all()[i];
        ASSERT_TRUE(WaitFor([&] { return PrintedTimes(c, "tip: 登录频道成功！") > welcomes[i]; }))
            << Output(c);
        ASSERT_TRUE(SeesUsers(c, 4)) << Output(c);
    }
    Type(*dave, "/state");
    ASSERT_TRUE(WaitFor([&] { return Printed(*dave, "user: 大卫(10004) role=20 gagged="); }));
    EXPECT_TRUE(Printed(*dave, "user: 大卫(10004) role=20 gagged=1")) << Output(*dave);
    EXPECT_FALSE(Printed(*dave, "user: 大卫(10004) role=20 gagged=0")) << Output(*dave);
    for (CTestClient* c : others()) EXPECT_TRUE(GaggedAt(*c, kDave.id)) << c->session().myUserId();
    const int refusals = PrintedTimes(*dave, "tip: 你已被禁言！");
    Type(*dave, "and now?");
    ASSERT_TRUE(WaitFor([&] { return PrintedTimes(*dave, "tip: 你已被禁言！") > refusals; }));

    // Cancelled: told everywhere, and Dave's lines reach the room again.
    Type(*bob, "/ungag 10004");
    ASSERT_TRUE(WaitFor([&] { return Printed(*dave, "tip: 你被取消禁言!"); })) << Output(*dave);
    for (CTestClient* c : others())
        ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(*c, "大卫已被取消禁言") == 1; })) << ChatText(*c);
    EXPECT_FALSE(srv.db().IsGagged(kHall, kDave.id));
    Type(*dave, "free again");
    for (CTestClient* c : others())
        ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(*c, "free again") == 1; })) << ChatText(*c);
    EXPECT_EQ(ChatLinesWith(*alice, "and now?"), 0);
}

TEST_F(ModerationE2E, ARoleChangeResortsEveryClientsList) {
    ASSERT_NO_FATAL_FAILURE(EnterAll());
    // Owner first, then the manager, then the guests in their arrival order.
    const std::vector<std::uint32_t> start = ListOrder(*alice);
    ASSERT_EQ(start.size(), 4u);
    ASSERT_EQ(start[0], kAlice.id);
    ASSERT_EQ(start[1], kBob.id);
    // The guest at the bottom of Alice's list becomes an anchor: above the
    // other guest everywhere.
    const std::uint32_t moved = start[3], stays = start[2];
    const std::string movedName = moved == kDave.id ? "大卫" : "艾琳";
    CTestClient& target = moved == kDave.id ? *dave : *erin;
    Type(*alice, "/role " + std::to_string(moved) + " 7 30");
    const std::vector<std::uint32_t> promoted = {kAlice.id, kBob.id, moved, stays};
    for (CTestClient* c : all()) {
        ASSERT_TRUE(WaitFor([&] { return RoleAt(*c, moved) == 7; })) << c->session().myUserId();
        EXPECT_EQ(ListOrder(*c), promoted) << c->session().myUserId();
        ExpectListMatchesUsers(*c);
        // The list's drawn lines follow the model.
        ASSERT_EQ(c->view().UserLines().size(), 4u);
        EXPECT_NE(c->view().UserLines()[2].find(movedName), std::string::npos)
            << c->view().UserLines()[2];
    }
    EXPECT_TRUE(Printed(target, "tip: 你已经被更改权限!")) << Output(target);

    // The manager makes the anchor a guest again: last, after the guest
    // who was there all along, at every client.
    Type(*bob, "/role " + std::to_string(moved) + " 20");
    const std::vector<std::uint32_t> demoted = {kAlice.id, kBob.id, stays, moved};
    for (CTestClient* c : all()) {
        ASSERT_TRUE(WaitFor([&] { return RoleAt(*c, moved) == 20; })) << c->session().myUserId();
        EXPECT_EQ(ListOrder(*c), demoted) << c->session().myUserId();
        ExpectListMatchesUsers(*c);
    }
    EXPECT_EQ(PrintedTimes(target, "tip: 你已经被更改权限!"), 2);
}

TEST_F(ModerationE2E, AKickShowsTheBoxTellsTheOthersAndKeepsTheKickedOutWhileItLasts) {
    ASSERT_NO_FATAL_FAILURE(EnterAll());
    server::CRoomHandler& rooms = srv.srv->rooms();
    ASSERT_TRUE(WaitFor([&] { return rooms.MixIn(kDave.id, kHall); }));

    Type(*bob, "/kick 10004 300 广告");
    ASSERT_TRUE(WaitFor([&] { return Printed(*dave, "box: 提示: 你被踢出房间!"); })) << Output(*dave);
    EXPECT_FALSE(dave->session().loggedIn());
    for (CTestClient* c : others()) {
        ASSERT_TRUE(SeesUsers(*c, 3)) << c->session().myUserId();
        EXPECT_EQ(c->session().users().count(kDave.id), 0u);
        ExpectListMatchesUsers(*c);
        EXPECT_FALSE(Printed(*c, "你被踢出房间!")) << c->session().myUserId();
    }
    EXPECT_FALSE(rooms.ChatIn(kDave.id, kHall));
    EXPECT_FALSE(rooms.MixIn(kDave.id, kHall));

    // Coming back is refused while the kick lasts, with the server's reason.
    dave->Enter(kHall);
    ASSERT_TRUE(WaitFor([&] { return dave->session().loginRefused(); })) << Output(*dave);
    EXPECT_EQ(dave->view().Text("Label_Fail"), "你已被踢出该房间，暂时不能进入(1025)");
    EXPECT_FALSE(dave->session().loggedIn());
    for (CTestClient* c : others()) EXPECT_EQ(c->session().users().count(kDave.id), 0u);

    // Five minutes on, the door is open again.
    srv.clock.Advance(301);
    dave->Enter(kHall);
    ASSERT_TRUE(dave->InRoom(kHall)) << Output(*dave);
    EXPECT_EQ(dave->view().Text("Label_Fail"), "");
    for (CTestClient* c : others()) ASSERT_TRUE(SeesUsers(*c, 4));
}

TEST_F(ModerationE2E, TheMicQueueIsOneListEverywhereAndOnlyItsHeadSpeaksFreely) {
    ASSERT_NO_FATAL_FAILURE(EnterAll());
    server::CRoomHandler& rooms = srv.srv->rooms();
    // Free turns go over the media connection.
    for (CTestClient* c : all())
        ASSERT_TRUE(WaitFor([&] { return rooms.MixIn(c->session().myUserId(), kHall); }));
    const auto queueOf = [](CTestClient& c) { return c.stack().mic()->queue().ids(); };
    using Ids = std::vector<std::uint32_t>;

    Type(*bob, "/mode 4");
    for (CTestClient* c : all()) {
        ASSERT_TRUE(WaitFor([&] { return c->session().roomMode() == 4; })) << Output(*c);
        EXPECT_EQ(ChatLinesWith(*c, "房间被更改为麦序模式"), 1) << ChatText(*c);
    }
    Type(*dave, "/rob");
    for (CTestClient* c : all())
        ASSERT_TRUE(WaitFor([&] { return queueOf(*c) == Ids{kDave.id}; })) << Output(*c);
    Type(*erin, "/rob");
    for (CTestClient* c : all())
        ASSERT_TRUE(WaitFor([&] { return queueOf(*c) == Ids{kDave.id, kErin.id}; })) << Output(*c);
    // The same list, seconds included, told to everyone at once.
    const std::string line = LastPrinted(*alice, "queue: ");
    EXPECT_NE(line.find("s controlled=0 forbidden=0 | 1.大卫(10004) 2.艾琳(10005)"),
              std::string::npos) << line;
    for (CTestClient* c : all()) {
        EXPECT_EQ(LastPrinted(*c, "queue: "), line) << c->session().myUserId();
        const std::string seconds = c->view().Text("suiplustm_mic");
        EXPECT_TRUE(!seconds.empty() && seconds.back() == 's') << seconds;
    }
    EXPECT_EQ(rooms.QueueOf(kHall), (Ids{kDave.id, kErin.id}));

    // The second in line may not speak; the head may.
    Type(*erin, "/speak");
    ASSERT_TRUE(WaitFor([&] { return Printed(*erin, "tip: 请先抢麦"); })) << Output(*erin);
    EXPECT_FALSE(erin->stack().mic()->freeSpeech());
    Type(*dave, "/speak");
    ASSERT_TRUE(WaitFor([&] { return dave->stack().mic()->Speaking(kDave.id); })) << Output(*dave);
    EXPECT_FALSE(Printed(*dave, "请先抢麦"));

    // The manager takes the head out: Erin is first everywhere, and now hers
    // is the turn.
    // (Bob's answer takes Dave out at once; the list that follows is what
    // everyone prints.)
    Type(*bob, "/remove 10004");
    const auto erinAlone = [](const std::string& l) {
        return l.find("| 1.艾琳(10005)") != std::string::npos && l.find("大卫") == std::string::npos;
    };
    for (CTestClient* c : all()) {
        ASSERT_TRUE(WaitFor([&] { return erinAlone(LastPrinted(*c, "queue: ")); })) << Output(*c);
        EXPECT_EQ(queueOf(*c), Ids{kErin.id});
    }
    const std::string after = LastPrinted(*alice, "queue: ");
    for (CTestClient* c : all()) EXPECT_EQ(LastPrinted(*c, "queue: "), after);
    EXPECT_EQ(rooms.QueueOf(kHall), Ids{kErin.id});
    Type(*erin, "/speak");
    ASSERT_TRUE(WaitFor([&] { return erin->stack().mic()->Speaking(kErin.id); })) << Output(*erin);
    EXPECT_EQ(PrintedTimes(*erin, "tip: 请先抢麦"), 1);
}

}  // namespace
