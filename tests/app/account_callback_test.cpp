// The account callback: each event becomes its window message to the room
// window, with the lent record or text copied into the message and freed
// with it (AddressSanitizer watches both).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstring>
#include <string>
#include <vector>

#include "app/account_callback.h"
#include "core/app_context.h"
#include "platform/patron/patron.h"
#include "platform/winmsg/message_target.h"

namespace {

struct Got {
    unsigned msg;
    std::uintptr_t w;
    std::intptr_t l;
    std::string bytes;  // the payload as bytes (record, text or body)
    bool payload = false;
};

class RoomWindow : public CMessageTarget {
public:
    std::vector<Got> got;

protected:
    template <class T>
    static bool Take(const WindowMessage& m, Got& g) {
        const T* p = m.As<T>();
        if (!p) return false;
        g.bytes.assign(reinterpret_cast<const char*>(p), sizeof(T));
        g.payload = true;
        return true;
    }
    std::intptr_t OnMessage(const WindowMessage& m) override {
        Got g{m.msg, m.wParam, m.lParam, {}, false};
        if (auto* t = m.As<std::string>()) {
            g.bytes = *t;
            g.payload = true;
        } else if (auto* b = m.As<AccountBillboard>()) {
            g.bytes.assign(b->body.begin(), b->body.end());
            g.payload = true;
        } else {
            Take<PatronUserLevel>(m, g) || Take<PatronBalance>(m, g) ||
                Take<PatronPurchaseResult>(m, g) || Take<PatronWealthGrade>(m, g) ||
                Take<PatronCarList>(m, g) || Take<PatronPackList>(m, g) ||
                Take<PatronVipList>(m, g);
        }
        got.push_back(std::move(g));
        return 0;
    }
};

void Pump(std::size_t n, RoomWindow& w) {
    QElapsedTimer t;
    t.start();
    while (w.got.size() < n && t.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
}

class Callback : public ::testing::Test {
protected:
    void SetUp() override {
        ctx.Reset();
        ctx.SetHwnd(window.Handle());
        ctx.SetRoom(&window);
    }
    void TearDown() override { ctx.Reset(); }
    AppContext& ctx = AppContext::instance();
    RoomWindow window;
};

// Fills a record with a pattern, hands it to the callback, then scribbles
// over it: the message must carry the pattern.
template <class R>
std::string LendRecord(int event, unsigned char seed) {
    auto r = std::make_unique<R>();
    auto* bytes = reinterpret_cast<unsigned char*>(r.get());
    for (std::size_t i = 0; i < sizeof(R); ++i) bytes[i] = static_cast<unsigned char>(seed + i);
    std::string expected(reinterpret_cast<const char*>(bytes), sizeof(R));
    AccountCallback(event, 1, reinterpret_cast<std::intptr_t>(r.get()), &AppContext::instance());
    std::memset(bytes, 0xEE, sizeof(R));
    r.reset();  // a message still pointing here would be caught by ASan
    return expected;
}

}  // namespace

TEST_F(Callback, RecordEventsBecomeTheirMessagesWithTheirOwnCopy) {
    struct Case {
        int event;
        unsigned msg;
        std::string expected;
    };
    std::vector<Case> cases;
    cases.push_back({PATRON_EV_USER_LEVEL, 1732, LendRecord<PatronUserLevel>(PATRON_EV_USER_LEVEL, 1)});
    cases.push_back({PATRON_EV_BALANCE, 1744, LendRecord<PatronBalance>(PATRON_EV_BALANCE, 2)});
    cases.push_back({PATRON_EV_WEALTH_GRADE, 1751, LendRecord<PatronWealthGrade>(PATRON_EV_WEALTH_GRADE, 3)});
    cases.push_back({PATRON_EV_CAR_LIST, 1774, LendRecord<PatronCarList>(PATRON_EV_CAR_LIST, 4)});
    cases.push_back({PATRON_EV_PACK_LIST, 1784, LendRecord<PatronPackList>(PATRON_EV_PACK_LIST, 5)});
    cases.push_back({PATRON_EV_VIP_LIST, 1783, LendRecord<PatronVipList>(PATRON_EV_VIP_LIST, 6)});
    Pump(cases.size(), window);
    ASSERT_EQ(window.got.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].event);
        EXPECT_EQ(window.got[i].msg, cases[i].msg);
        EXPECT_EQ(window.got[i].w, 1u);
        ASSERT_TRUE(window.got[i].payload);
        EXPECT_EQ(window.got[i].bytes.size(), cases[i].expected.size());
        EXPECT_EQ(window.got[i].bytes, cases[i].expected);
    }
}

