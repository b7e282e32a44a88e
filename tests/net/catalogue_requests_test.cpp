// Every request of the catalogue, byte for byte, against bodies written out
// by hand from the command table.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "hex.h"
#include "net/catalogue.h"

namespace {

using namespace msg;

constexpr std::uint32_t kMe = 1001;     // 00 00 03 E9
constexpr std::uint32_t kRoom = 2002;   // 00 00 07 D2
constexpr std::uint32_t kOther = 7;     // 00 00 00 07

#define ME "00 00 03 E9"
#define ROOM "00 00 07 D2"

struct Row {
    const char* name;
    packet_ptr packet;
    std::uint32_t id;
    const char* hex;
};

user_card MyCard() {
    user_card c;
    c.head_url = "h";
    c.profile_byte = 1;
    c.wealth_grade = 3;
    c.wealth_colour = "#FF0000";
    c.wealth_text = "g";
    c.vip_level = 2;
    return c;
}

chat_attrs MyAttrs() {
    chat_attrs a;
    a.nickname = "n";
    a.role = 3;
    a.sex = 1;
    a.colour = chat_colour(10, 11, 12);
    a.font = "f";
    a.wealth_grade = 4;
    a.vip_level = 2;
    return a;
}

std::vector<Row> Rows() {
    static const unsigned char frame[] = {0xAA, 0xBB};
    static const unsigned char audio[] = {1, 2, 3};
    std::vector<Row> rows;
    auto add = [&](const char* name, packet_ptr p, std::uint32_t id, const char* hex) {
        rows.push_back({name, std::move(p), id, hex});
    };

    Control_Login_Req login;
    login.user_id = kMe;
    login.room_id = kRoom;
    login.nickname = "ab";
    login.token = "tk";
    login.card = MyCard();
    add("Control_Login_Req", wire::build(login), 0x2000000,
        "01 00 04 " ME "  02 00 04 " ROOM "  04 00 03 61 62 00  0A 00 02 03 E8"
        "0B 00 04 00 00 00 07  03 00 03 74 6B 00  0E 00 04 00 01 86 A5"
        "06 00 3D"
        "  01 00 02 68 00  02 00 01 00  03 00 04 00 00 00 01  04 00 01 00"
        "  08 00 04 00 00 00 03  0C 00 08 23 46 46 30 30 30 30 00  0D 00 02 67 00"
        "  0E 00 04 00 00 00 00  0F 00 01 00  10 00 04 00 00 00 02");

    add("Control_Logout_Req", wire::build(Control_Logout_Req{kMe, kRoom}), 0x2000004,
        "02 00 04 " ME "  01 00 04 " ROOM);
    add("Control_Open_Mic_Req", wire::build(Control_Open_Mic_Req{kMe, kRoom}), 0x2000006,
        "02 00 04 " ME "  01 00 04 " ROOM);
    add("Control_Close_Mic_Req", wire::build(Control_Close_Mic_Req{kMe, kRoom}), 0x2000008,
        "02 00 04 " ME "  01 00 04 " ROOM);

    add("Control_Send_Chat_Req (private)",
        wire::build(make_chat_req(kMe, "hi", 1, kOther, MyAttrs())), 0x2000012,
        "01 00 04 " ME "  02 00 03 68 69 00  03 00 04 00 00 00 07  04 00 01 01"
        "05 00 2F"
        "  02 00 02 6E 00  04 00 01 03  05 00 01 01  03 00 08 23 30 41 30 42 30 43 00"
        "  06 00 02 66 00  07 00 04 00 00 00 04  09 00 04 00 00 00 02  0A 00 01 00");
    add("Control_Send_Chat_Req (public)",
        wire::build(make_chat_req(kMe, "hi", 0, kOther, MyAttrs())), 0x2000012,
        "01 00 04 " ME "  02 00 03 68 69 00  03 00 04 00 00 00 00  04 00 01 00"
        "05 00 2F"
        "  02 00 02 6E 00  04 00 01 03  05 00 01 01  03 00 08 23 30 41 30 42 30 43 00"
        "  06 00 02 66 00  07 00 04 00 00 00 04  09 00 04 00 00 00 02  0A 00 01 00");

    add("Control_Set_Power_Req", wire::build(Control_Set_Power_Req{kMe, kOther, 5, 30}),
        0x2000070, "01 00 04 " ME "  02 00 04 00 00 00 07  03 00 01 05  04 00 04 00 00 00 1E");
    add("Control_Gag_Req", wire::build(Control_Gag_Req{kMe, kOther, "x", 1}), 0x2000080,
        "01 00 04 " ME "  02 00 04 00 00 00 07  03 00 02 78 00  04 00 04 00 00 00 01");
    add("Control_Cancel_Gag_Req", wire::build(Control_Cancel_Gag_Req{kMe, kOther}), 0x2000082,
        "01 00 04 " ME "  02 00 04 00 00 00 07");
    add("Control_Set_Room_Mode_Req", wire::build(Control_Set_Room_Mode_Req{kMe, 2}), 0x2001010,
        "01 00 04 " ME "  02 00 04 00 00 00 02");
    add("Control_Set_User_Mic_Req", wire::build(Control_Set_User_Mic_Req{kMe, kOther}),
        0x2001012, "01 00 04 " ME "  02 00 04 00 00 00 07");
    add("Control_Set_Room_Info_Req", wire::build(Control_Set_Room_Info_Req{"a", "b", "c"}),
        0x2002002, "03 00 02 61 00  0A 00 02 62 00  04 00 02 63 00");
    add("Control_Get_Room_Info_Req", wire::build(Control_Get_Room_Info_Req{kMe}), 0x2002004,
        "01 00 04 " ME);
    add("Control_Rob_Wheat_Req", wire::build(Control_Rob_Wheat_Req{kMe}), 0x2003001,
        "01 00 04 " ME);
    add("Control_Put_Wheat_Req", wire::build(Control_Put_Wheat_Req{kMe}), 0x2003003,
        "01 00 04 " ME);
    add("Control_Control_Wheat_Req", wire::build(Control_Control_Wheat_Req{kMe, 1}), 0x2003005,
        "01 00 04 " ME "  02 00 04 00 00 00 01");
    add("Control_Disable_Wheat_Req", wire::build(Control_Disable_Wheat_Req{kMe, 0}), 0x2003007,
        "01 00 04 " ME "  02 00 04 00 00 00 00");
    add("Control_Add_WheatTm_Req", wire::build(Control_Add_WheatTm_Req{kOther}), 0x2003010,
        "01 00 04 00 00 00 07");
    add("Control_Remove_Wheat_Req", wire::build(Control_Remove_Wheat_Req{kOther}), 0x2003012,
        "01 00 04 00 00 00 07");
    add("Control_RemoveAll_Wheat_Req", wire::build(Control_RemoveAll_Wheat_Req{kOther}),
        0x2003014, "01 00 04 00 00 00 07");
    add("Control_Top_Wheat_Req", wire::build(Control_Top_Wheat_Req{kOther}), 0x2003016,
        "01 00 04 00 00 00 07");
    add("Control_Kick_Req", wire::build(Control_Kick_Req{kOther, "r", 60}), 0x8000002,
        "02 00 04 00 00 00 07  04 00 02 72 00  03 00 04 00 00 00 3C");

    add("Video_Login_Req", wire::build(Video_Login_Req{kMe, kRoom}), 0x3000000,
        "01 00 04 " ME "  02 00 04 " ROOM "  03 00 01 05  05 00 01 01");
    add("Video_Logout_Req", wire::build(Video_Logout_Req{kRoom, kMe}), 0x3000010,
        "01 00 04 " ROOM "  02 00 04 " ME);
    add("Video_Data", wire::build(Video_Data{40, 0x12345678, wire::bytes(frame)}), 0x3000030,
        "03 00 04 00 00 00 28  02 00 04 12 34 56 78  01 00 02 AA BB");
    add("Mix_Login_Req", wire::build(Mix_Login_Req{kRoom, kMe}), 0x5100000,
        "02 00 04 " ROOM "  01 00 04 " ME "  03 00 04 00 00 00 07  05 00 02 00 6E"
        "06 00 04 00 00 00 02  08 00 04 00 00 00 00");
    add("Mix_Logout_Req", wire::build(Mix_Logout_Req{kMe, kRoom}), 0x5100002,
        "01 00 04 " ME "  02 00 04 " ROOM);
    add("Mix_Open_Mic_Req", wire::build(Mix_Open_Mic_Req{kMe, kRoom, 1}), 0x5100004,
        "01 00 04 " ME "  02 00 04 " ROOM "  03 00 04 00 00 00 01");
    add("Mix_Audio_Data", wire::build(Mix_Audio_Data{wire::bytes(audio), 23}), 0x5100012,
        "01 00 03 01 02 03  02 00 04 00 00 00 17");
    return rows;
}

TEST(CatalogueRequests, EveryRequestIsByteExact) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.packet);
        EXPECT_EQ(row.packet->cmd, row.id);
        EXPECT_EQ(ToHex(row.packet->body, row.packet->length), ToHex(Hex(row.hex)));
    }
}

