// The account library against an in-process zeri-server: connecting,
// signing in from options, the events with their records, a refused token
// ending the session, closing, and using a gag card on a member of a room.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "core/files.h"
#include "net/tlv.h"
#include "platform/patron/patron.h"
#include "platform/patron/patron_session.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "server/account_store.h"
#include "tests/server/server_fixture.h"
#include "tests/support/account_server.h"
#include "tests/patron/patron_recorder.h"

using namespace std::chrono_literals;
using testsupport::AccountServer;
using testsupport::kAlice;
using patrontest::Event;
using patrontest::Recorder;

namespace {

class Patron : public ::testing::Test {
protected:
    void SetUp() override {
        PATRON_SetServer("127.0.0.1", srv.accountPort());
        PatronLoginOptions o;
        o.user = kAlice.name;
        o.password = kAlice.password;
        o.headless = true;
        o.confFolder = srv.dir.path() + "conf/";
        PATRON_SetLoginOptions(o);
    }
    void TearDown() override { PATRON_Shutdown(); }

    // Connected, with the recorder as callback, and signed in.
    PATRON_HANDLE SignedIn() {
        const PATRON_HANDLE h = PATRON_Connect();
        EXPECT_NE(h, 0u);
        PATRON_SetCallBack(h, &Recorder::Callback, &rec);
        EXPECT_EQ(PATRON_Login(h), 1);
        return h;
    }

    AccountServer srv;
    Recorder rec;
};

}  // namespace

TEST_F(Patron, ConnectFailsAtOnceWithoutTheServiceAndSignInFromOptionsKnowsTheUser) {
    PATRON_SetServer("127.0.0.1", testsupport::ClosedPort());
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(PATRON_Connect(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 4s);

    PATRON_SetServer("127.0.0.1", srv.accountPort());
    const PATRON_HANDLE h = SignedIn();
    std::uint32_t id = 0, expiry = 0;
    ASSERT_EQ(PATRON_GetLoginInfo(h, &id, &expiry), 1);
    EXPECT_EQ(id, kAlice.id);
    EXPECT_GT(expiry, static_cast<std::uint32_t>(std::time(nullptr)));
    PatronUserDetail d{};
    ASSERT_EQ(PATRON_GetMyDetailInfo(h, &d), 1);
    EXPECT_EQ(d.userId, kAlice.id);
    EXPECT_STREQ(d.name, "alice");
    EXPECT_STREQ(d.nickname, "爱丽丝");
    EXPECT_EQ(d.wealthGrade, 1u);
    EXPECT_STREQ(d.wealthColour, "#9E9E9E");
    char token[128];
    std::memset(token, 'x', sizeof token);
    ASSERT_EQ(PATRON_GetToken(h, token), 1);
    EXPECT_EQ(std::strlen(token), 64u);
    EXPECT_EQ(srv.db().CheckToken(kAlice.id, token, std::time(nullptr)), server::TokenCheck::ok);
    // The name is remembered for the sign-in window.
    std::string last;
    ASSERT_TRUE(files::ReadFile(srv.dir.path() + "conf/last_user", last));
    EXPECT_EQ(last, "alice\n");
}

TEST_F(Patron, AWrongPasswordWithoutWindowsIsRefusedAndRequestsNeedASignIn) {
    PatronLoginOptions o;
    o.user = "alice";
    o.password = "wrong";
    o.headless = true;
    o.confFolder = srv.dir.path() + "conf/";
    PATRON_SetLoginOptions(o);
    const PATRON_HANDLE h = PATRON_Connect();
    ASSERT_NE(h, 0u);
    EXPECT_EQ(PATRON_Login(h), 0);
    EXPECT_EQ(PATRON_GetBalance(h, 0), 0);
    char token[128] = {};
    EXPECT_EQ(PATRON_GetToken(h, token), 0);
    o.password.clear();  // headless without a password cannot ask for one
    PATRON_SetLoginOptions(o);
    EXPECT_EQ(PATRON_Login(h), 0);
    PATRON_Close(h);
    EXPECT_EQ(PATRON_GetBalance(h, 0), 0);  // a closed handle is dead
}

TEST_F(Patron, AChosenRoomIsRaisedAsEnterRoomOnlyForASignedInSession) {
    EXPECT_EQ(PATRON_EnterRoom(0, 1001), 0);
    const PATRON_HANDLE h = SignedIn();
    EXPECT_EQ(PATRON_EnterRoom(h, 0), 0);
    ASSERT_EQ(PATRON_EnterRoom(h, 1002), 1);
    const auto e = rec.Wait(PATRON_EV_ENTER_ROOM);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->a, 1002u);
    EXPECT_EQ(e->thread, std::this_thread::get_id());  // raised by the caller, at once
    EXPECT_EQ(rec.CountOf(PATRON_EV_ENTER_ROOM), 1u);
    PATRON_Close(h);
    EXPECT_EQ(PATRON_EnterRoom(h, 1002), 0);
}

