#pragma once
// Room login, membership, room mode and room settings (chat channel).

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "net/commands.h"
#include "net/fields.h"
#include "net/user_card.h"

namespace msg {

struct Control_Login_Req {
    static constexpr std::uint32_t id = cmd::Control_Login_Req;
    std::uint32_t user_id = 0;
    std::uint32_t room_id = 0;
    std::string nickname;
    std::uint16_t client_kind = 1000;
    std::uint32_t client_version = 7;
    std::string token;  // account token
    std::uint32_t app_id = 100005;
    user_card card;  // my own

    static constexpr auto fields() {
        using M = Control_Login_Req;
        return std::tuple{wire::u32(1, &M::user_id),         wire::u32(2, &M::room_id),
                          wire::text(4, &M::nickname),       wire::u16(10, &M::client_kind),
                          wire::u32(11, &M::client_version), wire::text(3, &M::token),
                          wire::u32(14, &M::app_id),         wire::nested(6, &M::card)};
    }
};

struct Control_Login_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Login_Resp;
    std::uint32_t room_id = 0;        // 1
    std::uint16_t value2 = 0;         // 2
    std::uint32_t value3 = 0;         // 3
    std::uint16_t value4 = 0;         // 4
    std::uint16_t value5 = 0;         // 5
    std::uint8_t value6 = 0;          // 6
    std::uint32_t value8 = 0;         // 8
    std::uint8_t gagged = 0;          // 13 my gag flag
    std::uint8_t room_mode = 0;       // 18
    std::uint8_t role = 0;            // 19 my role
    std::uint32_t chat_interval = 0;  // 24 shortest seconds between two lines I send
    std::string announcement;         // 21
    std::string text9;                // 9
    std::string room_name;            // 14
    std::string chat_font;            // 17
    // 30: this login's media key. The video and media-server logins send it
    // back (tag 30 of theirs) to show they belong to this chat login.
    std::string media_key;

    static constexpr auto fields() {
        using M = Control_Login_Resp;
        return std::tuple{wire::u32(1, &M::room_id),        wire::u16(2, &M::value2),
                          wire::u32(3, &M::value3),         wire::u16(4, &M::value4),
                          wire::u16(5, &M::value5),         wire::u8(6, &M::value6),
                          wire::u32(8, &M::value8),         wire::u8(13, &M::gagged),
                          wire::u8(18, &M::room_mode),      wire::u8(19, &M::role),
                          wire::u32(24, &M::chat_interval), wire::text(21, &M::announcement),
                          wire::text(9, &M::text9),         wire::text(14, &M::room_name),
                          wire::text(17, &M::chat_font),    wire::extra_text(30, &M::media_key)};
    }
};

// 0x2000003: accepted and ignored.
struct Control_Silent_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Silent_Resp;
    static constexpr auto fields() { return std::tuple{}; }
};

// Note the order: room id in tag 1, user id in tag 2.
struct Control_Logout_Req {
    static constexpr std::uint32_t id = cmd::Control_Logout_Req;
    std::uint32_t user_id = 0;
    std::uint32_t room_id = 0;

    static constexpr auto fields() {
        using M = Control_Logout_Req;
        return std::tuple{wire::u32(2, &M::user_id), wire::u32(1, &M::room_id)};
    }
};

struct Control_Logout_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Logout_Resp;
    std::uint32_t room_id = 0;  // 1
    std::uint32_t user_id = 0;  // 2

    static constexpr auto fields() {
        using M = Control_Logout_Resp;
        return std::tuple{wire::u32(1, &M::room_id), wire::u32(2, &M::user_id)};
    }
};

struct Control_Get_UserCount_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Get_UserCount_Resp;
    std::uint32_t count = 0;  // 2

    static constexpr auto fields() {
        using M = Control_Get_UserCount_Resp;
        return std::tuple{wire::u32(2, &M::count)};
    }
};

struct Control_Set_Room_Mode_Req {
    static constexpr std::uint32_t id = cmd::Control_Set_Room_Mode_Req;
    std::uint32_t user_id = 0;
    std::uint32_t mode = 0;

    static constexpr auto fields() {
        using M = Control_Set_Room_Mode_Req;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::mode)};
    }
};

