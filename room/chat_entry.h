#pragma once
// One line for a chat view and how it is drawn: the time, the sender's
// badges, a header chosen by the kind, the body through the chat-code
// decoder, then the 200-line bound and a scroll to the end.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "chat/chat_decoder.h"
#include "room/chat_view.h"

namespace chat_kind {
inline constexpr std::uint8_t public_line = 0;
inline constexpr std::uint8_t directed = 1;  // 1 and 2 are shown "to" a receiver
inline constexpr std::uint8_t directed2 = 2;
inline constexpr std::uint8_t system = 3;   // a system line under a sender label
inline constexpr std::uint8_t plain = 10;   // a plain line in the fixed style
inline constexpr std::uint8_t notice = 11;  // a system notice in the room's chat style
}  // namespace chat_kind

struct ChatEntry {
    std::uint8_t kind = chat_kind::public_line;
    std::uint8_t style = 0;  // the sender's style byte
    std::uint32_t senderId = 0;
    std::uint32_t receiverId = 0;
    std::uint32_t nameColour = 0;  // 0xRRGGBB
    std::uint32_t textColour = 0;  // 0xRRGGBB, the body's colour
    std::string text;              // chat code text
    std::string senderName;
    std::string receiverName;
    std::string wealthIcon;  // local files; empty = no badge
    std::string vipIcon;
    std::string headImage;
    std::string vipData;  // kept with the line; its meaning is not settled
};

// The most lines a chat view keeps.
inline constexpr std::size_t kChatViewMaxLines = 200;

struct ChatRenderContext {
    std::time_t time = 0;       // the line's local time
    ChatTextFormat roomStyle;   // the room's chat style
    ChatDecodeContext decode;   // faces, pictures, voice clips
    ChatDecodeOptions options;  // own echo / server line
    bool minimised = false;     // the room window is minimised: no trim
};

void RenderChatEntry(IChatView& view, const ChatEntry& entry, const ChatRenderContext& context);

// The announcement view's content: "频道公告：" in the room's style, then the
// text in white, both in face "宋体" size 10. The view is emptied first by
// the caller.
void RenderAnnouncement(IChatView& view, std::string_view text, const ChatTextFormat& roomStyle);

// Writes the header line of kinds 0, 1, 2 and the others (10 and 11 show
// their text instead, 3 and unknown kinds their sender label) in `format`;
// the names of users with an id are written as user names.
void WriteChatHeader(IChatView& view, const ChatEntry& entry, const std::string& time,
                     const ChatTextFormat& format);

// Keeps the newest kChatViewMaxLines lines, unless the window is minimised
// (it is trimmed again on the first line after it is restored).
void TrimChatView(IChatView& view, bool minimised);

// "%H:%M:%S" in local time.
std::string ClockText(std::time_t t);

// The room's chat style from the login's font settings text:
// "FACE,SIZE,#RRGGBB[,bold]", every part optional and in any order after
// the face; defaults: face "宋体", size 10, black.
ChatTextFormat ParseChatStyle(std::string_view settings);

// The fixed colours of system, gift, car and prop lines are kept as
// blue-green-red values (0x00BBGGRR); views take 0xRRGGBB.
constexpr std::uint32_t FromBgr(std::uint32_t bgr) {
    return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

// A format with the given face, size, colour (0xRRGGBB) and weight.
ChatTextFormat MakeFormat(std::string face, int size, std::uint32_t colour, bool bold = false);
