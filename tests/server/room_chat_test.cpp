// The chat relay of zeri-server over real TCP: who receives a line, with
// which header, and which lines are refused and relayed to nobody.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>

#include "net/catalogue_chat.h"
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
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003, kDave = 10004;
constexpr std::uint32_t kLobby = 1001, kMusic = 1002;

// The refusal of a line: the response id of the request, text and code only.
struct ChatRefusal : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Send_Chat_Req + 1;
    static constexpr auto fields() { return std::tuple{}; }
};

class ChatRelay : public ::testing::Test {
protected:
    void SetUp() override {
        CServerDb db;
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        for (std::uint32_t id : {kAlice, kBob, kCarol, kDave})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 3600);
        // Bob has spent his way to grade 5 and holds VIP level 2.
        CAccountStore store;
        ASSERT_TRUE(store.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(store.RecordSpending(kBob, 10000, std::time(nullptr)));
        ASSERT_TRUE(store.AddVip(kBob, {1, 2, "VIP", 0}));
        ServerOptions o = srvtest::LocalServerOptions(dir.path());
        srv = std::make_unique<CZeriServer>(o, RoomLimits{}, &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
    }
    void TearDown() override { srv->Stop(); }

    std::unique_ptr<RawClient> In(std::uint32_t user, std::uint32_t room) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = user;
        r.room_id = room;
        r.nickname = "claimed";
        r.token = tokens[user];
        // Claims the server does not take.
        r.card.wealth_grade = 8;
        r.card.vip_level = 9;
        auto resp = c->Ask<msg::Control_Login_Resp>(kChat, r);
        EXPECT_TRUE(resp && resp->ok());
        return c;
    }
    static msg::Control_Send_Chat_Req Line(std::uint32_t from, const std::string& text,
                                           std::uint32_t to = 0) {
        msg::chat_attrs a;
        a.nickname = "whoever";
        a.role = 1;  // claims to own the room
        a.sex = 9;
        a.wealth_grade = 8;
        a.vip_level = 9;
        a.vip_data = "vip!";
        a.colour = "#123456";
        a.font = "宋体,12";
        return msg::make_chat_req(from, text, to ? 1 : 0, to, a);
    }
    // The refusal code of a line, or 0 when the sender heard nothing back.
    static std::uint32_t Refusal(RawClient& c) {
        auto r = c.Notice<ChatRefusal>(300ms);
        return r ? r->code : 0;
    }
    // The next chat line a client hears, with its text copied out of the
    // frame (the decoded notice only points into it).
    struct Heard {
        msg::Control_Chat_Notify n;
        std::string text;
    };
    static std::optional<Heard> Hear(RawClient& c) {
        while (auto f = c.Next()) {
            if (f->command != msg::Control_Chat_Notify::id) continue;
            Heard h{srvtest::Decode<msg::Control_Chat_Notify>(f->payload), {}};
            h.text = std::string(msg::chat_line_text(h.n.line));
            h.n.line = {};
            return h;
        }
        return std::nullopt;
    }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
};

}  // namespace

TEST_F(ChatRelay, APublicLineReachesEveryOtherMemberOnceWithTheServersHeader) {
    auto alice = In(kAlice, kLobby);
    auto bob = In(kBob, kLobby);
    auto dave = In(kDave, kLobby);
    auto elsewhere = In(kCarol, kMusic);
    bob->Send(kChat, Line(kBob, "大家好 //wx"));
    for (RawClient* c : {alice.get(), dave.get()}) {
        auto n = Hear(*c);
        ASSERT_TRUE(n);
        EXPECT_EQ(n->n.sender_id, kBob);
        EXPECT_EQ(n->n.sender_name, "鲍勃");  // the account's nickname, not a claim
        EXPECT_EQ(n->text, "大家好 //wx");
        EXPECT_EQ(n->n.receiver_id, 0u);
        EXPECT_EQ(n->n.style, 0);
        EXPECT_EQ(n->n.attrs.nickname, "鲍勃");
        EXPECT_EQ(n->n.attrs.role, kRoleManager);
        EXPECT_EQ(n->n.attrs.colour, "#123456");
        EXPECT_EQ(n->n.attrs.font, "宋体,12");
        EXPECT_EQ(n->n.attrs.wealth_grade, 5u);  // the recorded spending's
        EXPECT_EQ(n->n.attrs.vip_level, 2u);
        EXPECT_EQ(n->n.attrs.sex, srv->db().UserById(kBob)->sex);
        EXPECT_EQ(n->n.attrs.vip_data, "vip!");  // a VIP's own text goes along
        EXPECT_TRUE(c->NoNotice<msg::Control_Chat_Notify>());  // once
    }
    EXPECT_TRUE(bob->NoNotice<msg::Control_Chat_Notify>());
    EXPECT_EQ(Refusal(*bob), 0u);  // a relayed line is not answered
    EXPECT_TRUE(elsewhere->NoNotice<msg::Control_Chat_Notify>());
}

TEST_F(ChatRelay, APrivateLineReachesItsReceiverOnly) {
    auto alice = In(kAlice, kLobby);
    auto bob = In(kBob, kLobby);
    auto dave = In(kDave, kLobby);
    dave->Send(kChat, Line(kDave, "psst", kAlice));
    auto n = Hear(*alice);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->n.receiver_id, kAlice);
    EXPECT_EQ(n->n.receiver_name, "爱丽丝");
    EXPECT_EQ(n->n.style, 1);
    EXPECT_EQ(n->text, "psst");
    EXPECT_TRUE(bob->NoNotice<msg::Control_Chat_Notify>());

    // Nobody by that id in the room: refused, relayed to nobody.
    dave->Send(kChat, Line(kDave, "psst", kCarol));
    EXPECT_EQ(Refusal(*dave), chat_error::no_receiver);
    EXPECT_TRUE(alice->NoNotice<msg::Control_Chat_Notify>());
}

