// The user menu's entries for me and for others, by role, gag state, cards
// and friendship, written out as the menu must look; the roles offered for
// giving; and the same menu read from a room session.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/paths.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "room/headless_view.h"
#include "room/moderation_dialogs.h"
#include "room/room_moderation.h"
#include "room/user_menu.h"
#include "tests/room/room_test_support.h"

namespace um = user_menu;

namespace {

constexpr std::uint8_t kOwner = 1, kManager = 3, kAnchor = 7, kGuest = 20;

// Owners may do everything to anyone; managers everything except to owners;
// anchors and guests nothing. Owner and manager roles are given for good.
CPowerTable Powers() {
    CPowerTable p;
    for (std::uint16_t power : {power_id::kick, power_id::gag, power_id::set_power}) {
        p.AddRule(power, kOwner, 1, 0);
        p.AddRule(power, kManager, 1, 0);
        p.AddRule(power, kManager, 0, kOwner);
    }
    p.AddRule(power_id::long_grant, kOwner, 1, 0);
    p.AddRule(power_id::long_grant, kManager, 1, 0);
    p.AddRule(power_id::open_mic, kAnchor, 1, 0);
    return p;
}

CRoleTable Roles() {
    CRoleTable t;
    t.Add({kGuest, "游客", 0x808080, {}, {}});
    t.Add({kOwner, "室主", 0xFF8000, {}, {}});
    t.Add({kManager, "管理员", 0x3899A7, {}, {}});
    t.Add({kAnchor, "主播", 0x6464E0, {}, {}});
    return t;
}

// The entries in this order, each '-' removed, 'd' shown disabled, 'e' enabled.
constexpr const char* kOrder[] = {um::kUserInfo, um::kAddFriend, um::kPowerGag,
                                  um::kPowerCancelGag, um::kPropGag, um::kPropCancelGag,
                                  um::kKick, um::kSetMic, um::kPower};

std::string States(const UserMenuModel& m) {
    std::string s;
    for (const char* name : kOrder) {
        const UserMenuEntry* e = m.Find(name);
        s += !e || !e->shown ? '-' : e->enabled ? 'e' : 'd';
    }
    return s;
}

// The "Menu_Power" roles as "id,id*,…" with '*' for the checked one.
std::string Offered(const UserMenuModel& m) {
    std::string s;
    for (const auto& r : m.roles) s += (s.empty() ? "" : ",") + std::to_string(r.role) + (r.checked ? "*" : "");
    return s;
}

struct Row {
    const char* what;
    bool self;
    std::uint8_t myRole, targetRole;
    bool gagged;  // the target's state (mine when the target is me)
    bool gagCard, cancelCard, isFriend;
    const char* states;
    const char* roles;
};

//                                                    self  me        target    gag    card100 card10 friend
const Row kRows[] = {
    {"me, owner, nothing special",                    true, kOwner,   kOwner,   false, true,   true,  false, "e-d---ded", ""},
    {"me, gagged guest with an un-gag card",          true, kGuest,   kGuest,   true,  false,  true,  false, "e-d--eded", ""},
    {"me, gagged guest without one",                  true, kGuest,   kGuest,   true,  true,   false, false, "e-d---ded", ""},
    {"me, manager, cards but not gagged",             true, kManager, kManager, false, true,   true,  true,  "e-d---ded", ""},
    {"owner on a guest",                              false, kOwner,  kGuest,   false, false,  false, false, "eee---eee", "1,3,7,20*"},
    {"manager on the owner, gag card, friend",        false, kManager, kOwner,  false, true,   true,  true,  "e-d-e-ded", ""},
    {"manager on a gagged anchor, both cards",        false, kManager, kAnchor, true,  true,   true,  false, "ee-e-eeee", "3,7*,20"},
    {"anchor on a gagged guest, gag card only",       false, kAnchor, kGuest,   true,  true,   false, false, "ee-d--ded", ""},
    {"guest on a manager, un-gag card only, friend",  false, kGuest,  kManager, false, false,  true,  true,  "e-d---ded", ""},
    {"guest on a guest with a gag card",              false, kGuest,  kGuest,   false, true,   false, false, "eed-e-ded", ""},
    {"owner on a gagged manager, friend",             false, kOwner,  kManager, true,  false,  false, true,  "e--e--eee", "1,3*,7,20"},
    {"owner on a gagged guest, un-gag card",          false, kOwner,  kGuest,   true,  false,  true,  false, "ee-e-eeee", "1,3,7,20*"},
};

}  // namespace