TEST_F(Patron, EachQueryAnswersOnTheWorkerWithItsRecord) {
    const PATRON_HANDLE h = SignedIn();
    const std::uint32_t me = kAlice.id;
    ASSERT_EQ(PATRON_GetBalance(h, me), 1);
    ASSERT_EQ(PATRON_GetWealthGrade(h, me, me), 1);
    ASSERT_EQ(PATRON_GetMyCarList(h, me, me), 1);
    ASSERT_EQ(PATRON_GetMyVipList(h, me), 1);
    ASSERT_EQ(PATRON_GetMyPackList(h, me), 1);
    ASSERT_EQ(PATRON_GetUserLevel(h, me), 1);
    ASSERT_EQ(PATRON_GetFlowerNum(h, 10003), 1);

    auto bal = rec.Wait(PATRON_EV_BALANCE);
    ASSERT_TRUE(bal);
    EXPECT_NE(bal->thread, std::this_thread::get_id());
    EXPECT_EQ(bal->a, 1u);
    auto b = Recorder::As<PatronBalance>(*bal);
    EXPECT_EQ(b.userId, me);
    EXPECT_EQ(b.coins, 100000u);
    EXPECT_EQ(b.pelto, 12345u);

    auto w = Recorder::As<PatronWealthGrade>(*rec.Wait(PATRON_EV_WEALTH_GRADE));
    EXPECT_EQ(w.status, 1u);
    EXPECT_EQ(w.userId, me);
    EXPECT_EQ(w.grade, 1u);
    EXPECT_STREQ(w.gradeText, "平民");
    EXPECT_EQ(std::string(w.medalUrl), "http://127.0.0.1:" + std::to_string(srv.srv->checkinPort()) +
                                           "/wealth/1.png");

    auto cars = Recorder::As<PatronCarList>(*rec.Wait(PATRON_EV_CAR_LIST));
    EXPECT_EQ(cars.status, 1u);
    EXPECT_EQ(cars.count, 0u);
    auto vips = Recorder::As<PatronVipList>(*rec.Wait(PATRON_EV_VIP_LIST));
    EXPECT_EQ(vips.level, 0u);

    auto pack = Recorder::As<PatronPackList>(*rec.Wait(PATRON_EV_PACK_LIST));
    ASSERT_EQ(pack.count, 2u);
    EXPECT_EQ(pack.total, 2u);
    std::set<std::uint32_t> props = {pack.entries[0].propId, pack.entries[1].propId};
    EXPECT_EQ(props, (std::set<std::uint32_t>{10, 100}));
    EXPECT_NE(pack.entries[0].entryId, pack.entries[1].entryId);
    EXPECT_EQ(pack.entries[0].count, 3u);

    auto level = Recorder::As<PatronUserLevel>(*rec.Wait(PATRON_EV_USER_LEVEL));
    EXPECT_EQ(level.level, 1u);
    EXPECT_EQ(level.nextExperience, 100u);
    EXPECT_STREQ(level.title, "Lv.1");

    auto flowers = rec.Wait(PATRON_EV_FLOWER_COUNT);
    EXPECT_EQ(flowers->a, 1u);
    EXPECT_EQ(flowers->b, 0);
}

TEST_F(Patron, ListsLongerThanTheirRecordKeepTheFirstEntriesAndTheTotal) {
    server::CAccountStore store;
    std::string err;
    ASSERT_TRUE(store.Open(srv.srv->databasePath(), err)) << err;
    for (std::uint32_t i = 1; i <= 11; ++i)
        ASSERT_TRUE(store.AddCar(kAlice.id, {i, "car " + std::to_string(i) + std::string(80, 'x'), 0, i == 3}));
    const PATRON_HANDLE h = SignedIn();
    ASSERT_EQ(PATRON_GetMyCarList(h, kAlice.id, kAlice.id), 1);
    auto cars = Recorder::As<PatronCarList>(*rec.Wait(PATRON_EV_CAR_LIST));
    EXPECT_EQ(cars.total, 11u);
    EXPECT_EQ(cars.count, 8u);
    EXPECT_EQ(cars.cars[2].carId, 3u);
    EXPECT_EQ(cars.cars[2].active, 1u);
    EXPECT_EQ(std::strlen(cars.cars[0].name), sizeof cars.cars[0].name - 1);
}

