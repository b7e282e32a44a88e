#pragma once
// Chat lines and pushed data (chat channel).

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>

#include "net/commands.h"
#include "net/fields.h"
#include "net/user_card.h"

namespace msg {

struct Control_Send_Chat_Req {
    static constexpr std::uint32_t id = cmd::Control_Send_Chat_Req;
    std::uint32_t user_id = 0;
    std::string line;              // UTF-8
    std::uint32_t receiver_id = 0;  // 0 for a public line
    std::uint8_t kind = 0;          // 0 public, otherwise addressed
    chat_attrs attrs;

    static constexpr auto fields() {
        using M = Control_Send_Chat_Req;
        return std::tuple{wire::u32(1, &M::user_id), wire::text(2, &M::line),
                          wire::u32(3, &M::receiver_id), wire::u8(4, &M::kind),
                          wire::nested(5, &M::attrs)};
    }
};

// The request for one line; a public line (kind 0) names no receiver.
Control_Send_Chat_Req make_chat_req(std::uint32_t user_id, std::string line, std::uint8_t kind,
                                    std::uint32_t receiver_id, chat_attrs attrs);

struct Control_Chat_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Chat_Notify;
    std::uint32_t sender_id = 0;    // 1
    wire::bytes line;               // 2 the line's bytes, in the received body
    std::uint32_t receiver_id = 0;  // 5
    std::string sender_name;        // 3
    std::string receiver_name;      // 4
    std::uint8_t style = 0;         // 6
    chat_attrs attrs;               // 7

    static constexpr auto fields() {
        using M = Control_Chat_Notify;
        return std::tuple{wire::u32(1, &M::sender_id),      wire::raw(2, &M::line),
                          wire::u32(5, &M::receiver_id),    wire::text(3, &M::sender_name),
                          wire::text(4, &M::receiver_name), wire::u8(6, &M::style),
                          wire::nested(7, &M::attrs)};
    }
};

// The text of a raw chat line: up to its first NUL, if it has one.
std::string_view chat_line_text(wire::bytes line);

struct Control_Push_Data_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Push_Data_Notify;
    wire::bytes json;  // 1 JSON text, in the received body

    static constexpr auto fields() {
        using M = Control_Push_Data_Notify;
        return std::tuple{wire::raw(1, &M::json)};
    }
};

// The text of a push's tag 1: the decimal msgType, "|" and the payload.
// Empty for a negative type or a payload with a NUL, which the receiver
// would cut short.
std::string push_data_text(int type, std::string_view payload);

}  // namespace msg
