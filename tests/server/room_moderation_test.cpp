// Moderation in zeri-server over real TCP: who may kick, gag, set powers and
// change the room mode, what the room hears of it, and what is stored. The
// expectations are written out by hand from the demo's rules (docs/server.md),
// never computed with the power lookup the server uses.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "net/catalogue_chat.h"
#include "net/catalogue_media.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "net/power.h"
#include "server/room_chat.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

using namespace server;
using namespace std::chrono_literals;
using srvtest::RawClient;

namespace {

constexpr std::uint8_t kChat = 1;
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003, kDave = 10004,
                        kErin = 10005;
constexpr std::uint32_t kLobby = 1001, kMusic = 1002;

class ModerationServer {
public:
    // Seeds the demo, lets `arrange` change the database, starts the server.
    void Start(const std::function<void(CServerDb&)>& arrange = {}) {
        CServerDb db;
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        for (std::uint32_t id : {kAlice, kBob, kCarol, kDave, kErin})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 3600);
        if (arrange) arrange(db);
        db.Close();
        Run();
    }
    void Run() {
        ServerOptions o = srvtest::LocalServerOptions(dir.path());
        srv = std::make_unique<CZeriServer>(o, RoomLimits{}, &clock);
        std::string err;
        ASSERT_TRUE(srv->Start(err)) << err;
    }
    void Restart() {
        srv->Stop();
        srv.reset();
        Run();
    }
    ~ModerationServer() {
        if (srv) srv->Stop();
    }

    // A chat login's answer, or nothing.
    std::optional<msg::Control_Login_Resp> Login(RawClient& c, std::uint32_t user,
                                                 std::uint32_t room) {
        msg::Control_Login_Req r;
        r.user_id = user;
        r.room_id = room;
        r.token = tokens[user];
        return c.Ask<msg::Control_Login_Resp>(kChat, r);
    }
    std::unique_ptr<RawClient> In(std::uint32_t user, std::uint32_t room = kLobby) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_chat");
        auto resp = Login(*c, user, room);
        EXPECT_TRUE(resp && resp->ok()) << user;
        return c;
    }
    std::int64_t Logged() { return srv->db().CountRows("moderation_log"); }


    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
};

// Sends a moderation request and waits for its answer; the actor's own
// copy of a notify may come first, and is passed over.
template <class Resp, class Req>
std::optional<Resp> Order(RawClient& c, const Req& r) {
    c.Send(kChat, r);
    return c.Notice<Resp>();
}

msg::Control_Gag_Req Gag(std::uint32_t me, std::uint32_t target, std::string reason = "刷屏") {
    msg::Control_Gag_Req r;
    r.user_id = me, r.target_id = target, r.reason = std::move(reason), r.option = 1;
    return r;
}
msg::Control_Cancel_Gag_Req Ungag(std::uint32_t me, std::uint32_t target) {
    msg::Control_Cancel_Gag_Req r;
    r.user_id = me, r.target_id = target;
    return r;
}
msg::Control_Kick_Req Kick(std::uint32_t target, std::uint32_t seconds,
                           std::string reason = "广告") {
    msg::Control_Kick_Req r;
    r.target_id = target, r.duration = seconds, r.reason = std::move(reason);
    return r;
}
msg::Control_Set_Power_Req Power(std::uint32_t me, std::uint32_t target, std::uint8_t role,
                                 std::uint32_t minutes) {
    msg::Control_Set_Power_Req r;
    r.user_id = me, r.target_id = target, r.role = role, r.duration = minutes;
    return r;
}
msg::Control_Set_Room_Mode_Req Mode(std::uint32_t me, std::uint32_t mode) {
    msg::Control_Set_Room_Mode_Req r;
    r.user_id = me, r.mode = mode;
    return r;
}

// --- the matrix --------------------------------------------------------------

enum class Request { kick, gag, ungag, power, mode1, mode2, mode3, mode4 };

