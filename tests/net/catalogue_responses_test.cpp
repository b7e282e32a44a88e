// Responses and notifications decoded from bodies written out by hand, the
// common status tags, and what the server's builders produce.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "hex.h"
#include "net/catalogue.h"

namespace {

using namespace msg;

#define ME "00 00 03 E9"
#define ROOM "00 00 07 D2"

// Keeps the bytes alive: raw fields point into them.
template <class Msg>
struct Decoded {
    std::vector<unsigned char> bytes;
    Msg m;
};

template <class Msg>
Decoded<Msg> D(const char* hex) {
    Decoded<Msg> d{Hex(hex), {}};
    d.m = wire::decode<Msg>(d.bytes.data(), d.bytes.size());
    return d;
}

std::string Str(wire::bytes b) { return std::string(b.begin(), b.end()); }

TEST(CatalogueRoom, LoginResponse) {
    auto d = D<Control_Login_Resp>(
        "01 00 04 " ROOM "  02 00 04 00 01 00 05  03 00 04 00 00 00 06  04 00 02 00 07"
        "05 00 02 00 08  06 00 01 09  08 00 04 00 00 00 0A  0D 00 01 01  12 00 01 02"
        "13 00 01 07  18 00 04 00 00 00 05  15 00 04 68 69 21 00  09 00 02 78 00"
        "0E 00 03 52 31 00  11 00 02 66 00");
    const Control_Login_Resp& r = d.m;
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.room_id, 2002u);
    EXPECT_EQ(r.value2, 5) << "a 16-bit field keeps the low half";
    EXPECT_EQ(r.value3, 6u);
    EXPECT_EQ(r.value4, 7);
    EXPECT_EQ(r.value5, 8);
    EXPECT_EQ(r.value6, 9);
    EXPECT_EQ(r.value8, 10u);
    EXPECT_EQ(r.gagged, 1);
    EXPECT_EQ(r.room_mode, 2);
    EXPECT_EQ(r.role, 7);
    EXPECT_EQ(r.chat_interval, 5u);
    EXPECT_EQ(r.announcement, "hi!");
    EXPECT_EQ(r.text9, "x");
    EXPECT_EQ(r.room_name, "R1");
    EXPECT_EQ(r.chat_font, "f");

    auto f = D<Control_Login_Resp>("D1 00 05 62 61 64 21 00  D0 00 04 00 00 00 0C");
    EXPECT_FALSE(f.m.ok());
    EXPECT_EQ(f.m.message, "bad!");
    EXPECT_EQ(f.m.code, 12u);
    EXPECT_EQ(f.m.room_id, 0u);
}

TEST(CatalogueRoom, MembershipAndSettings) {
    auto lo = D<Control_Logout_Resp>("01 00 04 " ROOM "  02 00 04 " ME);
    EXPECT_EQ(lo.m.room_id, 2002u);
    EXPECT_EQ(lo.m.user_id, 1001u);

    EXPECT_EQ(D<Control_Get_UserCount_Resp>("02 00 02 01 2C").m.count, 300u);

    auto mode = D<Control_Set_Room_Mode_Resp>("01 00 04 " ME "  02 00 01 03");
    EXPECT_EQ(mode.m.user_id, 1001u);
    EXPECT_EQ(mode.m.mode, 3u);
    EXPECT_EQ(D<Control_Room_Mode_Notify>("01 00 01 02").m.mode, 2u);

    auto info = D<Control_Get_Room_Info_Resp>(
        "01 00 04 " ROOM "  02 00 02 61 00  03 00 02 62 00  04 00 02 63 00  0A 00 02 64 00"
        "05 00 01 01  06 00 01 02  07 00 01 03  08 00 01 04");
    EXPECT_EQ(info.m.room_id, 2002u);
    EXPECT_EQ(info.m.text2 + info.m.text3 + info.m.text4 + info.m.text10, "abcd");
    EXPECT_EQ(info.m.value5 + 10 * info.m.value6 + 100 * info.m.value7 + 1000 * info.m.value8,
              4321u);

    auto set = D<Control_Set_Room_Info_Resp>("D1 00 02 65 00");
    EXPECT_EQ(set.m.message, "e");
}

