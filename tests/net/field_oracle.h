#pragma once
// A second, deliberately plain reading of the field lists, for checking the
// codec against: messages built with the container's put_* calls and read
// back with its getters, one field at a time. Slow, and easy to see right.
// Also: field-by-field equality of two messages.

#include <cstdint>
#include <tuple>
#include <type_traits>
#include <vector>

#include "net/fields.h"

namespace oracle {

template <class Msg>
bool write(TLV::body& b, const Msg& m);
template <class Msg>
void read(const TLV::body& b, Msg& m);

inline bool put_int(TLV::body& b, unsigned char tag, std::uint64_t v, wire::width w) {
    switch (w) {
        case wire::width::u8: return b.put_u8(tag, static_cast<std::uint8_t>(v));
        case wire::width::u16: return b.put_u16(tag, static_cast<std::uint16_t>(v));
        case wire::width::u32: return b.put_u32(tag, static_cast<std::uint32_t>(v));
        case wire::width::u64: return b.put_u64(tag, v);
    }
    return false;
}

template <class N>
bool put_nested(TLV::body& b, unsigned char tag, const N& n) {
    TLV::body inner;
    return write(inner, n) && b.put_container(tag, inner);
}

template <class Msg, class M>
bool write_one(TLV::body& b, const Msg& m, const wire::int_field<Msg, M>& f) {
    const M& v = m.*(f.member);
    if constexpr (wire::is_optional<M>::value) {
        return !v || put_int(b, f.tag, static_cast<std::uint64_t>(*v), f.w);
    } else {
        return put_int(b, f.tag, static_cast<std::uint64_t>(v), f.w);
    }
}
template <class Msg>
bool write_one(TLV::body& b, const Msg& m, const wire::text_field<Msg>& f) {
    if (f.leftOutWhenEmpty && (m.*(f.member)).empty()) return true;
    return b.put_string(f.tag, m.*(f.member));
}
template <class Msg>
bool write_one(TLV::body& b, const Msg& m, const wire::raw_field<Msg>& f) {
    return b.put_raw(f.tag, (m.*(f.member)).data(), (m.*(f.member)).size());
}
template <class Msg, class N>
bool write_one(TLV::body& b, const Msg& m, const wire::nested_field<Msg, N>& f) {
    return put_nested(b, f.tag, m.*(f.member));
}
template <class Msg, class M>
bool write_one(TLV::body& b, const Msg& m, const wire::ints_field<Msg, M>& f) {
    for (const M& v : m.*(f.member))
        if (!put_int(b, f.tag, static_cast<std::uint64_t>(v), f.w)) return false;
    return true;
}
template <class Msg, class N>
bool write_one(TLV::body& b, const Msg& m, const wire::nesteds_field<Msg, N>& f) {
    for (const N& n : m.*(f.member))
        if (!put_nested(b, f.tag, n)) return false;
    return true;
}

template <class Msg>
bool write(TLV::body& b, const Msg& m) {
    if constexpr (std::is_base_of_v<wire::status, Msg>) {
        const wire::status& s = m;
        if (!s.message.empty() && !b.put_string(cmd::kTagServerMessage, s.message)) return false;
        if (s.code != 0 && !b.put_u32(cmd::kTagErrorCode, s.code)) return false;
    }
    return std::apply([&](const auto&... f) { return (write_one(b, m, f) && ...); },
                      Msg::fields());
}

template <class Msg, class M>
void read_one(const TLV::body& b, Msg& m, const wire::int_field<Msg, M>& f) {
    M& v = m.*(f.member);
    if constexpr (wire::is_optional<M>::value) {
        if (b.has(f.tag)) v = static_cast<typename M::value_type>(b.get_int(f.tag));
    } else {
        v = static_cast<M>(b.get_int(f.tag));
    }
}
template <class Msg>
void read_one(const TLV::body& b, Msg& m, const wire::text_field<Msg>& f) {
    m.*(f.member) = b.get_text(f.tag);
}
template <class Msg>
void read_one(const TLV::body& b, Msg& m, const wire::raw_field<Msg>& f) {
    m.*(f.member) = b.get_bytes(f.tag);
}
template <class Msg, class N>
void read_one(const TLV::body& b, Msg& m, const wire::nested_field<Msg, N>& f) {
    TLV::body inner;
    if (b.get_container(f.tag, inner)) read(inner, m.*(f.member));
}
template <class Msg, class M>
void read_one(const TLV::body& b, Msg& m, const wire::ints_field<Msg, M>& f) {
    std::vector<M>& out = m.*(f.member);
    out.clear();
    for (std::size_t i = 0; i < b.count(f.tag); ++i)
        out.push_back(static_cast<M>(b.get_int(f.tag, i)));
}
template <class Msg, class N>
void read_one(const TLV::body& b, Msg& m, const wire::nesteds_field<Msg, N>& f) {
    std::vector<N>& out = m.*(f.member);
    out.clear();
    TLV::body inner;
    for (std::size_t i = 0; i < b.count(f.tag); ++i) {
        N& item = out.emplace_back();
        if (b.get_container(f.tag, inner, i)) read(inner, item);
    }
}

template <class Msg>
void read(const TLV::body& b, Msg& m) {
    if constexpr (std::is_base_of_v<wire::status, Msg>) {
        wire::status& s = m;
        s.message = b.get_text(cmd::kTagServerMessage);
        s.code = static_cast<std::uint32_t>(b.get_int(cmd::kTagErrorCode));
    }
    std::apply([&](const auto&... f) { (read_one(b, m, f), ...); }, Msg::fields());
}

// Equal field by field; raw fields must be the same view (same bytes at the
// same address), not just equal contents.
template <class Msg>
bool same(const Msg& a, const Msg& b);

template <class V>
bool same_value(const V& a, const V& b) {
    if constexpr (std::is_same_v<V, wire::bytes>) {
        return a.data() == b.data() && a.size() == b.size();
    } else if constexpr (requires { V::fields(); }) {
        return same(a, b);
    } else if constexpr (requires { a.size(); a[0]; } && !std::is_same_v<V, std::string>) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!same_value(a[i], b[i])) return false;
        return true;
    } else {
        return a == b;
    }
}

template <class Msg>
bool same(const Msg& a, const Msg& b) {
    if constexpr (std::is_base_of_v<wire::status, Msg>) {
        const wire::status& x = a;
        const wire::status& y = b;
        if (x.message != y.message || x.code != y.code) return false;
    }
    return std::apply(
        [&](const auto&... f) { return (same_value(a.*(f.member), b.*(f.member)) && ...); },
        Msg::fields());
}

}  // namespace oracle
