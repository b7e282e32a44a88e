// The anchor microphone and the mic queue in zeri-server over real TCP: who
// may take, give and use a microphone and run the queue, what the room hears
// of it, and how the queue's clock turns. Expectations are written out by hand
// from the demo's rules (docs/server.md), never computed with the power lookup.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "net/catalogue_media.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "mic_fixture.h"

using namespace server;
using namespace std::chrono_literals;
using srvtest::RawClient;
using namespace srvtest::mic;

namespace {

// The next queue list, or nothing within the wait.
std::optional<msg::Control_Wheat_List_Notify> List(RawClient& c,
                                                   std::chrono::milliseconds wait = 5s) {
    return c.Notice<msg::Control_Wheat_List_Notify>(wait);
}
using Ids = std::vector<std::uint32_t>;

void SetRole(CServerDb& db, std::uint32_t user, std::uint8_t role) {
    ASSERT_TRUE(role == kRoleGuest ? db.RemoveRoomRole(kLobby, user)
                                   : db.SetRoomRole(kLobby, user, role, 0));
}

// --- the matrix --------------------------------------------------------------

enum class Request {
    setmic, top, addtime, remove,  // over a target
    open, rob, control, disable, removeall, speak1, speak2, speak3, speak4
};

struct MatrixCase {
    Request request;
    std::uint8_t actor;
    std::uint8_t target;  // the target's role, or 0
    std::uint32_t code;   // 0 allowed
};

const char* NameOf(Request r) {
    constexpr const char* names[] = {"setmic",  "top",     "addtime",   "remove", "open",
                                     "rob",     "control", "disable",   "removeall",
                                     "speakmode1", "speakmode2", "speakmode3", "speakmode4"};
    return names[static_cast<int>(r)];
}
const char* RoleName(std::uint8_t role) {
    switch (role) {
        case kRoleOwner: return "owner";
        case kRoleManager: return "manager";
        case kRoleAnchor: return "anchor";
        case kRoleGuest: return "guest";
        default: return "none";
    }
}

// '+' allowed, '-' refused with 1020, '3' refused with 1027. Targeted rows:
// columns are the target's role owner, manager, anchor, guest. The others:
// one column per request of kPlain.
struct Row {
    Request request;
    std::uint8_t actor;
    const char* cells;
};
constexpr Row kTargeted[] = {
    {Request::setmic, kRoleOwner, "++++"},   {Request::setmic, kRoleManager, "++++"},
    {Request::setmic, kRoleAnchor, "----"},  {Request::setmic, kRoleGuest, "----"},
    {Request::top, kRoleOwner, "++++"},      {Request::top, kRoleManager, "++++"},
    {Request::top, kRoleAnchor, "----"},     {Request::top, kRoleGuest, "----"},
    {Request::addtime, kRoleOwner, "++++"},  {Request::addtime, kRoleManager, "++++"},
    {Request::addtime, kRoleAnchor, "----"}, {Request::addtime, kRoleGuest, "----"},
    {Request::remove, kRoleOwner, "++++"},   {Request::remove, kRoleManager, "++++"},
    {Request::remove, kRoleAnchor, "----"},  {Request::remove, kRoleGuest, "----"},
};
constexpr Request kPlain[] = {Request::open,      Request::rob,    Request::control,
                              Request::disable,   Request::removeall, Request::speak1,
                              Request::speak2,    Request::speak3, Request::speak4};
// Columns: open, rob, control, disable, remove all, then a free-speech
// turn in modes 1, 2, 3 and 4 (at the head of the queue).
constexpr Row kPlainRows[] = {
    {Request::open, kRoleOwner, "+++++++3+"},
    {Request::open, kRoleManager, "+++++++3+"},
    {Request::open, kRoleAnchor, "++---++3+"},
    {Request::open, kRoleGuest, "++---+-3+"},
};

std::vector<MatrixCase> AllCases() {
    constexpr std::uint8_t roles[] = {kRoleOwner, kRoleManager, kRoleAnchor, kRoleGuest};
    const auto code = [](char c) -> std::uint32_t {
        return c == '+' ? 0 : c == '3' ? room_error::wrong_mode : room_error::no_power;
    };
    std::vector<MatrixCase> out;
    for (const Row& r : kTargeted)
        for (int i = 0; i < 4; ++i) out.push_back({r.request, r.actor, roles[i], code(r.cells[i])});
    for (const Row& r : kPlainRows)
        for (std::size_t i = 0; i < std::size(kPlain); ++i)
            out.push_back({kPlain[i], r.actor, 0, code(r.cells[i])});
    return out;
}

class MicQueueMatrix : public ::testing::TestWithParam<MatrixCase> {
protected:
    MicServer server;
};

// Alice acts with the case's role, Bob is the target, Carol (a guest) watches.
TEST_P(MicQueueMatrix, AllowedIsAnsweredAndRelayedRefusedTouchesNothing) {
    const MatrixCase c = GetParam();
    const bool queued = c.request == Request::top || c.request == Request::addtime ||
                        c.request == Request::remove || c.request == Request::rob ||
                        c.request == Request::control || c.request == Request::disable ||
                        c.request == Request::removeall || c.request == Request::speak4;
    std::uint8_t mode = queued ? 4 : 1;
    if (c.request == Request::speak2) mode = 2;
    if (c.request == Request::speak3) mode = 3;
    server.Start([&](CServerDb& db) {
        SetRole(db, kAlice, c.actor);
        SetRole(db, kBob, c.target ? c.target : kRoleGuest);
        SetRole(db, kCarol, kRoleGuest);
        ASSERT_TRUE(db.SetRoomMode(kLobby, mode));
    });
    std::string key;
    auto alice = server.In(kAlice, &key);
    auto bob = server.In(kBob);
    auto carol = server.In(kCarol);
    MicServer::Quiet(*alice);
    MicServer::Quiet(*bob);
    // The queue's requests find Carol and then Bob queued.
    if (queued && c.request != Request::rob) {
        for (auto* who : {carol.get(), bob.get()}) {
            const std::uint32_t id = who == carol.get() ? kCarol : kBob;
            auto r = Order<msg::Control_Rob_Wheat_Resp>(*who, Of<msg::Control_Rob_Wheat_Req>(id));
            ASSERT_TRUE(r && r->ok());
        }
        if (c.request == Request::speak4) {
            auto r = Order<msg::Control_Rob_Wheat_Resp>(*alice,
                                                        Of<msg::Control_Rob_Wheat_Req>(kAlice));
            ASSERT_TRUE(r && r->ok());
            auto top = Order<msg::plain_resp<cmd::Control_Top_Wheat_Req + 1>>(
                *alice, Of<msg::Control_Top_Wheat_Req>(kAlice));
            ASSERT_TRUE(top);
            // Only the managers may put themselves first; the others wait
            // for the two turns ahead of them.
            if (!top->ok()) {
                for (int i = 0; i < 2; ++i) {
                    server.clock.AdvanceWall(300);
                    server.rooms().OnTick(server.clock.Now());
                }
            }
            ASSERT_EQ(server.rooms().QueueOf(kLobby).front(), kAlice);
        }
        for (auto* who : {alice.get(), bob.get(), carol.get()}) MicServer::Quiet(*who);
    }
    const Ids before = server.rooms().QueueOf(kLobby);
    const std::uint32_t want = c.code;
    // Carol hears a queue list, or for a refusal nothing at all.
    const auto carolHearsList = [&]() {
        auto n = List(*carol, want ? 150ms : 5000ms);
        EXPECT_EQ(n.has_value(), want == 0);
        return n;
    };

    switch (c.request) {
        case Request::setmic: {
            auto r = Order<msg::Control_Set_User_Mic_Resp>(
                *alice, Of<msg::Control_Set_User_Mic_Req>(kAlice, kBob));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            auto granted = bob->Notice<msg::Control_Open_Mic_Resp>(want ? 150ms : 5000ms);
            auto seen = carol->Notice<msg::Control_Anchor_Notify>(want ? 150ms : 5000ms);
            EXPECT_EQ(granted.has_value(), want == 0);
            EXPECT_EQ(seen.has_value(), want == 0);
            if (!want) {
                EXPECT_EQ(granted->user_id, 0u);
                EXPECT_TRUE(granted->ok());
                EXPECT_EQ(seen->anchor.user_id.value_or(0), kBob);
            }
            EXPECT_EQ(server.rooms().AnchorOf(kLobby), want ? 0 : kBob);
            break;
        }
        case Request::top:
        case Request::addtime:
        case Request::remove: {
            std::uint32_t code = 0;
            if (c.request == Request::top) {
                auto r = Order<msg::plain_resp<cmd::Control_Top_Wheat_Req + 1>>(
                    *alice, Of<msg::Control_Top_Wheat_Req>(kBob));
                ASSERT_TRUE(r);
                code = r->code;
            } else if (c.request == Request::addtime) {
                auto r = Order<msg::Control_Add_WheatTm_Resp>(
                    *alice, Of<msg::Control_Add_WheatTm_Req>(kBob));
                ASSERT_TRUE(r);
                code = r->code;
            } else {
                auto r = Order<msg::Control_Remove_Wheat_Resp>(
                    *alice, Of<msg::Control_Remove_Wheat_Req>(kBob));
                ASSERT_TRUE(r);
                code = r->code;
                EXPECT_EQ(r->user_id, kBob);
            }
            EXPECT_EQ(code, want);
            auto n = carolHearsList();
            const Ids after = want ? before
                              : c.request == Request::top    ? Ids{kBob, kCarol}
                              : c.request == Request::remove ? Ids{kCarol}
                                                             : Ids{kCarol, kBob};
            if (n) {
                EXPECT_EQ(n->queue, after);
            }
            EXPECT_EQ(server.rooms().QueueOf(kLobby), after);
            break;
        }
        case Request::open: {
            auto r = Order<msg::Control_Open_Mic_Resp>(*alice, OpenMic(kAlice));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            EXPECT_EQ(r->user_id, 0u);
            auto seen = carol->Notice<msg::Control_Anchor_Notify>();
            ASSERT_TRUE(seen);
            EXPECT_EQ(seen->anchor.user_id.value_or(0), kAlice);
            break;
        }
        case Request::rob: {
            auto r = Order<msg::Control_Rob_Wheat_Resp>(*alice, Of<msg::Control_Rob_Wheat_Req>(kAlice));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            auto n = carolHearsList();
            if (n) {
                EXPECT_EQ(n->queue, Ids{kAlice});
            }
            break;
        }
        case Request::control:
        case Request::disable: {
            std::optional<std::uint32_t> code;
            if (c.request == Request::control) {
                auto r = Order<msg::Control_Control_Wheat_Resp>(
                    *alice, Of<msg::Control_Control_Wheat_Req>(kAlice, 1));
                if (r) {
                    code = r->code;
                    EXPECT_EQ(r->value, 1u);
                }
            } else {
                auto r = Order<msg::Control_Disable_Wheat_Resp>(
                    *alice, Of<msg::Control_Disable_Wheat_Req>(kAlice, 1));
                if (r) {
                    code = r->code;
                    EXPECT_EQ(r->value, 1u);
                }
            }
            ASSERT_TRUE(code);
            EXPECT_EQ(*code, want);
            auto n = carolHearsList();
            if (n && c.request == Request::control) {
                EXPECT_EQ(n->controlled, 1);
                EXPECT_EQ(n->remaining, 0);
            }
            if (n && c.request == Request::disable) {
                EXPECT_EQ(n->forbidden, 1);
            }
            break;
        }
        case Request::removeall: {
            auto r = Order<msg::Control_RemoveAll_Wheat_Resp>(
                *alice, Of<msg::Control_RemoveAll_Wheat_Req>(kAlice));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            auto n = carolHearsList();
            if (n) {
                EXPECT_TRUE(n->queue.empty());
            }
            EXPECT_EQ(server.rooms().QueueOf(kLobby).size(), want ? 2u : 0u);
            break;
        }
        default: {  // a free-speech turn on the media channel
            auto media = server.Media(kAlice, key);
            auto r = Order<msg::Mix_Open_Mic_Resp>(*media, MixOpen(kAlice, 0), kMix);
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            if (!want) {
                EXPECT_EQ(r->user_id, kAlice);
                EXPECT_EQ(r->room_id, kLobby);
            }
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Demo, MicQueueMatrix, ::testing::ValuesIn(AllCases()),
    [](const ::testing::TestParamInfo<MatrixCase>& info) {
        const MatrixCase& c = info.param;
        std::string name = std::string(RoleName(c.actor)) + "_" + NameOf(c.request);
        if (c.target) name += std::string("_") + RoleName(c.target);
        return name;
    });

// --- the queue ----------------------------------------------------------------

class MicQueueRoom : public ::testing::Test {
protected:
    // Room 1001 in mode 4; Alice owns it, Bob manages, Carol and Dave join.
    void SetUp() override {
        server.Start([](CServerDb& db) { ASSERT_TRUE(db.SetRoomMode(kLobby, 4)); });
        alice = server.In(kAlice);
        bob = server.In(kBob);
        carol = server.In(kCarol);
        dave = server.In(kDave);
        for (auto* c : all()) MicServer::Quiet(*c);
    }
    std::vector<RawClient*> all() { return {alice.get(), bob.get(), carol.get(), dave.get()}; }
    void Rob(RawClient& c, std::uint32_t me) {
        auto r = Order<msg::Control_Rob_Wheat_Resp>(c, Of<msg::Control_Rob_Wheat_Req>(me));
        ASSERT_TRUE(r && r->ok()) << me;
        EXPECT_EQ(r->user_id, me);
    }
    // The latest list Dave has heard, after `n` of them.
    msg::Control_Wheat_List_Notify Heard(int n = 1) {
        std::optional<msg::Control_Wheat_List_Notify> last;
        for (int i = 0; i < n; ++i) last = List(*dave);
        EXPECT_TRUE(last);
        return last.value_or(msg::Control_Wheat_List_Notify{});
    }
    void Tick(std::int64_t seconds) {
        server.clock.AdvanceWall(seconds);
        server.rooms().OnTick(server.clock.Now());
    }

    MicServer server;
    std::unique_ptr<RawClient> alice, bob, carol, dave;
};

TEST_F(MicQueueRoom, RobsQueueInOrderAndEveryoneSeesTheSameList) {
    Rob(*carol, kCarol);
    Rob(*dave, kDave);
    Rob(*alice, kAlice);
    for (auto* c : all()) {
        List(*c);
        List(*c);
        auto n = List(*c);
        ASSERT_TRUE(n);
        EXPECT_EQ(n->queue, (Ids{kCarol, kDave, kAlice}));
        EXPECT_EQ(n->controlled, 0);
        EXPECT_EQ(n->forbidden, 0);
        EXPECT_GE(n->remaining, 299);
        EXPECT_LE(n->remaining, 300);
    }
    // Once in the queue is enough.
    auto again = Order<msg::Control_Rob_Wheat_Resp>(*dave, Of<msg::Control_Rob_Wheat_Req>(kDave));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->code, room_error::already);
    // A newcomer hears the holder of the microphone and the queue at login.
    auto fresh = std::make_unique<RawClient>(server.srv->port(), "pc_chat");
    msg::Control_Login_Req login;
    login.user_id = kErin, login.room_id = kLobby, login.token = server.tokens[kErin];
    ASSERT_TRUE(fresh->Ask<msg::Control_Login_Resp>(kChat, login));
    ASSERT_TRUE(fresh->Notice<msg::Control_Anchor_Notify>());
    auto welcome = List(*fresh);
    ASSERT_TRUE(welcome);
    EXPECT_EQ(welcome->queue, (Ids{kCarol, kDave, kAlice}));
    // Leaving the queue: the head's place goes to the next, with a new turn.
    auto put = Order<msg::Control_Put_Wheat_Resp>(*carol, Of<msg::Control_Put_Wheat_Req>(kCarol));
    ASSERT_TRUE(put && put->ok());
    EXPECT_EQ(Heard().queue, (Ids{kDave, kAlice}));
    // Not queued: nothing changes, nobody hears of it.
    put = Order<msg::Control_Put_Wheat_Resp>(*carol, Of<msg::Control_Put_Wheat_Req>(kCarol));
    ASSERT_TRUE(put && put->ok());
    EXPECT_FALSE(List(*dave, 150ms));
}

TEST_F(MicQueueRoom, TurnsEndOnTheClockUnlessControlledAndAddedTimeCounts) {
    Rob(*carol, kCarol);
    Rob(*dave, kDave);
    Heard(2);
    Tick(299);
    EXPECT_EQ(server.rooms().QueueOf(kLobby), (Ids{kCarol, kDave}));
    Tick(1);
    auto n = Heard();
    EXPECT_EQ(n.queue, Ids{kDave});
    EXPECT_GE(n.remaining, 299);  // the next head gets a whole turn

    // Under control the head keeps the microphone and the list shows no count.
    auto ctl = Order<msg::Control_Control_Wheat_Resp>(*bob, Of<msg::Control_Control_Wheat_Req>(kBob, 1));
    ASSERT_TRUE(ctl && ctl->ok());
    n = Heard();
    EXPECT_EQ(n.controlled, 1);
    EXPECT_EQ(n.remaining, 0);
    Tick(10000);
    EXPECT_EQ(server.rooms().QueueOf(kLobby), Ids{kDave});
    // The same switch again changes nothing and is not relayed.
    ctl = Order<msg::Control_Control_Wheat_Resp>(*bob, Of<msg::Control_Control_Wheat_Req>(kBob, 1));
    ASSERT_TRUE(ctl && ctl->ok());
    EXPECT_FALSE(List(*dave, 150ms));
    // Released: a fresh turn, one more on request.
    ctl = Order<msg::Control_Control_Wheat_Resp>(*bob, Of<msg::Control_Control_Wheat_Req>(kBob, 0));
    ASSERT_TRUE(ctl && ctl->ok());
    EXPECT_GE(Heard().remaining, 299);
    auto add = Order<msg::Control_Add_WheatTm_Resp>(*alice, Of<msg::Control_Add_WheatTm_Req>(kDave));
    ASSERT_TRUE(add && add->ok());
    n = Heard();
    EXPECT_GE(n.remaining, 599);
    EXPECT_LE(n.remaining, 600);
    Tick(599);
    EXPECT_EQ(server.rooms().QueueOf(kLobby), Ids{kDave});
    Tick(1);
    EXPECT_TRUE(Heard().queue.empty());

    // Top: the chosen user speaks first, for a whole turn.
    Rob(*carol, kCarol);
    Rob(*alice, kAlice);
    Rob(*dave, kDave);
    Heard(3);
    Tick(200);
    auto top = Order<msg::plain_resp<cmd::Control_Top_Wheat_Req + 1>>(
        *bob, Of<msg::Control_Top_Wheat_Req>(kDave));
    ASSERT_TRUE(top && top->ok());
    n = Heard();
    EXPECT_EQ(n.queue, (Ids{kDave, kCarol, kAlice}));
    EXPECT_GE(n.remaining, 299);
}

TEST_F(MicQueueRoom, ForbiddenJoiningRemovalAndTheSwitchesValues) {
    auto ban = Order<msg::Control_Disable_Wheat_Resp>(*alice, Of<msg::Control_Disable_Wheat_Req>(kAlice, 1));
    ASSERT_TRUE(ban && ban->ok());
    EXPECT_EQ(Heard().forbidden, 1);
    auto rob = Order<msg::Control_Rob_Wheat_Resp>(*dave, Of<msg::Control_Rob_Wheat_Req>(kDave));
    ASSERT_TRUE(rob);
    EXPECT_EQ(rob->code, room_error::queue_closed);
    EXPECT_EQ(rob->message, "当前禁止排麦");
    EXPECT_TRUE(server.rooms().QueueOf(kLobby).empty());
    ban = Order<msg::Control_Disable_Wheat_Resp>(*alice, Of<msg::Control_Disable_Wheat_Req>(kAlice, 0));
    ASSERT_TRUE(ban && ban->ok());
    EXPECT_EQ(Heard().forbidden, 0);
    Rob(*dave, kDave);
    Rob(*carol, kCarol);
    Heard(2);

    // A switch is 0 or 1; wider values are refused, not cut.
    for (std::uint32_t v : {2u, 0x100u}) {
        auto r = Order<msg::Control_Control_Wheat_Resp>(*bob, Of<msg::Control_Control_Wheat_Req>(kBob, v));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->code, room_error::bad_value);
    }
    // 2^32 + 1 in a 32-bit field is refused, never read as 1.
    {
        TLV::body wide;
        wide.put_u32(1, kBob);
        wide.put_u64(2, (std::uint64_t{1} << 32) | 1);
        const unsigned char* bytes = nullptr;
        std::size_t n = 0;
        wide.encode(bytes, n);
        bob->SendRaw(kChat, cmd::Control_Control_Wheat_Req,
                     std::string(reinterpret_cast<const char*>(bytes), n));
        auto r = bob->Notice<msg::Control_Control_Wheat_Resp>();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->code, room_error::bad_value);
    }
    // Targets: nobody, a stranger, a member not queued.
    const std::pair<std::uint32_t, std::uint32_t> targets[] = {
        {0, room_error::bad_request}, {99999, room_error::not_in_room},
        {kAlice, room_error::not_queued}};
    for (auto [target, code] : targets) {
        auto r = Order<msg::Control_Remove_Wheat_Resp>(*bob, Of<msg::Control_Remove_Wheat_Req>(target));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->code, code) << target;
        auto t = Order<msg::plain_resp<cmd::Control_Top_Wheat_Req + 1>>(
            *bob, Of<msg::Control_Top_Wheat_Req>(target));
        ASSERT_TRUE(t);
        EXPECT_EQ(t->code, code) << target;
        EXPECT_FALSE(t->message.empty());
    }
    EXPECT_FALSE(List(*dave, 150ms));
    auto rm = Order<msg::Control_Remove_Wheat_Resp>(*bob, Of<msg::Control_Remove_Wheat_Req>(kDave));
    ASSERT_TRUE(rm && rm->ok());
    EXPECT_EQ(Heard().queue, Ids{kCarol});
    auto all = Order<msg::Control_RemoveAll_Wheat_Resp>(*bob, Of<msg::Control_RemoveAll_Wheat_Req>(0));
    ASSERT_TRUE(all && all->ok());  // its user tag is not looked at
    EXPECT_TRUE(Heard().queue.empty());
}