struct MatrixCase {
    Request request;
    std::uint8_t actor;
    std::uint8_t target;  // the target's role; for a mode, unused
    bool allowed;
};

const char* NameOf(Request r) {
    switch (r) {
        case Request::kick: return "kick";
        case Request::gag: return "gag";
        case Request::ungag: return "ungag";
        case Request::power: return "setpower";
        case Request::mode1: return "mode1";
        case Request::mode2: return "mode2";
        case Request::mode3: return "mode3";
        case Request::mode4: return "mode4";
    }
    return "?";
}
const char* RoleName(std::uint8_t role) {
    switch (role) {
        case kRoleOwner: return "owner";
        case kRoleManager: return "manager";
        case kRoleAnchor: return "anchor";
        default: return "guest";
    }
}

// Rows: actor; columns: the target's role owner, manager, anchor, guest.
// '+' allowed, '-' refused with 1020. From "Roles and powers of the demo".
struct Row {
    Request request;
    std::uint8_t actor;
    const char* over;  // owner manager anchor guest
};
constexpr Row kTable[] = {
    {Request::kick, kRoleOwner, "-+++"},   {Request::kick, kRoleManager, "--++"},
    {Request::kick, kRoleAnchor, "----"},  {Request::kick, kRoleGuest, "----"},
    {Request::gag, kRoleOwner, "-+++"},    {Request::gag, kRoleManager, "--++"},
    {Request::gag, kRoleAnchor, "---+"},   {Request::gag, kRoleGuest, "----"},
    {Request::ungag, kRoleOwner, "-+++"},  {Request::ungag, kRoleManager, "--++"},
    {Request::ungag, kRoleAnchor, "---+"}, {Request::ungag, kRoleGuest, "----"},
    // The role given: anchor, or guest to an anchor.
    {Request::power, kRoleOwner, "-+++"},  {Request::power, kRoleManager, "--++"},
    {Request::power, kRoleAnchor, "----"}, {Request::power, kRoleGuest, "----"},
};
// Room modes, by actor: modes 1, 2, 3, 4.
constexpr Row kModeTable[] = {
    {Request::mode1, kRoleOwner, "++++"},
    {Request::mode1, kRoleManager, "++++"},
    {Request::mode1, kRoleAnchor, "----"},
    {Request::mode1, kRoleGuest, "----"},
};

std::vector<MatrixCase> AllCases() {
    constexpr std::uint8_t roles[] = {kRoleOwner, kRoleManager, kRoleAnchor, kRoleGuest};
    std::vector<MatrixCase> out;
    for (const Row& r : kTable)
        for (int i = 0; i < 4; ++i) out.push_back({r.request, r.actor, roles[i], r.over[i] == '+'});
    constexpr Request modes[] = {Request::mode1, Request::mode2, Request::mode3, Request::mode4};
    for (const Row& r : kModeTable)
        for (int i = 0; i < 4; ++i) out.push_back({modes[i], r.actor, 0, r.over[i] == '+'});
    return out;
}

class ModerationMatrix : public ::testing::TestWithParam<MatrixCase> {
protected:
    ModerationServer server;
};

