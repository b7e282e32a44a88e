// The microphone driven through the session: the anchor microphone's checks
// in their order and its answers, free-speech turns by mode and power, the
// talk key's edges through a fake key state, the queue list notify with its
// buttons and countdown, and the typed commands.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "core/paths.h"
#include "net/catalogue_media.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "room/headless_view.h"
#include "room/mic/room_mic.h"
#include "room/room_moderation.h"
#include "tests/room/room_test_support.h"

using roomtest::FakeAccount;
using roomtest::RecordingLink;
using R = CRoomMic::Result;

namespace {

constexpr std::uint32_t kMe = 42, kBob = 7, kDave = 10004, kStranger = 999;
constexpr std::uint8_t kManager = 3, kGuest = 20;

class FakeKeys : public IKeyState {
public:
    std::set<unsigned> down;
    bool IsDown(unsigned vk) const override { return down.count(vk) != 0; }
};

class RecordingAudio : public IMicAudio {
public:
    std::vector<std::string> calls;
    void StartSending(bool anchor, std::uint32_t tick) override {
        calls.push_back(std::string(anchor ? "anchor" : "free") + "@" + std::to_string(tick));
    }
    void StopSending() override { calls.push_back("stop"); }
    void CloseVideo() override { calls.push_back("video off"); }
};

class RoomMic : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        account.me.userId = kMe;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
        moderation = std::make_unique<CRoomModeration>(session, account);
        MakeMic(nullptr);
    }
    void TearDown() override {
        mic.reset();
        moderation.reset();
    }
    roomtest::ScopedDataFolder data{"rmic"};
    void MakeMic(IKeyState* k) {
        mic.reset();
        CRoomMic::Setup setup;
        setup.keys = k;
        setup.audio = &audio;
        mic = std::make_unique<CRoomMic>(session, setup);
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }

    template <class Msg>
    void Receive(const Msg& m) {
        roomtest::Deliver(session, m);
    }
    void Login(std::uint32_t mode, std::uint8_t role = kManager) {
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = role;
        r.room_mode = mode;
        Receive(r);
        Receive(roomtest::MemberList({{kBob, "bob", kGuest}, {kDave, "大卫", kGuest}}));
    }
    void Enter(std::uint32_t mode = 2, std::uint8_t role = kManager) {
        session.EnterRoom(1001);
        Login(mode, role);
    }
    // Powers for my role (and the guests'), by id.
    void Grant(std::initializer_list<std::uint16_t> powers, std::uint8_t role = kManager) {
        session.OnPowerList(roomtest::PowerListAnswer(roomtest::Powers(powers, role)));
    }
    void Queue(std::vector<std::uint32_t> ids, std::uint16_t seconds = 0, bool controlled = false,
               bool forbidden = false) {
        msg::Control_Wheat_List_Notify n;
        n.queue = std::move(ids);
        n.remaining = seconds;
        n.controlled = controlled ? 1 : 0;
        n.forbidden = forbidden ? 1 : 0;
        Receive(n);
    }
    void Anchor(std::optional<std::uint32_t> id) {
        msg::Control_Anchor_Notify n;
        n.anchor.user_id = id;
        Receive(n);
    }
    void Granted(std::uint32_t holder) {
        msg::Control_Open_Mic_Resp r;
        r.user_id = holder;
        Receive(r);
    }
    void MixAnswer(const std::string& error = {}) {
        msg::Mix_Open_Mic_Resp r;
        r.user_id = kMe;
        r.room_id = 1001;
        r.message = error;
        Receive(r);
    }
    std::string Tip() const { return view.Text("text_tip"); }
    bool Visible(const char* c) const { return view.Find(c) && view.Find(c)->visible; }
    bool Enabled(const char* c) const { return !view.Find(c) || view.Find(c)->enabled; }
    std::string Label(const char* c) const { return view.Text(c); }
    std::string LastLine() const { return view.Lines().empty() ? "" : view.Lines().back(); }

    CHeadlessView view{nullptr};
    RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
    RecordingAudio audio;
    std::unique_ptr<CRoomModeration> moderation;
    std::unique_ptr<CRoomMic> mic;
};

}  // namespace

