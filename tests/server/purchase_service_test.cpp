// Gifts, purchases, flowers, cars and recharges through the account
// service's port, against an in-process server with members over real TCP:
// what is paid and delivered, what the room hears, what a repeated request
// id gets, and that every refusal leaves the account tables as they were.
#include "purchase_fixture.h"

#include <thread>

namespace srvtest::buy {
namespace {

class Purchases : public ::testing::Test, public PurchaseServer {
protected:
    void SetUp() override {
        PurchaseOptions o;
        o.requestsPerSecond = 1e6;  // the rate limit has a test of its own
        o.requestBurst = 1e6;
        Start(o);
    }
};

TEST_F(Purchases, AGiftPaysOnceGivesTheAnchorCharmAndTellsTheRoomOnce) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice), bob = In(kBob);
    const std::int64_t before = Coins(kAlice);
    const std::string id = NewId();

    const Reply r = Gift(kAlice, kHeart, 3, kCarol, id);
    ASSERT_EQ(r.status, 200) << r.text;
    EXPECT_EQ(r.code(), 0);
    EXPECT_EQ(r.body.get_int("cost"), 300);  // the catalogue price × 3, in coins
    EXPECT_EQ(r.body.get_string("currency"), "coins");
    EXPECT_EQ(r.body.get_int("coins"), before - 300);
    EXPECT_EQ(r.body.get_string("receiverNickname"), Nickname(kCarol));
    EXPECT_EQ(Coins(kAlice), before - 300);
    EXPECT_EQ(Coins(kCarol), before);  // the receiver pays nothing
    EXPECT_EQ(srv->purchaseStore().CharmOf(kCarol), 30u);

    for (RawClient* c : {bob.get(), carol.get(), alice.get()}) {
        const json::value g = PushedJson(*c, 3);
        EXPECT_EQ(g.get_int("kampoId"), kAlice);
        EXPECT_EQ(g.get_int("recevierKampoId"), kCarol);
        EXPECT_EQ(g.get_int("goodsId"), kHeart);
        EXPECT_EQ(g.get_int("goodsItems"), 3);
        EXPECT_EQ(g.get_string("nickname"), Nickname(kAlice));
        EXPECT_EQ(g.get_string("recevierNickname"), Nickname(kCarol));
        EXPECT_EQ(g.get_string("appId"), "100005");
        EXPECT_EQ(g.get_int("recharge"), 1);
        EXPECT_EQ(g.get_int("charmValue"), 30);
        EXPECT_FALSE(g.get_string("goodsName").empty());
        // The catalogue's own picture, where the catalogue serves it.
        const std::string icon = g.get_string("iconUrl");
        EXPECT_NE(icon.find(":" + std::to_string(srv->cataloguePort()) + "/res/1/"),
                  std::string::npos) << icon;
        EXPECT_EQ(icon.substr(icon.size() - 4), ".png");
    }

    // The same request again: the same answer, no second payment or line.
    const Reply again = Gift(kAlice, kHeart, 3, kCarol, id);
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(again.text, r.text);
    EXPECT_EQ(Coins(kAlice), before - 300);
    EXPECT_EQ(Pushed(*bob, 300ms), "(nothing)");
    // The same id for another gift is refused, and costs nothing either.
    const Reply other = Gift(kAlice, kHeart, 4, kCarol, id);
    EXPECT_EQ(other.status, 409);
    EXPECT_EQ(other.code(), purchase_error::id_reused);
    EXPECT_EQ(Coins(kAlice), before - 300);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM account_gift_ledger"), 1);
}

TEST_F(Purchases, BillboardsGradesAndLevelsFollowCoinsSpent) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice), dave = In(kDave);
    ASSERT_EQ(Gift(kAlice, kHeart, 2, kCarol).status, 200);      // 200 coins: grade 2
    ASSERT_EQ(Gift(kDave, kHeart, 5, kCarol).status, 200);       // 500 coins: grade 3
    const Reply board = Post(kAlice, "/account/billboard", R"({"period":0})");
    ASSERT_EQ(board.status, 200) << board.text;
    const json::value entries = board.body.get_array("entries");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.at(0).get_int("id"), kDave);
    EXPECT_EQ(entries.at(0).get_int("amount"), 500);
    EXPECT_EQ(entries.at(1).get_int("id"), kAlice);
    EXPECT_EQ(entries.at(1).get_int("amount"), 200);
    EXPECT_EQ(Post(kAlice, "/account/wealth", "{}").body.get_int("grade"), 2);
    EXPECT_EQ(Post(kDave, "/account/wealth", "{}").body.get_int("grade"), 3);
    EXPECT_EQ(Post(kDave, "/account/level", "{}").body.get_int("experience"), 500);
    // A purchase in the second balance is no coin spending.
    SetWallet(kAlice, 1000, 100000);
    const Reply gem = Gift(kAlice, kGoldGem, 1, kCarol);
    ASSERT_EQ(gem.status, 200) << gem.text;
    EXPECT_EQ(gem.body.get_string("currency"), "pelto");
    EXPECT_EQ(Pelto(kAlice), 100000 - 52000);  // 520 whole units = 52000 hundredths
    EXPECT_EQ(Coins(kAlice), 1000);
    EXPECT_EQ(Post(kAlice, "/account/wealth", "{}").body.get_int("spent"), 200);
}