// Alice acts, Bob is the target, Carol watches; each with the case's role.
TEST_P(ModerationMatrix, AllowedIsAnsweredRelayedAndStoredRefusedTouchesNothing) {
    const MatrixCase c = GetParam();
    const bool isMode = c.request >= Request::mode1;
    const std::uint32_t mode = isMode ? static_cast<std::uint32_t>(c.request) -
                                            static_cast<std::uint32_t>(Request::mode1) + 1
                                      : 0;
    const std::uint8_t given = c.target == kRoleAnchor ? kRoleGuest : kRoleAnchor;
    const std::uint8_t startMode = mode == 1 ? 2 : 1;
    server.Start([&](CServerDb& db) {
        ASSERT_TRUE(db.SetRoomRole(kLobby, kAlice, c.actor, 0));
        if (!isMode) {
            ASSERT_TRUE(db.SetRoomRole(kLobby, kBob, c.target, 0));
        }
        ASSERT_TRUE(db.SetRoomRole(kLobby, kCarol, kRoleGuest, 0));
        ASSERT_TRUE(db.SetRoomMode(kLobby, startMode));
        if (c.request == Request::ungag) {
            ASSERT_TRUE(db.AddGag({kLobby, kBob, kCarol, "x", 0, 1}));
        }
    });
    auto alice = server.In(kAlice);
    auto bobConn = std::make_unique<RawClient>(server.srv->port(), "pc_chat");
    auto login = server.Login(*bobConn, kBob, kLobby);
    ASSERT_TRUE(login && login->ok());
    EXPECT_EQ(login->gagged, c.request == Request::ungag ? 1 : 0);  // a stored gag holds
    auto carol = server.In(kCarol);
    CServerDb& db = server.srv->db();
    const std::int64_t now = server.clock.Now();
    const std::uint32_t want = c.allowed ? 0 : room_error::no_power;

    switch (c.request) {
        case Request::kick: {
            auto r = Order<msg::Control_Kick_Resp>(*alice, Kick(kBob, 300));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            if (c.allowed) {
                auto k = bobConn->Notice<msg::Control_Kick_Notify>();
                ASSERT_TRUE(k);
                EXPECT_EQ(k->user_id, kBob);
                EXPECT_EQ(k->text2, "广告");
                auto bye = carol->Notice<msg::Control_User_Logout_Notify>();
                ASSERT_TRUE(bye);
                EXPECT_EQ(bye->user_id, kBob);
                EXPECT_GE(db.KickedUntil(kLobby, kBob, now), now + 300);
                EXPECT_FALSE(server.srv->rooms().ChatIn(kBob, kLobby));
            } else {
                EXPECT_TRUE(bobConn->NoNotice<msg::Control_Kick_Notify>(150ms));
                EXPECT_TRUE(carol->NoNotice<msg::Control_User_Logout_Notify>(50ms));
                EXPECT_EQ(db.KickedUntil(kLobby, kBob, now), 0);
                EXPECT_TRUE(server.srv->rooms().ChatIn(kBob, kLobby));
            }
            break;
        }
        case Request::gag: {
            auto r = Order<msg::Control_Gag_Resp>(*alice, Gag(kAlice, kBob));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            EXPECT_EQ(r->target_id, kBob);
            if (c.allowed) {
                auto n = carol->Notice<msg::Control_Gag_Notify>();
                ASSERT_TRUE(n);
                EXPECT_EQ(n->user_id, kBob);
                EXPECT_EQ(n->nickname, "鲍勃");
            } else {
                EXPECT_TRUE(carol->NoNotice<msg::Control_Gag_Notify>(150ms));
            }
            EXPECT_EQ(db.IsGagged(kLobby, kBob), c.allowed);
            break;
        }
        case Request::ungag: {
            auto r = Order<msg::Control_Cancel_Gag_Resp>(*alice, Ungag(kAlice, kBob));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            if (c.allowed) {
                auto n = carol->Notice<msg::Control_Cancel_Gag_Notify>();
                ASSERT_TRUE(n);
                EXPECT_EQ(n->user_id, kBob);
            } else {
                EXPECT_TRUE(carol->NoNotice<msg::Control_Cancel_Gag_Notify>(150ms));
            }
            EXPECT_EQ(db.IsGagged(kLobby, kBob), !c.allowed);
            break;
        }
        case Request::power: {
            auto r = Order<msg::Control_Set_Power_Resp>(*alice, Power(kAlice, kBob, given, 60));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            if (c.allowed) {
                auto n = carol->Notice<msg::Control_Power_Notify>();
                ASSERT_TRUE(n);
                EXPECT_EQ(n->user_id, kBob);
                EXPECT_EQ(n->role, given);
            } else {
                EXPECT_TRUE(carol->NoNotice<msg::Control_Power_Notify>(150ms));
            }
            EXPECT_EQ(db.RoomRole(kLobby, kBob, now), c.allowed ? given : c.target);
            break;
        }
        default: {
            auto r = Order<msg::Control_Set_Room_Mode_Resp>(*alice, Mode(kAlice, mode));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->code, want);
            if (c.allowed) {
                auto n = carol->Notice<msg::Control_Room_Mode_Notify>();
                ASSERT_TRUE(n);
                EXPECT_EQ(n->mode, mode);
            } else {
                EXPECT_TRUE(carol->NoNotice<msg::Control_Room_Mode_Notify>(150ms));
            }
            EXPECT_EQ(db.RoomById(kLobby)->mode, c.allowed ? mode : startMode);
            break;
        }
    }
    EXPECT_EQ(server.Logged(), c.allowed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Roles, ModerationMatrix, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<MatrixCase>& info) {
                             const MatrixCase& c = info.param;
                             std::string name = std::string(NameOf(c.request)) + "_by_" +
                                                RoleName(c.actor);
                             if (c.request < Request::mode1)
                                 name += std::string("_over_") + RoleName(c.target);
                             return name;
                         });

