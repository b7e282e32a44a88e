#pragma once
// Text conversions in one place. Program text is UTF-8; window texts and the
// length rules of chat and nicknames count UTF-16 units. On this platform the
// "ANSI code page" of paths and cached files is UTF-8, so the ANSI hooks only
// repair malformed sequences.

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// Malformed UTF-8 (bad lead bytes, truncated or overlong sequences, surrogate
// code points, values above U+10FFFF) becomes U+FFFD, one per bad byte run.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Number of UTF-16 units the UTF-8 text would take, after repair.
std::size_t Utf16Length(std::string_view utf8);

// The UTF-8 text with every malformed sequence replaced by U+FFFD.
std::string RepairUtf8(std::string_view utf8);

// The first `units` UTF-16 units of the text, never splitting a surrogate pair.
std::string Utf8PrefixUnits(std::string_view utf8, std::size_t units);

// Appends the UTF-8 form of one code point (U+FFFD for invalid ones).
void AppendUtf8(std::string& out, char32_t cp);

// "ANSI" (system code page) <-> UTF-8. Identity apart from repair here.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace text
