#pragma once
// Field descriptors: each message of the catalogue lists its fields once
// (tag, encoding, member) in wire order, and both the builder and the decoder
// are derived from that list, so the client and the server cannot disagree.
//
//   struct Control_Gag_Req {
//       static constexpr std::uint32_t id = cmd::Control_Gag_Req;
//       std::uint32_t user_id = 0; ...
//       static constexpr auto fields() {
//           using M = Control_Gag_Req;
//           return std::tuple{wire::u32(1, &M::user_id), ...};
//       }
//   };
//
// Integers are written with the listed width and read by length (a value of
// another width still reads). Raw fields are views into the decoded bytes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "net/commands.h"
#include "net/packet.h"
#include "net/tlv.h"

namespace wire {

using bytes = std::span<const unsigned char>;

// Tags 209 and 208, common to every response and notification.
struct status {
    std::string message;     // empty = success, else the server's text
    std::uint32_t code = 0;  // error code accompanying a failure
    bool ok() const { return message.empty(); }
};

enum class width : std::uint8_t { u8 = 1, u16 = 2, u32 = 4, u64 = 8 };

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};

template <class T, class M>
struct int_field {
    unsigned char tag;
    M T::*member;
    width w;
};
template <class T>
struct text_field {
    unsigned char tag;
    std::string T::*member;
    bool leftOutWhenEmpty = false;
};
template <class T>
struct raw_field {
    unsigned char tag;
    bytes T::*member;
};
template <class T, class N>
struct nested_field {
    unsigned char tag;
    N T::*member;
};
template <class T, class M>
struct ints_field {
    unsigned char tag;
    std::vector<M> T::*member;
    width w;
};
template <class T, class N>
struct nesteds_field {
    unsigned char tag;
    std::vector<N> T::*member;
};

template <class T, class M>
constexpr int_field<T, M> u8(unsigned char tag, M T::*m) { return {tag, m, width::u8}; }
template <class T, class M>
constexpr int_field<T, M> u16(unsigned char tag, M T::*m) { return {tag, m, width::u16}; }
template <class T, class M>
constexpr int_field<T, M> u32(unsigned char tag, M T::*m) { return {tag, m, width::u32}; }
template <class T, class M>
constexpr int_field<T, M> u64(unsigned char tag, M T::*m) { return {tag, m, width::u64}; }
template <class T>
constexpr text_field<T> text(unsigned char tag, std::string T::*m) { return {tag, m, false}; }
// A text written only when it is not empty: for fields added beside a
// message's own, so that without them the message keeps its exact bytes.
template <class T>
constexpr text_field<T> extra_text(unsigned char tag, std::string T::*m) { return {tag, m, true}; }
template <class T>
constexpr raw_field<T> raw(unsigned char tag, bytes T::*m) { return {tag, m}; }
template <class T, class N>
constexpr nested_field<T, N> nested(unsigned char tag, N T::*m) { return {tag, m}; }
// A tag that repeats: values read by index 0, 1, 2 … until absent.
template <class T, class M>
constexpr ints_field<T, M> u32s(unsigned char tag, std::vector<M> T::*m) {
    return {tag, m, width::u32};
}
template <class T, class N>
constexpr nesteds_field<T, N> nesteds(unsigned char tag, std::vector<N> T::*m) {
    return {tag, m};
}

template <class Msg>
bool write_fields(TLV::body& b, const Msg& m);
template <class Msg>
void read_fields(const TLV::body& b, Msg& m);