TEST_F(MicQueueRoom, ATagOneNamingAnotherUserIsRefusedAndNothingRelayed) {
    auto rob = Order<msg::Control_Rob_Wheat_Resp>(*dave, Of<msg::Control_Rob_Wheat_Req>(kCarol));
    ASSERT_TRUE(rob);
    EXPECT_EQ(rob->code, room_error::bad_request);
    auto ctl = Order<msg::Control_Control_Wheat_Resp>(*bob, Of<msg::Control_Control_Wheat_Req>(kAlice, 1));
    ASSERT_TRUE(ctl);
    EXPECT_EQ(ctl->code, room_error::bad_request);
    auto give = Order<msg::Control_Set_User_Mic_Resp>(*bob, Of<msg::Control_Set_User_Mic_Req>(kAlice, kDave));
    ASSERT_TRUE(give);
    EXPECT_EQ(give->code, room_error::bad_request);
    auto open = Order<msg::Control_Open_Mic_Resp>(*dave, OpenMic(kCarol));
    ASSERT_TRUE(open);
    EXPECT_EQ(open->code, room_error::bad_request);
    msg::Control_Open_Mic_Req otherRoom = OpenMic(kDave);
    otherRoom.room_id = 1002;
    open = Order<msg::Control_Open_Mic_Resp>(*dave, otherRoom);
    ASSERT_TRUE(open);
    EXPECT_EQ(open->code, room_error::bad_request);
    EXPECT_FALSE(List(*carol, 150ms));
    EXPECT_FALSE(carol->Notice<msg::Control_Anchor_Notify>(50ms));
    EXPECT_TRUE(server.rooms().QueueOf(kLobby).empty());
    EXPECT_EQ(server.rooms().AnchorOf(kLobby), 0u);
    // The connection is kept.
    Rob(*dave, kDave);
}

