#pragma once
// What the user composed in the input box, as the encoder sees it: runs of
// typed text and the objects embedded between them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ChatInputPiece {
    enum class Kind {
        Text,     // typed text (UTF-8)
        Face,     // a face from the picker: `face` holds its number
        Picture,  // a picture pasted or chosen: `path` holds the local file
        Foreign,  // any other embedded object; it sends nothing
    };
    Kind kind = Kind::Text;
    std::string text;
    std::int32_t face = -1;
    std::string path;
};

class IChatInput {
public:
    virtual ~IChatInput() = default;
    // The pieces in the order they appear in the box.
    virtual std::vector<ChatInputPiece> Pieces() const = 0;
};

// An input held in memory: the headless input and the tests.
class CChatInputBuffer : public IChatInput {
public:
    CChatInputBuffer& Text(std::string_view text);
    CChatInputBuffer& Face(std::int32_t id);
    CChatInputBuffer& Picture(std::string_view path);
    CChatInputBuffer& Foreign();
    void Clear() { pieces_.clear(); }
    std::vector<ChatInputPiece> Pieces() const override { return pieces_; }

private:
    std::vector<ChatInputPiece> pieces_;
};

// Code text of the composed message: typed text with every "/" doubled,
// faces as face codes, pictures as local-picture codes. A picture whose
// path no code can carry (empty, control characters, a closing quote and
// bracket inside) sends nothing, and so does a negative face number.
std::string EncodeInput(const IChatInput& input);
