#include "chat/chat_code.h"

#include <cstdint>

#include "chat/chat_pictures.h"
#include "chat/face_table.h"
#include "platform/text/text.h"

namespace chatcode {
namespace {

constexpr std::string_view kFaceOpen = "/f[\"";
constexpr std::string_view kLocalOpen = "/c[\"";
constexpr std::string_view kClose = "\"]";
constexpr std::string_view kPicOpen = "@$#PIC:";
constexpr std::string_view kPicClose = ":0\"";
constexpr std::string_view kVoiceOpen = "@$#:";

bool StartsWithAt(std::string_view text, std::size_t pos, std::string_view what) {
    return pos <= text.size() && text.substr(pos, what.size()) == what;
}

bool StartsWithNoCaseAt(std::string_view text, std::size_t pos, std::string_view what) {
    return pos <= text.size() && text.size() - pos >= what.size() &&
           EqualsNoCase(text.substr(pos, what.size()), what);
}

// Where a closing mark may lie: never further than the longest value allows,
// so a long line full of openings costs linear time, not quadratic.
std::size_t FindWithin(std::string_view text, std::string_view what, std::size_t start,
                       std::size_t maxValue) {
    const std::string_view window = text.substr(start, maxValue + what.size());
    const std::size_t at = window.find(what);
    return at == std::string_view::npos ? std::string_view::npos : start + at;
}

bool IsControlOrBlank(unsigned char c) { return c <= 0x20 || c == 0x7F; }

bool IdCharsOk(std::string_view id, bool allowSeparators) {
    for (unsigned char c : id) {
        if (IsControlOrBlank(c) || c == '"') return false;
        if (!allowSeparators && (c == '/' || c == '\\')) return false;
    }
    return true;
}

}  // namespace

std::optional<FaceCode> ReadFace(std::string_view text, std::size_t pos) {
    if (!StartsWithAt(text, pos, kFaceOpen)) return std::nullopt;
    std::size_t i = pos + kFaceOpen.size();
    const std::size_t digitsStart = i;
    std::int64_t id = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (i - digitsStart == kMaxFaceDigits) return std::nullopt;
        id = id * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digitsStart || id > INT32_MAX || !StartsWithAt(text, i, kClose)) return std::nullopt;
    return FaceCode{i + kClose.size() - pos, static_cast<std::int32_t>(id)};
}

std::optional<ValueCode> ReadLocalPicture(std::string_view text, std::size_t pos) {
    if (!StartsWithAt(text, pos, kLocalOpen)) return std::nullopt;
    const std::size_t start = pos + kLocalOpen.size();
    const std::size_t end = FindWithin(text, kClose, start, kMaxLocalPathBytes);
    if (end == std::string_view::npos || end == start)
        return std::nullopt;
    const std::string_view path = text.substr(start, end - start);
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7F) return std::nullopt;
    return ValueCode{end + kClose.size() - pos, path};
}

std::optional<ValueCode> ReadStoredPicture(std::string_view text, std::size_t pos) {
    if (!StartsWithNoCaseAt(text, pos, kPicOpen)) return std::nullopt;
    const std::size_t start = pos + kPicOpen.size();
    // The id ends at ":0\"" rather than at the first ":", so that a picture
    // URL (which holds "http:" and maybe a port) survives whole.
    const std::size_t end = FindWithin(text, kPicClose, start, kMaxPictureIdUnits * 3);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view id = text.substr(start, end - start);
    if (!IsValidPictureId(id)) return std::nullopt;
    return ValueCode{end + kPicClose.size() - pos, id};
}

std::optional<ValueCode> ReadVoiceClip(std::string_view text, std::size_t pos) {
    if (!StartsWithNoCaseAt(text, pos, kVoiceOpen)) return std::nullopt;
    const std::size_t start = pos + kVoiceOpen.size();
    const std::size_t end = FindWithin(text, ":", start, kMaxVoiceIdUnits * 3);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view id = text.substr(start, end - start);
    if (!IsValidVoiceId(id)) return std::nullopt;
    return ValueCode{end + 1 - pos, id};
}

bool IsValidPictureId(std::string_view id) {
    // Bytes are checked first so the length count only sees short ids.
    return !id.empty() && id.size() <= kMaxPictureIdUnits * 3 && IdCharsOk(id, true) &&
           id.find(kPicClose) == std::string_view::npos &&
           text::Utf16Length(id) <= kMaxPictureIdUnits;
}

bool IsValidVoiceId(std::string_view id) {
    return !id.empty() && id.size() <= kMaxVoiceIdUnits * 3 && IdCharsOk(id, false) &&
           id.find(':') == std::string_view::npos && id != "." && id != ".." &&
           text::Utf16Length(id) <= kMaxVoiceIdUnits;
}

std::string MakeFace(std::int32_t id) {
    if (id < 0) return {};
    std::string digits = std::to_string(id);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return std::string(kFaceOpen) + digits + std::string(kClose);
}

std::string MakeLocalPicture(std::string_view path) {
    std::string code = std::string(kLocalOpen) + std::string(path) + std::string(kClose);
    const auto back = ReadLocalPicture(code, 0);
    if (!back || back->length != code.size()) return {};
    return code;
}

std::string MakeStoredPicture(std::string_view id) {
    if (!IsValidPictureId(id)) return {};
    return std::string(kPicOpen) + std::string(id) + std::string(kPicClose);
}

std::string MakeVoiceClip(std::string_view id) {
    if (!IsValidVoiceId(id)) return {};
    return std::string(kVoiceOpen) + std::string(id) + ":";
}

std::string EscapeText(std::string_view plain) {
    std::string out;
    out.reserve(plain.size());
    for (char c : plain) {
        out += c;
        if (c == '/') out += '/';
    }
    return out;
}

LineCode ReadLineCode(std::string_view text, std::size_t pos, const LineRules& rules) {
    LineCode out;
    const char c = text[pos];
    if (c == '/') {
        if (pos + 1 < text.size() && text[pos + 1] == '/') {
            out.kind = CodeKind::slash;
            out.length = 2;
        } else if (const auto f = ReadFace(text, pos)) {
            out.kind = CodeKind::face;
            out.length = f->length;
            out.face = f->id;
        } else if (rules.ownLine) {
            if (const auto p = ReadLocalPicture(text, pos)) {
                out.kind = CodeKind::local_picture;
                out.length = p->length;
                out.value = p->value;
            }
        }
    } else if (c == '@') {
        const auto p = ReadStoredPicture(text, pos);
        if (p && (rules.pictureUrls || !IsPictureUrl(p->value))) {
            out.kind = CodeKind::stored_picture;
            out.length = p->length;
            out.value = p->value;
        } else if (const auto v = ReadVoiceClip(text, pos)) {
            out.kind = CodeKind::voice_clip;
            out.length = v->length;
            out.value = v->value;
        }
    }
    return out;
}

bool CarriesStoredPicture(std::string_view line) {
    // Readers repair the line's UTF-8 before anything else.
    const std::string text = text::RepairUtf8(line);
    const LineRules fromAnotherUser;
    // Every "@" counts, even inside another code: a reader steps over a voice
    // clip only when it knows voice clips, and its face tags (applied before
    // decoding) may swallow a clip's opening and leave a picture standing.
    // Tag expansion never makes a picture where none was: face codes hold a
    // quote, which no picture id does.
    for (std::size_t i = text.find('@'); i != std::string::npos; i = text.find('@', i + 1))
        if (ReadLineCode(text, i, fromAnotherUser).kind == CodeKind::stored_picture) return true;
    return false;
}

}  // namespace chatcode
