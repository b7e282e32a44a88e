// The account library's paying calls against an in-process zeri-server with
// the demo catalogue and Carol on the lobby's anchor microphone: the events
// carry the service's answers, and a purchase whose answer was lost on the
// way is asked for again with its request id and paid once.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "net/catalogue_chat.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_room.h"
#include "platform/patron/patron.h"
#include "server/catalogue_seed.h"
#include "server/catalogue_store.h"
#include "tests/patron/answer_dropper.h"
#include "tests/patron/patron_recorder.h"
#include "tests/server/server_fixture.h"
#include "tests/support/account_server.h"

using namespace std::chrono_literals;
using patrontest::Recorder;
using testsupport::kAlice;

namespace {

constexpr std::uint32_t kCarol = 10003, kBob = 10002, kLobby = 1001;
constexpr std::uint32_t kHeart = 1101;  // 100 coins

class PatronPurchases : public ::testing::Test {
protected:
    void SetUp() override {
        std::string err;
        server::CCatalogueStore catalogue;
        ASSERT_TRUE(catalogue.Open(srv.srv->databasePath(), err)) << err;
        ASSERT_TRUE(server::SeedDemoCatalogue(catalogue, err)) << err;
        carol = In(kCarol, srv.db().IssueToken(kCarol, std::time(nullptr), 3600));
        msg::Control_Open_Mic_Req r;
        r.user_id = kCarol, r.room_id = kLobby;
        carol->Send(1, r);
        ASSERT_TRUE(carol->Notice<msg::Control_Open_Mic_Resp>());
        bob = In(kBob, srv.db().IssueToken(kBob, std::time(nullptr), 3600));
        Quiet(*bob);
    }
    void TearDown() override { PATRON_Shutdown(); }

