#pragma once
// What the purchase dialogs show and read, as plain text: prices, counts,
// dates and the video text's bound. No Qt, so the rules are checked apart
// from the windows.

#include <cstdint>
#include <string>
#include <string_view>

namespace purchase_text {

inline constexpr std::int64_t kMaxGiftCount = 9999;
// The video-text prop's bound, in UTF-8 bytes (what the server takes).
inline constexpr std::size_t kMaxVideoTextBytes = 128;

// The gift dialog's count: 1 to kMaxGiftCount as typed (spaces around it
// allowed). Anything else, an empty box, a sign or a number beyond the
// bound, reads 0, which the room refuses with its own tip rather than
// spending a count nobody typed.
std::int64_t ParseGiftCount(std::string_view text);

// Hundredths as "12.34" followed by the currency's name; a former price
// (initialPrice > 0 and different) as "原价:12.34/现价:10.00元".
std::string PriceText(std::int64_t hundredths, const std::string& currency);
std::string OfferPriceText(std::int64_t price, std::int64_t initialPrice,
                           const std::string& currency);
// A count's total, or "" when the count is not one the dialog takes (or the
// product does not fit).
std::string TotalText(std::int64_t price, std::int64_t count, const std::string& currency);

// An expiry (seconds since 1970, local date) as "2026-12-08"; 0 is "永久".
std::string ExpiryText(std::uint32_t seconds);

// The video text as the prop may carry it: control characters dropped, cut
// at a character boundary to at most maxBytes bytes of UTF-8. The input is
// taken as UTF-8; an invalid byte is dropped.
std::string FitVideoText(std::string_view utf8, std::size_t maxBytes = kMaxVideoTextBytes);

}  // namespace purchase_text