TEST(CatalogueRequests, TheTableCoversTheWholeCatalogue) {
    std::set<std::uint32_t> tested;
    for (const Row& row : Rows()) tested.insert(row.id);
    std::set<std::uint32_t> catalogue;
    std::apply([&](auto... m) { (catalogue.insert(decltype(m)::id), ...); }, msg::requests{});
    EXPECT_EQ(tested, catalogue);
    for (std::uint32_t id : catalogue) EXPECT_NE(cmd::command_name(id), nullptr);
}

// The server reads requests with the same field lists.
TEST(CatalogueRequests, ServerDecodesWhatTheClientBuilds) {
    Control_Login_Req login;
    login.user_id = kMe;
    login.room_id = kRoom;
    login.nickname = "昵称";
    login.token = "tk";
    login.card = MyCard();
    packet_ptr p = wire::build(login);
    const auto got = wire::decode<Control_Login_Req>(p->body, p->length);
    EXPECT_EQ(got.user_id, kMe);
    EXPECT_EQ(got.room_id, kRoom);
    EXPECT_EQ(got.nickname, "昵称");
    EXPECT_EQ(got.client_kind, 1000);
    EXPECT_EQ(got.app_id, 100005u);
    EXPECT_EQ(got.card.wealth_colour, "#FF0000");
    EXPECT_EQ(got.card.vip_level, 2u);

    packet_ptr c = wire::build(make_chat_req(kMe, "hello", 2, kOther, MyAttrs()));
    const auto chat = wire::decode<Control_Send_Chat_Req>(c->body, c->length);
    EXPECT_EQ(chat.line, "hello");
    EXPECT_EQ(chat.kind, 2);
    EXPECT_EQ(chat.receiver_id, kOther);
    EXPECT_EQ(chat.attrs.colour, "#0A0B0C");
    EXPECT_EQ(chat.attrs.role, 3);
}

TEST(CatalogueRequests, ARequestThatCannotFitIsNotBuilt) {
    Control_Send_Chat_Req r = make_chat_req(kMe, std::string(70000, 'a'), 0, 0, MyAttrs());
    EXPECT_FALSE(wire::build(r));
    // A long line that fits goes out whole, past one chunk.
    r.line.assign(20000, 'a');
    packet_ptr p = wire::build(r);
    ASSERT_TRUE(p);
    EXPECT_EQ(wire::decode<Control_Send_Chat_Req>(p->body, p->length).line.size(), 20000u);
}

TEST(CatalogueRequests, Colours) {
    EXPECT_EQ(chat_colour(255, 0, 171), "#FF00AB");
    EXPECT_EQ(card_colour("#FF0000"), 0xFFFF0000u);
    EXPECT_EQ(card_colour("#0a0B0c"), 0xFF0A0B0Cu);
    EXPECT_EQ(card_colour(""), 0u);
    EXPECT_EQ(card_colour("FF0000"), 0u);
    EXPECT_EQ(card_colour("#FF00"), 0u);
    EXPECT_EQ(card_colour("#GG0000"), 0u);
    EXPECT_EQ(card_colour("#FF00000"), 0u);
}

}  // namespace
