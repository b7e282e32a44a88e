// The room's chat driven through the session: what a user sends and when it
// is refused, how every received line and pushed item is drawn, the picture
// transfers, and the 200-line bound of the views.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>

#include "core/paths.h"
#include "net/catalogue_chat.h"
#include "net/catalogue_room.h"
#include "platform/kitlib/kitlib.h"
#include "room/headless_view.h"
#include "room/push_data.h"
#include "room/room_chat.h"
#include "tests/room/room_test_support.h"

namespace fs = std::filesystem;
using roomtest::FakeAccount;
using roomtest::RecordingLink;
using R = CRoomChat::SendResult;

namespace {

constexpr const char* kFaces = R"(<?xml version="1.0" encoding="utf-8"?>
<faces><faceconfig item_width="24" item_height="24" zoom_width="64" zoom_height="64" row="8" col="12">
<face id="1" tip="smile" tag="/wx" text="[smile]" file="Face/1.png"/>
</faceconfig></faces>)";

// The HTTP helper as the transfers see it: remembers what was started.
class FakeStarter : public IHttpStarter {
public:
    struct Call {
        unsigned message;
        std::string url;
        std::string destination;
        std::string body;
    };
    std::vector<Call> calls;
    bool refuse = false;
    bool Download(unsigned m, const std::string& url, const std::string& dest) override {
        if (refuse) return false;
        calls.push_back({m, url, dest, {}});
        return true;
    }
    bool Post(unsigned m, const std::string& url, const std::vector<std::uint8_t>& body) override {
        if (refuse) return false;
        calls.push_back({m, url, {}, std::string(body.begin(), body.end())});
        return true;
    }
    std::string Host() override { return "pics:8080"; }
};

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

KitlibAnswer Downloaded(const std::string& file) {
    KitlibAnswer a;
    a.status = 200;
    a.file = file;
    return a;
}

class RoomChat : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        dir = fs::temp_directory_path() / ("zeri-rchat-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        paths::SetDataFolderOverride((dir / "data").string());
        account.me.userId = 42;
        account.me.nickname = "ann";
        account.me.card.wealth_grade = 3;
        account.me.sex = 1;
        ASSERT_TRUE(session.Start());
        ASSERT_TRUE(faces.LoadFromText(kFaces, Prog()));
        RoomChatSetup setup;
        setup.programFolder = Prog();
        setup.dataFolder = Data();
        setup.imageFolder = (dir / "img").string() + "/";
        setup.vipIcon = [](std::uint32_t level) { return "vip" + std::to_string(level) + ".png"; };
        chat = std::make_unique<CRoomChat>(session, account, transfers, faces, setup);
    }
    void TearDown() override {
        chat.reset();
        paths::SetDataFolderOverride("");
        fs::remove_all(dir);
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    std::string Prog() const { return (dir / "prog").string() + "/"; }
    std::string Data() const { return (dir / "data").string() + "/"; }

    template <class Msg>
    void Receive(const Msg& m) {
        roomtest::Deliver(session, m);
    }
    void Push(const std::string& data) {
        msg::Control_Push_Data_Notify n;
        n.json = wire::bytes(reinterpret_cast<const unsigned char*>(data.data()), data.size());
        Receive(n);
    }
    // In room 1001 as role `role` with bob (7) and a 3-second chat interval.
    void Enter(std::uint8_t role = 20) {
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = role;
        r.chat_interval = 3;
        r.chat_font = "宋体,12,#112233";
        Receive(r);
        Receive(roomtest::MemberList({{7, "bob", 20}}));
    }
    void Grant(std::initializer_list<std::uint16_t> powers, std::uint8_t role = 20) {
        session.OnPowerList(roomtest::PowerListAnswer(roomtest::Powers(powers, role)));
    }
    CHeadlessChatView& Chat(const std::string& name) { return *view.FindChat(name); }
    int ChatRequests() const { return link.Count(cmd::Control_Send_Chat_Req); }
    msg::Control_Chat_Notify Line(std::uint32_t from, const std::string& name,
                                  const std::string& text) {
        return roomtest::ChatLine(texts, from, name, text);
    }

    fs::path dir;
    std::deque<std::string> texts;
    CHeadlessView view{nullptr};
    RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
    CFaceTable faces;
    FakeStarter starter;
    CSerialTransfers transfers{starter};
    std::unique_ptr<CRoomChat> chat;
};

}  // namespace

