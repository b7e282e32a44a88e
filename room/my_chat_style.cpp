#include "room/my_chat_style.h"

#include <cstdio>

#include "core/files.h"
#include "core/paths.h"

namespace {

bool FaceOk(std::string_view face) {
    if (face.empty() || face.size() > 32) return false;
    for (unsigned char c : face)
        if (c < 0x20 || c == 0x7f || c == ',' || c == '#') return false;
    return true;
}

}  // namespace

std::optional<std::string> MakeChatFont(std::string_view face, int size, bool bold) {
    if (!FaceOk(face) || size < kMinChatFontSize || size > kMaxChatFontSize) return std::nullopt;
    std::string out(face);
    out += "," + std::to_string(size);
    if (bold) out += ",bold";
    return out;
}

std::string MyChatStyleFile(std::uint32_t userId) { return paths::UserFolder(userId) + "chat_style"; }

std::optional<MyChatStyle> ReadMyChatStyle(const std::string& file) {
    std::string text;
    if (!files::ReadFile(file, text) || text.size() > 256) return std::nullopt;
    const auto nl = text.find('\n');
    if (nl == std::string::npos) return std::nullopt;
    const std::string colour = text.substr(0, nl);
    std::string font = text.substr(nl + 1);
    while (!font.empty() && (font.back() == '\n' || font.back() == '\r')) font.pop_back();
    unsigned value = 0;
    int used = 0;
    if (colour.size() != 7 || std::sscanf(colour.c_str(), "#%6x%n", &value, &used) != 1 || used != 7)
        return std::nullopt;
    // The font line is checked the way a chooser would make it.
    const auto comma = font.find(',');
    if (comma == std::string::npos) return std::nullopt;
    const std::string face = font.substr(0, comma);
    std::string rest = font.substr(comma + 1);
    bool bold = false;
    if (rest.size() > 5 && rest.compare(rest.size() - 5, 5, ",bold") == 0) {
        bold = true;
        rest.resize(rest.size() - 5);
    }
    if (rest.empty() || rest.size() > 2 || rest.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const auto made = MakeChatFont(face, std::stoi(rest), bold);
    if (!made || *made != font) return std::nullopt;
    return MyChatStyle{value & 0xFFFFFF, font};
}

bool WriteMyChatStyle(const std::string& file, const MyChatStyle& style) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "#%06X\n", style.colour & 0xFFFFFF);
    return files::WriteFileAtomic(file, colour + style.font + "\n");
}