TEST(CatalogueRoom, UserNotifications) {
    auto in = D<Control_User_Login_Notify>(
        "07 00 1B  01 00 02 68 00  08 00 04 00 00 00 03  0C 00 08 23 30 30 46 46 30 30 00"
        "          10 00 01 01"
        "01 00 04 00 00 00 07  02 00 02 6E 00  06 00 01 01  05 00 01 03");
    EXPECT_EQ(in.m.user_id, 7u);
    EXPECT_EQ(in.m.nickname, "n");
    EXPECT_EQ(in.m.gagged, 1);
    EXPECT_EQ(in.m.role, 3);
    EXPECT_EQ(in.m.card.head_url, "h");
    EXPECT_EQ(in.m.card.wealth_grade, 3u);
    EXPECT_EQ(card_colour(in.m.card.wealth_colour), 0xFF00FF00u);
    EXPECT_EQ(in.m.card.vip_level, 1u);
    EXPECT_EQ(in.m.card.medal_url, "");

    auto out = D<Control_User_Logout_Notify>("01 00 04 00 00 00 07  02 00 02 78 00");
    EXPECT_EQ(out.m.user_id, 7u);
    EXPECT_EQ(out.m.text2, "x");

    auto other = D<Control_Login_Other_Notify>("01 00 04 " ME "  02 00 01 02");
    EXPECT_EQ(other.m.user_id, 1001u);
    EXPECT_EQ(other.m.kind, 2u);

    auto kick = D<Control_Kick_Notify>("01 00 04 " ME "  02 00 02 6B 00");
    EXPECT_EQ(kick.m.user_id, 1001u);
    EXPECT_EQ(kick.m.text2, "k");
}

TEST(CatalogueRoom, UserListBlocksInOrder) {
    auto d = D<Control_Room_UserList_Notify>(
        "02 00 1E  05 00 01 03  01 00 04 00 00 00 07  02 00 02 61 00  03 00 01 00"
        "          04 00 07 08 00 04 00 00 00 05"
        "02 00 14  05 00 01 01  01 00 04 00 00 00 08  02 00 02 62 00  03 00 01 01");
    ASSERT_EQ(d.m.users.size(), 2u);
    EXPECT_EQ(d.m.users[0].role, 3);
    EXPECT_EQ(d.m.users[0].user_id, 7u);
    EXPECT_EQ(d.m.users[0].nickname, "a");
    EXPECT_EQ(d.m.users[0].gagged, 0);
    EXPECT_EQ(d.m.users[0].card.wealth_grade, 5u);
    EXPECT_EQ(d.m.users[1].user_id, 8u);
    EXPECT_EQ(d.m.users[1].gagged, 1);
    EXPECT_EQ(d.m.users[1].card.wealth_grade, 0u) << "no card";
}

TEST(CatalogueRoom, AnchorPresentOrAbsent) {
    auto on = D<Control_Anchor_Notify>("02 00 07 01 00 04 00 00 00 07");
    ASSERT_TRUE(on.m.anchor.user_id.has_value());
    EXPECT_EQ(*on.m.anchor.user_id, 7u);
    EXPECT_FALSE(D<Control_Anchor_Notify>("").m.anchor.user_id.has_value());
    EXPECT_FALSE(D<Control_Anchor_Notify>("02 00 04 03 00 01 01").m.anchor.user_id.has_value());

    // The server's notify for "no anchor" carries no block at all.
    packet_ptr none = wire::build(Control_Anchor_Notify{});
    EXPECT_EQ(none->length, 0u);
}

