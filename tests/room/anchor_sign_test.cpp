// The anchor's clock-in and sign-in on a manual clock: who sees the
// controls, the requests' URLs, the answers (sealed, refused, garbage), the
// prompt with its five-minute countdown, the 20-minute cycle, and the cycle
// taken up again from sign.dat when a room is entered.
#include <gtest/gtest.h>

#include <random>

#include "core/service_hosts.h"
#include "core/sign.h"
#include "net/service_answer.h"
#include "platform/kitlib/kitlib.h"
#include "room/anchor_sign.h"
#include "room/headless_view.h"
#include "tests/room/room_test_support.h"

using namespace anchor_sign;
using roomtest::FakeAccount;
using roomtest::RecordingLink;

namespace {

constexpr std::uint32_t kMe = 42, kRoom = 1001;
constexpr std::uint8_t kGuest = 20;

class RecordingHttp : public IHttpStarter {
public:
    struct Post {
        unsigned message;
        std::string url;
        std::vector<std::uint8_t> body;
    };
    std::vector<Post> posts;
    bool accept = true;
    bool Download(unsigned, const std::string&, const std::string&) override { return false; }
    bool Post(unsigned message, const std::string& url, const std::vector<std::uint8_t>& body) override {
        if (!accept) return false;
        posts.push_back({message, url, body});
        return true;
    }
    std::string Host() override { return "127.0.0.1:5000"; }
};

// A service answer as the HTTP helper hands it over; null: the request failed.
void Answer(CRoomSession& session, unsigned message, const std::string* bytes) {
    WindowMessage m{message, bytes ? bytes->size() : 0, 0, nullptr};
    TMessageData<KitlibAnswer> data{KitlibAnswer{}};
    if (bytes) {
        data.value.bytes.assign(bytes->begin(), bytes->end());
        data.value.length = static_cast<std::uint32_t>(bytes->size());
        m.data = &data;
    }
    ASSERT_TRUE(session.OnFeatureMessage(m));
}

std::string Sealed(std::uint32_t result) {
    msg::ServiceAnswer a;
    a.items.push_back({true, result, {}});
    return msg::EncodeServiceAnswer(a, true);
}

std::string SealedError(const std::string& text) {
    msg::ServiceAnswer a;
    a.error = text;
    return msg::EncodeServiceAnswer(a, true);
}

class AnchorSign : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        ServiceHosts hosts;
        hosts.host = "checkin.test";
        hosts.checkin = 5123;
        SetServiceHosts(hosts);
        account.me.userId = kMe;
        account.me.nickname = nickname;
        ASSERT_TRUE(session.Start());
        sign = std::make_unique<CAnchorSign>(session, http, [this] { return NextDraw(); });
    }
    void TearDown() override {
        sign.reset();
        SetServiceHosts(ServiceHosts{});
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    int NextDraw() {
        if (draws.empty()) return 450;
        const int d = draws.front();
        draws.erase(draws.begin());
        return d;
    }

    void Enter(std::uint8_t role = kAnchorRole) {
        session.EnterRoom(kRoom);
        msg::Control_Login_Resp r;
        r.room_id = kRoom;
        r.role = role;
        r.room_mode = 2;
        roomtest::Deliver(session, r);
    }
    // Clocked in: the answer said yes, the prompt waits `wait` seconds.
    void ClockedIn(int wait) {
        draws = {wait};
        ASSERT_EQ(sign->ClockIn(), CAnchorSign::Result::sent);
        const std::string yes = Sealed(0);
        Answer(session, UM_CLOCK_IN_DONE, &yes);
        ASSERT_TRUE(sign->cycleRunning());
    }
    std::string Tip() const { return view.Text("text_tip"); }
    const CHeadlessView::Control& C(const std::string& name) const {
        static const CHeadlessView::Control none;
        const auto* c = view.Find(name);
        return c ? *c : none;
    }

    std::string nickname = "ann";
    roomtest::ScopedDataFolder data{"anchorsign"};
    CHeadlessView view{nullptr};
    RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
    RecordingHttp http;
    std::vector<int> draws;
    std::unique_ptr<CAnchorSign> sign;
};