// --- the anchor microphone -----------------------------------------------------------

TEST_F(RoomMic, TheAnchorButtonChecksFreeTurnThenAnyAnchorThenPowerInThatOrder) {
    EXPECT_EQ(mic->OpenAnchor(), R::not_in_room);
    Enter(2);
    Grant({power_id::mic_in_mode_2});
    ASSERT_EQ(mic->StartFreeSpeech(false), R::sent);
    // A free turn comes first even when an anchor exists and the power is missing.
    Anchor(kBob);
    EXPECT_EQ(mic->OpenAnchor(), R::refused);
    EXPECT_EQ(Tip(), "请先关闭自由说话!");
    mic->StopFreeSpeech();
    EXPECT_EQ(mic->OpenAnchor(), R::refused);
    EXPECT_EQ(Tip(), "主播不能同时上麦!");
    Anchor(std::nullopt);
    EXPECT_EQ(mic->OpenAnchor(), R::refused);
    EXPECT_EQ(Tip(), "无权限!");
    EXPECT_EQ(link.Count(cmd::Control_Open_Mic_Req), 0);

    Grant({power_id::open_mic});
    link.down = true;
    EXPECT_EQ(mic->OpenAnchor(), R::not_sent);
    EXPECT_TRUE(Enabled("bnt_AnchorOpen"));
    link.down = false;
    ASSERT_EQ(mic->OpenAnchor(), R::sent);
    const auto req = link.Last<msg::Control_Open_Mic_Req>();
    EXPECT_EQ(req.user_id, kMe);
    EXPECT_EQ(req.room_id, 1001u);
    EXPECT_FALSE(Enabled("bnt_AnchorOpen"));
}

TEST_F(RoomMic, AGrantStartsTheAnchorTurnAndTheCloseAnswerUndoesAllOfIt) {
    Enter(2);
    Grant({power_id::open_mic});
    ASSERT_EQ(mic->OpenAnchor(), R::sent);
    clock.AdvanceMs(5000);
    // Someone else holds it: the tip names them, nothing of mine changes.
    Granted(kDave);
    EXPECT_EQ(Tip(), "当前大卫已上麦，不能同时多人上麦！");
    EXPECT_TRUE(Enabled("bnt_AnchorOpen"));
    EXPECT_FALSE(mic->micOpen());
    Granted(0);
    EXPECT_EQ(Tip(), "上麦成功");
    EXPECT_TRUE(mic->micOpen());
    EXPECT_EQ(mic->micOpenTick(), 5000u);
    const auto mix = link.Last<msg::Mix_Open_Mic_Req>();
    EXPECT_EQ(mix.granted, 1u);
    EXPECT_EQ(mix.user_id, kMe);
    EXPECT_FALSE(Enabled("bnt_keyspeaker"));
    EXPECT_FALSE(Visible("bnt_AnchorOpen"));
    EXPECT_TRUE(Visible("bnt_AnchorClose"));
    EXPECT_EQ(audio.calls, std::vector<std::string>{"anchor@5000"});
    // A second grant (set-user-mic after my own) keeps the first time.
    clock.AdvanceMs(100);
    Granted(0);
    EXPECT_EQ(mic->micOpenTick(), 5000u);
    EXPECT_EQ(mic->MicState(), std::string("anchor"));

    mic->SetVideoOn(true);
    ASSERT_EQ(mic->CloseAnchor(), R::sent);
    EXPECT_EQ(link.Last<msg::Control_Close_Mic_Req>().user_id, kMe);
    msg::Control_Close_Mic_Resp refused;
    refused.message = "稍后再试";
    Receive(refused);
    EXPECT_TRUE(mic->micOpen());
    Receive(msg::Control_Close_Mic_Resp{});
    EXPECT_FALSE(mic->micOpen());
    EXPECT_TRUE(Enabled("bnt_keyspeaker"));
    EXPECT_TRUE(Visible("bnt_AnchorOpen"));
    EXPECT_FALSE(Visible("bnt_AnchorClose"));
    EXPECT_EQ(audio.calls.back(), "stop");
    EXPECT_EQ(audio.calls[audio.calls.size() - 2], "video off");
}