// --- sending -------------------------------------------------------------------

TEST_F(RoomChat, NothingIsSentOutsideARoomOrWithoutThePowerAndNothingLooksSent) {
    EXPECT_EQ(chat->SendLine("hello"), R::not_in_room);
    Enter();
    // The power list has not granted chat: refused before the echo.
    EXPECT_EQ(chat->SendLine("hello"), R::no_power);
    EXPECT_EQ(view.Text("text_tip"), "无权限!");
    EXPECT_EQ(ChatRequests(), 0);
    EXPECT_EQ(Chat("Edit_RecvChat").LineCount(), 0u);
    // A channel that is down: no echo either.
    Grant({power_id::chat});
    link.down = true;
    EXPECT_EQ(chat->SendLine("hello"), R::not_sent);
    EXPECT_EQ(Chat("Edit_RecvChat").LineCount(), 0u);
}

TEST_F(RoomChat, ALineIsSentWithItsFieldsAndEchoedOnce) {
    Enter();
    Grant({power_id::chat});
    chat->SetMyStyle(0x3366CC, "微软雅黑,14");
    ASSERT_EQ(chat->SendLine("   hello /wx"), R::sent);
    const auto req = link.Last<msg::Control_Send_Chat_Req>();
    EXPECT_EQ(req.user_id, 42u);
    EXPECT_EQ(req.line, "hello //wx");  // typed slashes travel doubled
    EXPECT_EQ(req.kind, 0);
    EXPECT_EQ(req.receiver_id, 0u);
    EXPECT_EQ(req.attrs.nickname, "ann");
    EXPECT_EQ(req.attrs.role, 20);
    EXPECT_EQ(req.attrs.colour, "#3366CC");
    EXPECT_EQ(req.attrs.font, "微软雅黑,14");
    EXPECT_EQ(req.attrs.wealth_grade, 3u);
    EXPECT_EQ(req.attrs.sex, 1);  // from my account, not a constant
    EXPECT_EQ(Chat("Edit_RecvChat").Lines(),
              (std::vector<std::string>{"22:13:20ann(42) 22:13:20", "hello /wx"}));
    EXPECT_EQ(view.Lines().back(), "chat: [Edit_RecvChat] 22:13:20ann(42) 22:13:20 hello /wx");
}

TEST_F(RoomChat, TheIntervalEmptyLongAndGaggedChecksComeInThatOrder) {
    Enter();
    Grant({power_id::chat});
    ASSERT_EQ(chat->SendLine("one"), R::sent);
    // Within the room's 3 seconds nothing happens, not even a tip.
    view.ShowTip("");
    EXPECT_EQ(chat->SendLine(""), R::too_soon);
    clock.AdvanceMs(2999);
    EXPECT_EQ(chat->SendLine("two"), R::too_soon);
    EXPECT_EQ(view.Text("text_tip"), "");
    clock.AdvanceMs(1);
    EXPECT_EQ(chat->SendLine("   "), R::empty);
    EXPECT_EQ(view.Text("text_tip"), "发送内容不能为空");

    // 256 units of plain text pass; a face counts as its tag (3 units).
    CChatInputBuffer fits;
    fits.Text(std::string(253, 'x')).Face(1);
    CChatInputBuffer over;
    over.Text(std::string(254, 'x')).Face(1);
    EXPECT_EQ(chat->SendInput(over), R::too_long);
    EXPECT_EQ(view.Text("text_tip"), "发送消息内容超长，请分条发送。");
    EXPECT_EQ(chat->SendInput(fits), R::sent);
    clock.AdvanceMs(3000);
    // UTF-16 units, not bytes: 256 CJK characters are 768 bytes and fit.
    std::string wide;
    for (int i = 0; i < 256; ++i) wide += "中";
    EXPECT_EQ(chat->SendLine(wide), R::sent);
    clock.AdvanceMs(3000);
    EXPECT_EQ(chat->SendLine(wide + "中"), R::too_long);

    session.SetGagged(true);
    EXPECT_EQ(chat->SendLine("three"), R::gagged);
    EXPECT_EQ(view.Text("text_tip"), "你已被禁言！");
    EXPECT_EQ(ChatRequests(), 3);
}