TEST_F(Patron, BillboardsArriveAsTheTlvBodyWithPeriodAndEntries) {
    server::CAccountStore store;
    std::string err;
    ASSERT_TRUE(store.Open(srv.srv->databasePath(), err)) << err;
    ASSERT_TRUE(store.RecordSpending(10002, 700, std::time(nullptr) - 60));
    ASSERT_TRUE(store.RecordSpending(10001, 300, std::time(nullptr) - 60));
    const PATRON_HANDLE h = SignedIn();
    ASSERT_EQ(PATRON_GetWealthBillBoard(h, kAlice.id, 0, 0, 20), 1);
    ASSERT_EQ(PATRON_GetWealthBillBoard(h, kAlice.id, 1, 0, 20), 1);
    EXPECT_EQ(PATRON_GetWealthBillBoard(h, kAlice.id, 9, 0, 20), 0);

    for (int i = 0; i < 2; ++i) {
        auto e = rec.Wait(PATRON_EV_BILLBOARD, i);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->a, e->data.size());
        TLV::body body;
        body.parse(reinterpret_cast<const unsigned char*>(e->data.data()), e->data.size());
        EXPECT_EQ(body.get_int(200), 0u);
        EXPECT_EQ(body.get_string(1), i == 0 ? "DAY" : "WEEK");
        ASSERT_EQ(body.count(2), 2u);
        TLV::body first;
        ASSERT_TRUE(body.get_container(2, first, 0));
        EXPECT_EQ(first.get_int(3), 10002u);
        EXPECT_EQ(first.get_int(6), 700u);
        EXPECT_EQ(first.get_int(9), 3u);
        EXPECT_EQ(first.get_string(4), "鲍勃");
        EXPECT_EQ(first.get_string(5), "富户");
        EXPECT_EQ(first.get_string(7), "#4CAF50");
        EXPECT_EQ(first.get_string(10), "http://127.0.0.1:" +
                                            std::to_string(srv.srv->checkinPort()) + "/wealth/3.png");
        TLV::body second;
        ASSERT_TRUE(body.get_container(2, second, 1));
        EXPECT_EQ(second.get_int(3), 10001u);
    }
}

TEST(PatronBillboard, AnswersThatAreNotJsonBecomeAFailedBodyWithTheReason) {
    for (const std::string& bad : std::vector<std::string>{"", "{", "[]", "\"DAY\"", "{\"entries\":7}"}) {
        const std::string body = patron::BillboardBody(bad, bad == "{\"entries\":7}" ? nullptr : "boom");
        TLV::body b;
        b.parse(reinterpret_cast<const unsigned char*>(body.data()), body.size());
        if (bad == "{\"entries\":7}") {
            EXPECT_EQ(b.get_int(200), 0u);  // valid object, nonsense list: no entries
            EXPECT_EQ(b.count(2), 0u);
        } else {
            EXPECT_EQ(b.get_int(200), 1u);
            EXPECT_EQ(b.get_string(201), "boom");
        }
    }
}

TEST(PatronRecords, TextIsCutWholeCharactersAndAlwaysTerminated) {
    char field[8];
    PatronCopyText(field, "abcdefghij", 10);
    EXPECT_STREQ(field, "abcdefg");
    PatronCopyText(field, "ab爱丽丝", std::strlen("ab爱丽丝"));  // 2 + 3 + 3 + 3 bytes
    EXPECT_STREQ(field, "ab爱");
    PatronCopyText(field, nullptr, 5);
    EXPECT_STREQ(field, "");
}

