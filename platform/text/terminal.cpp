#include "platform/text/terminal.h"

#include "platform/text/text.h"

namespace text {
namespace {

void AppendEscaped(std::string& out, unsigned code) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out.push_back(kHex[(code >> 4) & 0xF]);
    out.push_back(kHex[code & 0xF]);
}

}  // namespace

std::string ForTerminal(std::string_view utf8) {
    // Repaired first, so that only well-formed sequences are left: an
    // overlong or truncated form of a control cannot slip past the check.
    const std::string repaired = RepairUtf8(utf8);
    std::string out;
    out.reserve(repaired.size());
    for (std::size_t i = 0; i < repaired.size(); ++i) {
        const auto b = static_cast<unsigned char>(repaired[i]);
        if ((b < 0x20 && b != '\t') || b == 0x7F) {
            AppendEscaped(out, b);
        } else if (b == 0xC2 && i + 1 < repaired.size() &&
                   static_cast<unsigned char>(repaired[i + 1]) <= 0x9F) {
            // U+0080-U+009F: C2 followed by the code itself.
            AppendEscaped(out, static_cast<unsigned char>(repaired[++i]));
        } else {
            out.push_back(repaired[i]);
        }
    }
    return out;
}

}  // namespace text