TEST_F(RoomChat, PrivateLinesNameTheirReceiver) {
    Enter();
    Grant({power_id::chat});
    ASSERT_EQ(chat->SendLine("/to 7 psst"), R::sent);
    auto req = link.Last<msg::Control_Send_Chat_Req>();
    EXPECT_EQ(req.kind, 1);
    EXPECT_EQ(req.receiver_id, 7u);
    EXPECT_EQ(req.line, "psst");
    EXPECT_EQ(Chat("Edit_RecvChat").Lines()[0], "22:13:20ann(42)对bob(7) 22:13:20");
    clock.AdvanceMs(3000);
    EXPECT_EQ(chat->SendLine("/to 99 psst"), R::no_receiver);
    EXPECT_EQ(view.Text("text_tip"), "对方不在房间");
    // Blanks around the id are allowed; the largest id is still an id.
    ASSERT_EQ(chat->SendLine("  /to\t7   psst again"), R::sent);
    EXPECT_EQ(link.Last<msg::Control_Send_Chat_Req>().receiver_id, 7u);
    EXPECT_EQ(link.Last<msg::Control_Send_Chat_Req>().line, "psst again");
    clock.AdvanceMs(3000);
    EXPECT_EQ(chat->SendLine("/to 4294967295 psst"), R::no_receiver);
    // A word that only begins with "/to" is ordinary text.
    ASSERT_EQ(chat->SendLine("/tomato soup"), R::sent);
    req = link.Last<msg::Control_Send_Chat_Req>();
    EXPECT_EQ(req.kind, 0);
    EXPECT_EQ(req.receiver_id, 0u);
    EXPECT_EQ(req.line, "//tomato soup");
}

TEST_F(RoomChat, AMalformedPrivateLineSendsNothingAndShowsTheUsage) {
    // Refused before anything else is checked, in a room or not.
    EXPECT_EQ(chat->SendLine("/to"), R::usage);
    EXPECT_EQ(view.Lines().back(), "tip: usage: /to ID text");
    Enter();
    Grant({power_id::chat});
    const char* const malformed[] = {
        "/to",           "/to ",           "/to 7",       "/to 7   ",      "/to abc secret",
        "/to bob hi",    "/to 0 secret",   "/to -7 x",    "/to 7x secret", "/to 4294967296 secret",
        "/to 99999999999999999999 secret", " /to 7",      "/to\t",
    };
    for (const char* line : malformed) {
        view.ShowTip("");
        EXPECT_EQ(chat->SendLine(line), R::usage) << line;
        EXPECT_EQ(view.Text("text_tip"), "usage: /to ID text") << line;
        EXPECT_EQ(view.Lines().back(), "tip: usage: /to ID text") << line;
    }
    EXPECT_EQ(ChatRequests(), 0);
    EXPECT_EQ(Chat("Edit_RecvChat").LineCount(), 0u);  // nothing echoed as sent
    // A refusal is not a line: the chat interval has not started.
    EXPECT_EQ(chat->SendLine("/to 7 now"), R::sent);
    EXPECT_EQ(ChatRequests(), 1);
}