// Anchors with other names.
class AnchorSignNamed : public AnchorSign {
protected:
    AnchorSignNamed() { nickname = "主播 a&b"; }
};
class AnchorSignLongName : public AnchorSign {
protected:
    AnchorSignLongName() { nickname = std::string(200, 'x'); }
};

}  // namespace

TEST(AnchorSignWait, EveryDrawLandsBetweenFiveAndFifteenMinutes) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> any(0, 0x7fffffff);
    for (int i = 0; i < 20000; ++i) {
        const int w = DrawWaitSeconds([&] { return any(gen); });
        ASSERT_GE(w, 300);
        ASSERT_LE(w, 900);
    }
    // The program's own generator, too.
    for (int i = 0; i < 2000; ++i) {
        const int w = DrawWaitSeconds({});
        ASSERT_GE(w, 300);
        ASSERT_LE(w, 900);
    }
    // Draws outside the range are drawn again; the value is taken mod 1200.
    std::vector<int> seq{5, 1199, 901, 2100};
    std::size_t at = 0;
    EXPECT_EQ(DrawWaitSeconds([&] { return seq[at++]; }), 900);
    EXPECT_EQ(at, 4u);
    seq = {299, -900, 1500};
    at = 0;
    EXPECT_EQ(DrawWaitSeconds([&] { return seq[at++]; }), 300);
    // A generator stuck outside the range still ends.
    const int stuck = DrawWaitSeconds([] { return 0; });
    EXPECT_GE(stuck, 300);
    EXPECT_LE(stuck, 900);
}

TEST(AnchorSignUrl, NicknamesArePercentEncodedAndLongUrlsRefused) {
    SetServiceHosts(ServiceHosts{"10.0.0.5", 8000, 5000});
    EXPECT_EQ(ServiceUrl("userclockin", 42, 1001, "a&b"),
              "http://10.0.0.5:5000/userclockin?kampoId=42&roomId=1001&nickname=a%26b");
    EXPECT_EQ(ServiceUrl("usersignin", 42, 1001, "a b"),
              "http://10.0.0.5:5000/usersignin?kampoId=42&roomId=1001&nickname=a%20b");
    EXPECT_EQ(ServiceUrl("userclockin", 1, 2, "100%"),
              "http://10.0.0.5:5000/userclockin?kampoId=1&roomId=2&nickname=100%25");
    EXPECT_EQ(ServiceUrl("userclockin", 1, 2, "主播#1"),
              "http://10.0.0.5:5000/userclockin?kampoId=1&roomId=2&nickname=%E4%B8%BB%E6%92%AD%231");
    // Never cut: a name that does not fit gives no URL at all.
    EXPECT_EQ(ServiceUrl("userclockin", 1, 2, std::string(70, '\xE5')), "");
    SetServiceHosts(ServiceHosts{});
}

