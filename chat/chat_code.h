#pragma once
// The inline codes of chat text and their recognisers.
//
//   "//"                 one literal "/"
//   /f["007"]            face 7 (written with at least three digits)
//   /c["PATH"]           a local picture (the sender's own echo only)
//   @$#PIC:ID:0"         a picture stored on the picture service (ID: file id or URL)
//   @$#:ID:              a voice clip
//
// Each Read* looks at `pos` only and returns the code's whole length and its
// value when a complete, well-formed code starts there; anything else is
// text. No recogniser reads beyond the end of the view it is given.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace chatcode {

// Limits of the ids, in UTF-16 units. Longer ids are not codes.
inline constexpr std::size_t kMaxPictureIdUnits = 255;
inline constexpr std::size_t kMaxVoiceIdUnits = 63;
// Longest local path a code may carry, in bytes.
inline constexpr std::size_t kMaxLocalPathBytes = 4096;
// Face numbers are 32-bit; more digits than this are not a face.
inline constexpr std::size_t kMaxFaceDigits = 10;

struct FaceCode {
    std::size_t length = 0;
    std::int32_t id = 0;
};
struct ValueCode {
    std::size_t length = 0;
    std::string_view value;  // points into the text
};

std::optional<FaceCode> ReadFace(std::string_view text, std::size_t pos);
std::optional<ValueCode> ReadLocalPicture(std::string_view text, std::size_t pos);
std::optional<ValueCode> ReadStoredPicture(std::string_view text, std::size_t pos);
std::optional<ValueCode> ReadVoiceClip(std::string_view text, std::size_t pos);

// Writers. They return an empty string for a value that no reader would
// give back whole (negative face, empty or unrepresentable path or id).
std::string MakeFace(std::int32_t id);
std::string MakeLocalPicture(std::string_view path);
std::string MakeStoredPicture(std::string_view id);
std::string MakeVoiceClip(std::string_view id);

// Ids that can travel inside a code and be used to name a file safely:
// non-empty, within the limit, without blanks, control characters, quotes,
// and (voice ids) without path separators.
bool IsValidPictureId(std::string_view id);
bool IsValidVoiceId(std::string_view id);

// Every "/" doubled, as typed text travels.
std::string EscapeText(std::string_view plain);

// --- reading a whole line -------------------------------------------------
// One walk over a line, used by the chat decoder and by the server's power
// check, so that what the server lets through is what readers would show.

enum class CodeKind { text, slash, face, local_picture, stored_picture, voice_clip };

struct LineCode {
    CodeKind kind = CodeKind::text;  // text: one character
    std::size_t length = 1;
    std::string_view value;  // local path, picture id or voice id; points into the text
    std::int32_t face = 0;
};

struct LineRules {
    // Local pictures are read only in the user's own echo.
    bool ownLine = false;
    // Stored pictures may name a URL only in lines the server writes.
    bool pictureUrls = false;
};

// The code starting at `pos` (pos < text.size()), or one character of text.
LineCode ReadLineCode(std::string_view text, std::size_t pos, const LineRules& rules);

// Whether a user's line, as it arrives on the wire, may show a stored
// picture to another member: a stored-picture code, read as the decoder
// reads one, starts at one of its characters. Sending one takes its own power.
bool CarriesStoredPicture(std::string_view line);

}  // namespace chatcode
