#include "room/room_user.h"

#include <cctype>

std::uint32_t ParseColour(const std::string& text) {
    std::size_t i = !text.empty() && text[0] == '#' ? 1 : 0;
    if (text.size() - i != 6) return 0;
    std::uint32_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return 0;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}