TEST_F(RoomChat, APictureIsEchoedUploadedAndThenSentAsItsStoredCode) {
    Enter();
    const std::string file = (dir / "shot one.png").string();
    WriteFile(file, "PNGDATA");
    Grant({power_id::chat});
    EXPECT_EQ(chat->SendPicture(file), R::no_power);  // pictures take their own power
    Grant({power_id::chat, power_id::chat_picture});
    ASSERT_EQ(chat->SendPicture(file), R::sent);
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].message, unsigned(UM_CHAT_UPLOAD_DONE));
    EXPECT_EQ(starter.calls[0].url, "http://pics:8080/up?f=shot%20one.png&t=8");
    EXPECT_EQ(starter.calls[0].body, "PNGDATA");
    EXPECT_EQ(Chat("Edit_RecvChat").Images(), std::vector<std::string>{file});
    EXPECT_EQ(ChatRequests(), 0);

    KitlibAnswer answer;
    const std::string json = R"({"file_id":"abc123.png"})";
    answer.bytes.assign(json.begin(), json.end());
    EXPECT_TRUE(chat->OnTransferMessage(UM_CHAT_UPLOAD_DONE, &answer));
    ASSERT_EQ(ChatRequests(), 1);
    EXPECT_EQ(link.Last<msg::Control_Send_Chat_Req>().line, "@$#PIC:abc123.png:0\"");
    EXPECT_EQ(Chat("Edit_RecvChat").LineCount(), 2u);  // the echo only

    // A failed upload sends nothing and says so.
    clock.AdvanceMs(3000);
    ASSERT_EQ(chat->SendPicture(file), R::sent);
    EXPECT_TRUE(chat->OnTransferMessage(UM_CHAT_UPLOAD_DONE, nullptr));
    EXPECT_EQ(ChatRequests(), 1);
    EXPECT_FALSE(view.Text("text_tip").empty());
}

// --- receiving -----------------------------------------------------------------

TEST_F(RoomChat, ReceivedLinesShowHeaderStyleFacesAndGoToTheVipViewByLevel) {
    Enter();
    auto pub = Line(7, "bob", "hi //wx /c[\"/etc/passwd\"]");
    pub.attrs.colour = "#FF0000";
    Receive(pub);
    auto& recv = Chat("Edit_RecvChat");
    // Typed tags become faces; another user's local picture stays text.
    EXPECT_EQ(recv.Lines(),
              (std::vector<std::string>{"22:13:20bob(7) 22:13:20", "hi /wx /c[\"/etc/passwd\"]"}));
    // The time, the name, "(id) time", then the body.
    ASSERT_GE(recv.Formats().size(), 5u);
    for (int i : {1, 2, 3}) {
        EXPECT_EQ(recv.Formats()[i].face, "宋体") << i;  // header in the room's style
        EXPECT_EQ(recv.Formats()[i].size, 12) << i;
        EXPECT_EQ(recv.Formats()[i].colour, 0x112233u) << i;
    }
    EXPECT_EQ(recv.Formats()[4].colour, 0xFF0000u);  // body in the sender's colour
    EXPECT_EQ(recv.Formats()[4].size, 12);

    auto directed = Line(7, "bob", "for you");
    directed.style = 1;
    directed.receiver_id = 42;
    directed.attrs.vip_level = 2;
    EXPECT_FALSE(view.Find("VerVipCat") && view.Find("VerVipCat")->visible);
    Receive(directed);
    auto& vip = Chat("Edit_VipChat");
    // The VIP badge is drawn, but a text-only view does not print it.
    EXPECT_EQ(vip.Lines(),
              (std::vector<std::string>{"22:13:20bob(7)对ann(42) 22:13:20", "for you"}));
    EXPECT_EQ(vip.Images(), std::vector<std::string>{"vip2.png"});
    EXPECT_TRUE(view.Find("VerVipCat")->visible);
    EXPECT_EQ(recv.LineCount(), 2u);

    // A notice carrying the server's error draws nothing.
    auto failed = Line(7, "bob", "x");
    failed.message = "boom";
    Receive(failed);
    EXPECT_EQ(recv.LineCount(), 2u);
}

TEST_F(RoomChat, APeersControlCharactersArePrintedShownNotActedOn) {
    Enter();
    auto line = Line(7, "bob", "\x1b[2Jhi\xC2\x9B" "31m\xFF\nchat: [Edit_RecvChat] alice(1) x");
    line.attrs.nickname = "bob\x1b]0;t\x07";
    Receive(line);
    ASSERT_FALSE(view.Lines().empty());
    const std::string printed = view.Lines().back();
    EXPECT_EQ(printed.find('\x1b'), std::string::npos) << printed;
    EXPECT_NE(printed.find("\\x1b[2Jhi\\x9b31m\xEF\xBF\xBD chat: [Edit_RecvChat] alice(1) x"),
              std::string::npos)
        << printed;
}