    std::unique_ptr<srvtest::RawClient> In(std::uint32_t user, const std::string& token) {
        auto c = std::make_unique<srvtest::RawClient>(srv.relayPort(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = user, r.room_id = kLobby, r.token = token;
        auto resp = c->Ask<msg::Control_Login_Resp>(1, r);
        EXPECT_TRUE(resp && resp->ok()) << user;
        return c;
    }
    static void Quiet(srvtest::RawClient& c) {
        while (c.Next(100ms)) {
        }
    }
    // Pushes of that type the member hears within the wait.
    static int Pushes(srvtest::RawClient& c, int type, std::chrono::milliseconds wait = 500ms) {
        int n = 0;
        const std::string head = std::to_string(type) + "|";
        while (auto f = c.NextAnswer(wait)) {
            if (f->command != msg::Control_Push_Data_Notify::id) continue;
            const auto p = srvtest::Decode<msg::Control_Push_Data_Notify>(f->payload);
            n += std::string(msg::chat_line_text(p.json)).rfind(head, 0) == 0;
        }
        return n;
    }
    // Alice signed in through the library at `port`, and in the lobby.
    PATRON_HANDLE AliceAt(std::uint16_t port) {
        PATRON_SetServer("127.0.0.1", port);
        PatronLoginOptions o;
        o.user = kAlice.name;
        o.password = kAlice.password;
        o.headless = true;
        o.confFolder = srv.dir.path() + "conf/";
        PATRON_SetLoginOptions(o);
        const PATRON_HANDLE h = PATRON_Connect();
        EXPECT_NE(h, 0u);
        PATRON_SetCallBack(h, &Recorder::Callback, &rec);
        EXPECT_EQ(PATRON_Login(h), 1);
        char token[128] = {};
        EXPECT_EQ(PATRON_GetToken(h, token), 1);
        alice = In(kAlice.id, token);
        return h;
    }
    std::uint32_t Coins(PATRON_HANDLE h) {
        const std::size_t n = rec.CountOf(PATRON_EV_BALANCE);
        EXPECT_EQ(PATRON_GetBalance(h, kAlice.id), 1);
        const auto e = rec.Wait(PATRON_EV_BALANCE, n);
        return e ? Recorder::As<PatronBalance>(*e).coins : 0;
    }
    static PatronGiftRecord GiftTo(std::uint32_t receiver) {
        PatronGiftRecord g{};
        g.receiverId = receiver;
        g.giverId = kAlice.id;
        g.roomId = kLobby;
        std::strcpy(g.receiverNick, "主播");
        return g;
    }
    static PatronItemRecord Item(std::uint32_t kind, std::uint32_t id) {
        PatronItemRecord i{};
        i.kind = kind;
        i.itemId = id;
        std::strcpy(i.name, "面板上的名字");
        return i;
    }

    // A gift of red hearts through a relay that drops the first `drops`
    // answers of the gift route.
    struct Relayed {
        std::uint32_t status = 9;
        int seen = 0;         // gift requests that reached the service
        std::uint32_t paid = 0;
        int pushes = 0;       // gift lines the room heard
    };
    Relayed GiftThroughRelay(int drops, std::uint32_t count) {
        patrontest::CAnswerDropper relay(srv.accountPort(), "POST /account/gift", drops);
        const PATRON_HANDLE h = AliceAt(relay.port());
        const std::uint32_t before = Coins(h);
        const PatronGiftRecord gift = GiftTo(kCarol);
        const PatronItemRecord heart = Item(1, kHeart);
        Relayed out;
        EXPECT_EQ(PATRON_GiveGift(h, &gift, &heart, count), 1);
        const auto e = rec.Wait(PATRON_EV_PURCHASE);
        if (e) out.status = static_cast<std::uint32_t>(e->a);
        out.seen = relay.seen();
        out.paid = before - Coins(h);
        out.pushes = Pushes(*bob, 3);
        return out;
    }

    testsupport::AccountServer srv;
    Recorder rec;
    std::unique_ptr<srvtest::RawClient> carol, bob, alice;
};

TEST_F(PatronPurchases, GiftsAndPurchasesAnswerWithTheServicesWords) {
    const PATRON_HANDLE h = AliceAt(srv.accountPort());
    const std::uint32_t before = Coins(h);
    const PatronGiftRecord gift = GiftTo(kCarol);
    const PatronItemRecord heart = Item(1, kHeart);
    ASSERT_EQ(PATRON_GiveGift(h, &gift, &heart, 3), 1);
    auto e = rec.Wait(PATRON_EV_PURCHASE);
    ASSERT_TRUE(e);
    auto p = Recorder::As<PatronPurchaseResult>(*e);
    EXPECT_EQ(e->a, 1u);
    EXPECT_EQ(p.status, 1u);
    EXPECT_EQ(p.kind, 1u);
    EXPECT_EQ(p.itemId, kHeart);
    EXPECT_EQ(p.count, 3u);
    EXPECT_STREQ(p.kindText, "1");
    EXPECT_STREQ(p.error, "");
    EXPECT_STREQ(p.receiver, srv.db().UserById(kCarol)->nickname.c_str());
    EXPECT_STRNE(p.itemName, "面板上的名字");  // the catalogue's name, from the service
    EXPECT_EQ(Coins(h), before - 300);
    EXPECT_EQ(Pushes(*bob, 3), 1);

    // A car is bought for me; a count the service refuses comes back with its words.
    const PatronItemRecord car = Item(4, server::demo_item::kFirstCar);
    ASSERT_EQ(PATRON_GiveGift(h, &gift, &car, 1), 1);
    p = Recorder::As<PatronPurchaseResult>(*rec.Wait(PATRON_EV_PURCHASE, 1));
    EXPECT_EQ(p.status, 1u);
    EXPECT_STREQ(p.kindText, "4");
    ASSERT_EQ(PATRON_GiveGift(h, &gift, &heart, 0xFFFFFFFFu), 1);
    e = rec.Wait(PATRON_EV_PURCHASE, 2);
    p = Recorder::As<PatronPurchaseResult>(*e);
    EXPECT_EQ(e->a, 0u);
    EXPECT_EQ(p.status, 0u);
    EXPECT_EQ(p.count, 0xFFFFFFFFu);
    EXPECT_STRNE(p.error, "");
    EXPECT_STREQ(p.receiver, "主播");
    EXPECT_STREQ(p.itemName, "面板上的名字");

    ASSERT_EQ(PATRON_ActivateCar(h, kAlice.id, "4001"), 1);
    auto act = rec.Wait(PATRON_EV_CAR_ACTIVATED);
    EXPECT_EQ(act->a, 1u);
    EXPECT_EQ(act->b, 4001);
    ASSERT_EQ(PATRON_ActivateCar(h, kAlice.id, "4002"), 1);  // not hers
    act = rec.Wait(PATRON_EV_CAR_ACTIVATED, 1);
    EXPECT_EQ(act->a, 0u);
    EXPECT_EQ(act->b, 4002);
    EXPECT_EQ(PATRON_ActivateCar(h, kAlice.id, "40x1"), 0);
    EXPECT_EQ(PATRON_ActivateCar(h, kAlice.id, "99999999999"), 0);

    // Recharging is closed on this server.
    ASSERT_EQ(PATRON_Recharge(h, kAlice.id), 1);
    EXPECT_EQ(rec.Wait(PATRON_EV_RECHARGE)->a, 0u);
}

TEST_F(PatronPurchases, AFlowerFailsAloudOnlyWhenTheServiceRefusesIt) {
    const PATRON_HANDLE h = AliceAt(srv.accountPort());
    ASSERT_EQ(PATRON_GiveFlower(h, kAlice.id, kCarol, kLobby, "{}"), 1);
    EXPECT_EQ(Pushes(*bob, 6), 1);
    ASSERT_EQ(PATRON_GiveFlower(h, kAlice.id, kCarol, kLobby, "{}"), 1);  // within the minute
    ASSERT_TRUE(rec.Wait(PATRON_EV_FLOWER_FAILED));
    EXPECT_EQ(rec.CountOf(PATRON_EV_FLOWER_FAILED), 1u);
    EXPECT_EQ(Pushes(*bob, 6, 200ms), 0);
    EXPECT_EQ(PATRON_GiveFlower(h, kAlice.id, 0, kLobby, "{}"), 0);
}

TEST_F(PatronPurchases, ALostAnswerIsAskedAgainWithTheSameIdAndPaidOnce) {
    const Relayed r = GiftThroughRelay(1, 2);
    EXPECT_EQ(r.status, 1u);
    EXPECT_EQ(r.seen, 2);
    EXPECT_EQ(r.paid, 200u);
    EXPECT_EQ(r.pushes, 1);
}

TEST_F(PatronPurchases, AfterTwoRetriesWithoutAnswerTheCallFailsYetWasPaidOnlyOnce) {
    const Relayed r = GiftThroughRelay(5, 1);
    EXPECT_EQ(r.status, 0u);
    EXPECT_EQ(r.seen, 3);  // the first try and two more
    EXPECT_EQ(r.paid, 100u);
    EXPECT_EQ(r.pushes, 1);
}

}  // namespace
