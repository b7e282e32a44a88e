// Chat code text from the network and from the input box.
//
// The first byte picks the mode; the rest is the text, read as UTF-16 units
// (as window text arrives) or as raw bytes. Every conversion runs on it, and
// these must hold:
//  - the decoder's text runs are never empty and never longer, together,
//    than the input; text without "/" or "@" comes back whole;
//  - tag expansion gives the same text when applied twice;
//  - the server's picture check finds a picture wherever a reader shows one
//    in a user's line, before and after tag expansion;
//  - a message composed from the input (text, faces, pictures split out by
//    control bytes) decodes back to the pieces it was made of, and its plain
//    form is the texts with the faces' tags.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "chat/chat_code.h"
#include "chat/chat_decoder.h"
#include "chat/chat_input.h"
#include "chat/chat_pictures.h"
#include "chat/code_text.h"
#include "chat/face_table.h"
#include "chat/voice_clips.h"
#include "platform/text/text.h"

namespace {

const char* const kFaces = R"(<r><faceconfig item_width="24">
<face id="1" tag="/wx" file="Face/1.png"/><face id="2" tag="/WXy" file="Face/2.png"/>
<face id="3" tag="/a" file="Face/3.png"/><face id="7" tag="/ab" file="Face/7.png"/>
<face id="12" tag="/微笑" file="Face/12.png"/><face id="40" tag="/f" file="Face/40.png"/>
<face id="41" tag="/c[" file="Face/41.png"/><face id="42" tag="/@$#" file="Face/42.png"/>
</faceconfig></r>)";

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

class NoFetch : public IPictureFetcher {
public:
    bool Fetch(const std::string&, const std::string&) override { return calls++ % 2 == 0; }
    int calls = 0;
};

// Records what was shown as the pieces of a composed message.
class PieceSink : public IChatSink {
public:
    void AppendText(std::string_view run, const ChatTextFormat&) override {
        Check(!run.empty(), "empty text run");
        textBytes += run.size();
        if (!pieces.empty() && pieces.back().kind == ChatInputPiece::Kind::Text) {
            Check(false, "two text runs in a row");
        }
        ChatInputPiece p;
        p.text = std::string(run);
        pieces.push_back(p);
    }
    void AppendFace(const FaceEntry& face) override {
        ChatInputPiece p;
        p.kind = ChatInputPiece::Kind::Face;
        p.face = face.id;
        pieces.push_back(p);
    }
    void AppendImage(const std::string& path) override {
        ChatInputPiece p;
        p.kind = ChatInputPiece::Kind::Picture;
        p.path = path;
        pieces.push_back(p);
    }
    void AppendPlaceholder(ChatObjectKey, const std::string&) override {
        ++pictures;
        Other();
    }
    void ReplacePlaceholder(ChatObjectKey, const std::string&) override {}
    void FailPlaceholder(ChatObjectKey) override {}
    void AppendVoiceClip(ChatObjectKey, const std::string&) override { Other(); }

    void Other() {
        ChatInputPiece p;
        p.kind = ChatInputPiece::Kind::Foreign;
        pieces.push_back(p);
    }
    std::vector<ChatInputPiece> pieces;
    std::size_t textBytes = 0;
    int pictures = 0;
};

// Control bytes split the input into a composed message:
// 0x01 N = face N, 0x02 ... 0x03 = a picture with the path between.
std::vector<ChatInputPiece> Compose(std::string_view s, const CFaceTable& faces) {
    std::vector<ChatInputPiece> out;
    auto text = [&](char c) {
        if (out.empty() || out.back().kind != ChatInputPiece::Kind::Text) out.emplace_back();
        out.back().text += c;
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == 1 && i + 1 < s.size()) {
            const FaceEntry& f = faces.Entries()[static_cast<unsigned char>(s[++i]) % faces.Entries().size()];
            ChatInputPiece p;
            p.kind = ChatInputPiece::Kind::Face;
            p.face = f.id;
            out.push_back(p);
        } else if (s[i] == 2) {
            const std::size_t end = s.find('\x03', i + 1);
            const std::string path(s.substr(i + 1, end == std::string_view::npos ? end : end - i - 1));
            i = end == std::string_view::npos ? s.size() : end;
            if (chatcode::MakeLocalPicture(path).empty()) continue;  // sends nothing
            ChatInputPiece p;
            p.kind = ChatInputPiece::Kind::Picture;
            p.path = path;
            out.push_back(p);
        } else {
            // Typed "@" codes are codes by design; keep them out of the round trip.
            text(s[i] == '@' ? '#' : s[i]);
        }
    }
    return out;
}