TEST(UserMenu, EntriesFollowMyPowersTheTargetsStateMyCardsAndFriends) {
    const CPowerTable powers = Powers();
    const CRoleTable roles = Roles();
    for (const Row& r : kRows) {
        UserMenuFacts f;
        f.me = 42;
        f.target = r.self ? 42 : 7;
        f.myRole = r.myRole;
        f.targetRole = r.targetRole;
        (r.self ? f.meGagged : f.targetGagged) = r.gagged;
        f.ownsGagCard = r.gagCard;
        f.ownsCancelGagCard = r.cancelCard;
        f.isFriend = r.isFriend;
        const UserMenuModel m = BuildUserMenu(f, powers, roles);
        EXPECT_EQ(m.target, f.target) << r.what;
        EXPECT_EQ(States(m), r.states) << r.what;
        EXPECT_EQ(Offered(m), r.roles) << r.what;
    }
}

TEST(UserMenu, MyGagStateIsNotTheTargetsAndTheTargetsIsNotMine) {
    // Gagged myself, I still gag others by power; an un-gagged me sees no card.
    UserMenuFacts f;
    f.me = 42;
    f.target = 7;
    f.myRole = kOwner;
    f.targetRole = kGuest;
    f.meGagged = true;
    f.ownsCancelGagCard = true;
    EXPECT_EQ(States(BuildUserMenu(f, Powers(), Roles())), "eee---eee");
    f.target = 42;
    f.meGagged = false;
    f.targetGagged = true;
    EXPECT_EQ(States(BuildUserMenu(f, Powers(), Roles())), "e-d---ded");
}

TEST(UserMenu, PowerEntriesCarryNameColourCheckAndWhetherDaysAreAsked) {
    UserMenuFacts f;
    f.me = 42;
    f.target = 7;
    f.myRole = kOwner;
    f.targetRole = kAnchor;
    const UserMenuModel m = BuildUserMenu(f, Powers(), Roles());
    ASSERT_EQ(m.roles.size(), 4u);
    // Elements are named by the role's place in the table, not its id.
    EXPECT_EQ(m.roles[0].element, "MenuElementPower_0");
    EXPECT_EQ(m.roles[3].element, "MenuElementPower_3");
    const RoleMenuEntry* anchor = m.Role("MenuElementPower_2");
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(anchor->role, kAnchor);
    EXPECT_EQ(anchor->text, "主播");
    EXPECT_EQ(anchor->colour, 0x6464E0u);
    EXPECT_TRUE(anchor->checked);
    EXPECT_TRUE(anchor->asksDays) << "the anchor role lacks power 6";
    EXPECT_FALSE(m.Role("MenuElementPower_0")->asksDays) << "the owner role holds power 6";
    EXPECT_FALSE(m.Role("MenuElementPower_3")->asksDays) << "role 20 is given at once";
    EXPECT_EQ(m.Role("MenuElementPower_9"), nullptr);

    // A role the table does not have is offered nowhere; no table, no roles.
    EXPECT_TRUE(BuildUserMenu(f, Powers(), CRoleTable{}).roles.empty());
    EXPECT_TRUE(BuildUserMenu(f, Powers(), CRoleTable{}).Enabled(um::kPower));
}

TEST(UserMenu, EntriesWithoutTheirWorkInThisBuildAreShownDisabled) {
    UserMenuFacts f;
    f.me = 42;
    f.target = 7;
    f.myRole = kOwner;
    f.targetRole = kGuest;
    f.canShowUserInfo = false;
    f.canSetMic = false;
    const UserMenuModel m = BuildUserMenu(f, Powers(), Roles());
    EXPECT_EQ(States(m), "dee---ede");
}

TEST(UserMenu, AUsersVolumeIsOfferedForOthersOnlyAndDisabledWhereNoVolumesAreKept) {
    for (const Row& r : kRows) {
        UserMenuFacts f;
        f.me = 42;
        f.target = r.self ? 42 : 7;
        f.myRole = r.myRole;
        f.targetRole = r.targetRole;
        const UserMenuModel m = BuildUserMenu(f, Powers(), Roles());
        EXPECT_EQ(m.Shown(um::kVolume), !r.self) << r.what;
        EXPECT_EQ(m.Enabled(um::kVolume), !r.self) << r.what;
        f.canSetVolume = false;
        EXPECT_EQ(BuildUserMenu(f, Powers(), Roles()).Shown(um::kVolume), !r.self) << r.what;
        EXPECT_FALSE(BuildUserMenu(f, Powers(), Roles()).Enabled(um::kVolume)) << r.what;
    }
}