TEST_F(RoomMic, TheAnchorSlotIsAskedForAgainAfterReloginsAndClosedWhenItsPowerGoes) {
    Enter(2);
    Grant({power_id::open_mic});
    mic->OpenAnchor();
    Granted(0);
    const int opens = link.Count(cmd::Control_Open_Mic_Req);
    const int mixOpens = link.Count(cmd::Mix_Open_Mic_Req);
    // The chat connection came back: its login answer asks for the slot again.
    Login(2);
    EXPECT_EQ(link.Count(cmd::Control_Open_Mic_Req), opens + 1);
    Receive(msg::Mix_Login_Resp{});
    EXPECT_EQ(link.Count(cmd::Mix_Open_Mic_Req), mixOpens + 1);
    EXPECT_EQ(link.Last<msg::Mix_Open_Mic_Req>().granted, 1u);

    // My new role lacks power 19: the slot is given back as the button would.
    msg::Control_Power_Notify p;
    p.user_id = kMe;
    p.role = kGuest;
    Receive(p);
    EXPECT_EQ(link.Count(cmd::Control_Close_Mic_Req), 1);
    // Leaving ends it all, and nothing is asked for at the next room.
    session.LeaveRoom();
    EXPECT_FALSE(mic->micOpen());
    EXPECT_TRUE(Visible("bnt_AnchorOpen"));
    Enter(2);
    EXPECT_EQ(link.Count(cmd::Control_Open_Mic_Req), opens + 1);
}

// --- free speech ---------------------------------------------------------------------

TEST_F(RoomMic, FreeSpeechNeedsTheModesPowerAndInQueueModeTheHead) {
    struct Case {
        std::uint32_t mode;
        std::uint16_t power;  // 0: none granted
        const char* tip;      // nullptr: sent
    } cases[] = {
        {2, 0, "无权限"},
        {2, power_id::mic_in_mode_1, "无权限"},
        {2, power_id::mic_in_mode_2, nullptr},
        {1, power_id::mic_in_mode_2, "无权限"},
        {1, power_id::mic_in_mode_1, nullptr},
        {4, power_id::mic_in_mode_2, "无权限"},
        {4, power_id::mic_in_mode_4, "请先抢麦"},  // not queued
        {3, power_id::mic_in_mode_2, "房间该模式下不能说话"},
        {3, power_id::mic_in_mode_4, "房间该模式下不能说话"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " power " + std::to_string(c.power));
        session.LeaveRoom();
        Enter(c.mode);
        Grant({c.power});
        view.ShowTip("");
        const int before = link.Count(cmd::Mix_Open_Mic_Req);
        const R r = mic->StartFreeSpeech(false);
        if (c.tip) {
            EXPECT_EQ(r, R::refused);
            EXPECT_EQ(Tip(), c.tip);
            EXPECT_EQ(link.Count(cmd::Mix_Open_Mic_Req), before);
            EXPECT_FALSE(mic->freeSpeech());
        } else {
            EXPECT_EQ(r, R::sent);
            EXPECT_EQ(link.Last<msg::Mix_Open_Mic_Req>().granted, 0u);
            EXPECT_EQ(Label("bnt_keyspeaker"), "自由发言");
            EXPECT_TRUE(mic->freeSpeech());
        }
    }
}

