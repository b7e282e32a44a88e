#pragma once
// Test bodies written as hex text ("01 00 04 00 00 00 2A").

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline std::vector<unsigned char> Hex(std::string_view text) {
    std::vector<unsigned char> out;
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        const int d = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<unsigned char>(high * 16 + d));
            high = -1;
        }
    }
    return out;
}

inline std::string ToHex(const unsigned char* p, std::size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

inline std::string ToHex(const std::vector<unsigned char>& v) { return ToHex(v.data(), v.size()); }