TEST_F(MicQueueRoom, LeavingFreesTheMicrophoneAndThePlace) {
    auto open = Order<msg::Control_Open_Mic_Resp>(*carol, OpenMic(kCarol));
    ASSERT_TRUE(open && open->ok());
    EXPECT_EQ(open->user_id, 0u);
    auto seen = dave->Notice<msg::Control_Anchor_Notify>();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->anchor.user_id.value_or(0), kCarol);
    // Taken: the answer names the holder, as a success.
    auto other = Order<msg::Control_Open_Mic_Resp>(*alice, OpenMic(kAlice));
    ASSERT_TRUE(other && other->ok());
    EXPECT_EQ(other->user_id, kCarol);
    // Giving it away needs it free.
    auto give = Order<msg::Control_Set_User_Mic_Resp>(*bob, Of<msg::Control_Set_User_Mic_Req>(kBob, kDave));
    ASSERT_TRUE(give);
    EXPECT_EQ(give->code, room_error::mic_taken);
    Rob(*carol, kCarol);
    Rob(*dave, kDave);
    Heard(2);
    carol->Close();
    auto freed = dave->Notice<msg::Control_Anchor_Notify>();
    ASSERT_TRUE(freed);
    EXPECT_FALSE(freed->anchor.user_id.has_value());
    // Carol's leaving comes before it; the list after it.
    auto n = Heard();
    EXPECT_EQ(n.queue, Ids{kDave});
    EXPECT_GE(n.remaining, 299);
    EXPECT_EQ(server.rooms().AnchorOf(kLobby), 0u);
    // Closing a microphone one does not hold changes nothing.
    auto close = Order<msg::Control_Close_Mic_Resp>(*alice, msg::Control_Close_Mic_Req{kAlice, kLobby});
    ASSERT_TRUE(close && close->ok());
    EXPECT_FALSE(dave->Notice<msg::Control_Anchor_Notify>(150ms));
}