TEST_F(Purchases, CarsPackItemsAndVipTimeAreDeliveredToTheBuyer) {
    SetWallet(kAlice, 10000000, 0);
    const std::int64_t now = clock.Now();
    ASSERT_EQ(Buy(kAlice, kKindCar, kCar).status, 200);
    EXPECT_EQ(Scalar("SELECT expiry FROM account_cars WHERE user_id = 10001"), now + 30 * 86400);
    // Bought again, the car runs on from its expiry.
    ASSERT_EQ(Buy(kAlice, kKindCar, kCar).status, 200);
    EXPECT_EQ(Scalar("SELECT expiry FROM account_cars WHERE user_id = 10001"), now + 60 * 86400);

    const std::int64_t packBefore =
        Scalar("SELECT COALESCE(SUM(count), 0) FROM account_pack WHERE user_id = 10001 AND prop_id = 1");
    ASSERT_EQ(Buy(kAlice, kKindPack, demo_item::kVideoText).status, 200);
    EXPECT_EQ(Scalar("SELECT count FROM account_pack WHERE user_id = 10001 AND prop_id = 1"),
              packBefore + 1);

    // VIP 1 opens the gold heart, not yet the crown (VIP 3).
    auto carol = AnchorCarol();
    auto alice = In(kAlice);
    EXPECT_EQ(Gift(kAlice, kGoldHeart, 1, kCarol).code(), purchase_error::vip_too_low);
    const Reply vip = Buy(kAlice, kKindVip, demo_item::VipItem(1, 0));
    ASSERT_EQ(vip.status, 200) << vip.text;
    EXPECT_EQ(Scalar("SELECT level FROM account_vips WHERE user_id = 10001"), 1);
    EXPECT_EQ(Gift(kAlice, kGoldHeart, 1, kCarol).status, 200);
    EXPECT_EQ(Gift(kAlice, kGoldCrown, 1, kCarol).code(), purchase_error::vip_too_low);
}

TEST_F(Purchases, OneCarIsActiveAndDrivesInWhenItsOwnerEntersTheRoom) {
    SetWallet(kBob, 10000000, 0);
    ASSERT_EQ(Buy(kBob, kKindCar, kCar).status, 200);
    ASSERT_EQ(Buy(kBob, kKindCar, kCar2).status, 200);
    EXPECT_EQ(Post(kBob, "/account/activate-car", R"({"car":4001})").status, 200);
    const Reply second = Post(kBob, "/account/activate-car", R"({"car":4002})");
    ASSERT_EQ(second.status, 200) << second.text;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM account_cars WHERE user_id = 10002 AND active = 1"), 1);
    EXPECT_EQ(Scalar("SELECT car_id FROM account_cars WHERE user_id = 10002 AND active = 1"), 4002);
    EXPECT_EQ(Post(kBob, "/account/activate-car", R"({"car":4005})").code(), purchase_error::no_car);
    EXPECT_EQ(Post(kAlice, "/account/activate-car", R"({"car":4002})").code(), purchase_error::no_car);

    auto alice = In(kAlice);
    auto bob = In(kBob);
    const json::value car = PushedJson(*alice, 5);
    EXPECT_EQ(car.get_int("kampoId"), kBob);
    EXPECT_EQ(car.get_string("nickname"), Nickname(kBob));
    EXPECT_EQ(car.get_string("carName"), "蓝色轿车");
    EXPECT_NE(car.get_string("carIconUrl").find("/res/4/"), std::string::npos);
    // Without an active car nobody hears of an entry.
    auto dave = In(kDave);
    EXPECT_EQ(Pushed(*alice, 300ms), "(nothing)");
}