// --- rules beyond the matrix --------------------------------------------------

class ModerationRules : public ::testing::Test {
protected:
    void SetUp() override { server.Start(); }
    ModerationServer server;
};

// A body written by hand, for integers wider than their field.
std::string RawBody(const std::function<void(TLV::body&)>& fill) {
    TLV::body b;
    fill(b);
    const unsigned char* bytes = nullptr;
    std::size_t n = 0;
    b.encode(bytes, n);
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

TEST_F(ModerationRules, BadRequestsAreRefusedWithTheirCodeAndNothingMoves) {
    auto alice = server.In(kAlice);  // owner
    auto carol = server.In(kCarol);  // anchor, the target of most
    auto dave = server.In(kDave);    // guest, watching
    auto erin = server.In(kErin, kMusic);
    struct Case {
        const char* what;
        std::uint32_t command;
        std::string body;
        std::uint32_t code;
    };
    const std::uint64_t wideId = (std::uint64_t{1} << 32) | kCarol;
    const std::vector<Case> cases = {
        {"tag 1 names another user", cmd::Control_Gag_Req, srvtest::Body(Gag(kBob, kCarol)),
         room_error::bad_request},
        {"mode with another user", cmd::Control_Set_Room_Mode_Req, srvtest::Body(Mode(kDave, 2)),
         room_error::bad_request},
        {"no tag 1", cmd::Control_Cancel_Gag_Req, srvtest::Body(Ungag(0, kCarol)),
         room_error::bad_request},
        {"no target", cmd::Control_Gag_Req, srvtest::Body(Gag(kAlice, 0)), room_error::bad_request},
        {"kick without target", cmd::Control_Kick_Req, srvtest::Body(Kick(0, 300)),
         room_error::bad_request},
        {"unknown user", cmd::Control_Gag_Req, srvtest::Body(Gag(kAlice, 99999)),
         room_error::not_in_room},
        {"a member of another room", cmd::Control_Kick_Req, srvtest::Body(Kick(kErin, 300)),
         room_error::not_in_room},
        {"on myself", cmd::Control_Gag_Req, srvtest::Body(Gag(kAlice, kAlice)),
         room_error::not_on_self},
        {"kick myself", cmd::Control_Kick_Req, srvtest::Body(Kick(kAlice, 300)),
         room_error::not_on_self},
        {"cancel a gag nobody has", cmd::Control_Cancel_Gag_Req,
         srvtest::Body(Ungag(kAlice, kCarol)), room_error::already},
        {"mode 0", cmd::Control_Set_Room_Mode_Req, srvtest::Body(Mode(kAlice, 0)),
         room_error::bad_value},
        {"mode 5", cmd::Control_Set_Room_Mode_Req, srvtest::Body(Mode(kAlice, 5)),
         room_error::bad_value},
        {"role 0x114 is not role 20", cmd::Control_Set_Power_Req, RawBody([](TLV::body& b) {
             b.put_u32(1, kAlice), b.put_u32(2, kCarol), b.put_u32(3, 0x114), b.put_u32(4, 60);
         }),
         room_error::bad_value},
        {"a role that does not exist", cmd::Control_Set_Power_Req,
         srvtest::Body(Power(kAlice, kCarol, 5, 60)), room_error::bad_value},
        {"zero minutes", cmd::Control_Set_Power_Req, srvtest::Body(Power(kAlice, kCarol, 20, 0)),
         room_error::bad_value},
        {"kick for 0 s", cmd::Control_Kick_Req, srvtest::Body(Kick(kCarol, 0)),
         room_error::bad_value},
        {"kick beyond ten years", cmd::Control_Kick_Req, srvtest::Body(Kick(kCarol, 315360001)),
         room_error::bad_value},
        {"a 64-bit target", cmd::Control_Kick_Req, RawBody([&](TLV::body& b) {
             b.put_u64(2, wideId), b.put_u32(3, 300), b.put_string(4, "x");
         }),
         room_error::bad_value},
        {"a reason over 512 bytes", cmd::Control_Gag_Req,
         srvtest::Body(Gag(kAlice, kCarol, std::string(513, 'x'))), room_error::bad_value},
    };
    for (const Case& c : cases) {
        alice->SendRaw(kChat, c.command, c.body);
        auto f = alice->NextAnswer();
        ASSERT_TRUE(f) << c.what;
        EXPECT_EQ(f->command, c.command + 1) << c.what;
        EXPECT_EQ(srvtest::Decode<msg::Control_Kick_Resp>(f->payload).code, c.code) << c.what;
    }
    // Nothing was relayed, stored or logged; everyone is still there.
    auto anything = dave->NextAnswer(200ms);
    EXPECT_FALSE(anything) << "dave heard 0x" << std::hex << (anything ? anything->command : 0);
    EXPECT_EQ(server.srv->db().RoomRole(kLobby, kCarol, server.clock.Now()), kRoleAnchor);
    EXPECT_FALSE(server.srv->db().IsGagged(kLobby, kCarol));
    EXPECT_EQ(server.srv->db().RoomById(kLobby)->mode, 1);
    EXPECT_EQ(server.Logged(), 0);
    EXPECT_TRUE(server.srv->rooms().ChatIn(kCarol, kLobby));
    EXPECT_TRUE(server.srv->rooms().ChatIn(kErin, kMusic));

    // Gagged already, and a 512-byte reason is fine.
    auto r = Order<msg::Control_Gag_Resp>(*alice, Gag(kAlice, kCarol, std::string(512, 'x')));
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->ok());
    r = Order<msg::Control_Gag_Resp>(*alice, Gag(kAlice, kCarol));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, room_error::already);
    EXPECT_EQ(server.Logged(), 1);

    // Before any login.
    RawClient stranger(server.srv->port(), "pc_chat");
    auto s = Order<msg::Control_Set_Room_Mode_Resp>(stranger, Mode(kAlice, 2));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->code, room_error::not_logged_in);
}