TEST_F(RoomChat, EachKindHasItsHeaderAndTextIsWrittenOnce) {
    // Keeps the names written as a user's, as "name=id".
    class NamesView : public CHeadlessChatView {
    public:
        void AppendUserName(std::string_view name, std::uint32_t id, const ChatTextFormat& f) override {
            names.push_back(std::string(name) + "=" + std::to_string(id));
            CHeadlessChatView::AppendUserName(name, id, f);
        }
        std::vector<std::string> names;
    } v;
    ChatRenderContext c;
    c.time = 1'700'000'000;
    c.roomStyle = ParseChatStyle("楷体,9,#010203");
    const auto render = [&](std::uint8_t kind, std::uint32_t sender) {
        v.Clear();
        v.names.clear();
        ChatEntry e;
        e.kind = kind;
        e.senderId = sender;
        e.senderName = "sys";
        e.receiverId = 9;
        e.receiverName = "zed";
        e.text = "body";
        RenderChatEntry(v, e, c);
        return v.Lines();
    };
    using L = std::vector<std::string>;
    // Names of users with an id are marked as theirs (a right-click opens
    // their menu); a line without a user marks none.
    EXPECT_EQ(render(0, 5), (L{"22:13:20sys(5) 22:13:20", "body"}));
    EXPECT_EQ(v.names, L{"sys=5"});
    EXPECT_EQ(render(0, 0), (L{"22:13:20sys 22:13:20", "body"}));
    EXPECT_TRUE(v.names.empty());
    EXPECT_EQ(render(2, 5), (L{"22:13:20sys(5)对zed(9) 22:13:20", "body"}));
    EXPECT_EQ(v.names, (L{"sys=5", "zed=9"}));
    EXPECT_EQ(render(3, 0), (L{"22:13:20sys", "body"}));
    EXPECT_EQ(render(42, 0), (L{"22:13:20sys", "body"}));
    EXPECT_EQ(render(11, 0), (L{"22:13:20body"}));
    EXPECT_TRUE(v.names.empty());
    EXPECT_EQ(v.Formats()[1].face, "楷体");
    EXPECT_EQ(render(10, 0), (L{"22:13:20body"}));
    EXPECT_EQ(v.Formats()[1].face, "宋体");
    EXPECT_EQ(v.Formats()[1].size, 11);
    EXPECT_EQ(v.Formats()[1].colour, 0x292929u);

    // Badges follow the time, wealth first.
    v.Clear();
    ChatEntry e;
    e.senderName = "b";
    e.wealthIcon = "w.png";
    e.vipIcon = "v.png";
    RenderChatEntry(v, e, c);
    EXPECT_EQ(v.Images(), (std::vector<std::string>{"w.png", "v.png"}));
}

TEST_F(RoomChat, ViewsKeepTheirNewest200LinesUnlessMinimised) {
    CHeadlessChatView v;
    ChatRenderContext c;
    ChatEntry e;
    e.senderName = "s";
    for (int i = 0; i < 130; ++i) {
        e.text = "line " + std::to_string(i);
        RenderChatEntry(v, e, c);
    }
    ASSERT_EQ(v.LineCount(), 200u);
    EXPECT_EQ(v.Lines().back(), "line 129");
    EXPECT_EQ(v.Lines()[1], "line 30");  // entries 0..29 are gone

    c.minimised = true;
    for (int i = 130; i < 140; ++i) {
        e.text = "line " + std::to_string(i);
        RenderChatEntry(v, e, c);
    }
    EXPECT_EQ(v.LineCount(), 220u);
    c.minimised = false;
    RenderChatEntry(v, e, c);
    EXPECT_EQ(v.LineCount(), 200u);
    EXPECT_EQ(v.Lines().back(), "line 139");

    // Lines with breaks inside count as the lines they make.
    CHeadlessChatView w;
    e.text = "a\nb\nc";
    for (int i = 0; i < 60; ++i) RenderChatEntry(w, e, c);
    EXPECT_EQ(w.LineCount(), 200u);
}

