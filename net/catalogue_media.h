#pragma once
// Video-transfer service and media server (audio/video connection). The data
// notifications are decoded on the connection thread; their raw fields point
// into the received body.

#include <cstdint>
#include <tuple>

#include "net/commands.h"
#include "net/fields.h"

namespace msg {

struct Video_Login_Req {
    static constexpr std::uint32_t id = cmd::Video_Login_Req;
    std::uint32_t user_id = 0;
    std::uint32_t room_id = 0;
    std::uint8_t client_kind = 5;
    std::uint8_t media_kind = 1;
    std::string media_key;  // 30 from the chat login's answer

    static constexpr auto fields() {
        using M = Video_Login_Req;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::room_id),
                          wire::u8(3, &M::client_kind), wire::u8(5, &M::media_kind),
                          wire::extra_text(30, &M::media_key)};
    }
};

struct Video_Login_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Video_Login_Resp;
    std::uint32_t room_id = 0;  // 1
    std::uint32_t value2 = 0, value3 = 0, value4 = 0;

    static constexpr auto fields() {
        using M = Video_Login_Resp;
        return std::tuple{wire::u32(1, &M::room_id), wire::u32(2, &M::value2),
                          wire::u32(3, &M::value3), wire::u32(4, &M::value4)};
    }
};

// 0x3000004: accepted and ignored.
struct Video_Silent_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Video_Silent_Resp;
    static constexpr auto fields() { return std::tuple{}; }
};

// Note the order: room id in tag 1, user id in tag 2.
struct Video_Logout_Req {
    static constexpr std::uint32_t id = cmd::Video_Logout_Req;
    std::uint32_t room_id = 0;
    std::uint32_t user_id = 0;

    static constexpr auto fields() {
        using M = Video_Logout_Req;
        return std::tuple{wire::u32(1, &M::room_id), wire::u32(2, &M::user_id)};
    }
};

struct Video_Logout_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Video_Logout_Resp;
    static constexpr auto fields() { return std::tuple{}; }
};

struct Video_Room_Mode_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Video_Room_Mode_Notify;
    std::uint32_t room_id = 0;  // 1
    std::uint32_t mode = 0;     // 2
    std::uint32_t value3 = 0;   // 3

    static constexpr auto fields() {
        using M = Video_Room_Mode_Notify;
        return std::tuple{wire::u32(1, &M::room_id), wire::u32(2, &M::mode),
                          wire::u32(3, &M::value3)};
    }
};

struct Video_Data {
    static constexpr std::uint32_t id = cmd::Video_Data;
    std::uint32_t stamp_diff = 0;
    std::uint32_t header_word = 0;  // the frame header's small fields, packed
    wire::bytes frame;

    static constexpr auto fields() {
        using M = Video_Data;
        return std::tuple{wire::u32(3, &M::stamp_diff), wire::u32(2, &M::header_word),
                          wire::raw(1, &M::frame)};
    }
};

struct Video_Data_Notify : wire::status {
    static constexpr std::uint32_t id = cmd::Video_Data_Notify;
    std::uint32_t value1 = 0;       // 1
    std::uint32_t header_word = 0;  // 3
    std::uint32_t value4 = 0;       // 4 kept beside the frame header
    wire::bytes frame;              // 2

    static constexpr auto fields() {
        using M = Video_Data_Notify;
        return std::tuple{wire::u32(1, &M::value1), wire::u32(3, &M::header_word),
                          wire::u32(4, &M::value4), wire::raw(2, &M::frame)};
    }
};

struct Mix_Login_Req {
    static constexpr std::uint32_t id = cmd::Mix_Login_Req;
    std::uint32_t room_id = 0;
    std::uint32_t user_id = 0;
    std::uint32_t client_version = 7;
    std::uint16_t client_kind = 110;
    std::uint32_t value6 = 2;
    std::uint32_t value8 = 0;
    std::string media_key;  // 30 from the chat login's answer

    static constexpr auto fields() {
        using M = Mix_Login_Req;
        return std::tuple{wire::u32(2, &M::room_id),        wire::u32(1, &M::user_id),
                          wire::u32(3, &M::client_version), wire::u16(5, &M::client_kind),
                          wire::u32(6, &M::value6),         wire::u32(8, &M::value8),
                          wire::extra_text(30, &M::media_key)};
    }
};