TEST_F(RoomMic, InQueueModeOnlyTheServersHeadSpeaksEvenWhenTheHeadHasNotArrived) {
    Enter(4);
    Grant({power_id::mic_in_mode_4});
    // The head is someone we do not know yet: being first of those we know
    // is not enough.
    Queue({kStranger, kMe, kBob}, 30);
    EXPECT_EQ(mic->StartFreeSpeech(false), R::refused);
    EXPECT_EQ(Tip(), "请先抢麦");
    Queue({kBob, kMe}, 30);
    EXPECT_EQ(mic->StartFreeSpeech(false), R::refused);
    Queue({kMe, kBob}, 30);
    EXPECT_EQ(mic->StartFreeSpeech(false), R::sent);
    // A second start while the turn runs sends nothing.
    EXPECT_EQ(mic->StartFreeSpeech(false), R::ignored);
    EXPECT_EQ(link.Count(cmd::Mix_Open_Mic_Req), 1);
}

TEST_F(RoomMic, ATurnIsClaimedOnlyWhenItsRequestLeftAndEndsWhenTheMediaServerRefuses) {
    Enter(2);
    Grant({power_id::mic_in_mode_2});
    link.mediaDown = true;
    EXPECT_EQ(mic->StartFreeSpeech(false), R::not_sent);
    EXPECT_FALSE(mic->freeSpeech());
    EXPECT_EQ(Label("bnt_keyspeaker"), "按住F2说话");
    link.mediaDown = false;

    // Stop restores the key's label and marks me silent.
    ASSERT_EQ(mic->ToggleFreeSpeech(), R::sent);
    MixAnswer();
    EXPECT_EQ(audio.calls.back(), "free@0");
    EXPECT_TRUE(mic->Speaking(kMe));
    ASSERT_EQ(mic->ToggleFreeSpeech(), R::sent);
    EXPECT_FALSE(mic->freeSpeech());
    EXPECT_FALSE(mic->Speaking(kMe));
    EXPECT_EQ(Label("bnt_keyspeaker"), "按住F2说话");

    // A refusal of the media server ends the running turn with its text.
    mic->StartFreeSpeech(false);
    MixAnswer("麦克风已被占用");
    EXPECT_EQ(Tip(), "麦克风已被占用");
    EXPECT_FALSE(mic->freeSpeech());
    EXPECT_EQ(Label("bnt_keyspeaker"), "按住F2说话");
    // An answer for someone else's turn starts nothing of mine.
    mic->StartFreeSpeech(false);
    const std::size_t calls = audio.calls.size();
    msg::Mix_Open_Mic_Resp other;
    other.user_id = kBob;
    other.room_id = 1001;
    Receive(other);
    EXPECT_EQ(audio.calls.size(), calls);
}

// --- the talk key --------------------------------------------------------------------

TEST_F(RoomMic, HoldingTheTalkKeyMakesExactlyOneTurnAndAQuickTapNone) {
    FakeKeys keys;
    MakeMic(&keys);
    Enter(2);
    Grant({power_id::mic_in_mode_2});
    EXPECT_EQ(timers.PeriodOf(room_timer::kKeyPoll), 300u);
    // Down and up inside one poll: unseen.
    keys.down.insert(113);
    clock.AdvanceMs(100);
    keys.down.clear();
    timers.Advance(300);
    EXPECT_EQ(link.Count(cmd::Mix_Open_Mic_Req), 0);

    keys.down.insert(113);
    timers.Advance(300);
    EXPECT_TRUE(mic->keyHeld());
    EXPECT_EQ(Label("bnt_keyspeaker"), "松开结束说话");
    timers.Advance(3000);  // held: still one turn
    EXPECT_EQ(link.Count(cmd::Mix_Open_Mic_Req), 1);
    keys.down.clear();
    timers.Advance(300);
    EXPECT_FALSE(mic->freeSpeech());
    EXPECT_FALSE(mic->keyHeld());
    EXPECT_EQ(Label("bnt_keyspeaker"), "按住F2说话");

    // While my video is on the key does nothing.
    mic->SetVideoOn(true);
    keys.down.insert(113);
    timers.Advance(300);
    EXPECT_EQ(link.Count(cmd::Mix_Open_Mic_Req), 1);
    keys.down.clear();
    timers.Advance(300);
    mic->SetVideoOn(false);

    // A new key is watched instead of the old, and named on the button.
    mic->SetTalkKey('V');
    EXPECT_EQ(Label("bnt_keyspeaker"), "按住V说话");
    keys.down.insert(113);
    timers.Advance(300);
    EXPECT_EQ(link.Count(cmd::Mix_Open_Mic_Req), 1);
    keys.down.insert('V');
    timers.Advance(300);
    EXPECT_EQ(link.Count(cmd::Mix_Open_Mic_Req), 2);
    // A release never seen (another window had the keyboard) still ends the
    // turn after the longest hold.
    timers.Advance(CRoomMic::kKeyHeldLimitMs);
    EXPECT_FALSE(mic->freeSpeech());
}

