#include "net/catalogue_chat.h"

#include <cstring>
#include <utility>

namespace msg {

Control_Send_Chat_Req make_chat_req(std::uint32_t user_id, std::string line, std::uint8_t kind,
                                    std::uint32_t receiver_id, chat_attrs attrs) {
    Control_Send_Chat_Req r;
    r.user_id = user_id;
    r.line = std::move(line);
    r.kind = kind;
    r.receiver_id = kind != 0 ? receiver_id : 0;
    r.attrs = std::move(attrs);
    return r;
}

std::string_view chat_line_text(wire::bytes line) {
    const char* s = reinterpret_cast<const char*>(line.data());
    if (!s) return {};
    const void* nul = std::memchr(s, 0, line.size());
    return std::string_view(s, nul ? static_cast<const char*>(nul) - s : line.size());
}

std::string push_data_text(int type, std::string_view payload) {
    if (type < 0 || payload.find('\0') != std::string_view::npos) return {};
    std::string out = std::to_string(type);
    out += '|';
    out += payload;
    return out;
}

}  // namespace msg
