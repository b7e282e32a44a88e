// The account adapter of the room over the real account library and an
// in-process account service: the wealth billboards come for every tab,
// in the body the room's parser reads.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/patron_account.h"
#include "platform/patron/patron.h"
#include "room/purchases/billboards.h"
#include "server/account_store.h"
#include "tests/support/account_server.h"

using namespace std::chrono_literals;
using testsupport::AccountServer;
using testsupport::kAlice;

namespace {

// The billboard bodies the library lends to its callback, copied.
struct Boards {
    static void Callback(int event, std::uintptr_t a, std::intptr_t b, void* ctx) {
        if (event != PATRON_EV_BILLBOARD || !b) return;
        auto* self = static_cast<Boards*>(ctx);
        const auto* p = reinterpret_cast<const unsigned char*>(b);
        std::lock_guard<std::mutex> g(self->m);
        self->bodies.emplace_back(p, p + a);
        self->cv.notify_all();
    }
    bool WaitFor(std::size_t n) {
        std::unique_lock<std::mutex> g(m);
        return cv.wait_for(g, 10s, [&] { return bodies.size() >= n; });
    }
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::vector<unsigned char>> bodies;
};

}  // namespace

TEST(PatronAccount, BillboardsAreAskedForAllFourTabsAndEachFillsItsList) {
    AccountServer srv;
    server::CAccountStore store;
    std::string err;
    ASSERT_TRUE(store.Open(srv.srv->databasePath(), err)) << err;
    ASSERT_TRUE(store.RecordSpending(10002, 700, std::time(nullptr) - 60));
    PATRON_SetServer("127.0.0.1", srv.accountPort());
    PatronLoginOptions o;
    o.user = kAlice.name;
    o.password = kAlice.password;
    o.headless = true;
    o.confFolder = srv.dir.path() + "conf/";
    PATRON_SetLoginOptions(o);
    Boards boards;
    const PATRON_HANDLE h = PATRON_Connect();
    ASSERT_NE(h, 0u);
    PATRON_SetCallBack(h, &Boards::Callback, &boards);
    ASSERT_EQ(PATRON_Login(h), 1);
    {
        CPatronAccount account(h);
        account.RequestBillboards();
        ASSERT_TRUE(boards.WaitFor(billboard::kPeriods));
        std::set<std::string> lists;
        for (const auto& body : boards.bodies) {
            const billboard::Answer a = billboard::Parse(body.data(), body.size());
            ASSERT_TRUE(a.ok) << a.error;
            lists.insert(a.list);
            ASSERT_FALSE(a.lines.empty()) << a.list;
            EXPECT_EQ(a.lines[0].userId, 10002u);
            EXPECT_EQ(a.lines[0].amount, 700u);
        }
        EXPECT_EQ(lists, (std::set<std::string>{"ListWealthDay", "ListWealthWeek",
                                                "ListWealthMonth", "ListWealthAll"}));
    }
    PATRON_Shutdown();
}