TEST_F(Purchases, FlowersAreFreeOneAMinuteAndCarryTheGiverFromTheTables) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice), bob = In(kBob);
    const std::int64_t coins = Coins(kAlice);
    const std::string id = NewId();
    const Reply r = Flower(kAlice, kCarol, id);
    ASSERT_EQ(r.status, 200) << r.text;
    EXPECT_EQ(r.body.get_int("count"), 1);
    const json::value f = PushedJson(*bob, 6);
    const json::value ext = f.get_object("ext");
    ASSERT_TRUE(ext);
    EXPECT_EQ(ext.get_string("nickname"), Nickname(kAlice));
    EXPECT_EQ(ext.get_int("role"), srv->db().RoomRole(kLobby, kAlice, clock.Now()));
    EXPECT_FALSE(ext.get_string("msgContentColor").empty());
    EXPECT_NE(ext.get_string("medalIconUrl").find("/wealth/1.png"), std::string::npos);
    EXPECT_EQ(Coins(kAlice), coins);

    EXPECT_EQ(Flower(kAlice, kCarol, id).text, r.text);  // a retry: the same answer
    EXPECT_EQ(Pushed(*bob, 300ms), "(nothing)");
    EXPECT_EQ(Flower(kAlice, kCarol).code(), purchase_error::too_soon);
    EXPECT_EQ(Flower(kBob, kCarol).status, 200);  // another giver is not held up
    clock.AdvanceWall(61);
    EXPECT_EQ(Flower(kAlice, kCarol).body.get_int("count"), 3);
    EXPECT_EQ(Post(kAlice, "/account/flowers", R"({"anchor":10003})").body.get_int("count"), 3);
}

TEST_F(Purchases, TheVideoTextPropIsSpentAndItsTextScrollsForTheRoom) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice), bob = In(kBob);
    SetWallet(kAlice, 10000, 0);
    ASSERT_EQ(Buy(kAlice, kKindPack, demo_item::kVideoText).status, 200);
    const std::int64_t entry =
        Scalar("SELECT entry_id FROM account_pack WHERE user_id = 10001 AND prop_id = 1");
    auto use = [&](const std::string& text) {
        json::value b = json::value::object();
        b.set("room", static_cast<std::int64_t>(kLobby));
        b.set("receiver", static_cast<std::int64_t>(kAlice));
        b.set("entry", entry);
        b.set("count", std::int64_t{1});
        b.set("text", text);
        return Post(kAlice, "/account/give-prop", b.dump());
    };
    const std::string dump = Dump();
    std::vector<Reply> refused;
    for (const std::string& bad : {std::string(), std::string(129, 'x'),
                                   std::string("line\nbreak"), std::string("\xC3\x28")})
        refused.push_back(use(bad));
    refused.push_back(Post(kAlice, "/account/give-prop",
                           R"({"room":1001,"receiver":10001,"count":1,"text":"a\u0000b","entry":)" +
                               std::to_string(entry) + "}"));
    for (const Reply& r : refused) {
        EXPECT_EQ(r.status, 400) << r.text;
        EXPECT_EQ(r.code(), purchase_error::bad_text);
    }
    EXPECT_EQ(Dump(), dump);
    const Reply ok = use("欢迎来到直播间");
    ASSERT_EQ(ok.status, 200) << ok.text;
    EXPECT_EQ(ok.body.get_int("count"), 0);
    const json::value p = PushedJson(*bob, 8);
    EXPECT_EQ(p.get_string("msgType"), "1");
    EXPECT_EQ(p.get_string("extMsg"), "欢迎来到直播间");
    EXPECT_EQ(use("again").code(), 1018);  // used up
}

TEST_F(Purchases, RechargeIsRefusedWithoutTheDemoFlag) {
    const std::string dump = Dump();
    const Reply r = Post(kAlice, "/account/recharge", R"({"request":")" + NewId() + "\"}");
    EXPECT_EQ(r.status, 403);
    EXPECT_EQ(r.code(), purchase_error::recharge_closed);
    EXPECT_FALSE(r.body.get_string("error").empty());
    EXPECT_EQ(Dump(), dump);
}

class DemoRecharge : public ::testing::Test, public PurchaseServer {
protected:
    void SetUp() override {
        PurchaseOptions o;
        o.demoRecharge = true;
        Start(o);
    }
};