class PiecesInput : public IChatInput {
public:
    explicit PiecesInput(std::vector<ChatInputPiece> p) : p_(std::move(p)) {}
    std::vector<ChatInputPiece> Pieces() const override { return p_; }

private:
    std::vector<ChatInputPiece> p_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CFaceTable faces = [] {
        CFaceTable t;
        t.LoadFromText(kFaces, "/prog/");
        return t;
    }();
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    std::string text;
    if (mode & 1) {
        std::u16string units;
        for (std::size_t i = 1; i + 1 < size; i += 2)
            units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        text = text::Utf16ToUtf8(units);
    } else {
        text.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    }

    NoFetch fetcher;
    CChatPictures pictures(fetcher, "/nonexistent-zeri-fuzz/Image/");
    CVoiceClipMap voices;
    ChatDecodeContext ctx{&faces, &pictures, &voices, "/prog/"};

    // Text from the network.
    const std::string expanded = ExpandFaceTags(text, faces);
    Check(ExpandFaceTags(expanded, faces) == expanded, "expansion is not stable");
    for (const std::string* t : {static_cast<const std::string*>(&text), &expanded}) {
        PieceSink sink;
        DecodeToView(sink, *t, {}, ctx, {.ownLine = (mode & 2) != 0, .pictureUrls = (mode & 4) != 0});
        Check(sink.textBytes <= t->size(), "decoder made text up");
        if (t->find_first_of("/@") == std::string::npos)
            Check(sink.pieces.size() == (t->empty() ? 0u : 1u) && (t->empty() || sink.pieces[0].text == *t),
                  "plain text changed");
        pictures.ForgetView(sink);
        Check(ToPlainText(*t, faces).size() <= t->size() + faces.LongestTag() * t->size(), "plain form");
    }

    // A user's line as readers show it, against the server's picture check.
    {
        const bool checked = chatcode::CarriesStoredPicture(text);
        const std::string repaired = text::RepairUtf8(text);
        PieceSink plainSink, expandedSink;
        DecodeToView(plainSink, repaired, {}, ctx);
        DecodeToView(expandedSink, ExpandFaceTags(repaired, faces), {}, ctx);
        pictures.ForgetView(plainSink);
        pictures.ForgetView(expandedSink);
        Check(plainSink.pictures == 0 || checked, "picture check missed a line's picture");
        Check(expandedSink.pictures == 0 || checked, "picture check missed an expanded line's picture");
    }

    // A message composed in the input box.
    const std::vector<ChatInputPiece> composed = Compose(text, faces);
    const std::string code = EncodeInput(PiecesInput(composed));
    PieceSink back;
    DecodeToView(back, code, {}, ctx, {.ownLine = true});
    pictures.ForgetView(back);
    Check(back.pieces.size() == composed.size(), "composed message: piece count");
    std::string plain;
    bool pictureSeen = false;
    for (std::size_t i = 0; i < composed.size(); ++i) {
        const ChatInputPiece& a = composed[i];
        const ChatInputPiece& b = back.pieces[i];
        Check(a.kind == b.kind && a.text == b.text && a.face == b.face && a.path == b.path,
              "composed message: piece differs");
        if (a.kind == ChatInputPiece::Kind::Face) plain += faces.FindById(a.face)->tag;
        else plain += a.text;
        pictureSeen |= a.kind == ChatInputPiece::Kind::Picture;
    }
    if (!pictureSeen) Check(ToPlainText(code, faces) == plain, "composed message: plain form");
    return 0;
}
