#pragma once
// My own chat style (the colour and font my lines carry), kept in my user
// folder as "chat_style": "#RRGGBB" on the first line, "FACE,SIZE[,bold]"
// on the second.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct MyChatStyle {
    std::uint32_t colour = 0;  // 0xRRGGBB
    std::string font;          // "FACE,SIZE[,bold]"
    bool operator==(const MyChatStyle&) const = default;
};

// Sizes a chooser may give; others are refused.
inline constexpr int kMinChatFontSize = 8;
inline constexpr int kMaxChatFontSize = 36;

// "FACE,SIZE" (and ",bold") for a face and size; nothing when the face is
// empty, longer than 32 bytes or holds a separator or control character,
// or the size is out of range.
std::optional<std::string> MakeChatFont(std::string_view face, int size, bool bold);

// user/<id>/chat_style in the data folder.
std::string MyChatStyleFile(std::uint32_t userId);
// Nothing when the file is missing or damaged (the caller keeps its style).
std::optional<MyChatStyle> ReadMyChatStyle(const std::string& file);
bool WriteMyChatStyle(const std::string& file, const MyChatStyle& style);