TEST_F(AnchorSign, OnlyTheAnchorRoleSeesTheControlsAndCanUseThem) {
    Enter(kGuest);
    for (const char* c : {"bnt_sign", "bnt_card", "text_sign"}) EXPECT_FALSE(C(c).visible) << c;
    EXPECT_EQ(sign->ClockIn(), CAnchorSign::Result::not_anchor);
    EXPECT_TRUE(session.OnTypedCommand("/card"));
    EXPECT_EQ(Tip(), "无权限!");
    EXPECT_TRUE(session.OnTypedCommand("/sign"));
    EXPECT_TRUE(http.posts.empty());

    // Made anchor in the room: the controls come, the sign button still off.
    session.SetUserRole(kMe, kAnchorRole);
    for (const char* c : {"bnt_sign", "bnt_card", "text_sign"}) EXPECT_TRUE(C(c).visible) << c;
    EXPECT_FALSE(C("bnt_sign").enabled);
    ClockedIn(400);
    timers.Advance(400'000);
    EXPECT_TRUE(view.SignDialogOpen());

    // And no longer: the controls go, the cycle and the prompt stop.
    session.SetUserRole(kMe, kGuest);
    for (const char* c : {"bnt_sign", "bnt_card", "text_sign"}) EXPECT_FALSE(C(c).visible) << c;
    EXPECT_FALSE(view.SignDialogOpen());
    EXPECT_FALSE(sign->cycleRunning());
    for (unsigned t : {kCycleTimer, kPromptTimer, kCountdownTimer}) EXPECT_FALSE(timers.IsSet(t)) << t;
}

TEST_F(AnchorSignNamed, ClockInPostsTheUrlAndASuccessStartsTheCycle) {
    Enter();
    clock.AdvanceMs(5000);
    draws = {100, 640};
    ASSERT_EQ(sign->ClockIn(), CAnchorSign::Result::sent);
    ASSERT_EQ(http.posts.size(), 1u);
    EXPECT_EQ(http.posts[0].message, UM_CLOCK_IN_DONE);
    EXPECT_EQ(http.posts[0].url,
              "http://checkin.test:5123/userclockin?kampoId=42&roomId=1001&nickname="
              "%E4%B8%BB%E6%92%AD%20a%26b");
    EXPECT_TRUE(http.posts[0].body.empty());
    EXPECT_FALSE(timers.IsSet(kCycleTimer));

    const std::string yes = Sealed(0);
    Answer(session, UM_CLOCK_IN_DONE, &yes);
    EXPECT_EQ(Tip(), "打卡成功");
    EXPECT_EQ(timers.PeriodOf(kCycleTimer), kCycleMs);
    EXPECT_EQ(timers.PeriodOf(kPromptTimer), 640'000u);
    const SignRecord rec = LoadSign(kMe);
    EXPECT_EQ(rec.cycleStart, clock.Now());
    EXPECT_EQ(rec.value, 640);
    EXPECT_EQ(rec.lastSignIn, 0);

    // A second clock-in within the cycle draws nothing new.
    draws = {500};
    clock.AdvanceMs(10'000);
    Answer(session, UM_CLOCK_IN_DONE, &yes);
    EXPECT_EQ(Tip(), "打卡成功");
    EXPECT_EQ(LoadSign(kMe).value, 640);
    EXPECT_EQ(sign->waitSeconds(), 640);
}

TEST_F(AnchorSign, RefusalsAndGarbageNeverStartACycle) {
    Enter();
    const std::string refused = SealedError("今天已打卡");
    Answer(session, UM_CLOCK_IN_DONE, &refused);
    EXPECT_EQ(Tip(), "打开失败:今天已打卡");

    msg::ServiceAnswer plainYes;
    plainYes.items.push_back({true, 0, {}});
    std::string flipped = Sealed(0);
    flipped[flipped.size() / 2] ^= 0x01;
    const std::vector<std::string> bad = {
        "",                                                 // empty body
        "\x01\x02\x03garbage",                              // not sealed
        msg::EncodeServiceAnswer(plainYes, false),          // a yes, but not sealed
        flipped,                                            // tampered
        Sealed(0).substr(0, 20),                            // cut short
        msg::EncodeServiceAnswer(msg::ServiceAnswer{}, true),  // sealed, no item
        Sealed(3),                                          // another result
    };
    for (const std::string& b : bad) {
        view.ShowTip("");
        Answer(session, UM_CLOCK_IN_DONE, &b);
        EXPECT_EQ(Tip(), "打卡失败");
        view.ShowTip("");
        Answer(session, UM_SIGN_IN_DONE, &b);
        EXPECT_EQ(Tip(), "签到失败");
    }
    view.ShowTip("");
    Answer(session, UM_CLOCK_IN_DONE, nullptr);
    EXPECT_EQ(Tip(), "打卡失败");
    Answer(session, UM_SIGN_IN_DONE, nullptr);
    EXPECT_EQ(Tip(), "签到失败");
    const std::string signRefused = SealedError("不在签到时间");
    Answer(session, UM_SIGN_IN_DONE, &signRefused);
    EXPECT_EQ(Tip(), "签到失败:不在签到时间");

    EXPECT_FALSE(sign->cycleRunning());
    for (unsigned t : {kCycleTimer, kPromptTimer, kCountdownTimer}) EXPECT_FALSE(timers.IsSet(t)) << t;
    EXPECT_EQ(LoadSign(kMe).cycleStart, 0);
}

TEST_F(AnchorSign, RequestsThatCannotStartSayWhy) {
    Enter();
    http.accept = false;
    EXPECT_EQ(sign->ClockIn(), CAnchorSign::Result::not_started);
    EXPECT_EQ(Tip(), "打卡失败");
    EXPECT_EQ(sign->SignIn(), CAnchorSign::Result::not_started);
    EXPECT_EQ(Tip(), "签到失败");
    EXPECT_TRUE(http.posts.empty());
}

TEST_F(AnchorSignLongName, ANameTooLongForTheUrlIsRefusedNotCut) {
    Enter();
    EXPECT_EQ(sign->ClockIn(), CAnchorSign::Result::not_started);
    EXPECT_EQ(Tip(), "打卡失败");
    EXPECT_EQ(sign->SignIn(), CAnchorSign::Result::not_started);
    EXPECT_EQ(Tip(), "签到失败");
    EXPECT_TRUE(http.posts.empty());
}

TEST_F(AnchorSign, ThePromptCountsDownFiveMinutesThenGivesUp) {
    Enter();
    ClockedIn(500);
    timers.Advance(499'999);
    EXPECT_FALSE(view.SignDialogOpen());
    EXPECT_FALSE(C("bnt_sign").enabled);
    timers.Advance(1);
    EXPECT_TRUE(view.SignDialogOpen());
    EXPECT_TRUE(C("bnt_sign").enabled);
    EXPECT_FALSE(timers.IsSet(kPromptTimer));
    EXPECT_EQ(C("text_sign").text, "300s");
    timers.Advance(1000);
    EXPECT_EQ(C("text_sign").text, "299s");
    timers.Advance(9000);
    EXPECT_EQ(C("text_sign").text, "290s");
    EXPECT_EQ(sign->secondsLeft(), 290);
    timers.Advance(289'000);
    EXPECT_EQ(C("text_sign").text, "1s");
    EXPECT_TRUE(C("bnt_sign").enabled);
    timers.Advance(1000);
    EXPECT_EQ(C("text_sign").text, "");
    EXPECT_FALSE(C("bnt_sign").enabled);
    EXPECT_FALSE(timers.IsSet(kCountdownTimer));
    EXPECT_FALSE(view.SignDialogOpen());
    EXPECT_EQ(sign->secondsLeft(), 0);

    // The next cycle (20 minutes after the clock-in) draws a new prompt time.
    draws = {777};
    timers.Advance(1'200'000 - 800'000);
    EXPECT_EQ(timers.PeriodOf(kPromptTimer), 777'000u);
    EXPECT_EQ(LoadSign(kMe).value, 777);
    EXPECT_EQ(LoadSign(kMe).cycleStart, clock.Now());
    timers.Advance(777'000);
    EXPECT_TRUE(view.SignDialogOpen());
    EXPECT_EQ(C("text_sign").text, "300s");
}

TEST_F(AnchorSign, SigningInFromTheDialogEndsThePrompt) {
    Enter();
    ClockedIn(300);
    timers.Advance(300'000 + 42'000);
    ASSERT_TRUE(view.ConfirmSignDialog());
    ASSERT_EQ(http.posts.size(), 2u);
    EXPECT_EQ(http.posts[1].message, UM_SIGN_IN_DONE);
    EXPECT_EQ(http.posts[1].url,
              "http://checkin.test:5123/usersignin?kampoId=42&roomId=1001&nickname=ann");
    // Still counting until the service says yes.
    EXPECT_TRUE(timers.IsSet(kCountdownTimer));
    const std::int64_t start = LoadSign(kMe).cycleStart;

    const std::string yes = Sealed(0);
    Answer(session, UM_SIGN_IN_DONE, &yes);
    EXPECT_EQ(Tip(), "签到成功");
    EXPECT_FALSE(timers.IsSet(kCountdownTimer));
    EXPECT_FALSE(C("bnt_sign").enabled);
    EXPECT_EQ(C("text_sign").text, "");
    const SignRecord rec = LoadSign(kMe);
    EXPECT_EQ(rec.cycleStart, start);
    EXPECT_EQ(rec.value, 300);
    EXPECT_EQ(rec.lastSignIn, clock.Now());
    // The cycle goes on.
    EXPECT_TRUE(timers.IsSet(kCycleTimer));
}

TEST_F(AnchorSign, ADialogConfirmThatCannotBeSentTellsTheAnchor) {
    Enter();
    ClockedIn(600);
    timers.Advance(600'000);
    http.accept = false;
    ASSERT_TRUE(view.ConfirmSignDialog());
    EXPECT_EQ(Tip(), "签到失败");
    // The button is still there for another try.
    EXPECT_TRUE(C("bnt_sign").enabled);
}

TEST_F(AnchorSign, TypedCommandsClockInAndAnswerThePrompt) {
    Enter();
    EXPECT_TRUE(session.OnTypedCommand("/card"));
    ASSERT_EQ(http.posts.size(), 1u);
    EXPECT_EQ(http.posts[0].message, UM_CLOCK_IN_DONE);
    EXPECT_TRUE(session.OnTypedCommand("/card now"));
    EXPECT_EQ(Tip(), "usage: /card");
    EXPECT_EQ(http.posts.size(), 1u);
    const std::string yes = Sealed(0);
    draws = {320};
    Answer(session, UM_CLOCK_IN_DONE, &yes);
    timers.Advance(320'000);
    ASSERT_TRUE(view.SignDialogOpen());
    EXPECT_TRUE(session.OnTypedCommand("/sign"));
    EXPECT_FALSE(view.SignDialogOpen());
    ASSERT_EQ(http.posts.size(), 2u);
    EXPECT_EQ(http.posts[1].message, UM_SIGN_IN_DONE);
    EXPECT_FALSE(session.OnTypedCommand("/signal"));
}

TEST_F(AnchorSign, EnteringARoomTakesUpTheStoredCycle) {
    // Clocked in 100 s ago with the prompt due at 400 s.
    ASSERT_TRUE(SaveSign(kMe, 400, false, clock.Now() - 100));
    Enter();
    EXPECT_TRUE(sign->cycleRunning());
    EXPECT_EQ(timers.PeriodOf(kCycleTimer), 1'100'000u);
    EXPECT_EQ(timers.PeriodOf(kPromptTimer), 300'000u);
    timers.Advance(300'000);
    EXPECT_TRUE(view.SignDialogOpen());
    view.CloseSignDialog();
    // When the rest of the cycle is over the full period comes back.
    draws = {850};
    timers.Advance(800'000);
    EXPECT_EQ(timers.PeriodOf(kCycleTimer), kCycleMs);
    EXPECT_EQ(timers.PeriodOf(kPromptTimer), 850'000u);
}

TEST_F(AnchorSign, APromptAlreadyPastOrAStaleRecordIsNotShownAgain) {
    // The prompt of this cycle is behind: only the cycle goes on.
    ASSERT_TRUE(SaveSign(kMe, 300, false, clock.Now() - 700));
    Enter();
    EXPECT_EQ(timers.PeriodOf(kCycleTimer), 500'000u);
    EXPECT_FALSE(timers.IsSet(kPromptTimer));

    // Signed in already this cycle: no second prompt.
    ASSERT_TRUE(SaveSign(kMe, 800, false, clock.Now() - 100));
    ASSERT_TRUE(SaveSign(kMe, 0, true, clock.Now() - 50));
    Enter();
    EXPECT_TRUE(timers.IsSet(kCycleTimer));
    EXPECT_FALSE(timers.IsSet(kPromptTimer));

    // Over 20 minutes old, from the future, or a wait out of range.
    for (std::int64_t age : {1200, 5000, -30}) {
        ASSERT_TRUE(SaveSign(kMe, 400, false, clock.Now() - age));
        Enter();
        EXPECT_FALSE(sign->cycleRunning()) << age;
        EXPECT_FALSE(timers.IsSet(kCycleTimer)) << age;
    }
    ASSERT_TRUE(SaveSign(kMe, 5000, false, clock.Now() - 10));
    Enter();
    EXPECT_TRUE(timers.IsSet(kCycleTimer));
    EXPECT_FALSE(timers.IsSet(kPromptTimer));

    // Not the anchor: nothing resumes.
    ASSERT_TRUE(SaveSign(kMe, 400, false, clock.Now() - 10));
    Enter(kGuest);
    EXPECT_FALSE(timers.IsSet(kCycleTimer));
}