namespace detail {

inline bool put_int(TLV::body& b, unsigned char tag, std::uint64_t v, width w) {
    switch (w) {
        case width::u8: return b.put_u8(tag, static_cast<std::uint8_t>(v));
        case width::u16: return b.put_u16(tag, static_cast<std::uint16_t>(v));
        case width::u32: return b.put_u32(tag, static_cast<std::uint32_t>(v));
        case width::u64: return b.put_u64(tag, v);
    }
    return false;
}

template <class N>
bool put_nested(TLV::body& b, unsigned char tag, const N& n) {
    TLV::body inner;
    return write_fields(inner, n) && b.put_container(tag, inner);
}

template <class Msg, class M>
bool write_one(TLV::body& b, const Msg& m, const int_field<Msg, M>& f) {
    const M& v = m.*(f.member);
    if constexpr (is_optional<M>::value) {
        return !v || put_int(b, f.tag, static_cast<std::uint64_t>(*v), f.w);
    } else {
        return put_int(b, f.tag, static_cast<std::uint64_t>(v), f.w);
    }
}
template <class Msg>
bool write_one(TLV::body& b, const Msg& m, const text_field<Msg>& f) {
    if (f.leftOutWhenEmpty && (m.*(f.member)).empty()) return true;
    return b.put_string(f.tag, m.*(f.member));
}
template <class Msg>
bool write_one(TLV::body& b, const Msg& m, const raw_field<Msg>& f) {
    const bytes& v = m.*(f.member);
    return b.put_raw(f.tag, v.data(), v.size());
}
template <class Msg, class N>
bool write_one(TLV::body& b, const Msg& m, const nested_field<Msg, N>& f) {
    return put_nested(b, f.tag, m.*(f.member));
}
template <class Msg, class M>
bool write_one(TLV::body& b, const Msg& m, const ints_field<Msg, M>& f) {
    for (const M& v : m.*(f.member))
        if (!put_int(b, f.tag, static_cast<std::uint64_t>(v), f.w)) return false;
    return true;
}
template <class Msg, class N>
bool write_one(TLV::body& b, const Msg& m, const nesteds_field<Msg, N>& f) {
    for (const N& n : m.*(f.member))
        if (!put_nested(b, f.tag, n)) return false;
    return true;
}

template <class Msg, class M>
void read_one(const TLV::body& b, Msg& m, const int_field<Msg, M>& f) {
    M& v = m.*(f.member);
    if constexpr (is_optional<M>::value) {
        if (b.has(f.tag)) v = static_cast<typename M::value_type>(b.get_int(f.tag));
    } else {
        v = static_cast<M>(b.get_int(f.tag));
    }
}
template <class Msg>
void read_one(const TLV::body& b, Msg& m, const text_field<Msg>& f) {
    m.*(f.member) = b.get_text(f.tag);
}
template <class Msg>
void read_one(const TLV::body& b, Msg& m, const raw_field<Msg>& f) {
    m.*(f.member) = b.get_bytes(f.tag);
}
template <class Msg, class N>
void read_one(const TLV::body& b, Msg& m, const nested_field<Msg, N>& f) {
    TLV::body inner;
    if (b.get_container(f.tag, inner)) read_fields(inner, m.*(f.member));
}
template <class Msg, class M>
void read_one(const TLV::body& b, Msg& m, const ints_field<Msg, M>& f) {
    std::vector<M>& out = m.*(f.member);
    const std::size_t n = b.count(f.tag);
    out.clear();
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<M>(b.get_int(f.tag, i)));
}
template <class Msg, class N>
void read_one(const TLV::body& b, Msg& m, const nesteds_field<Msg, N>& f) {
    std::vector<N>& out = m.*(f.member);
    const std::size_t n = b.count(f.tag);
    out.clear();
    out.reserve(n);
    TLV::body inner;
    for (std::size_t i = 0; i < n; ++i) {
        // An element too deep to decode still counts, as an empty one.
        N& item = out.emplace_back();
        if (b.get_container(f.tag, inner, i)) read_fields(inner, item);
    }
}

}  // namespace detail

// Writes the fields of m in their listed order (the server's status first).
// False when a value is too long for its length field; the body is then
// incomplete and must not be sent.
template <class Msg>
bool write_fields(TLV::body& b, const Msg& m) {
    if constexpr (std::is_base_of_v<status, Msg>) {
        const status& s = m;
        if (!s.message.empty() && !b.put_string(cmd::kTagServerMessage, s.message)) return false;
        if (s.code != 0 && !b.put_u32(cmd::kTagErrorCode, s.code)) return false;
    }
    return std::apply([&](const auto&... f) { return (detail::write_one(b, m, f) && ...); },
                      Msg::fields());
}

template <class Msg>
void read_fields(const TLV::body& b, Msg& m) {
    if constexpr (std::is_base_of_v<status, Msg>) {
        status& s = m;
        s.message = b.get_text(cmd::kTagServerMessage);
        s.code = static_cast<std::uint32_t>(b.get_int(cmd::kTagErrorCode));
    }
    std::apply([&](const auto&... f) { (detail::read_one(b, m, f), ...); }, Msg::fields());
}

// The packet of a message (request, or the server's response or
// notification); an empty holder when a field does not fit.
template <class Msg>
packet_ptr build(const Msg& m) {
    TLV::body b;
    if (!write_fields(b, m)) return {};
    return make_packet(Msg::id, b);
}

// The message of a decoded body; absent fields keep their defaults.
template <class Msg>
Msg decode(const TLV::body& b) {
    Msg m{};
    read_fields(b, m);
    return m;
}

// The message of received bytes. Text is copied out; raw fields still point
// into `bytes`.
template <class Msg>
Msg decode(const unsigned char* bytes, std::size_t length) {
    TLV::body b;
    b.parse(bytes, length);
    return decode<Msg>(b);
}

}  // namespace wire