TEST_F(ModerationRules, AGagOutlivesARestartAndHoldsTheChat) {
    {
        auto alice = server.In(kAlice);
        auto dave = server.In(kDave);
        auto r = Order<msg::Control_Gag_Resp>(*alice, Gag(kAlice, kDave));
        ASSERT_TRUE(r && r->ok());
    }
    server.Restart();
    auto alice = server.In(kAlice);
    auto dave = std::make_unique<RawClient>(server.srv->port(), "pc_chat");
    auto login = server.Login(*dave, kDave, kLobby);
    ASSERT_TRUE(login && login->ok());
    EXPECT_EQ(login->gagged, 1);
    auto join = alice->Notice<msg::Control_User_Login_Notify>();
    ASSERT_TRUE(join);
    EXPECT_EQ(join->user_id, kDave);
    EXPECT_EQ(join->gagged, 1);
    // The newcomer's list shows the gag too.
    auto bob = server.In(kBob);
    bool listed = false;
    while (auto list = bob->Notice<msg::Control_Room_UserList_Notify>(300ms))
        for (const auto& u : list->users)
            if (u.user_id == kDave) {
                listed = true;
                EXPECT_EQ(u.gagged, 1);
            }
    EXPECT_TRUE(listed);

    dave->Send(kChat, msg::make_chat_req(kDave, "hi", 0, 0, {}));
    auto refused = dave->NextAnswer();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->command, cmd::Control_Send_Chat_Req + 1);
    EXPECT_EQ(srvtest::Decode<msg::Control_Kick_Resp>(refused->payload).code, chat_error::gagged);

    auto u = Order<msg::Control_Cancel_Gag_Resp>(*alice, Ungag(kAlice, kDave));
    ASSERT_TRUE(u && u->ok());
    auto again = std::make_unique<RawClient>(server.srv->port(), "pc_chat");
    login = server.Login(*again, kDave, kLobby);
    ASSERT_TRUE(login && login->ok());
    EXPECT_EQ(login->gagged, 0);
}