TEST_F(RoomMic, AKeyUpEndsOnlyAKeyHeldTurn) {
    Enter(2);
    Grant({power_id::mic_in_mode_2});
    mic->ToggleFreeSpeech();  // by the button
    WindowMessage up;
    up.msg = UM_TALK_KEY;
    up.wParam = 0;
    EXPECT_TRUE(session.OnFeatureMessage(up));
    EXPECT_TRUE(mic->freeSpeech());
    timers.Advance(CRoomMic::kKeyHeldLimitMs);
    EXPECT_TRUE(mic->freeSpeech());
}

// --- the queue -----------------------------------------------------------------------

TEST_F(RoomMic, TheListNotifyKeepsKnownUsersInOrderOnceEachAndDrivesTheButtons) {
    Enter(4);
    EXPECT_TRUE(Visible("WheatPannel"));
    Queue({kDave, kStranger, kMe, kDave, 0, kBob}, 42, false, false);
    EXPECT_EQ(mic->queue().ids(), (std::vector<std::uint32_t>{kDave, kMe}));
    EXPECT_EQ(mic->queue().head(), kDave);
    ASSERT_EQ(view.QueueLines().size(), 2u);
    EXPECT_EQ(view.QueueLines()[0],
              "<c #FFFFFF><f 0><i un_speark.png><x 4>1.<x 4><i ><x 4>大卫</f></c>");
    EXPECT_EQ(view.QueueTags(), (std::vector<std::uint32_t>{kDave, kMe}));
    EXPECT_EQ(Label("suiplustm_mic"), "42s");
    EXPECT_EQ(LastLine(), "queue: 42s controlled=0 forbidden=0 | 1.大卫(10004) 2.ann(42)");
    EXPECT_TRUE(Visible("down_mic"));
    EXPECT_FALSE(Visible("rob_mic"));
    EXPECT_TRUE(Visible("control_mic"));
    EXPECT_FALSE(Visible("put_mic"));
    EXPECT_TRUE(Visible("ban_mic"));
    EXPECT_FALSE(Visible("open_mic"));

    // Controlled and forbidden, me not queued: rob shows, disabled.
    Queue({kBob}, 0, true, true);
    EXPECT_TRUE(Visible("put_mic"));
    EXPECT_FALSE(Visible("control_mic"));
    EXPECT_TRUE(Visible("open_mic"));
    EXPECT_FALSE(Visible("ban_mic"));
    EXPECT_TRUE(Visible("rob_mic"));
    EXPECT_FALSE(Enabled("rob_mic"));
    EXPECT_FALSE(Visible("down_mic"));
    EXPECT_EQ(Label("suiplustm_mic"), "");  // no seconds: no countdown

    // A flood is cut at 500 ids.
    std::vector<std::uint32_t> many(5000, kBob);
    many[0] = kDave;
    Queue(many, 1);
    EXPECT_EQ(mic->queue().ids().size(), 2u);
}