TEST_F(DemoRecharge, CreditsTheDemoAmountOncePerRequest) {
    const std::int64_t before = Coins(kAlice);
    const std::string body = R"({"request":")" + NewId() + "\"}";
    const Reply r = Post(kAlice, "/account/recharge", body);
    ASSERT_EQ(r.status, 200) << r.text;
    EXPECT_EQ(Coins(kAlice), before + static_cast<std::int64_t>(kDemoRechargeCoins));
    EXPECT_EQ(Post(kAlice, "/account/recharge", body).text, r.text);
    EXPECT_EQ(Coins(kAlice), before + static_cast<std::int64_t>(kDemoRechargeCoins));
}

TEST_F(Purchases, EveryRefusalHasACodeAndATextAndChangesNothing) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice), bob = In(kBob);
    auto dave = In(kDave, kMusic);  // in another room
    SetWallet(kAlice, 10, 12345);
    auto gift = [&](const std::string& fields) {
        return Post(kAlice, "/account/gift", "{\"request\":\"" + NewId() + "\"," + fields + "}");
    };
    auto buy = [&](const std::string& fields) {
        return Post(kAlice, "/account/buy", "{\"request\":\"" + NewId() + "\"," + fields + "}");
    };
    const std::string to = R"("room":1001,"receiver":10003,)";
    struct Case {
        const char* what;
        std::function<Reply()> ask;
        std::int64_t code;
    };
    const std::vector<Case> cases = {
        {"count 0", [&] { return gift(to + R"("item":1101,"count":0)"); }, purchase_error::bad_count},
        {"count -1", [&] { return gift(to + R"("item":1101,"count":-1)"); }, purchase_error::bad_count},
        {"count -1 as sent", [&] { return gift(to + R"("item":1101,"count":4294967295)"); },
         purchase_error::bad_count},
        {"count 10000", [&] { return gift(to + R"("item":1101,"count":10000)"); }, purchase_error::bad_count},
        {"count 2^31", [&] { return gift(to + R"("item":1101,"count":2147483648)"); },
         purchase_error::bad_count},
        {"count 1.5", [&] { return gift(to + R"("item":1101,"count":1.5)"); }, purchase_error::bad_count},
        {"count as text", [&] { return gift(to + R"("item":1101,"count":"3")"); }, purchase_error::bad_count},
        {"unknown item", [&] { return gift(to + R"("item":999999,"count":1)"); }, purchase_error::no_item},
        {"no item", [&] { return gift(to + R"("count":1)"); }, purchase_error::no_item},
        {"a car as a gift", [&] { return gift(to + R"("item":4001,"count":1)"); }, purchase_error::no_item},
        {"a group", [&] { return gift(to + R"("item":1200,"count":1)"); }, purchase_error::no_item},
        {"a nested group", [&] { return gift(to + R"("item":1210,"count":1)"); }, purchase_error::no_item},
        {"VIP too low", [&] { return gift(to + R"("item":1122,"count":1)"); }, purchase_error::vip_too_low},
        {"receiver missing", [&] { return gift(R"("room":1001,"item":1101,"count":1)"); },
         purchase_error::no_receiver},
        {"receiver absent", [&] { return gift(R"("room":1001,"receiver":10004,"item":1101,"count":1)"); },
         purchase_error::no_receiver},
        {"receiver not the anchor", [&] { return gift(R"("room":1001,"receiver":10002,"item":1101,"count":1)"); },
         purchase_error::no_receiver},
        {"to myself", [&] { return gift(R"("room":1001,"receiver":10001,"item":1101,"count":1)"); },
         purchase_error::not_to_self},
        {"another room", [&] { return gift(R"("room":1002,"receiver":10003,"item":1101,"count":1)"); },
         purchase_error::not_in_room},
        {"no such room", [&] { return gift(R"("room":4242,"receiver":10003,"item":1101,"count":1)"); },
         account_error::no_room},
        {"no request id", [&] { return Post(kAlice, "/account/gift", R"({"room":1001,"receiver":10003,"item":1101})"); },
         purchase_error::bad_request_id},
        {"short request id", [&] { return Post(kAlice, "/account/gift", R"({"request":"abc","room":1001,"receiver":10003,"item":1101})"); },
         purchase_error::bad_request_id},
        {"upper-case request id",
         [&] { return Post(kAlice, "/account/gift", R"({"request":"0123456789ABCDEF0123456789abcdef","room":1001,"receiver":10003,"item":1101})"); },
         purchase_error::bad_request_id},
        {"request id as a number",
         [&] { return Post(kAlice, "/account/gift", R"({"request":12345678901234567890,"room":1001,"receiver":10003,"item":1101})"); },
         purchase_error::bad_request_id},
        {"request id with a NUL",
         [&] { return Post(kAlice, "/account/gift", "{\"request\":\"0123456789abcdef\\u00000123456789abcde\",\"room\":1001,\"receiver\":10003,\"item\":1101}"); },
         purchase_error::bad_request_id},
        {"not JSON", [&] { return Post(kAlice, "/account/gift", "{item:"); }, account_error::bad_request},
        {"body over 16 KiB", [&] { return gift(to + R"("item":1101,"pad":")" + std::string(17000, 'x') + "\""); },
         purchase_error::too_large},
        {"two cars at once", [&] { return buy(R"("kind":4,"item":4001,"count":2)"); }, purchase_error::bad_count},
        {"a gift bought as a car", [&] { return buy(R"("kind":4,"item":1101)"); }, purchase_error::no_item},
        {"a gift on the buy route", [&] { return buy(R"("kind":1,"item":1101)"); }, account_error::bad_request},
        {"an unknown kind", [&] { return buy(R"("kind":5,"item":4001)"); }, account_error::bad_request},
        {"VIP time beyond the balance", [&] { return buy(R"("kind":7,"item":7304)"); },
         purchase_error::not_enough},
        {"a gift beyond the balance", [&] { return gift(to + R"("item":1101,"count":9999)"); },
         purchase_error::not_enough},
        {"a flower to myself",
         [&] { return Post(kAlice, "/account/flower", "{\"request\":\"" + NewId() + R"(","room":1001,"anchor":10001})"); },
         purchase_error::not_to_self},
        {"a flower to a guest",
         [&] { return Post(kAlice, "/account/flower", "{\"request\":\"" + NewId() + R"(","room":1001,"anchor":10002})"); },
         purchase_error::no_receiver},
        {"a car I do not have", [&] { return Post(kAlice, "/account/activate-car", R"({"car":4001})"); },
         purchase_error::no_car},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string before = Dump();
        const Reply r = c.ask();
        EXPECT_GE(r.status, 400) << r.text;
        EXPECT_EQ(r.code(), c.code) << r.text;
        EXPECT_FALSE(r.body.get_string("error").empty());
        EXPECT_EQ(Dump(), before);
    }
    // Without the token nobody is served.
    tokens[kAlice] = "wrong";
    EXPECT_EQ(gift(to + R"("item":1101,"count":1)").status, 401);
    EXPECT_EQ(Pushed(*bob, 300ms), "(nothing)");
}