TEST_F(ModerationRules, AKickedUserComesBackOnlyWhenTheKickEnds) {
    auto alice = server.In(kAlice);
    auto dave = std::make_unique<RawClient>(server.srv->port(), "pc_chat");
    auto first = server.Login(*dave, kDave, kLobby);
    ASSERT_TRUE(first && first->ok());
    // Dave's media login hangs on that chat login.
    RawClient av(server.srv->port(), "pc_av");
    msg::Mix_Login_Req mix;
    mix.user_id = kDave, mix.room_id = kLobby, mix.media_key = first->media_key;
    auto m = av.Ask<msg::Mix_Login_Resp>(3, mix);
    ASSERT_TRUE(m && m->ok());
    ASSERT_TRUE(server.srv->rooms().MixIn(kDave, kLobby));

    auto r = Order<msg::Control_Kick_Resp>(*alice, Kick(kDave, 300));
    ASSERT_TRUE(r && r->ok());
    ASSERT_TRUE(dave->Notice<msg::Control_Kick_Notify>());
    auto bye = alice->Notice<msg::Control_User_Logout_Notify>();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->user_id, kDave);
    EXPECT_EQ(server.srv->rooms().MemberCount(kLobby), 1u);
    EXPECT_FALSE(server.srv->rooms().MixIn(kDave, kLobby));

    auto login = server.Login(*dave, kDave, kLobby);
    ASSERT_TRUE(login);
    EXPECT_EQ(login->code, room_error::kicked);
    server.clock.AdvanceWall(299);
    login = server.Login(*dave, kDave, kLobby);
    ASSERT_TRUE(login);
    EXPECT_EQ(login->code, room_error::kicked);
    // Another room is open to them all along.
    auto elsewhere = server.Login(*dave, kDave, kMusic);
    ASSERT_TRUE(elsewhere);
    EXPECT_TRUE(elsewhere->ok());
    server.clock.AdvanceWall(2);
    login = server.Login(*dave, kDave, kLobby);
    ASSERT_TRUE(login);
    EXPECT_TRUE(login->ok());
}

