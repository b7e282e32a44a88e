#include "chat/code_text.h"

#include "chat/chat_code.h"
#include "chat/face_table.h"

std::string ToPlainText(std::string_view code, const CFaceTable& faces) {
    std::string out;
    out.reserve(code.size());
    std::size_t i = 0;
    while (i < code.size()) {
        if (code[i] == '/' && i + 1 < code.size() && code[i + 1] == '/') {
            out += '/';
            i += 2;
            continue;
        }
        if (const auto face = chatcode::ReadFace(code, i)) {
            if (const FaceEntry* e = faces.FindById(face->id)) out += e->tag;
            i += face->length;
            continue;
        }
        out += code[i++];
    }
    return out;
}

namespace {

// Length in `code` of a face tag whose leading "/" is written with
// `slashLen` characters at `pos`, or 0; the face found goes to `face`.
std::size_t MatchTag(std::string_view code, std::size_t pos, std::size_t slashLen,
                     const CFaceTable& faces, const FaceEntry*& face) {
    const std::size_t restStart = pos + slashLen;
    const std::size_t longest = faces.LongestTag();
    std::string key = "/";
    for (std::size_t k = 0;; ++k) {
        const CFaceTable::TagMatch m = faces.FindByTag(key);
        if (m.face) {
            face = m.face;
            return slashLen + k;
        }
        if (!m.couldGrow || key.size() >= longest || restStart + k >= code.size()) return 0;
        key += code[restStart + k];
    }
}

}  // namespace

std::string ExpandFaceTags(std::string_view code, const CFaceTable& faces) {
    if (faces.Empty()) return std::string(code);
    std::string out;
    out.reserve(code.size());
    std::size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        if (c != '/' && c != '@') {
            out += c;
            ++i;
            continue;
        }
        std::size_t whole = 0;
        if (const auto f = chatcode::ReadFace(code, i)) whole = f->length;
        else if (const auto p = chatcode::ReadLocalPicture(code, i)) whole = p->length;
        else if (const auto s = chatcode::ReadStoredPicture(code, i)) whole = s->length;
        else if (const auto v = chatcode::ReadVoiceClip(code, i)) whole = v->length;
        if (whole) {
            out.append(code.substr(i, whole));
            i += whole;
            continue;
        }
        if (c == '@') {
            out += c;
            ++i;
            continue;
        }
        const std::size_t slashLen = i + 1 < code.size() && code[i + 1] == '/' ? 2 : 1;
        const FaceEntry* face = nullptr;
        if (const std::size_t len = MatchTag(code, i, slashLen, faces, face)) {
            out += chatcode::MakeFace(face->id);
            i += len;
            continue;
        }
        // An escaped slash is copied whole so its second half never starts a
        // code of its own.
        out.append(code.substr(i, slashLen));
        i += slashLen;
    }
    return out;
}
