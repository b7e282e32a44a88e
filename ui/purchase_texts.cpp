#include "ui/purchase_texts.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <limits>

namespace purchase_text {

std::int64_t ParseGiftCount(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return 0;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
        if (v > kMaxGiftCount) return 0;  // also keeps long digit runs from overflowing
    }
    return v;
}

std::string PriceText(std::int64_t hundredths, const std::string& currency) {
    // Integer arithmetic: 0.29 must not show as 0.28.
    const bool negative = hundredths < 0;
    const std::uint64_t abs = negative ? 0 - static_cast<std::uint64_t>(hundredths)
                                       : static_cast<std::uint64_t>(hundredths);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%" PRIu64 ".%02" PRIu64, negative ? "-" : "", abs / 100,
                  abs % 100);
    return buf + currency;
}

std::string OfferPriceText(std::int64_t price, std::int64_t initialPrice,
                           const std::string& currency) {
    if (initialPrice <= 0 || initialPrice == price) return PriceText(price, currency);
    return "原价:" + PriceText(initialPrice, "") + "/现价:" + PriceText(price, currency);
}

std::string TotalText(std::int64_t price, std::int64_t count, const std::string& currency) {
    if (count < 1 || count > kMaxGiftCount || price < 0) return {};
    if (price > std::numeric_limits<std::int64_t>::max() / count) return {};
    return PriceText(price * count, currency);
}

std::string ExpiryText(std::uint32_t seconds) {
    if (seconds == 0) return "永久";
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

namespace {

// Length of the UTF-8 sequence starting at s[i], 0 when it is not a valid one.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    if (b < 0x80) return 1;
    if ((b & 0xE0) == 0xC0 && b >= 0xC2)
        n = 2;
    else if ((b & 0xF0) == 0xE0)
        n = 3;
    else if ((b & 0xF8) == 0xF0 && b <= 0xF4)
        n = 4;
    else
        return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

}  // namespace

std::string FitVideoText(std::string_view utf8, std::size_t maxBytes) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = SequenceLength(utf8, i);
        if (n == 0) {
            ++i;
            continue;
        }
        const auto b = static_cast<unsigned char>(utf8[i]);
        const bool control = n == 1 && (b < 0x20 || b == 0x7F);
        if (!control) {
            if (out.size() + n > maxBytes) break;
            out.append(utf8.substr(i, n));
        }
        i += n;
    }
    return out;
}

}  // namespace purchase_text
