#include "chat/chat_input.h"

#include "chat/chat_code.h"
#include "core/log.h"

CChatInputBuffer& CChatInputBuffer::Text(std::string_view text) {
    ChatInputPiece p;
    p.kind = ChatInputPiece::Kind::Text;
    p.text = std::string(text);
    pieces_.push_back(std::move(p));
    return *this;
}

CChatInputBuffer& CChatInputBuffer::Face(std::int32_t id) {
    ChatInputPiece p;
    p.kind = ChatInputPiece::Kind::Face;
    p.face = id;
    pieces_.push_back(std::move(p));
    return *this;
}

CChatInputBuffer& CChatInputBuffer::Picture(std::string_view path) {
    ChatInputPiece p;
    p.kind = ChatInputPiece::Kind::Picture;
    p.path = std::string(path);
    pieces_.push_back(std::move(p));
    return *this;
}

CChatInputBuffer& CChatInputBuffer::Foreign() {
    ChatInputPiece p;
    p.kind = ChatInputPiece::Kind::Foreign;
    pieces_.push_back(std::move(p));
    return *this;
}

std::string EncodeInput(const IChatInput& input) {
    std::string out;
    for (const ChatInputPiece& p : input.Pieces()) {
        switch (p.kind) {
        case ChatInputPiece::Kind::Text:
            out += chatcode::EscapeText(p.text);
            break;
        case ChatInputPiece::Kind::Face:
            out += chatcode::MakeFace(p.face);
            break;
        case ChatInputPiece::Kind::Picture: {
            const std::string code = chatcode::MakeLocalPicture(p.path);
            if (code.empty()) log_msg("chat input: picture path cannot be sent: %s", p.path.c_str());
            out += code;
            break;
        }
        case ChatInputPiece::Kind::Foreign:
            break;
        }
    }
    return out;
}
