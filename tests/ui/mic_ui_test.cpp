// The microphone in the room window: a room session drives the queue panel
// and list of the real window, its buttons and queue menu reach the room's
// CRoomMic, and the picture of a queue at work is left in
// build/artifacts/room-queue.png.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <unistd.h>

#include <filesystem>

#include "core/paths.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_room.h"
#include "platform/dui/list.h"
#include "platform/dui/menu.h"
#include "room/mic/room_mic.h"
#include "room/room_moderation.h"
#include "tests/room/room_test_support.h"
#include "ui_test_util.h"

namespace {

constexpr std::uint32_t kMe = 10002;

class MicActions : public uitest::FakeActions {
public:
    CRoomMic* mic = nullptr;
    std::vector<std::uint32_t> profiles;
    CRoomMic* Mic() const override { return mic; }
    void ShowUserInfo(std::uint32_t userId) override { profiles.push_back(userId); }
};

class RoomWindowMic : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.Create()) << w.SkinError();
        account.me.userId = kMe;
        account.me.nickname = "小雨";
        ASSERT_TRUE(session.Start());
        moderation = std::make_unique<CRoomModeration>(session, account);
        mic = std::make_unique<CRoomMic>(session, CRoomMic::Setup{});
        actions.mic = mic.get();
    }
    void TearDown() override {
        actions.mic = nullptr;
        mic.reset();
        moderation.reset();
    }
    roomtest::ScopedDataFolder data{"micui"};
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    template <class Msg>
    void Receive(const Msg& m) {
        roomtest::Deliver(session, m);
    }
    // In room 1001 in queue mode with four others.
    void Enter() {
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = 3;
        r.room_mode = 4;
        r.room_name = "周五音乐夜";
        Receive(r);
        Receive(roomtest::MemberList(
            {{20031, "阿杰", 20}, {20077, "星河漫步", 20}, {20102, "Lemon", 20}, {20200, "夜猫子", 20}}));
    }
    void Queue(std::vector<std::uint32_t> ids, std::uint16_t seconds) {
        msg::Control_Wheat_List_Notify n;
        n.queue = std::move(ids);
        n.remaining = seconds;
        Receive(n);
    }
    CListUI* Wheat() { return w.FindControl<CListUI>("List_Wheat"); }
    bool Shown(const char* name) {
        CControlUI* c = w.FindControl(name);
        return c && c->IsVisible();
    }

    MicActions actions;
    CRoomUI w{actions};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSession session{w, link, timers, clock, account};
    std::unique_ptr<CRoomModeration> moderation;
    std::unique_ptr<CRoomMic> mic;
};

}  // namespace

TEST_F(RoomWindowMic, TheQueuePanelFollowsTheRoomAndItsButtonsReachTheMicrophone) {
    EXPECT_FALSE(Shown("WheatPannel")) << "hidden until the room is in queue mode";
    Enter();
    EXPECT_TRUE(Shown("WheatPannel"));
    Queue({20031, 20077, kMe}, 42);
    ASSERT_NE(Wheat(), nullptr);
    ASSERT_EQ(Wheat()->GetCount(), 3);
    EXPECT_EQ(Wheat()->GetItemAt(2)->GetUserData(), std::to_string(kMe));
    EXPECT_NE(Wheat()->GetItemAt(0)->GetText().find("1.<x 4><i ><x 4>阿杰"), std::string::npos);
    EXPECT_EQ(w.FindControl("suiplustm_mic")->GetText(), "42s");
    EXPECT_TRUE(Shown("down_mic"));
    EXPECT_FALSE(Shown("rob_mic"));

    uitest::Click(w.FindControl("down_mic"));
    EXPECT_EQ(link.Last<msg::Control_Put_Wheat_Req>().user_id, kMe);
    uitest::Click(w.FindControl("control_mic"));
    EXPECT_EQ(link.Last<msg::Control_Control_Wheat_Req>().value, 1u);
    ASSERT_TRUE(w.FindControl("bnt_AnchorOpen")->IsEnabled()) << "built: no longer disabled";
    uitest::Click(w.FindControl("bnt_keyspeaker"));
    EXPECT_EQ(w.FindControl("text_tip")->GetText(), "无权限");

    // The queue menu on a line: its entries send for that line's user.
    uitest::Click(Wheat()->GetItemAt(1), Qt::RightButton);
    ASSERT_NE(w.OpenMenu(), nullptr) << "itemrclick opened the queue menu";
    EXPECT_EQ(w.QueueMenuUser(), 20077u);
    for (const char* name : {"Menu_Wheat_top", "Menu_Wheat_add", "Menu_Wheat_remove",
                             "Menu_Wheat_removeall", "Menu_Wheat_info"})
        EXPECT_NE(w.OpenMenu()->FindElement(name), nullptr) << name;
    w.OpenMenu()->close();
    w.OnMenuChoice("Menu_Wheat_remove");
    EXPECT_EQ(link.Last<msg::Control_Remove_Wheat_Req>().user_id, 20077u);
    w.OnMenuChoice("Menu_Wheat_info");
    EXPECT_EQ(actions.profiles, std::vector<std::uint32_t>{20077u});
    msg::Control_Remove_Wheat_Resp removed;
    removed.user_id = 20077;
    Receive(removed);
    ASSERT_EQ(Wheat()->GetCount(), 2);
    EXPECT_NE(Wheat()->GetItemAt(1)->GetText().find("2.<x 4><i ><x 4>小雨"), std::string::npos);
}

TEST_F(RoomWindowMic, AQueueAtWorkRendersToAPicture) {
    Enter();
    Queue({20031, 20077, kMe, 20102}, 58);
    timers.Advance(3000);  // the countdown has run a little
    session.OnSpeakerState(20031, true);
    if (auto* tab = w.FindControl<CTabLayoutUI>("tabuser")) tab->SelectItem(1);
    w.SetControlSelected("Option_wheatlist", true);

    w.resize(1180, 740);
    w.show();
    uitest::Pump([] { return false; }, 100);
    EXPECT_EQ(w.FindControl("suiplustm_mic")->GetText(), "56s");
    const QImage shot = w.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(shot.save(folder + "room-queue.png")) << "cannot write " << folder.toStdString();
}
