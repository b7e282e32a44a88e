// The anchor's clock-in and sign-in in the real room window: its buttons
// reach the room, the prompt opens as "SignWnd" centred and above other
// windows when the sign-in is due, its button signs in, and the room closes
// it without signing in.
#include <gtest/gtest.h>

#include "core/clock.h"
#include "net/catalogue_room.h"
#include "net/service_answer.h"
#include "platform/kitlib/kitlib.h"
#include "room/anchor_sign.h"
#include "tests/room/room_test_support.h"
#include "ui_test_util.h"

namespace {

class PostsOnly : public IHttpStarter {
public:
    std::vector<unsigned> posted;
    bool Download(unsigned, const std::string&, const std::string&) override { return false; }
    bool Post(unsigned message, const std::string&, const std::vector<std::uint8_t>&) override {
        posted.push_back(message);
        return true;
    }
    std::string Host() override { return {}; }
};

class SignActions : public uitest::FakeActions {
public:
    CAnchorSign* sign = nullptr;
    CAnchorSign* AnchorSign() const override { return sign; }
};

class SignWindow : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Create());
        window.ShowWindow(true);
        account.me.userId = 42;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
        sign = std::make_unique<CAnchorSign>(session, http, [] { return 600; });
        actions.sign = sign.get();
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = anchor_sign::kAnchorRole;
        roomtest::Deliver(session, r);
    }
    void TearDown() override {
        actions.sign = nullptr;
        sign.reset();
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    void Answer(unsigned message) {
        msg::ServiceAnswer a;
        a.items.push_back({true, 0, {}});
        const std::string bytes = msg::EncodeServiceAnswer(a, true);
        TMessageData<KitlibAnswer> data{KitlibAnswer{}};
        data.value.bytes.assign(bytes.begin(), bytes.end());
        WindowMessage m{message, bytes.size(), 0, &data};
        ASSERT_TRUE(session.OnFeatureMessage(m));
    }

    roomtest::ScopedDataFolder data{"signui"};
    SignActions actions;
    CRoomUI window{actions};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSession session{window, link, timers, clock, account};
    PostsOnly http;
    std::unique_ptr<CAnchorSign> sign;
};

}  // namespace

TEST_F(SignWindow, TheButtonsAndThePromptGoThroughTheRoom) {
    for (const char* c : {"bnt_card", "bnt_sign", "text_sign"}) EXPECT_TRUE(window.IsControlVisible(c)) << c;
    EXPECT_FALSE(window.FindControl("bnt_sign")->isEnabled());
    uitest::Click(window.FindControl("bnt_card"));
    ASSERT_EQ(http.posted, std::vector<unsigned>{anchor_sign::UM_CLOCK_IN_DONE});
    Answer(anchor_sign::UM_CLOCK_IN_DONE);
    EXPECT_FALSE(window.SignDialogOpen());

    timers.Advance(600'000);
    ASSERT_TRUE(window.SignDialogOpen());
    CSignDlg* dlg = window.SignDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsSkinLoaded()) << dlg->SkinError();
    EXPECT_EQ(dlg->GetWindowClassName(), "SignWnd");
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.FindControl("bnt_sign")->isEnabled());
    EXPECT_EQ(window.GetControlText("text_sign"), "300s");

    // The prompt's button signs in and closes it.
    uitest::Click(dlg->FindControl("bnt_ok"));
    EXPECT_FALSE(window.SignDialogOpen());
    ASSERT_EQ(http.posted.size(), 2u);
    EXPECT_EQ(http.posted[1], anchor_sign::UM_SIGN_IN_DONE);
    Answer(anchor_sign::UM_SIGN_IN_DONE);
    EXPECT_FALSE(window.FindControl("bnt_sign")->isEnabled());
    EXPECT_EQ(window.GetControlText("text_sign"), "");
}

TEST_F(SignWindow, ClosingThePromptSignsNothingIn) {
    sign->ClockIn();
    Answer(anchor_sign::UM_CLOCK_IN_DONE);
    timers.Advance(600'000);
    ASSERT_TRUE(window.SignDialogOpen());
    uitest::Click(window.SignDialog()->FindControl("bnt_close"));
    EXPECT_FALSE(window.SignDialogOpen());
    EXPECT_EQ(http.posted.size(), 1u);
    // Still time: the room window's own button signs in.
    ASSERT_TRUE(window.FindControl("bnt_sign")->isEnabled());
    uitest::Click(window.FindControl("bnt_sign"));
    ASSERT_EQ(http.posted.size(), 2u);
    EXPECT_EQ(http.posted[1], anchor_sign::UM_SIGN_IN_DONE);
    // Unanswered, the countdown runs out.
    timers.Advance(300'000);
    EXPECT_FALSE(window.FindControl("bnt_sign")->isEnabled());

    // The next prompt opens it again; losing the role closes it unconfirmed.
    timers.Advance(1'200'000 - 900'000 + 600'000);
    ASSERT_TRUE(window.SignDialogOpen());
    session.SetUserRole(42, 20);
    EXPECT_FALSE(window.SignDialogOpen());
    EXPECT_EQ(http.posted.size(), 2u);
    EXPECT_FALSE(window.IsControlVisible("bnt_card"));
}
