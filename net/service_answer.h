#pragma once
// The answers of the check-in and room-picture services: a TLV body, sealed
// with kampo_encrypt for the routes that encrypt. Tag 209 carries an error
// text; each tag-1 item is a nested body with tag 2 (a 32-bit result or id)
// and tag 4 (a picture name or URL). zeri-server builds them, the room
// reads them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace msg {

inline constexpr unsigned char kAnswerItem = 1;
inline constexpr unsigned char kAnswerResult = 2;
inline constexpr unsigned char kAnswerText = 4;
inline constexpr unsigned char kAnswerError = 209;

struct ServiceItem {
    bool hasResult = false;
    std::uint32_t result = 0;
    std::string text;
};

struct ServiceAnswer {
    std::string error;  // non-empty: the service refused, this is why
    std::vector<ServiceItem> items;
};

// Encrypted answers are decrypted first (on a copy). False when the bytes
// do not decrypt; a plaintext that is not a body gives an answer with
// neither error nor items.
bool DecodeServiceAnswer(const unsigned char* bytes, std::size_t length, bool encrypted,
                         ServiceAnswer& out);

std::string EncodeServiceAnswer(const ServiceAnswer& answer, bool encrypt);

// Success needs no error text and a first item whose result is present and
// 0: a truncated or empty answer is a failure, not a zero.
bool ServiceAnswerSucceeded(const ServiceAnswer& answer);

}  // namespace msg
