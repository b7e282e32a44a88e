#include "formats/xml_escape.h"

#include <cstring>

#include "platform/text/text.h"

namespace xml {

namespace {

std::string Escape(std::string_view value, bool quotes) {
    std::string out;
    out.reserve(value.size() + value.size() / 8);
    for (const char c : value) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '&': out += "&amp;"; break;
            case '>': out += "&gt;"; break;
            case '\'':
                if (quotes) out += "&apos;"; else out += c;
                break;
            case '"':
                if (quotes) out += "&quot;"; else out += c;
                break;
            default: out += c;
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes the character reference that starts at text[i] ("&#"); returns the
// number of bytes it spans, or 0 when it is not one.
std::size_t DecodeReference(std::string_view text, std::size_t i, std::string& out) {
    std::size_t j = i + 2;
    const bool hex = j < text.size() && text[j] == 'x';
    if (hex) ++j;
    // Enough digits for every code point, few enough that the value cannot overflow.
    const std::size_t max_digits = hex ? 6 : 7;
    const std::size_t first = j;
    char32_t cp = 0;
    while (j < text.size() && j - first < max_digits) {
        const int v = hex ? HexValue(text[j]) : (text[j] >= '0' && text[j] <= '9' ? text[j] - '0' : -1);
        if (v < 0) break;
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(v);
        ++j;
    }
    if (j == first || j >= text.size() || text[j] != ';') return 0;
    // NUL cannot appear in a document; AppendUtf8 replaces surrogates and
    // values beyond U+10FFFF itself.
    text::AppendUtf8(out, cp == 0 ? U'\uFFFD' : cp);
    return j + 1 - i;
}

struct Entity {
    std::string_view name;  // without '&'
    char value;
};
constexpr Entity kEntities[] = {
    {"lt;", '<'}, {"amp;", '&'}, {"gt;", '>'}, {"apos;", '\''}, {"quot;", '"'},
};

}  // namespace

std::string EscapeAttrib(std::string_view value) { return Escape(value, true); }

std::string EscapeText(std::string_view value) { return Escape(value, false); }

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const void* amp = std::memchr(text.data() + i, '&', text.size() - i);
        if (!amp) {
            out.append(text.data() + i, text.size() - i);
            break;
        }
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(amp) - text.data());
        out.append(text.data() + i, at - i);
        i = at;
        std::size_t used = 0;
        if (i + 1 < text.size() && text[i + 1] == '#') {
            used = DecodeReference(text, i, out);
        } else {
            const std::string_view rest = text.substr(i + 1);
            for (const Entity& e : kEntities) {
                if (rest.starts_with(e.name)) {
                    out += e.value;
                    used = e.name.size() + 1;
                    break;
                }
            }
        }
        if (used == 0) {
            out += '&';
            used = 1;
        }
        i += used;
    }
    return out;
}

}  // namespace xml
