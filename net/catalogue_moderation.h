#pragma once
// Moderation: powers, gags and kicks (chat channel).

#include <cstdint>
#include <string>
#include <tuple>

#include "net/commands.h"
#include "net/fields.h"

namespace msg {

struct Control_Set_Power_Req {
    static constexpr std::uint32_t id = cmd::Control_Set_Power_Req;
    std::uint32_t user_id = 0;
    std::uint32_t target_id = 0;
    std::uint8_t role = 0;       // the power (role) given
    std::uint32_t duration = 0;  // days

    static constexpr auto fields() {
        using M = Control_Set_Power_Req;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::target_id),
                          wire::u8(3, &M::role), wire::u32(4, &M::duration)};
    }
};

struct Control_Set_Power_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Set_Power_Resp;
    std::uint32_t user_id = 0;    // 1
    std::uint32_t target_id = 0;  // 2

    static constexpr auto fields() {
        using M = Control_Set_Power_Resp;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::target_id)};
    }
};

struct Control_Power_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Power_Notify;
    std::uint32_t user_id = 0;  // 2
    std::uint8_t role = 0;      // 3 the new role

    static constexpr auto fields() {
        using M = Control_Power_Notify;
        return std::tuple{wire::u32(2, &M::user_id), wire::u8(3, &M::role)};
    }
};

struct Control_Gag_Req {
    static constexpr std::uint32_t id = cmd::Control_Gag_Req;
    std::uint32_t user_id = 0;
    std::uint32_t target_id = 0;
    std::string reason;
    std::uint32_t option = 0;

    static constexpr auto fields() {
        using M = Control_Gag_Req;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::target_id),
                          wire::text(3, &M::reason), wire::u32(4, &M::option)};
    }
};

struct Control_Gag_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Gag_Resp;
    std::uint32_t target_id = 0;  // 2

    static constexpr auto fields() {
        using M = Control_Gag_Resp;
        return std::tuple{wire::u32(2, &M::target_id)};
    }
};

struct Control_Gag_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Gag_Notify;
    std::uint32_t user_id = 0;  // 1
    std::string nickname;       // 2

    static constexpr auto fields() {
        using M = Control_Gag_Notify;
        return std::tuple{wire::u32(1, &M::user_id), wire::text(2, &M::nickname)};
    }
};

struct Control_Cancel_Gag_Req {
    static constexpr std::uint32_t id = cmd::Control_Cancel_Gag_Req;
    std::uint32_t user_id = 0;
    std::uint32_t target_id = 0;

    static constexpr auto fields() {
        using M = Control_Cancel_Gag_Req;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::target_id)};
    }
};

struct Control_Cancel_Gag_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Cancel_Gag_Resp;
    std::uint32_t target_id = 0;  // 2

    static constexpr auto fields() {
        using M = Control_Cancel_Gag_Resp;
        return std::tuple{wire::u32(2, &M::target_id)};
    }
};

struct Control_Cancel_Gag_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Cancel_Gag_Notify;
    std::uint32_t user_id = 0;  // 1

    static constexpr auto fields() {
        using M = Control_Cancel_Gag_Notify;
        return std::tuple{wire::u32(1, &M::user_id)};
    }
};

struct Control_Kick_Req {
    static constexpr std::uint32_t id = cmd::Control_Kick_Req;
    std::uint32_t target_id = 0;
    std::string reason;
    std::uint32_t duration = 0;

    static constexpr auto fields() {
        using M = Control_Kick_Req;
        return std::tuple{wire::u32(2, &M::target_id), wire::text(4, &M::reason),
                          wire::u32(3, &M::duration)};
    }
};

struct Control_Kick_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Kick_Resp;
    static constexpr auto fields() { return std::tuple{}; }
};

struct Control_Kick_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Kick_Notify;
    std::uint32_t user_id = 0;  // 1
    std::string text2;          // 2

    static constexpr auto fields() {
        using M = Control_Kick_Notify;
        return std::tuple{wire::u32(1, &M::user_id), wire::text(2, &M::text2)};
    }
};

}  // namespace msg