TEST_F(MicQueueRoom, LeavingModeFourEmptiesTheQueue) {
    Rob(*carol, kCarol);
    Heard();
    msg::Control_Set_Room_Mode_Req mode;
    mode.user_id = kAlice, mode.mode = 1;
    auto r = Order<msg::Control_Set_Room_Mode_Resp>(*alice, mode);
    ASSERT_TRUE(r && r->ok());
    EXPECT_TRUE(Heard().queue.empty());
    EXPECT_TRUE(server.rooms().QueueOf(kLobby).empty());
    auto rob = Order<msg::Control_Rob_Wheat_Resp>(*dave, Of<msg::Control_Rob_Wheat_Req>(kDave));
    ASSERT_TRUE(rob);
    EXPECT_EQ(rob->code, room_error::wrong_mode);
}

TEST(MicQueueTurns, TheRoomsStoredTurnLengthCountsAndAddedTimeStopsAtTheCountersLimit) {
    MicServer server;
    server.Start([](CServerDb& db) {
        RoomRecord r = *db.RoomById(kLobby);
        r.mode = 4;
        r.micTurnSeconds = 40000;
        ASSERT_TRUE(db.PutRoom(r, true));
        // The column keeps to what the list's counter can show.
        r.micTurnSeconds = 0;
        EXPECT_FALSE(db.PutRoom(r, true));
    });
    EXPECT_EQ(server.srv->db().RoomById(kLobby)->micTurnSeconds, 40000u);
    auto alice = server.In(kAlice);
    auto dave = server.In(kDave);
    MicServer::Quiet(*alice);
    auto rob = Order<msg::Control_Rob_Wheat_Resp>(*dave, Of<msg::Control_Rob_Wheat_Req>(kDave));
    ASSERT_TRUE(rob && rob->ok());
    auto n = List(*alice);
    ASSERT_TRUE(n);
    EXPECT_GE(n->remaining, 39999);
    EXPECT_LE(n->remaining, 40000);
    auto add = Order<msg::Control_Add_WheatTm_Resp>(*alice, Of<msg::Control_Add_WheatTm_Req>(kDave));
    ASSERT_TRUE(add && add->ok());
    n = List(*alice);
    ASSERT_TRUE(n);
    EXPECT_GE(n->remaining, 65534);
    EXPECT_LE(n->remaining, 65535);
}