TEST_F(Purchases, ACostBeyondSixtyThreeBitsIsRefusedNotWrapped) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice);
    // The catalogue's own checks keep prices small; an edited table may not.
    ASSERT_EQ(sqlite3_exec(peek,
                           "PRAGMA ignore_check_constraints = ON;"
                           "INSERT INTO catalogue_items (id, item_type, name, price, currency_type) "
                           "VALUES (1990, '1', 'huge', 4611686018427387904, '1'),"
                           "       (1991, '1', 'huge2', 92233720368547759, '2');"
                           "PRAGMA ignore_check_constraints = OFF;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    SetWallet(kAlice, INT64_MAX, INT64_MAX);
    const std::string dump = Dump();
    for (auto [item, count] : {std::pair{1990u, 2}, std::pair{1990u, 9999}, std::pair{1991u, 1}}) {
        const Reply r = Gift(kAlice, item, count, kCarol);
        EXPECT_EQ(r.status, 400) << r.text;
        EXPECT_EQ(r.code(), purchase_error::too_costly);
    }
    EXPECT_EQ(Dump(), dump);
    EXPECT_EQ(Gift(kAlice, 1990, 1, kCarol).status, 200);  // 2^62 still fits
}

class RateLimitedPurchases : public ::testing::Test, public PurchaseServer {
protected:
    void SetUp() override {
        PurchaseOptions o;
        o.requestsPerSecond = 0.001;
        o.requestBurst = 3;
        Start(o);
    }
};

TEST_F(RateLimitedPurchases, ABurstBeyondTheBucketIsRefusedPerUser) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Buy(kAlice, kKindCar, 999999).code(), purchase_error::no_item);
    const std::string dump = Dump();
    const Reply r = Buy(kAlice, kKindCar, kCar);
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.code(), purchase_error::too_many);
    EXPECT_EQ(Dump(), dump);
    EXPECT_EQ(Buy(kBob, kKindCar, kCar).status, 200);  // another user has a bucket of their own
}

}  // namespace
}  // namespace srvtest::buy