struct Mix_Login_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Mix_Login_Resp;
    static constexpr auto fields() { return std::tuple{}; }
};

struct Mix_Logout_Req {
    static constexpr std::uint32_t id = cmd::Mix_Logout_Req;
    std::uint32_t user_id = 0;
    std::uint32_t room_id = 0;

    static constexpr auto fields() {
        using M = Mix_Logout_Req;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::room_id)};
    }
};

struct Mix_Logout_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Mix_Logout_Resp;
    static constexpr auto fields() { return std::tuple{}; }
};

// There is no close request: the turn ends when sending stops.
struct Mix_Open_Mic_Req {
    static constexpr std::uint32_t id = cmd::Mix_Open_Mic_Req;
    std::uint32_t user_id = 0;
    std::uint32_t room_id = 0;
    std::uint32_t granted = 0;  // 1 anchor microphone granted, 0 free-speech turn

    static constexpr auto fields() {
        using M = Mix_Open_Mic_Req;
        return std::tuple{wire::u32(1, &M::user_id), wire::u32(2, &M::room_id),
                          wire::u32(3, &M::granted)};
    }
};

struct Mix_Open_Mic_Resp : wire::status {
    static constexpr std::uint32_t id = cmd::Mix_Open_Mic_Resp;
    std::uint32_t room_id = 0;  // 2
    std::uint32_t user_id = 0;  // 1
    std::uint32_t value3 = 0;   // 3

    static constexpr auto fields() {
        using M = Mix_Open_Mic_Resp;
        return std::tuple{wire::u32(2, &M::room_id), wire::u32(1, &M::user_id),
                          wire::u32(3, &M::value3)};
    }
};

struct Mix_Audio_Data {
    static constexpr std::uint32_t id = cmd::Mix_Audio_Data;
    wire::bytes audio;  // one encoded frame
    std::uint32_t stamp_diff = 0;

    static constexpr auto fields() {
        using M = Mix_Audio_Data;
        return std::tuple{wire::raw(1, &M::audio), wire::u32(2, &M::stamp_diff)};
    }
};

// Voice from the audio service: speakers in tags 1 and 6, stamp in tag 5.
template <std::uint32_t Id>
struct audio_notify : wire::status {
    static constexpr std::uint32_t id = Id;
    wire::bytes audio;          // 2
    std::uint32_t value3 = 0;   // 3
    std::uint32_t value4 = 0;   // 4
    std::uint32_t stamp = 0;    // 5
    std::uint32_t speaker1 = 0;  // 1
    std::uint32_t speaker2 = 0;  // 6

    static constexpr auto fields() {
        using M = audio_notify;
        return std::tuple{wire::raw(2, &M::audio),    wire::u32(3, &M::value3),
                          wire::u32(4, &M::value4),   wire::u32(5, &M::stamp),
                          wire::u32(1, &M::speaker1), wire::u32(6, &M::speaker2)};
    }
};

// Voice from the mixer: speakers in tags 1 and 4, stamp in tag 3.
template <std::uint32_t Id>
struct mix_notify : wire::status {
    static constexpr std::uint32_t id = Id;
    wire::bytes audio;           // 2
    std::uint32_t speaker1 = 0;  // 1
    std::uint32_t speaker2 = 0;  // 4
    std::uint32_t stamp = 0;     // 3

    static constexpr auto fields() {
        using M = mix_notify;
        return std::tuple{wire::raw(2, &M::audio), wire::u32(1, &M::speaker1),
                          wire::u32(4, &M::speaker2), wire::u32(3, &M::stamp)};
    }
};

using Audio_Aac_Notify = audio_notify<cmd::Audio_Aac_Notify>;
using Audio_Amr_Notify = audio_notify<cmd::Audio_Amr_Notify>;
using Mix_Aac_Notify = mix_notify<cmd::Mix_Aac_Notify>;
using Mix_Amr_Notify = mix_notify<cmd::Mix_Amr_Notify>;

}  // namespace msg