TEST_F(Callback, FailuresCarryTheReasonAndThePurchaseResultIsAlwaysCopied) {
    std::string reason = "账号服务不可用";
    AccountCallback(PATRON_EV_BALANCE, 0, reinterpret_cast<std::intptr_t>(reason.c_str()), &ctx);
    AccountCallback(PATRON_EV_USER_LEVEL, 0, reinterpret_cast<std::intptr_t>(reason.c_str()), &ctx);
    AccountCallback(PATRON_EV_PACK_LIST, 0, 0, &ctx);  // no reason at all
    reason.assign(reason.size(), 'x');
    auto purchase = std::make_unique<PatronPurchaseResult>();
    *purchase = PatronPurchaseResult{};
    std::strcpy(purchase->kindText, "6");
    std::strcpy(purchase->error, "余额不足");
    AccountCallback(PATRON_EV_PURCHASE, 0, reinterpret_cast<std::intptr_t>(purchase.get()), &ctx);
    purchase.reset();
    Pump(4, window);
    ASSERT_EQ(window.got.size(), 4u);
    EXPECT_EQ(window.got[0].msg, 1744u);
    EXPECT_EQ(window.got[0].w, 0u);
    EXPECT_EQ(window.got[0].bytes, "账号服务不可用");
    EXPECT_EQ(window.got[1].msg, 1732u);
    EXPECT_EQ(window.got[1].bytes, "账号服务不可用");
    EXPECT_EQ(window.got[2].msg, 1784u);
    EXPECT_FALSE(window.got[2].payload);
    EXPECT_EQ(window.got[3].msg, 1745u);
    ASSERT_EQ(window.got[3].bytes.size(), sizeof(PatronPurchaseResult));
    PatronPurchaseResult r;
    std::memcpy(&r, window.got[3].bytes.data(), sizeof r);
    EXPECT_STREQ(r.kindText, "6");
    EXPECT_STREQ(r.error, "余额不足");
}

TEST_F(Callback, ValueEventsPassTheirNumbersAndTheBillboardBodyIsCopied) {
    AccountCallback(PATRON_EV_FLOWER_COUNT, 1, 42, &ctx);
    AccountCallback(PATRON_EV_FLOWER_FAILED, 0, 0, &ctx);
    AccountCallback(PATRON_EV_CAR_ACTIVATED, 0, 12, &ctx);
    AccountCallback(PATRON_EV_RECHARGE, 0, 0, &ctx);
    AccountCallback(PATRON_EV_PROP_USED, 1, 77, &ctx);
    AccountCallback(PATRON_EV_ENTER_ROOM, 1002, 0, &ctx);
    AccountCallback(3, 1, 1, &ctx);    // not an event the room knows
    AccountCallback(999, 1, 1, &ctx);
    auto body = std::make_unique<std::string>("\xC8\x00\x04\x00\x00\x00\x00", 7);
    AccountCallback(PATRON_EV_BILLBOARD, body->size(), reinterpret_cast<std::intptr_t>(body->data()), &ctx);
    const std::string expected = *body;
    body.reset();
    Pump(7, window);
    ASSERT_EQ(window.got.size(), 7u);
    const std::vector<std::tuple<unsigned, std::uintptr_t, std::intptr_t>> want = {
        {1741, 1, 42}, {1765, 0, 0}, {1773, 0, 12}, {1776, 0, 0}, {1788, 1, 77}, {1757, 1002, 0},
        {1764, 7, 0}};
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(window.got[i].msg, std::get<0>(want[i]));
        EXPECT_EQ(window.got[i].w, std::get<1>(want[i]));
        EXPECT_EQ(window.got[i].l, std::get<2>(want[i]));
    }
    EXPECT_EQ(window.got[6].bytes, expected);
}

TEST_F(Callback, TheEndOfTheSessionExitsOnceAndForgetsTheRoomWindow) {
    AccountCallback(PATRON_EV_SESSION_LOST, 0, 0, &ctx);
    AccountCallback(PATRON_EV_CLOSED, 0, 0, &ctx);
    EXPECT_EQ(ctx.GetRoom(), nullptr);
    PatronBalance b{};
    AccountCallback(PATRON_EV_BALANCE, 1, reinterpret_cast<std::intptr_t>(&b), &ctx);
    AccountCallback(PATRON_EV_CLOSED, 0, 0, &ctx);
    Pump(3, window);
    ASSERT_EQ(window.got.size(), 2u);
    EXPECT_EQ(window.got[0].msg, 1738u);
    EXPECT_EQ(window.got[1].msg, 1738u);
}

TEST(CallbackWithoutWindow, EventsBeforeTheRoomWindowExistsAreDropped) {
    AppContext& ctx = AppContext::instance();
    ctx.Reset();
    PatronBalance b{};
    // Neither a room object nor a handle: nothing to post to, nothing leaks.
    AccountCallback(PATRON_EV_BALANCE, 1, reinterpret_cast<std::intptr_t>(&b), &ctx);
    AccountCallback(PATRON_EV_BALANCE, 1, reinterpret_cast<std::intptr_t>(&b), nullptr);
    RoomWindow w;
    ctx.SetHwnd(w.Handle());  // handle but no room object yet
    AccountCallback(PATRON_EV_CLOSED, 0, 0, &ctx);
    Pump(1, w);
    EXPECT_TRUE(w.got.empty());
    ctx.Reset();
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InstallQtMessageRouter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
