#include "net/user_card.h"

#include <cstdio>

namespace msg {

namespace {
int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::uint32_t card_colour(std::string_view text) {
    // Anything but exactly "#" and six hex digits is not a colour: a partly
    // read value would paint the grade in a colour nobody chose.
    if (text.size() != 7 || text[0] != '#') return 0;
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const int d = hex_digit(text[i]);
        if (d < 0) return 0;
        rgb = (rgb << 4) | static_cast<std::uint32_t>(d);
    }
    return 0xFF000000u | rgb;
}

std::string chat_colour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", red, green, blue);
    return buf;
}

}  // namespace msg