TEST_F(Patron, ARefusedTokenEndsTheSessionOnceAndCloseSignsOutLast) {
    const PATRON_HANDLE h = SignedIn();
    ASSERT_TRUE(srv.db().RevokeToken(kAlice.id));
    ASSERT_EQ(PATRON_GetBalance(h, kAlice.id), 1);
    auto failed = rec.Wait(PATRON_EV_BALANCE);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->a, 0u);
    EXPECT_EQ(failed->data, "登录已失效，请重新登录");
    ASSERT_TRUE(rec.Wait(PATRON_EV_SESSION_LOST));
    // The session is over: nothing more is asked.
    EXPECT_EQ(PATRON_GetBalance(h, kAlice.id), 0);
    EXPECT_EQ(rec.CountOf(PATRON_EV_SESSION_LOST), 1u);

    // A fresh session signs out on close, and its close is the last event.
    Recorder second;
    const PATRON_HANDLE h2 = PATRON_Connect();
    PATRON_SetCallBack(h2, &Recorder::Callback, &second);
    ASSERT_EQ(PATRON_Login(h2), 1);
    char token[128] = {};
    ASSERT_EQ(PATRON_GetToken(h2, token), 1);
    ASSERT_EQ(PATRON_GetBalance(h2, kAlice.id), 1);
    PATRON_Close(h2);
    ASSERT_TRUE(second.Wait(PATRON_EV_CLOSED));
    PATRON_Shutdown();
    ASSERT_GE(second.events.size(), 2u);
    EXPECT_EQ(second.events.front().event, PATRON_EV_BALANCE);
    EXPECT_EQ(second.events.back().event, PATRON_EV_CLOSED);
    EXPECT_EQ(srv.db().CheckToken(kAlice.id, token, std::time(nullptr)),
              server::TokenCheck::no_token);
}

TEST_F(Patron, AGagCardIsUsedThroughTheServiceAndItsAnswerIsTheEventWithTheEntry) {
    const PATRON_HANDLE h = SignedIn();
    ASSERT_EQ(PATRON_GetMyPackList(h, kAlice.id), 1);
    const auto pack = Recorder::As<PatronPackList>(*rec.Wait(PATRON_EV_PACK_LIST));
    std::uint32_t entry = 0, before = 0;
    for (std::uint32_t i = 0; i < pack.count; ++i)
        if (pack.entries[i].propId == server::kPropGagCard)
            entry = pack.entries[i].entryId, before = pack.entries[i].count;
    ASSERT_NE(entry, 0u);

    // Alice (with the library's token) and Bob in the lobby.
    char token[128] = {};
    ASSERT_EQ(PATRON_GetToken(h, token), 1);
    const auto in = [&](std::uint32_t user, const std::string& t) {
        auto c = std::make_unique<srvtest::RawClient>(srv.relayPort(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = user;
        r.room_id = 1001;
        r.token = t;
        auto resp = c->Ask<msg::Control_Login_Resp>(1, r);
        EXPECT_TRUE(resp && resp->ok()) << user;
        return c;
    };
    auto alice = in(kAlice.id, token);
    auto bob = in(testsupport::kBob.id,
                  srv.db().IssueToken(testsupport::kBob.id, std::time(nullptr), 3600));

    PatronPropRecord prop{};
    prop.giverId = kAlice.id;
    prop.receiverId = testsupport::kBob.id;
    prop.entryId = entry;
    prop.count = 1;
    prop.roomId = 1001;
    ASSERT_EQ(PATRON_GiveProp(h, &prop), 1);
    auto used = rec.Wait(PATRON_EV_PROP_USED);
    ASSERT_TRUE(used);
    EXPECT_EQ(used->a, 1u);
    EXPECT_EQ(used->b, static_cast<std::intptr_t>(entry));
    auto gag = bob->Notice<msg::Control_Gag_Notify>();
    ASSERT_TRUE(gag);
    EXPECT_EQ(gag->user_id, testsupport::kBob.id);

    // Bob is gagged now: the same card again is refused, and costs nothing.
    ASSERT_EQ(PATRON_GiveProp(h, &prop), 1);
    used = rec.Wait(PATRON_EV_PROP_USED, 1);
    ASSERT_TRUE(used);
    EXPECT_EQ(used->a, 0u);
    EXPECT_EQ(used->b, static_cast<std::intptr_t>(entry));
    EXPECT_EQ(PATRON_GiveProp(h, nullptr), 0);

    ASSERT_EQ(PATRON_GetMyPackList(h, kAlice.id), 1);
    const auto after = Recorder::As<PatronPackList>(*rec.Wait(PATRON_EV_PACK_LIST, 1));
    for (std::uint32_t i = 0; i < after.count; ++i)
        if (after.entries[i].entryId == entry) {
            EXPECT_EQ(after.entries[i].count, before - 1);
        }
}