TEST_F(RoomChat, SystemLinesOfTheRoomAreNoticesInTheRoomStyle) {
    Enter();
    session.AppendSystemLine("Edit_RecvChat", "bob 被禁言");
    auto& recv = Chat("Edit_RecvChat");
    EXPECT_EQ(recv.Lines(), std::vector<std::string>{"22:13:20bob 被禁言"});
    EXPECT_EQ(recv.Formats().back().colour, 0x112233u);
    // Entering another room empties the views.
    session.EnterRoom(1002);
    EXPECT_EQ(recv.LineCount(), 0u);
}

// --- pushed data -------------------------------------------------------------------

TEST_F(RoomChat, PushedSystemTextAndPicturesAreSystemEntries) {
    Enter();
    Push("0|维护通知 http://example.org/a");
    auto& recv = Chat("Edit_RecvChat");
    // Plain text keeps its slashes.
    EXPECT_EQ(recv.Lines(),
              (std::vector<std::string>{"22:13:20系统消息", "维护通知 http://example.org/a"}));
    EXPECT_EQ(recv.Formats().back().colour, 0xFF0A0Au);

    // A pushed picture may name a URL; it is fetched once and then shown.
    Push("1|http://cdn.example.org/p/banner.png");
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].message, unsigned(UM_CHAT_PICTURE_DONE));
    EXPECT_EQ(starter.calls[0].url, "http://cdn.example.org/p/banner.png");
    ASSERT_EQ(recv.Placeholders().size(), 1u);
    const std::string dest = starter.calls[0].destination;
    WriteFile(dest, "img");
    KitlibAnswer done = Downloaded(dest);
    EXPECT_TRUE(chat->OnTransferMessage(UM_CHAT_PICTURE_DONE, &done));
    EXPECT_EQ(recv.Placeholders().begin()->second, dest);

    // Without a type, or of a type nobody knows: nothing.
    const std::size_t lines = recv.LineCount();
    Push("no bar here");
    Push("7|{}");
    Push("x|text");
    EXPECT_EQ(recv.LineCount(), lines);
}