struct Control_Set_Room_Mode_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Set_Room_Mode_Resp;
    std::uint32_t user_id = 0;  // 1
    std::uint32_t mode = 0;     // 2

    static constexpr auto fields() {
        using M = Control_Set_Room_Mode_Resp;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::mode)};
    }
};

struct Control_Room_Mode_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Room_Mode_Notify;
    std::uint32_t mode = 0;  // 1

    static constexpr auto fields() {
        using M = Control_Room_Mode_Notify;
        return std::tuple{wire::u32(1, &M::mode)};
    }
};

// The room settings edited in the room settings dialog.
struct Control_Set_Room_Info_Req {
    static constexpr std::uint32_t id = cmd::Control_Set_Room_Info_Req;
    std::string text3;
    std::string text10;
    std::string text4;

    static constexpr auto fields() {
        using M = Control_Set_Room_Info_Req;
        return std::tuple{wire::text(3, &M::text3), wire::text(10, &M::text10),
                          wire::text(4, &M::text4)};
    }
};

struct Control_Set_Room_Info_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Set_Room_Info_Resp;
    static constexpr auto fields() { return std::tuple{}; }
};

struct Control_Get_Room_Info_Req {
    static constexpr std::uint32_t id = cmd::Control_Get_Room_Info_Req;
    std::uint32_t user_id = 0;

    static constexpr auto fields() {
        using M = Control_Get_Room_Info_Req;
        return std::tuple{wire::u32(1, &M::user_id)};
    }
};

// Four texts and four integers of room settings; a non-empty text 10 is
// also shown in the public chat.
struct Control_Get_Room_Info_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Get_Room_Info_Resp;
    std::uint32_t room_id = 0;  // 1
    std::string text2, text3, text4, text10;
    std::uint32_t value5 = 0, value6 = 0, value7 = 0, value8 = 0;

    static constexpr auto fields() {
        using M = Control_Get_Room_Info_Resp;
        return std::tuple{wire::u32(1, &M::room_id), wire::text(2, &M::text2),
                          wire::text(3, &M::text3),  wire::text(4, &M::text4),
                          wire::text(10, &M::text10), wire::u32(5, &M::value5),
                          wire::u32(6, &M::value6),  wire::u32(7, &M::value7),
                          wire::u32(8, &M::value8)};
    }
};

struct Control_User_Login_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_User_Login_Notify;
    user_card card;             // 7
    std::uint32_t user_id = 0;  // 1
    std::string nickname;       // 2
    std::uint8_t gagged = 0;    // 6
    std::uint8_t role = 0;      // 5

    static constexpr auto fields() {
        using M = Control_User_Login_Notify;
        return std::tuple{wire::nested(7, &M::card), wire::u32(1, &M::user_id),
                          wire::text(2, &M::nickname), wire::u8(6, &M::gagged),
                          wire::u8(5, &M::role)};
    }
};

struct Control_User_Logout_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_User_Logout_Notify;
    std::uint32_t user_id = 0;  // 1
    std::string text2;          // 2

    static constexpr auto fields() {
        using M = Control_User_Logout_Notify;
        return std::tuple{wire::u32(1, &M::user_id), wire::text(2, &M::text2)};
    }
};

// kind 2: signed in elsewhere (leave the room); kind 3: gagged.
struct Control_Login_Other_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Login_Other_Notify;
    std::uint32_t user_id = 0;  // 1
    std::uint32_t kind = 0;     // 2

    static constexpr auto fields() {
        using M = Control_Login_Other_Notify;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::kind)};
    }
};

struct Control_Room_UserList_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Room_UserList_Notify;
    std::vector<user_block> users;  // 2 ×n

    static constexpr auto fields() {
        using M = Control_Room_UserList_Notify;
        return std::tuple{wire::nesteds(2, &M::users)};
    }
};

// Tag 2 nests a block whose tag 1 is the anchor; no block = no anchor.
struct anchor_block {
    std::optional<std::uint32_t> user_id;  // 1

    static constexpr auto fields() {
        using M = anchor_block;
        return std::tuple{wire::u32(1, &M::user_id)};
    }
};

struct Control_Anchor_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Anchor_Notify;
    anchor_block anchor;  // 2

    static constexpr auto fields() {
        using M = Control_Anchor_Notify;
        return std::tuple{wire::nested(2, &M::anchor)};
    }
};

}  // namespace msg