TEST_F(ChatRelay, GaggedPowerlessAndStrangersAreRefusedAndNothingIsRelayed) {
    auto alice = In(kAlice, kLobby);
    auto dave = In(kDave, kLobby);
    struct Case {
        const char* what;
        std::function<void()> arrange;
        msg::Control_Send_Chat_Req line;
        std::uint32_t code;
        std::function<void()> undo;
    };
    const std::vector<Case> cases = {
        {"gagged", [&] { ASSERT_TRUE(srv->rooms().SetGagged(kLobby, kDave, true)); },
         Line(kDave, "hi"), chat_error::gagged,
         [&] { srv->rooms().SetGagged(kLobby, kDave, false); }},
        {"guests may not send pictures", [] {}, Line(kDave, "@$#PIC:abc.png:0\""),
         chat_error::no_power, [] {}},
        // Readers show the code in any case of its letters.
        {"nor in lower case", [] {}, Line(kDave, "@$#pic:abc.png:0\""), chat_error::no_power,
         [] {}},
        {"nor in mixed case", [] {}, Line(kDave, "see @$#Pic:abc.png:0\" !"),
         chat_error::no_power, [] {}},
        {"chat taken from guests",
         [&] {
             srv->db().PutPowerRule({power_id::chat, kRoleGuest, 0, 0}, true);
         },
         Line(kDave, "hi"), chat_error::no_power,
         [&] {
             srv->db().PutPowerRule({power_id::chat, kRoleGuest, 0, 1}, true);
         }},
        // The server keeps the rules it read until the database changes,
        // whoever changes it.
        {"chat taken by another writer of the database",
         [&] {
             CServerDb other;
             std::string err;
             ASSERT_TRUE(other.Open(dir.file(kDatabaseFile), err)) << err;
             other.PutPowerRule({power_id::chat, kRoleGuest, 0, 0}, true);
         },
         Line(kDave, "hi"), chat_error::no_power,
         [&] {
             CServerDb other;
             std::string err;
             ASSERT_TRUE(other.Open(dir.file(kDatabaseFile), err)) << err;
             other.PutPowerRule({power_id::chat, kRoleGuest, 0, 1}, true);
         }},
        {"another user's id", [] {}, Line(kAlice, "hi"), room_error::bad_request, [] {}},
        {"empty", [] {}, Line(kDave, ""), chat_error::empty, [] {}},
        {"too long", [] {}, Line(kDave, std::string(kMaxChatLineBytes + 1, 'x')),
         chat_error::too_long, [] {}},
    };
    for (const Case& c : cases) {
        c.arrange();
        dave->Send(kChat, c.line);
        EXPECT_EQ(Refusal(*dave), c.code) << c.what;
        EXPECT_TRUE(alice->NoNotice<msg::Control_Chat_Notify>(100ms)) << c.what;
        c.undo();
    }
    // With everything restored the same user is heard.
    dave->Send(kChat, Line(kDave, "hi"));
    EXPECT_TRUE(Hear(*alice));

    // Not logged in at all.
    RawClient stranger(srv->port(), "pc_chat");
    stranger.Send(kChat, Line(kDave, "hi"));
    EXPECT_EQ(Refusal(stranger), room_error::not_logged_in);

    // What readers show as text is text: a picture URL in a user's line, an
    // unfinished code.
    for (const std::string text : {"@$#PIC:http://h/a.png:0\"", "@$#pic:abc.png"}) {
        dave->Send(kChat, Line(kDave, text));
        auto heard = Hear(*alice);
        ASSERT_TRUE(heard) << text;
        EXPECT_EQ(heard->text, text);
        clock.AdvanceMs(1000);
    }

    // The owner may send a picture.
    alice->Send(kChat, Line(kAlice, "@$#PIC:abc.png:0\""));
    auto n = Hear(*dave);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->text, "@$#PIC:abc.png:0\"");
}

TEST_F(ChatRelay, TheRoomsChatIntervalHolds) {
    auto bob = In(kBob, kMusic);  // three seconds between lines
    auto dave = In(kDave, kMusic);
    dave->Send(kChat, Line(kDave, "one"));
    ASSERT_TRUE(Hear(*bob));
    clock.AdvanceMs(2999);
    dave->Send(kChat, Line(kDave, "two"));
    EXPECT_EQ(Refusal(*dave), chat_error::too_soon);
    EXPECT_TRUE(bob->NoNotice<msg::Control_Chat_Notify>());
    // A refused line does not restart the wait; another user has their own.
    clock.AdvanceMs(1);
    bob->Send(kChat, Line(kBob, "mine"));
    ASSERT_TRUE(Hear(*dave));
    dave->Send(kChat, Line(kDave, "three"));
    auto n = Hear(*bob);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->text, "three");
    // A new interval written by another connection holds from the next line.
    {
        CServerDb other;
        std::string err;
        ASSERT_TRUE(other.Open(dir.file(kDatabaseFile), err)) << err;
        auto record = other.RoomById(kMusic);
        ASSERT_TRUE(record);
        record->chatInterval = 10;
        ASSERT_TRUE(other.PutRoom(*record, true));
    }
    clock.AdvanceMs(3000);
    dave->Send(kChat, Line(kDave, "four"));
    EXPECT_EQ(Refusal(*dave), chat_error::too_soon);
}
