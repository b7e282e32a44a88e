#pragma once
// A catalogue message to and from the wire: its body's size, the body
// written into a buffer, a container or a packet, and the message read back.
// The fields each message lists are in net/field_list.h; how they are
// written and read, in net/field_codec.h.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "net/field_codec.h"
#include "net/packet.h"
#include "net/tlv.h"

namespace wire {

// Bytes the body of m takes once encoded; kTooLong when a value is too long
// for its length field (the message cannot be sent).
template <class Msg>
std::size_t encoded_size(const Msg& m) {
    std::size_t total = 0;
    bool fits = true;
    auto add = [&](std::size_t n) {
        if (n == kTooLong) fits = false;
        else total += n;
    };
    if constexpr (std::is_base_of_v<status, Msg>) {
        const status& s = m;
        if (!s.message.empty()) add(detail::text_size(s.message.size()));
        if (s.code != 0) add(detail::kHeader + 4);
    }
    std::apply([&](const auto&... f) { (add(detail::size_one(m, f)), ...); },
               detail::layout<Msg>::fields);
    return fits ? total : kTooLong;
}

// Writes the body of m (the server's status first, then the fields in their
// listed order) to out, which holds encoded_size(m) bytes; returns the end.
template <class Msg>
unsigned char* encode_to(unsigned char* out, const Msg& m) {
    if constexpr (std::is_base_of_v<status, Msg>) {
        const status& s = m;
        if (!s.message.empty()) out = detail::put_text(out, cmd::kTagServerMessage, s.message);
        if (s.code != 0) out = detail::put_int(out, cmd::kTagErrorCode, s.code, width::u32);
    }
    std::apply([&](const auto&... f) { ((out = detail::write_one(out, m, f)), ...); },
               detail::layout<Msg>::fields);
    return out;
}

// Appends the body of m to b. False when a value is too long for its length
// field; nothing is written then, and the message must not be sent.
template <class Msg>
bool write_fields(TLV::body& b, const Msg& m) {
    const std::size_t n = encoded_size(m);
    if (n == kTooLong) return false;
    if (n > 0) encode_to(b.extend(n), m);
    return true;
}

// Every field of m from the decoded body b; absent fields read as the
// getters answer (0, empty), a nested block only when present.
template <class Msg>
void read_fields(const TLV::body& b, Msg& m) {
    detail::read_items(detail::body_items(b), b.depth(), m);
}

// The packet of a message (request, or the server's response or
// notification); an empty holder when a field does not fit.
template <class Msg>
packet_ptr build(const Msg& m) {
    const std::size_t n = encoded_size(m);
    if (n == kTooLong || n > UINT32_MAX) return {};
    unsigned char* body = nullptr;
    if (n > 0) {
        // Written straight into the packet's own buffer.
        body = static_cast<unsigned char*>(std::malloc(n));
        if (!body) return {};
        encode_to(body, m);
    }
    return packet_ptr(zpacket<pkinfo>::adopt(Msg::id, body, static_cast<std::uint32_t>(n)));
}

// The message of a decoded body; absent fields read as 0 or empty, an
// absent nested block or optional keeps its default.
template <class Msg>
Msg decode(const TLV::body& b) {
    Msg m{};
    read_fields(b, m);
    return m;
}

// The message of received bytes, read in one pass. Text is copied out; raw
// fields still point into `bytes`.
template <class Msg>
Msg decode(const unsigned char* bytes, std::size_t length) {
    Msg m{};
    detail::read_body(bytes, length, 0, m);
    return m;
}

}  // namespace wire
