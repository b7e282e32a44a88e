// Purchases racing each other: one account spending from many threads at
// once, one request id sent many times at once, and a failure after the
// money was taken. The balance never goes below zero, nothing is paid
// twice, and a failed purchase leaves no trace.
#include "purchase_fixture.h"

#include <thread>
#include <vector>

namespace srvtest::buy {
namespace {

class RacingPurchases : public ::testing::Test, public PurchaseServer {
protected:
    void SetUp() override {
        PurchaseOptions o;
        o.requestsPerSecond = 1e6;  // these tests race, they do not flood
        o.requestBurst = 1e6;
        Start(o);
    }
};

TEST_F(RacingPurchases, EightThreadsWithOneTokenBuyExactlyWhatTheBalanceCovers) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice);
    SetWallet(kAlice, 100 * 100, 12345);  // exactly 100 red hearts
    std::atomic<int> done{0}, poor{0}, other{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            httplib::Client client("127.0.0.1", srv->accountPort());
            for (;;) {
                json::value b = json::value::object();
                b.set("request", NewId());
                b.set("room", static_cast<std::int64_t>(kLobby));
                b.set("receiver", static_cast<std::int64_t>(kCarol));
                b.set("item", static_cast<std::int64_t>(kHeart));
                b.set("count", std::int64_t{1});
                const Reply r = Post(kAlice, "/account/gift", b.dump(), &client);
                if (r.status == 200) {
                    ++done;
                } else if (r.code() == purchase_error::not_enough) {
                    ++poor;
                    return;
                } else {
                    ++other;
                    return;
                }
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(done.load(), 100);
    EXPECT_EQ(poor.load(), 8);
    EXPECT_EQ(other.load(), 0);
    EXPECT_EQ(Coins(kAlice), 0);
    EXPECT_EQ(Pelto(kAlice), 12345);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM account_spending WHERE user_id = 10001"), 100);
    EXPECT_EQ(Scalar("SELECT SUM(amount) FROM account_spending WHERE user_id = 10001"), 10000);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM account_gift_ledger"), 100);
    EXPECT_EQ(srv->purchaseStore().CharmOf(kCarol), 1000u);
}

TEST_F(RacingPurchases, OneRequestIdSentAtOnceFromManyThreadsIsPaidAndToldOnce) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice), bob = In(kBob);
    const std::int64_t before = Coins(kAlice);
    const std::string id = NewId();
    std::vector<Reply> replies(8);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < replies.size(); ++t)
        threads.emplace_back([&, t] {
            httplib::Client client("127.0.0.1", srv->accountPort());
            json::value b = json::value::object();
            b.set("request", id);
            b.set("room", static_cast<std::int64_t>(kLobby));
            b.set("receiver", static_cast<std::int64_t>(kCarol));
            b.set("item", static_cast<std::int64_t>(kHeart));
            b.set("count", std::int64_t{7});
            replies[t] = Post(kAlice, "/account/gift", b.dump(), &client);
        });
    for (auto& t : threads) t.join();
    for (const Reply& r : replies) {
        EXPECT_EQ(r.status, 200) << r.text;
        EXPECT_EQ(r.text, replies[0].text);
    }
    EXPECT_EQ(Coins(kAlice), before - 700);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM account_spending WHERE user_id = 10001"), 1);
    EXPECT_EQ(PushedJson(*bob, 3).get_int("goodsItems"), 7);
    EXPECT_EQ(Pushed(*bob, 300ms), "(nothing)");
}

TEST_F(RacingPurchases, AFailureAfterTheDebitRollsEverythingBackAndTheIdStaysFree) {
    auto carol = AnchorCarol();
    auto alice = In(kAlice), bob = In(kBob);
    const std::string dump = Dump();
    int reached = 0;
    srv->purchaseStore().SetFaultAfterDebit([&] {
        ++reached;
        return false;
    });
    const std::string id = NewId();
    for (std::uint32_t kind : {kKindCar, kKindVip}) {
        const Reply r = Buy(kAlice, kind, kind == kKindCar ? kCar : demo_item::VipItem(1, 0));
        EXPECT_EQ(r.status, 500) << r.text;
        EXPECT_EQ(r.code(), account_error::internal);
    }
    const Reply failed = Gift(kAlice, kHeart, 2, kCarol, id);
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(reached, 3);  // each got as far as having paid
    EXPECT_EQ(Dump(), dump);
    EXPECT_EQ(Pushed(*bob, 300ms), "(nothing)");

    // Nothing was kept under the id: once mended, the same request goes through.
    srv->purchaseStore().SetFaultAfterDebit(nullptr);
    const Reply ok = Gift(kAlice, kHeart, 2, kCarol, id);
    EXPECT_EQ(ok.status, 200) << ok.text;
    EXPECT_EQ(PushedJson(*bob, 3).get_int("goodsItems"), 2);
}

}  // namespace
}  // namespace srvtest::buy
