#pragma once
// Microphone and the microphone queue ("wheat"), chat channel.

#include <cstdint>
#include <tuple>
#include <vector>

#include "net/commands.h"
#include "net/fields.h"

namespace msg {

struct Control_Open_Mic_Req {
    static constexpr std::uint32_t id = cmd::Control_Open_Mic_Req;
    std::uint32_t user_id = 0;
    std::uint32_t room_id = 0;

    static constexpr auto fields() {
        using M = Control_Open_Mic_Req;
        return std::tuple{wire::u32(2, &M::user_id), wire::u32(1, &M::room_id)};
    }
};

struct Control_Open_Mic_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Open_Mic_Resp;
    std::uint32_t user_id = 0;  // 3

    static constexpr auto fields() {
        using M = Control_Open_Mic_Resp;
        return std::tuple{wire::u32(3, &M::user_id)};
    }
};

struct Control_Close_Mic_Req {
    static constexpr std::uint32_t id = cmd::Control_Close_Mic_Req;
    std::uint32_t user_id = 0;
    std::uint32_t room_id = 0;

    static constexpr auto fields() {
        using M = Control_Close_Mic_Req;
        return std::tuple{wire::u32(2, &M::user_id), wire::u32(1, &M::room_id)};
    }
};

// The queue requests name one user in tag 1: my own id, or the user chosen
// in the context menu.
template <std::uint32_t Id>
struct user_req {
    static constexpr std::uint32_t id = Id;
    std::uint32_t user_id = 0;

    static constexpr auto fields() { return std::tuple{wire::u32(1, &user_req::user_id)}; }
};

// Tag 1 my user id, tag 2 a value (a user, or a 0/1 switch).
template <std::uint32_t Id>
struct user_value_req {
    static constexpr std::uint32_t id = Id;
    std::uint32_t user_id = 0;
    std::uint32_t value = 0;

    static constexpr auto fields() {
        return std::tuple{wire::u32(1, &user_value_req::user_id),
                          wire::u32(2, &user_value_req::value)};
    }
};

template <std::uint32_t Id>
struct plain_resp : wire::status {
    static constexpr std::uint32_t id = Id;
    static constexpr auto fields() { return std::tuple{}; }
};

template <std::uint32_t Id>
struct user_resp : wire::status {
    static constexpr std::uint32_t id = Id;
    std::uint32_t user_id = 0;  // 1

    static constexpr auto fields() { return std::tuple{wire::u32(1, &user_resp::user_id)}; }
};

template <std::uint32_t Id>
struct user_value_resp : wire::status {
    static constexpr std::uint32_t id = Id;
    std::uint32_t user_id = 0;  // 1
    std::uint32_t value = 0;    // 2

    static constexpr auto fields() {
        return std::tuple{wire::u32(1, &user_value_resp::user_id),
                          wire::u32(2, &user_value_resp::value)};
    }
};

using Control_Close_Mic_Resp = plain_resp<cmd::Control_Close_Mic_Resp>;
// Asks the server to give the value's user the microphone.
using Control_Set_User_Mic_Req = user_value_req<cmd::Control_Set_User_Mic_Req>;
using Control_Set_User_Mic_Resp = user_value_resp<cmd::Control_Set_User_Mic_Resp>;

using Control_Rob_Wheat_Req = user_req<cmd::Control_Rob_Wheat_Req>;
using Control_Rob_Wheat_Resp = user_resp<cmd::Control_Rob_Wheat_Resp>;
using Control_Put_Wheat_Req = user_req<cmd::Control_Put_Wheat_Req>;
using Control_Put_Wheat_Resp = user_resp<cmd::Control_Put_Wheat_Resp>;
// value 1 = the queue is controlled, 0 = free.
using Control_Control_Wheat_Req = user_value_req<cmd::Control_Control_Wheat_Req>;
using Control_Control_Wheat_Resp = user_value_resp<cmd::Control_Control_Wheat_Resp>;
// value 1 = joining the queue is forbidden, 0 = allowed.
using Control_Disable_Wheat_Req = user_value_req<cmd::Control_Disable_Wheat_Req>;
using Control_Disable_Wheat_Resp = user_value_resp<cmd::Control_Disable_Wheat_Resp>;
using Control_Add_WheatTm_Req = user_req<cmd::Control_Add_WheatTm_Req>;
using Control_Add_WheatTm_Resp = plain_resp<cmd::Control_Add_WheatTm_Resp>;
using Control_Remove_Wheat_Req = user_req<cmd::Control_Remove_Wheat_Req>;
using Control_Remove_Wheat_Resp = user_resp<cmd::Control_Remove_Wheat_Resp>;
using Control_RemoveAll_Wheat_Req = user_req<cmd::Control_RemoveAll_Wheat_Req>;
using Control_RemoveAll_Wheat_Resp = plain_resp<cmd::Control_RemoveAll_Wheat_Resp>;
using Control_Top_Wheat_Req = user_req<cmd::Control_Top_Wheat_Req>;
using Control_Top_Wheat_Resp = plain_resp<cmd::Control_Top_Wheat_Resp>;

struct Control_Wheat_List_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Wheat_List_Notify;
    std::uint16_t remaining = 0;        // 1 seconds left to the head speaker
    std::uint8_t controlled = 0;        // 3 the queue is controlled
    std::uint8_t forbidden = 0;         // 4 joining is forbidden
    std::vector<std::uint32_t> queue;   // 2 ×n queued users, in order

    static constexpr auto fields() {
        using M = Control_Wheat_List_Notify;
        return std::tuple{wire::u16(1, &M::remaining), wire::u8(3, &M::controlled),
                          wire::u8(4, &M::forbidden), wire::u32s(2, &M::queue)};
    }
};

}  // namespace msg