TEST_F(ModerationRules, GrantsLastTheirMinutesGuestRemovesAndByRoleRulesHold) {
    auto alice = server.In(kAlice);
    auto carol = server.In(kCarol);
    auto dave = server.In(kDave);
    CServerDb& db = server.srv->db();
    const std::int64_t now = server.clock.Now();

    // Two minutes as manager, then a guest again.
    auto r = Order<msg::Control_Set_Power_Resp>(*alice, Power(kAlice, kDave, kRoleManager, 2));
    ASSERT_TRUE(r && r->ok());
    EXPECT_EQ(db.RoomRole(kLobby, kDave, now + 115), kRoleManager);
    EXPECT_EQ(db.RoomRole(kLobby, kDave, now + 125), kRoleGuest);
    // 8 640 000 minutes and more is for good.
    r = Order<msg::Control_Set_Power_Resp>(*alice, Power(kAlice, kDave, kRoleAnchor, 8640000));
    ASSERT_TRUE(r && r->ok());
    EXPECT_EQ(db.RoomRole(kLobby, kDave, now + 400LL * 365 * 86400), kRoleAnchor);
    // Guest deletes the row.
    const auto rows = db.CountRows("room_roles");
    r = Order<msg::Control_Set_Power_Resp>(*alice, Power(kAlice, kDave, kRoleGuest, 60));
    ASSERT_TRUE(r && r->ok());
    EXPECT_EQ(db.CountRows("room_roles"), rows - 1);

    // The new role counts at once: dave the guest may not gag carol, and an
    // anchor may not gag a manager until a by-role rule says so.
    auto g = Order<msg::Control_Gag_Resp>(*dave, Gag(kDave, kCarol));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->code, room_error::no_power);
    r = Order<msg::Control_Set_Power_Resp>(*alice, Power(kAlice, kDave, kRoleManager, 60));
    ASSERT_TRUE(r && r->ok());
    g = Order<msg::Control_Gag_Resp>(*carol, Gag(kCarol, kDave));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->code, room_error::no_power);
    ASSERT_TRUE(db.PutPowerRule({power_id::gag, kRoleAnchor, kRoleManager, 1}, true));
    g = Order<msg::Control_Gag_Resp>(*carol, Gag(kCarol, kDave));
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->ok());
}

TEST_F(ModerationRules, ANewcomersListShowsTheGagsAndRolesGivenBeforeItCame) {
    auto alice = server.In(kAlice);
    auto dave = server.In(kDave);
    auto g = Order<msg::Control_Gag_Resp>(*alice, Gag(kAlice, kDave));
    ASSERT_TRUE(g && g->ok());
    auto r = Order<msg::Control_Set_Power_Resp>(*alice, Power(kAlice, kDave, kRoleManager, 60));
    ASSERT_TRUE(r && r->ok());

    auto bob = std::make_unique<RawClient>(server.srv->port(), "pc_chat");
    ASSERT_TRUE(server.Login(*bob, kBob, kLobby));
    std::optional<srvtest::Frame> frame;
    while ((frame = bob->Next()) && frame->command != cmd::Control_Room_UserList_Notify) {
    }
    ASSERT_TRUE(frame);
    const auto list = srvtest::Decode<msg::Control_Room_UserList_Notify>(frame->payload);
    // The list is made of the members' kept items; it reads back to the
    // same bytes the catalogue writes.
    EXPECT_EQ(frame->payload, srvtest::Body(list));
    std::map<std::uint32_t, msg::user_block> by;
    for (const auto& u : list.users) by[u.user_id] = u;
    ASSERT_EQ(by.size(), 3u);
    EXPECT_EQ(by[kDave].gagged, 1);
    EXPECT_EQ(by[kDave].role, kRoleManager);
    EXPECT_EQ(by[kBob].gagged, 0);

    // Freed again: the next newcomer sees it.
    auto u = Order<msg::Control_Cancel_Gag_Resp>(*alice, Ungag(kAlice, kDave));
    ASSERT_TRUE(u && u->ok());
    auto carol = server.In(kCarol);
    bool listed = false;
    while (auto l = carol->Notice<msg::Control_Room_UserList_Notify>(300ms))
        for (const auto& b : l->users)
            if (b.user_id == kDave) {
                listed = true;
                EXPECT_EQ(b.gagged, 0);
            }
    EXPECT_TRUE(listed);
}

}  // namespace