TEST(CatalogueChat, ChatNotifyAndPushedData) {
    auto d = D<Control_Chat_Notify>(
        "01 00 04 00 00 00 07  02 00 03 68 69 00  05 00 04 " ME "  03 00 02 61 00"
        "04 00 02 62 00  06 00 01 02  07 00 09 02 00 02 6E 00 04 00 01 03");
    EXPECT_EQ(d.m.sender_id, 7u);
    EXPECT_EQ(chat_line_text(d.m.line), "hi");
    EXPECT_EQ(d.m.line.data(), d.bytes.data() + 10) << "the line is not copied";
    EXPECT_EQ(d.m.receiver_id, 1001u);
    EXPECT_EQ(d.m.sender_name, "a");
    EXPECT_EQ(d.m.receiver_name, "b");
    EXPECT_EQ(d.m.style, 2);
    EXPECT_EQ(d.m.attrs.nickname, "n");
    EXPECT_EQ(d.m.attrs.role, 3);

    // A raw line without NUL is still the whole line.
    auto bare = D<Control_Chat_Notify>("02 00 02 6F 6B");
    EXPECT_EQ(chat_line_text(bare.m.line), "ok");

    auto push = D<Control_Push_Data_Notify>("01 00 07 7B 22 61 22 3A 31 7D");
    EXPECT_EQ(Str(push.m.json), "{\"a\":1}");
}

TEST(CatalogueModeration, ResponsesAndNotifications) {
    auto sp = D<Control_Set_Power_Resp>("01 00 04 " ME "  02 00 01 07");
    EXPECT_EQ(sp.m.user_id, 1001u);
    EXPECT_EQ(sp.m.target_id, 7u);
    auto pn = D<Control_Power_Notify>("02 00 04 00 00 00 07  03 00 01 05");
    EXPECT_EQ(pn.m.user_id, 7u);
    EXPECT_EQ(pn.m.role, 5);
    EXPECT_EQ(D<Control_Gag_Resp>("02 00 04 00 00 00 07").m.target_id, 7u);
    EXPECT_EQ(D<Control_Cancel_Gag_Resp>("02 00 04 00 00 00 07").m.target_id, 7u);
    auto g = D<Control_Gag_Notify>("01 00 04 00 00 00 07  02 00 03 6E 6E 00");
    EXPECT_EQ(g.m.user_id, 7u);
    EXPECT_EQ(g.m.nickname, "nn");
    EXPECT_EQ(D<Control_Cancel_Gag_Notify>("01 00 04 00 00 00 07").m.user_id, 7u);
    EXPECT_EQ(D<Control_Kick_Resp>("D1 00 02 6E 00").m.message, "n");
}

TEST(CatalogueMic, ResponsesAndTheQueue) {
    EXPECT_EQ(D<Control_Open_Mic_Resp>("03 00 04 " ME).m.user_id, 1001u);
    EXPECT_EQ(D<Control_Close_Mic_Resp>("D1 00 02 65 00").m.message, "e");
    auto um = D<Control_Set_User_Mic_Resp>("01 00 04 " ME "  02 00 04 00 00 00 07");
    EXPECT_EQ(um.m.user_id, 1001u);
    EXPECT_EQ(um.m.value, 7u);
    EXPECT_EQ(D<Control_Rob_Wheat_Resp>("01 00 04 " ME).m.user_id, 1001u);
    EXPECT_EQ(D<Control_Put_Wheat_Resp>("01 00 04 " ME).m.user_id, 1001u);
    EXPECT_EQ(D<Control_Remove_Wheat_Resp>("01 00 04 00 00 00 07").m.user_id, 7u);
    EXPECT_EQ(D<Control_Control_Wheat_Resp>("01 00 04 " ME "  02 00 01 01").m.value, 1u);
    EXPECT_EQ(D<Control_Disable_Wheat_Resp>("01 00 04 " ME "  02 00 01 00").m.value, 0u);
    EXPECT_EQ(D<Control_Add_WheatTm_Resp>("D1 00 02 65 00").m.message, "e");
    EXPECT_EQ(D<Control_RemoveAll_Wheat_Resp>("D1 00 02 65 00").m.message, "e");

    auto q = D<Control_Wheat_List_Notify>(
        "01 00 02 00 3C  03 00 01 01  04 00 01 00"
        "02 00 04 00 00 00 07  02 00 04 00 00 00 05  02 00 04 00 00 00 09");
    EXPECT_EQ(q.m.remaining, 60);
    EXPECT_EQ(q.m.controlled, 1);
    EXPECT_EQ(q.m.forbidden, 0);
    EXPECT_EQ(q.m.queue, (std::vector<std::uint32_t>{7, 5, 9}));
    EXPECT_TRUE(D<Control_Wheat_List_Notify>("01 00 02 00 3C").m.queue.empty());
}