TEST_F(RoomMic, TheCountdownEmptiesItsLabelAtZeroAndStopsOutsideQueueMode) {
    Enter(4);
    Queue({kBob, kMe}, 3);
    EXPECT_EQ(timers.PeriodOf(room_timer::kQueueCountdown), 1000u);
    std::vector<std::string> shown;
    for (int i = 0; i < 5; ++i) {
        timers.Advance(1000);
        shown.push_back(Label("suiplustm_mic"));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"3s", "2s", "1s", "", ""}));

    msg::Control_Room_Mode_Notify mode;
    mode.mode = 2;
    Receive(mode);
    EXPECT_FALSE(Visible("WheatPannel"));
    EXPECT_FALSE(timers.IsSet(room_timer::kQueueCountdown));
    EXPECT_TRUE(mic->queue().empty());
    EXPECT_TRUE(view.QueueLines().empty());
}

TEST_F(RoomMic, RemovalsRenumberTheLinesPassTheHeadOnAndFixTheButtons) {
    Enter(4);
    Queue({kBob, kMe, kDave}, 20);
    msg::Control_Remove_Wheat_Resp removed;
    removed.user_id = kBob;
    Receive(removed);
    ASSERT_EQ(view.QueueLines().size(), 2u);
    EXPECT_NE(view.QueueLines()[0].find("1.<x 4><i ><x 4>ann"), std::string::npos);
    EXPECT_NE(view.QueueLines()[1].find("2.<x 4><i ><x 4>大卫"), std::string::npos);
    // The new head's seconds are the server's to tell; the old ones are gone.
    EXPECT_EQ(mic->queue().head(), kMe);
    EXPECT_EQ(Label("suiplustm_mic"), "");
    removed.user_id = kMe;
    Receive(removed);
    EXPECT_TRUE(Visible("rob_mic"));
    EXPECT_FALSE(Visible("down_mic"));
    // A stranger's removal changes nothing.
    removed.user_id = kStranger;
    Receive(removed);
    EXPECT_EQ(view.QueueLines().size(), 1u);

    Queue({kBob, kMe}, 20);
    Receive(msg::Control_RemoveAll_Wheat_Resp{});
    EXPECT_TRUE(view.QueueLines().empty());
    EXPECT_EQ(Label("suiplustm_mic"), "");
    EXPECT_TRUE(Visible("rob_mic"));
}

TEST_F(RoomMic, AReloginInQueueModeNeverOffersRobToSomeoneQueued) {
    Enter(4);
    Queue({kMe}, 20);
    Login(4);  // the chat connection came back
    EXPECT_TRUE(Visible("down_mic"));
    EXPECT_FALSE(Visible("rob_mic"));
    // The answers of the panel's buttons, and a refusal's text.
    msg::Control_Disable_Wheat_Resp ban;
    ban.value = 1;
    Receive(ban);
    EXPECT_TRUE(Visible("open_mic"));
    EXPECT_FALSE(Enabled("rob_mic"));
    msg::Control_Rob_Wheat_Resp full;
    full.message = "麦序已满";
    full.code = 1030;
    Receive(full);
    EXPECT_EQ(Tip(), "麦序已满");
    msg::Control_Top_Wheat_Resp top;
    top.message = "无权限!";
    Receive(top);
    EXPECT_EQ(Tip(), "无权限!");
}

TEST_F(RoomMic, SpeakersAreMarkedOnTheirQueueLines) {
    Enter(4);
    Queue({kBob, kDave}, 20);
    session.OnSpeakerState(kDave, true);
    EXPECT_NE(view.QueueLines()[1].find("spearking.png"), std::string::npos);
    EXPECT_NE(view.QueueLines()[0].find("un_speark.png"), std::string::npos);
    EXPECT_EQ(view.Lines()[view.Lines().size() - 1], "speaking: 10004 on");
    session.OnSpeakerState(kDave, false);
    EXPECT_NE(view.QueueLines()[1].find("un_speark.png"), std::string::npos);
    EXPECT_EQ(LastLine(), "speaking: 10004 off");
}