// ---- read from a room session ----------------------------------------------------

namespace {

constexpr std::uint32_t kMe = 42, kBob = 7, kDave = 10004;

class SessionMenu : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        account.me.userId = kMe;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
        moderation = std::make_unique<CRoomModeration>(session, account);
        roles = Roles();
    }
    void TearDown() override {
        moderation.reset();
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }

    template <class Msg>
    void Receive(const Msg& m) {
        roomtest::Deliver(session, m);
    }
    void Enter(std::uint8_t role) {
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = role;
        r.room_mode = 2;
        Receive(r);
        Receive(roomtest::MemberList({{kBob, "bob", kGuest}, {kDave, "大卫", kAnchor}}));
    }
    void LoadPowers() {
        // Owner: everything; the anchor role is given with days asked.
        std::vector<roomtest::PowerRule> rules;
        for (std::uint16_t power : {4, 5, 8}) rules.push_back({power, 1});
        rules.push_back({6, 3});
        session.OnPowerList(roomtest::PowerListAnswer(rules));
    }

    roomtest::ScopedDataFolder data{"umenu"};
    CHeadlessView view{nullptr};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
    std::unique_ptr<CRoomModeration> moderation;
    CRoleTable roles;
};

}  // namespace

TEST_F(SessionMenu, TheMenuReadsRolesGagsAndFriendsFromTheRoom) {
    Enter(kOwner);
    LoadPowers();
    EXPECT_FALSE(BuildUserMenu(session, 999, roles, {})) << "no menu for a user not in the room";

    auto bob = BuildUserMenu(session, kBob, roles, {});
    ASSERT_TRUE(bob);
    EXPECT_EQ(States(*bob), "eee---eee");
    EXPECT_EQ(Offered(*bob), "1,3,7,20*");

    msg::Control_Gag_Notify gag;
    gag.user_id = kBob;
    Receive(gag);
    ASSERT_TRUE(BUDDY_AddFriend(session.buddy(), kBob, "bob"));
    EXPECT_EQ(States(*BuildUserMenu(session, kBob, roles, {})), "e--e--eee");

    auto me = BuildUserMenu(session, kMe, roles, {});
    ASSERT_TRUE(me);
    EXPECT_EQ(States(*me), "e-d---ded");
    // A role change moves the check.
    msg::Control_Power_Notify power;
    power.user_id = kDave;
    power.role = kManager;
    Receive(power);
    EXPECT_EQ(Offered(*BuildUserMenu(session, kDave, roles, {})), "1,3*,7,20");
}

TEST_F(SessionMenu, ARoleIsGivenForTheDaysChosenOrAtOnceForGood) {
    Enter(kOwner);
    LoadPowers();
    auto dave = BuildUserMenu(session, kDave, roles, {});
    ASSERT_TRUE(dave);

    // The anchor role asks for days: 30 typed become 43200 minutes.
    const RoleMenuEntry* anchor = dave->Role("MenuElementPower_2");
    ASSERT_TRUE(anchor && anchor->asksDays);
    const auto typed = role_days::ForChoice(role_days::kTypedChoice, "30");
    ASSERT_EQ(typed.status, role_days::Outcome::Status::ok);
    ASSERT_EQ(moderation->SetPower(kDave, anchor->role, typed.days), CRoomModeration::Result::sent);
    auto sent = link.Last<msg::Control_Set_Power_Req>();
    EXPECT_EQ(sent.role, kAnchor);
    EXPECT_EQ(sent.duration, 43200u);

    // The manager role holds power 6, and role 20 is role 20: 6000 days at once.
    for (const char* element : {"MenuElementPower_1", "MenuElementPower_3"}) {
        const RoleMenuEntry* r = dave->Role(element);
        ASSERT_TRUE(r && !r->asksDays) << element;
        ASSERT_EQ(moderation->SetPower(kDave, r->role, role_days::kMaxDays), CRoomModeration::Result::sent);
        EXPECT_EQ(link.Last<msg::Control_Set_Power_Req>().duration, 8640000u) << element;
    }
}