TEST(CatalogueMedia, VideoService) {
    auto vl = D<Video_Login_Resp>("01 00 04 " ROOM "  02 00 01 01  03 00 01 02  04 00 01 03");
    EXPECT_EQ(vl.m.room_id, 2002u);
    EXPECT_EQ(vl.m.value2 + vl.m.value3 + vl.m.value4, 6u);
    auto vm = D<Video_Room_Mode_Notify>("01 00 04 " ROOM "  02 00 01 02  03 00 01 01");
    EXPECT_EQ(vm.m.room_id, 2002u);
    EXPECT_EQ(vm.m.mode, 2u);
    EXPECT_EQ(vm.m.value3, 1u);
    auto vd = D<Video_Data_Notify>(
        "01 00 04 " ME "  03 00 04 12 34 56 78  04 00 04 00 00 00 09  02 00 03 01 02 03");
    EXPECT_EQ(vd.m.value1, 1001u);
    EXPECT_EQ(vd.m.header_word, 0x12345678u);
    EXPECT_EQ(vd.m.value4, 9u);
    EXPECT_EQ(Str(vd.m.frame), std::string("\x01\x02\x03"));
    EXPECT_EQ(D<Video_Logout_Resp>("D1 00 02 65 00").m.message, "e");
    EXPECT_TRUE(D<Video_Silent_Resp>("01 00 01 01").m.ok());
}

TEST(CatalogueMedia, MediaServerAndVoice) {
    auto om = D<Mix_Open_Mic_Resp>("02 00 04 " ROOM "  01 00 04 " ME "  03 00 01 01");
    EXPECT_EQ(om.m.room_id, 2002u);
    EXPECT_EQ(om.m.user_id, 1001u);
    EXPECT_EQ(om.m.value3, 1u);
    EXPECT_EQ(D<Mix_Login_Resp>("D1 00 02 65 00").m.message, "e");
    EXPECT_TRUE(D<Mix_Logout_Resp>("").m.ok());

    const char* audio_hex =
        "02 00 02 AA BB  03 00 01 01  04 00 01 02  05 00 04 00 00 01 00"
        "01 00 04 00 00 00 07  06 00 04 00 00 00 08";
    auto aac = D<Audio_Aac_Notify>(audio_hex);
    EXPECT_EQ(Str(aac.m.audio), "\xAA\xBB");
    EXPECT_EQ(aac.m.stamp, 256u);
    EXPECT_EQ(aac.m.speaker1, 7u);
    EXPECT_EQ(aac.m.speaker2, 8u);
    EXPECT_EQ(aac.m.value3 + aac.m.value4, 3u);
    EXPECT_EQ(D<Audio_Amr_Notify>(audio_hex).m.speaker2, 8u);

    const char* mix_hex =
        "02 00 02 AA BB  01 00 04 00 00 00 07  04 00 04 00 00 00 08  03 00 04 00 00 01 00";
    auto mix = D<Mix_Aac_Notify>(mix_hex);
    EXPECT_EQ(mix.m.speaker1, 7u);
    EXPECT_EQ(mix.m.speaker2, 8u);
    EXPECT_EQ(mix.m.stamp, 256u);
    EXPECT_EQ(D<Mix_Amr_Notify>(mix_hex).m.stamp, 256u);

    auto dropped = D<Mix_Aac_Notify>("D1 00 02 65 00  02 00 02 AA BB");
    EXPECT_FALSE(dropped.m.ok()) << "the sink drops voice carrying a server text";
}