// --- requests and typed commands ------------------------------------------------------

TEST_F(RoomMic, QueueRequestsCarryTheirFieldsAndTypedCommandsCheckTheirWords) {
    Enter(4);
    EXPECT_TRUE(session.OnTypedCommand("/rob"));
    EXPECT_EQ(link.Last<msg::Control_Rob_Wheat_Req>().user_id, kMe);
    EXPECT_TRUE(session.OnTypedCommand("/ban"));
    EXPECT_EQ(link.Last<msg::Control_Disable_Wheat_Req>().value, 1u);
    EXPECT_TRUE(session.OnTypedCommand("/release"));
    EXPECT_EQ(link.Last<msg::Control_Control_Wheat_Req>().value, 0u);
    EXPECT_TRUE(session.OnTypedCommand("/top 10004"));
    EXPECT_EQ(link.Last<msg::Control_Top_Wheat_Req>().user_id, kDave);
    EXPECT_TRUE(session.OnTypedCommand("/removeall"));
    EXPECT_EQ(link.Last<msg::Control_RemoveAll_Wheat_Req>().user_id, kMe);
    EXPECT_TRUE(session.OnTypedCommand("/setmic 7"));
    const auto set = link.Last<msg::Control_Set_User_Mic_Req>();
    EXPECT_EQ(set.user_id, kMe);
    EXPECT_EQ(set.value, kBob);

    const std::size_t sent = link.sent.size();
    for (const char* bad : {"/rob now", "/top", "/top x", "/top 0", "/remove 1 2", "/key",
                            "/key sideways", "/setmic 4294967296"}) {
        EXPECT_TRUE(session.OnTypedCommand(bad)) << bad;
        EXPECT_EQ(Tip().rfind("usage: ", 0), 0u) << bad;
    }
    EXPECT_TRUE(session.OnTypedCommand("/setmic 999"));
    EXPECT_EQ(Tip(), "对方不在房间");
    EXPECT_EQ(link.sent.size(), sent);
    EXPECT_FALSE(session.OnTypedCommand("/robbery"));

    msg::Control_Set_User_Mic_Resp refused;
    refused.message = "麦克风已被占用";
    refused.code = 1026;
    Receive(refused);
    EXPECT_EQ(Tip(), "麦克风已被占用");

    Grant({power_id::mic_in_mode_4});
    Queue({kMe}, 10);
    EXPECT_TRUE(session.OnTypedCommand("/key down"));
    EXPECT_TRUE(mic->keyHeld());
    EXPECT_TRUE(session.OnTypedCommand("/mic"));
    EXPECT_EQ(LastLine(), "mic: free");
    EXPECT_TRUE(session.OnTypedCommand("/key up"));
    EXPECT_FALSE(mic->freeSpeech());
    EXPECT_TRUE(session.OnTypedCommand("/queue"));
    EXPECT_EQ(LastLine(), "queue: 10s controlled=0 forbidden=0 | 1.ann(42)");
}

TEST_F(RoomMic, EnteringByTypedCommandPrintsWhyTheRoomRefused) {
    EXPECT_TRUE(session.OnTypedCommand("/enter"));
    EXPECT_EQ(Tip(), "usage: /enter ROOM");
    EXPECT_TRUE(session.OnTypedCommand("/enter 1002"));
    EXPECT_EQ(link.Last<msg::Control_Login_Req>().room_id, 1002u);
    msg::Control_Login_Resp refused;
    refused.message = "你已被踢出该房间";
    refused.code = 1025;
    Receive(refused);
    EXPECT_EQ(LastLine(), "fail: 你已被踢出该房间(1025)");
}