TEST_F(RoomChat, GiftLinesShowTheirIconAndQueueTheBanner) {
    Enter();
    auto& gifts = Chat("Edit_PrivateChat");
    Push(R"(2|{"kampoId":42,"recevierKampoId":7,"nickname":"ann","recevierNickname":"bob",)"
         R"("goodsName":"rose","goodsItems":3,"recharge":1,"appId":"100005",)"
         R"("chatPicUrl":"http://gifts/x/rose.png"})");
    // The giver is me and recharged: the balance is asked for again.
    EXPECT_EQ(account.balanceRequests, 2);  // once at login, once now
    // Role 20 is not below 8: no product marker.
    EXPECT_EQ(gifts.Lines(), std::vector<std::string>{" 22:13:20 ann送出bob[图片] X3"});
    EXPECT_TRUE(gifts.Formats()[0].bold);
    EXPECT_EQ(gifts.Formats()[1].colour, 0xF0F000u);
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].message, unsigned(UM_GIFT_ICON_DONE));
    EXPECT_EQ(starter.calls[0].destination, Data() + "res/globalgift/rose.png");
    auto& shows = view.HeadlessShows();
    ASSERT_EQ(shows.gifts.size(), 1u);
    EXPECT_EQ(shows.gifts[0].count, 3);
    EXPECT_NE(shows.gifts[0].pending, 0u);

    // A second gift with the same icon waits on the same download.
    Push(
        R"(3|{"nickname":"bob","recevierNickname":"ann","goodsItems":1,"iconUrl":"http://gifts/y/rose.png"})");
    EXPECT_EQ(starter.calls.size(), 1u);
    WriteFile(Data() + "res/globalgift/rose.png", "png");
    KitlibAnswer done = Downloaded(Data() + "res/globalgift/rose.png");
    chat->OnTransferMessage(UM_GIFT_ICON_DONE, &done);
    for (const auto& [key, state] : gifts.Placeholders())
        EXPECT_EQ(state, Data() + "res/globalgift/rose.png");
    EXPECT_TRUE(shows.done.at(shows.gifts[0].pending));
    EXPECT_TRUE(shows.done.at(shows.gifts[1].pending));

    // Cached now: shown at once, nothing to wait for. A manager sees the marker.
    session.EnterRoom(1001);
    Enter(3);
    Push(
        R"(4|{"nickname":"bob","recevierNickname":"ann","goodsItems":2,"appId":100005,"iconUrl":"http://g/rose.png"})");
    EXPECT_EQ(gifts.Lines().back(), " 22:13:20 bob送出ann[图片] X2 (zeri)");
    EXPECT_EQ(gifts.Images().back(), Data() + "res/globalgift/rose.png");
    EXPECT_EQ(shows.gifts.back().pending, 0u);

    // Counts outside 1–99999 are the sender's word: shown at the bound.
    for (const auto& [items, shown] : {std::pair<const char*, int>{"4294967297", 99999},
                                       {"-1", 1}, {"0", 1}, {"100000", 99999}}) {
        Push(std::string(R"(2|{"nickname":"bob","recevierNickname":"ann","iconUrl":"http://g/rose.png","goodsItems":)") +
             items + "}");
        EXPECT_EQ(gifts.Lines().back(), " 22:13:20 bob送出ann[图片] X" + std::to_string(shown));
        EXPECT_EQ(shows.gifts.back().count, shown);
    }
}

TEST_F(RoomChat, CarArrivalsPropsAndFlowers) {
    Enter();
    auto& recv = Chat("Edit_RecvChat");
    Push(R"(5|{"carName":"跑车","carIconUrl":"http://cars/c1.gif","nickname":"bob","kampoId":7})");
    EXPECT_EQ(recv.Lines(), (std::vector<std::string>{"bob开着跑车进来了", "[图片]"}));
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].message, unsigned(UM_CAR_ICON_DONE));
    auto& shows = view.HeadlessShows();
    ASSERT_EQ(shows.cars.size(), 1u);
    EXPECT_EQ(shows.cars[0].what, "跑车");
    // A failed download leaves the waiting picture and tells the car show.
    chat->OnTransferMessage(UM_CAR_ICON_DONE, nullptr);
    EXPECT_EQ(recv.Placeholders().begin()->second, "waiting");
    EXPECT_FALSE(shows.done.at(shows.cars[0].pending));

    Push(
        R"(8|{"nickName":"bob","propName":"锤子","operateName":"ann","extMsg":"敲了一下","msgType":"2"})");
    EXPECT_EQ(recv.Lines().back(), "bob用锤子把ann敲了一下");
    EXPECT_EQ(recv.Formats().back().colour, 0xD2D2D2u);
    EXPECT_EQ(recv.Formats()[recv.Formats().size() - 4].colour, 0xFF0000u);  // the prop name
    Push(R"(8|{"extMsg":"滚动字幕","msgType":"1"})");
    EXPECT_EQ(shows.videoTexts, std::vector<std::string>{"滚动字幕"});
    const std::size_t lines = recv.LineCount();
    Push(R"(8|{"extMsg":"x","msgType":"3"})");
    EXPECT_EQ(recv.LineCount(), lines);

    Push("6|{}");
    EXPECT_EQ(chat->flowers(), 0u);
    Push(R"(6|{"ext":{"nickname":"bob","role":20}})");
    Push(R"(6|{"ext":{}})");
    EXPECT_EQ(chat->flowers(), 2u);
    EXPECT_EQ(view.Text("text_flower"), "2");
    session.LeaveRoom();
    EXPECT_EQ(chat->flowers(), 0u);
}

// --- pieces ------------------------------------------------------------------------

TEST(ChatTransfers, OneRequestPerMessageInFlightSoEveryAnswerIsItsOwn) {
    FakeStarter starter;
    CSerialTransfers t(starter);
    ASSERT_TRUE(t.Fetch("id1", "/i/1"));
    ASSERT_TRUE(t.Fetch("http://h/2.png", "/i/2"));
    ASSERT_TRUE(t.FetchIcon(UM_GIFT_ICON_DONE, "http://g/a.png", "/g/a.png"));
    // Another message has its own line; the second picture waits.
    ASSERT_EQ(starter.calls.size(), 2u);
    EXPECT_EQ(starter.calls[0].url, "http://pics:8080/down?id=id1");
    EXPECT_EQ(t.Waiting(UM_CHAT_PICTURE_DONE), 2u);

    // A failure without any payload belongs to the one in flight, and the
    // next one starts.
    auto done = t.TakeAnswer(UM_CHAT_PICTURE_DONE, nullptr);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].source, "id1");
    EXPECT_FALSE(done[0].ok);
    ASSERT_EQ(starter.calls.size(), 3u);
    EXPECT_EQ(starter.calls[2].url, "http://h/2.png");

    KitlibAnswer a = Downloaded("/i/2");
    done = t.TakeAnswer(UM_CHAT_PICTURE_DONE, &a);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_TRUE(done[0].ok);
    EXPECT_TRUE(t.TakeAnswer(UM_CHAT_PICTURE_DONE, &a).empty());  // nothing in flight
    EXPECT_TRUE(t.TakeAnswer(999, &a).empty());

    // A waiting request that cannot be started is reported with the answer.
    ASSERT_TRUE(t.Fetch("a", "/i/a"));
    ASSERT_TRUE(t.Fetch("b", "/i/b"));
    starter.refuse = true;
    KitlibAnswer wrong = Downloaded("/i/other");
    done = t.TakeAnswer(UM_CHAT_PICTURE_DONE, &wrong);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_FALSE(done[0].ok);  // an answer for another file is no success
    EXPECT_EQ(done[1].source, "b");
    EXPECT_EQ(t.Waiting(UM_CHAT_PICTURE_DONE), 0u);
    EXPECT_FALSE(t.Fetch("c", "/i/c"));
}

