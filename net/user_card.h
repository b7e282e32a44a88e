#pragma once
// The nested blocks shared by several commands: the user card, the chat
// attributes block and the user block of the user list.

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>

#include "net/fields.h"

namespace msg {

// Describes a user. The client sends its own in the room login; the server
// relays the others' cards in the user notifications.
struct user_card {
    std::string head_url;            // 1
    std::string text2;               // 2 kept and passed on
    std::uint32_t profile_byte = 0;  // 3 one byte of the sender's profile, widened
    std::string text4;               // 4 kept and passed on
    std::uint32_t wealth_grade = 0;  // 8 the user list orders by it
    std::string wealth_colour;       // 12 "#RRGGBB"
    std::string wealth_text;         // 13
    std::uint32_t value14 = 0;       // 14 kept with the card
    std::string medal_url;           // 15 wealth medal icon
    std::uint32_t vip_level = 0;     // 16 same as tag 9 of the chat attributes

    static constexpr auto fields() {
        using M = user_card;
        return std::tuple{wire::text(1, &M::head_url),      wire::text(2, &M::text2),
                          wire::u32(3, &M::profile_byte),   wire::text(4, &M::text4),
                          wire::u32(8, &M::wealth_grade),   wire::text(12, &M::wealth_colour),
                          wire::text(13, &M::wealth_text),  wire::u32(14, &M::value14),
                          wire::text(15, &M::medal_url),    wire::u32(16, &M::vip_level)};
    }
};

// Style of one chat line, in the order the client writes it.
struct chat_attrs {
    std::string nickname;            // 2
    std::uint8_t role = 0;           // 4
    std::uint8_t sex = 0;            // 5
    std::string colour;              // 3 "#RRGGBB"
    std::string font;                // 6 font settings
    std::uint32_t wealth_grade = 0;  // 7
    std::uint32_t vip_level = 0;     // 9 0 = none
    std::string vip_data;            // 10

    static constexpr auto fields() {
        using M = chat_attrs;
        return std::tuple{wire::text(2, &M::nickname),    wire::u8(4, &M::role),
                          wire::u8(5, &M::sex),           wire::text(3, &M::colour),
                          wire::text(6, &M::font),        wire::u32(7, &M::wealth_grade),
                          wire::u32(9, &M::vip_level),    wire::text(10, &M::vip_data)};
    }
};

// One element (tag 2) of the room user list.
struct user_block {
    std::uint8_t role = 0;      // 5
    std::uint32_t user_id = 0;  // 1
    std::string nickname;       // 2
    std::uint8_t gagged = 0;    // 3
    user_card card;             // 4

    static constexpr auto fields() {
        using M = user_block;
        return std::tuple{wire::u8(5, &M::role), wire::u32(1, &M::user_id),
                          wire::text(2, &M::nickname), wire::u8(3, &M::gagged),
                          wire::nested(4, &M::card)};
    }
};

// "#RRGGBB" as the colour 0xFFRRGGBB; 0 for an empty or malformed text.
std::uint32_t card_colour(std::string_view text);

// The text colour of a chat line, "#RRGGBB" in upper-case hex.
std::string chat_colour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

}  // namespace msg
