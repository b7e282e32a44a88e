#pragma once
// Codes (tag 208) of refused chat lines. The refusal is the response of
// Control_Send_Chat_Req (its id + 1) carrying the text the client shows
// (tag 209); a refused line is relayed to nobody.

#include <cstddef>
#include <cstdint>

namespace server {

namespace chat_error {
inline constexpr std::uint32_t empty = 1010;
inline constexpr std::uint32_t too_long = 1011;
inline constexpr std::uint32_t gagged = 1012;
inline constexpr std::uint32_t no_power = 1013;
inline constexpr std::uint32_t too_soon = 1014;     // within the room's chat interval
inline constexpr std::uint32_t no_receiver = 1015;  // a directed line to nobody in the room
inline constexpr std::uint32_t no_voice = 1016;     // a voice clip of no stored message
}  // namespace chat_error

// Longest line relayed, in bytes of its code text (a 256-unit line of
// faces and pictures stays far below it).
inline constexpr std::size_t kMaxChatLineBytes = 8192;

}  // namespace server