template <class Msg>
std::vector<unsigned> TagsOf() {
    std::vector<unsigned> tags;
    std::apply([&](const auto&... f) { (tags.push_back(f.tag), ...); }, Msg::fields());
    return tags;
}

// A tag listed twice in one message would make one field shadow another;
// 208/209 belong to the status.
TEST(CatalogueShape, EveryMessageListsEachTagOnce) {
    auto check = [](const char* name, const std::vector<unsigned>& tags) {
        std::set<unsigned> seen;
        for (unsigned t : tags) {
            EXPECT_TRUE(seen.insert(t).second) << name << " repeats tag " << t;
            EXPECT_LT(t, 208u) << name;
        }
    };
    auto each = [&](auto list) {
        std::apply([&](auto... m) { (check(cmd::command_name(decltype(m)::id), TagsOf<decltype(m)>()), ...); },
                   list);
    };
    each(msg::requests{});
    each(msg::responses{});
    check("user_card", TagsOf<user_card>());
    check("chat_attrs", TagsOf<chat_attrs>());
    check("user_block", TagsOf<user_block>());
}

// Every response reads the server's text and code, whatever else it holds.
TEST(CatalogueShape, EveryResponseCarriesTheStatus) {
    const auto bytes = Hex("D1 00 04 65 72 72 00  D0 00 01 05");
    std::apply(
        [&](auto... m) {
            auto one = [&](auto msg) {
                using M = decltype(msg);
                SCOPED_TRACE(cmd::command_name(M::id));
                EXPECT_TRUE(wire::decode<M>(nullptr, 0).ok());
                const M got = wire::decode<M>(bytes.data(), bytes.size());
                EXPECT_EQ(got.message, "err");
                EXPECT_EQ(got.code, 5u);
                M sent{};
                sent.message = "refused";
                sent.code = 9;
                packet_ptr p = wire::build(sent);
                ASSERT_TRUE(p);
                EXPECT_EQ(p->cmd, M::id);
                const M back = wire::decode<M>(p->body, p->length);
                EXPECT_EQ(back.message, "refused");
                EXPECT_EQ(back.code, 9u);
            };
            (one(m), ...);
        },
        msg::responses{});
}

TEST(CatalogueServer, UserListOfManyRoundTrips) {
    Control_Room_UserList_Notify list;
    for (std::uint32_t i = 0; i < 200; ++i) {
        user_block u;
        u.user_id = 10000 + i;
        u.role = static_cast<std::uint8_t>(i % 9);
        u.nickname = "user" + std::to_string(i);
        u.gagged = i % 2;
        u.card.head_url = "http://pics.example/head/" + std::to_string(i) + ".png";
        u.card.wealth_grade = i;
        u.card.wealth_colour = chat_colour(static_cast<std::uint8_t>(i), 0, 0);
        list.users.push_back(u);
    }
    packet_ptr p = wire::build(list);
    ASSERT_TRUE(p);
    EXPECT_GT(p->length, 8196u) << "spans several chunks";
    const auto back = wire::decode<Control_Room_UserList_Notify>(p->body, p->length);
    ASSERT_EQ(back.users.size(), 200u);
    for (std::uint32_t i = 0; i < 200; ++i) {
        EXPECT_EQ(back.users[i].user_id, 10000 + i);
        EXPECT_EQ(back.users[i].nickname, "user" + std::to_string(i));
        EXPECT_EQ(back.users[i].card.wealth_grade, i);
        EXPECT_EQ(card_colour(back.users[i].card.wealth_colour), 0xFF000000u | (i << 16));
    }
}

}  // namespace