TEST(PushData, TypesPayloadsAndNames) {
    struct Case {
        const char* raw;
        std::optional<int> type;
        const char* payload;
    };
    for (const Case& c :
         {Case{"0|hello|world", 0, "hello|world"}, Case{"12|", 12, ""}, Case{"|x", {}, ""},
          Case{"a|b", {}, ""}, Case{"nobar", {}, ""}, Case{"1234567890|x", {}, ""}}) {
        const auto d = SplitPushData(c.raw);
        ASSERT_EQ(d.has_value(), c.type.has_value()) << c.raw;
        if (!d) continue;
        EXPECT_EQ(d->type, *c.type) << c.raw;
        EXPECT_EQ(d->payload, c.payload) << c.raw;
    }
    const auto g = ParseGiftPush(R"({"kampoId":"42","goodsItems":"5","appId":100005})");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->giverId, 42u);
    EXPECT_EQ(g->count, 5);
    EXPECT_EQ(g->appId, 100005);
    EXPECT_FALSE(ParseGiftPush("[1,2]"));
    EXPECT_FALSE(FlowerPushCounts(R"({"ext":"text"})"));

    EXPECT_EQ(UrlFileName("http://h/a/b/c.png?x=1#y"), "c.png");
    EXPECT_EQ(UrlFileName("http://h/a/"), "");
    EXPECT_EQ(UrlFileName("http://h/.."), "");
    EXPECT_EQ(UrlFileName("c:\\x\\y.gif"), "y.gif");

    EXPECT_EQ(FromBgr(0xa0aff), 0xFF0A0Au);
    const ChatTextFormat f = ParseChatStyle("黑体, #ABCDEF ,bold,14");
    EXPECT_EQ(f.face, "黑体");
    EXPECT_EQ(f.colour, 0xABCDEFu);
    EXPECT_EQ(f.size, 14);
    EXPECT_TRUE(f.bold);
    const ChatTextFormat d = ParseChatStyle(",999");
    EXPECT_EQ(d.face, "宋体");
    EXPECT_EQ(d.size, 10);
}