TEST(MicQueueAnchor, PowerLostLosesTheMicrophoneAndTheMediaChannelChecksTheSlot) {
    MicServer server;
    // Guests may not take the microphone here.
    server.Start([](CServerDb& db) {
        ASSERT_TRUE(db.PutPowerRule({19, kRoleGuest, 0, 0}, true));
    });
    EXPECT_EQ(server.srv->db().RoomById(kLobby)->micTurnSeconds, 300u);
    std::string key;
    auto carol = server.In(kCarol, &key);
    auto bob = server.In(kBob);
    auto dave = server.In(kDave);
    MicServer::Quiet(*carol);
    MicServer::Quiet(*bob);
    auto media = server.Media(kCarol, key);
    // Not holding it: no anchor stream.
    auto mix = Order<msg::Mix_Open_Mic_Resp>(*media, MixOpen(kCarol, 1), kMix);
    ASSERT_TRUE(mix);
    EXPECT_EQ(mix->code, room_error::no_power);
    auto bad = Order<msg::Mix_Open_Mic_Resp>(*media, MixOpen(kCarol, 2), kMix);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->code, room_error::bad_value);
    auto other = Order<msg::Mix_Open_Mic_Resp>(*media, MixOpen(kDave, 1), kMix);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->code, room_error::bad_request);
    // A guest is refused the microphone, and nobody may give it to one.
    auto refused = Order<msg::Control_Open_Mic_Resp>(*dave, OpenMic(kDave));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code, room_error::no_power);
    EXPECT_EQ(refused->message, "无权限!");
    auto give = Order<msg::Control_Set_User_Mic_Resp>(*bob, Of<msg::Control_Set_User_Mic_Req>(kBob, kDave));
    ASSERT_TRUE(give);
    EXPECT_EQ(give->code, room_error::no_power);
    auto open = Order<msg::Control_Open_Mic_Resp>(*carol, OpenMic(kCarol));
    ASSERT_TRUE(open && open->ok());
    mix = Order<msg::Mix_Open_Mic_Resp>(*media, MixOpen(kCarol, 1), kMix);
    ASSERT_TRUE(mix && mix->ok());
    EXPECT_EQ(mix->value3, 1u);
    MicServer::Quiet(*dave);
    // Made a guest, Carol loses it; everyone hears the slot free.
    msg::Control_Set_Power_Req demote;
    demote.user_id = kBob, demote.target_id = kCarol, demote.role = kRoleGuest, demote.duration = 60;
    auto r = Order<msg::Control_Set_Power_Resp>(*bob, demote);
    ASSERT_TRUE(r && r->ok());
    auto freed = dave->Notice<msg::Control_Anchor_Notify>();
    ASSERT_TRUE(freed);
    EXPECT_FALSE(freed->anchor.user_id.has_value());
    EXPECT_EQ(server.rooms().AnchorOf(kLobby), 0u);
    mix = Order<msg::Mix_Open_Mic_Resp>(*media, MixOpen(kCarol, 1), kMix);
    ASSERT_TRUE(mix);
    EXPECT_EQ(mix->code, room_error::no_power);
}

TEST(MicQueueFull, TheHundredAndFirstRobIsRefusedAndNothingIsRelayed) {
    // The five demo users and 96 more, all guests of the lobby in mode 4.
    MicServer server;
    Ids extra;
    server.Start([&](CServerDb& db) {
        ASSERT_TRUE(db.SetRoomMode(kLobby, 4));
        for (int i = 0; i < 96; ++i) {
            std::uint32_t id = 0;
            std::string why;
            const std::string name = "queuer" + std::to_string(i);
            ASSERT_TRUE(db.AddUser(name, name + "-pw", name, 0, 0, 1000, &id, why)) << why;
            extra.push_back(id);
            server.tokens[id] = db.IssueToken(id, std::time(nullptr), 86400);
        }
    });
    Ids everyone = {kAlice, kBob, kCarol, kDave, kErin};
    everyone.insert(everyone.end(), extra.begin(), extra.end());
    ASSERT_EQ(everyone.size(), 101u);
    // Logged in without waiting for quiet after each; what piles up unread
    // stays far below the server's output limit.
    std::vector<std::unique_ptr<RawClient>> in;
    for (std::uint32_t id : everyone) {
        in.push_back(std::make_unique<RawClient>(server.srv->port(), "pc_chat"));
        msg::Control_Login_Req login;
        login.user_id = id, login.room_id = kLobby, login.token = server.tokens[id];
        auto resp = in.back()->Ask<msg::Control_Login_Resp>(kChat, login);
        ASSERT_TRUE(resp && resp->ok()) << id;
    }
    for (std::size_t i = 0; i < 100; ++i) {
        auto r = Order<msg::Control_Rob_Wheat_Resp>(*in[i], Of<msg::Control_Rob_Wheat_Req>(everyone[i]));
        ASSERT_TRUE(r && r->ok()) << everyone[i];
    }
    const Ids full(everyone.begin(), everyone.begin() + 100);
    ASSERT_EQ(server.rooms().QueueOf(kLobby), full);
    // The first member hears the lists up to the full one; after this, nothing.
    std::optional<msg::Control_Wheat_List_Notify> heard, next;
    while ((next = List(*in[0], heard && heard->queue == full ? 100ms : 5s))) heard = next;
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->queue, full);

    RawClient& last = *in[100];
    auto r = Order<msg::Control_Rob_Wheat_Resp>(last, Of<msg::Control_Rob_Wheat_Req>(everyone[100]));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, room_error::queue_full);
    EXPECT_EQ(r->message, "麦序已满");
    EXPECT_FALSE(List(*in[0], 200ms));
    EXPECT_EQ(server.rooms().QueueOf(kLobby), full);

    // A place set free is taken: it was the count that refused, nothing else.
    auto put = Order<msg::Control_Put_Wheat_Resp>(*in[99], Of<msg::Control_Put_Wheat_Req>(everyone[99]));
    ASSERT_TRUE(put && put->ok());
    r = Order<msg::Control_Rob_Wheat_Resp>(last, Of<msg::Control_Rob_Wheat_Req>(everyone[100]));
    ASSERT_TRUE(r && r->ok());
    EXPECT_EQ(server.rooms().QueueOf(kLobby).back(), everyone[100]);
    EXPECT_EQ(server.rooms().QueueOf(kLobby).size(), 100u);
}

}  // namespace
