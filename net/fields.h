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
//
// Encoding sizes the body from the list first and then writes it straight
// into one buffer of that size. Decoding reads each item once, in arrival
// order, and hands it to its field through a table indexed by tag; for a
// field that is not a list the first value of its tag wins, as it does for
// the container's getters.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
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

// encoded_size() of a message with a value too long for its length field.
inline constexpr std::size_t kTooLong = static_cast<std::size_t>(-1);

template <class Msg>
std::size_t encoded_size(const Msg& m);
template <class Msg>
unsigned char* encode_to(unsigned char* out, const Msg& m);

namespace detail {

template <class F>
struct is_list_field : std::false_type {};
template <class T, class M>
struct is_list_field<ints_field<T, M>> : std::true_type {};
template <class T, class N>
struct is_list_field<nesteds_field<T, N>> : std::true_type {};

// --- sizing ----------------------------------------------------------------
// Each field's share of the body, by the writing rules of TLV::body: an
// empty value writes nothing, a value over kMaxValue cannot be written.

inline constexpr std::size_t kHeader = TLV::body::kHeader;
inline constexpr std::size_t kMaxValue = TLV::body::kMaxValue;

inline std::size_t text_size(std::size_t length) {
    return length + 1 > kMaxValue ? kTooLong : kHeader + length + 1;
}

template <class N>
std::size_t nested_size(const N& n) {
    const std::size_t inner = encoded_size(n);
    if (inner == kTooLong || inner > kMaxValue) return kTooLong;
    return inner == 0 ? 0 : kHeader + inner;
}

template <class Msg, class M>
std::size_t size_one(const Msg& m, const int_field<Msg, M>& f) {
    if constexpr (is_optional<M>::value) {
        return (m.*(f.member)) ? kHeader + static_cast<std::size_t>(f.w) : 0;
    } else {
        return kHeader + static_cast<std::size_t>(f.w);
    }
}
template <class Msg>
std::size_t size_one(const Msg& m, const text_field<Msg>& f) {
    const std::string& v = m.*(f.member);
    if (f.leftOutWhenEmpty && v.empty()) return 0;
    return text_size(v.size());
}
template <class Msg>
std::size_t size_one(const Msg& m, const raw_field<Msg>& f) {
    const std::size_t n = (m.*(f.member)).size();
    if (n > kMaxValue) return kTooLong;
    return n == 0 ? 0 : kHeader + n;
}
template <class Msg, class N>
std::size_t size_one(const Msg& m, const nested_field<Msg, N>& f) {
    return nested_size(m.*(f.member));
}
template <class Msg, class M>
std::size_t size_one(const Msg& m, const ints_field<Msg, M>& f) {
    return (m.*(f.member)).size() * (kHeader + static_cast<std::size_t>(f.w));
}
template <class Msg, class N>
std::size_t size_one(const Msg& m, const nesteds_field<Msg, N>& f) {
    std::size_t total = 0;
    for (const N& n : m.*(f.member)) {
        const std::size_t one = nested_size(n);
        if (one == kTooLong) return kTooLong;
        total += one;
    }
    return total;
}

// --- writing ---------------------------------------------------------------
// Into memory already sized by encoded_size(): no checks are left to make.

inline unsigned char* put_header(unsigned char* out, unsigned char tag, std::size_t length) {
    out[0] = tag;
    out[1] = static_cast<unsigned char>(length >> 8);
    out[2] = static_cast<unsigned char>(length);
    return out + kHeader;
}

inline unsigned char* put_int(unsigned char* out, unsigned char tag, std::uint64_t v, width w) {
    const std::size_t n = static_cast<std::size_t>(w);
    out = put_header(out, tag, n);
    for (std::size_t i = n; i-- > 0;) {
        out[i] = static_cast<unsigned char>(v);
        v >>= 8;
    }
    return out + n;
}

inline unsigned char* put_text(unsigned char* out, unsigned char tag, const std::string& v) {
    out = put_header(out, tag, v.size() + 1);
    std::memcpy(out, v.data(), v.size());
    out[v.size()] = 0;
    return out + v.size() + 1;
}

template <class N>
unsigned char* put_nested(unsigned char* out, unsigned char tag, const N& n) {
    // The length goes in once the nested body is written; an empty one is
    // taken back, header and all.
    unsigned char* const value = out + kHeader;
    unsigned char* const end = encode_to(value, n);
    if (end == value) return out;
    put_header(out, tag, static_cast<std::size_t>(end - value));
    return end;
}

template <class Msg, class M>
unsigned char* write_one(unsigned char* out, const Msg& m, const int_field<Msg, M>& f) {
    const M& v = m.*(f.member);
    if constexpr (is_optional<M>::value) {
        return v ? put_int(out, f.tag, static_cast<std::uint64_t>(*v), f.w) : out;
    } else {
        return put_int(out, f.tag, static_cast<std::uint64_t>(v), f.w);
    }
}
template <class Msg>
unsigned char* write_one(unsigned char* out, const Msg& m, const text_field<Msg>& f) {
    const std::string& v = m.*(f.member);
    if (f.leftOutWhenEmpty && v.empty()) return out;
    return put_text(out, f.tag, v);
}
template <class Msg>
unsigned char* write_one(unsigned char* out, const Msg& m, const raw_field<Msg>& f) {
    const bytes& v = m.*(f.member);
    if (v.empty()) return out;
    out = put_header(out, f.tag, v.size());
    std::memcpy(out, v.data(), v.size());
    return out + v.size();
}
template <class Msg, class N>
unsigned char* write_one(unsigned char* out, const Msg& m, const nested_field<Msg, N>& f) {
    return put_nested(out, f.tag, m.*(f.member));
}
template <class Msg, class M>
unsigned char* write_one(unsigned char* out, const Msg& m, const ints_field<Msg, M>& f) {
    for (const M& v : m.*(f.member)) out = put_int(out, f.tag, static_cast<std::uint64_t>(v), f.w);
    return out;
}
template <class Msg, class N>
unsigned char* write_one(unsigned char* out, const Msg& m, const nesteds_field<Msg, N>& f) {
    for (const N& n : m.*(f.member)) out = put_nested(out, f.tag, n);
    return out;
}

// --- reading ---------------------------------------------------------------

// The field list of Msg as constants, and the field each tag is read into.
template <class Msg>
struct layout {
    static constexpr auto fields = Msg::fields();
    static constexpr std::size_t count = std::tuple_size_v<std::remove_const_t<decltype(fields)>>;
    static constexpr bool has_status = std::is_base_of_v<status, Msg>;
    // The status is read as two more fields, after the listed ones.
    static constexpr std::size_t slots = count + (has_status ? 2 : 0);
    static_assert(slots <= 64, "the first-value-wins mask holds 64 fields");

    // 1 + the index of the field read from each tag; 0 for a tag not read.
    static constexpr std::array<unsigned char, 256> slot_of = [] {
        std::array<unsigned char, 256> s{};
        unsigned char next = 0;
        std::apply([&](const auto&... f) { ((s[f.tag] = ++next), ...); }, fields);
        if constexpr (has_status) {
            s[cmd::kTagServerMessage] = static_cast<unsigned char>(count + 1);
            s[cmd::kTagErrorCode] = static_cast<unsigned char>(count + 2);
        }
        return s;
    }();
    // A tag read into two fields would have one shadow the other.
    static constexpr bool tags_distinct = [] {
        std::size_t mapped = 0;
        for (unsigned char s : slot_of) mapped += s != 0;
        return mapped == slots;
    }();
    static_assert(tags_distinct, "each tag is listed once, apart from 208 and 209");

    static constexpr bool has_lists = std::apply(
        [](const auto&... f) { return (is_list_field<std::decay_t<decltype(f)>>::value || ...); },
        fields);
};

template <class Msg>
void read_body(const unsigned char* bytes, std::size_t length, int depth, Msg& m);

// What a field holds when its tag is absent (as the getters answer for a
// missing tag). An optional integer and a nested block keep their value.
template <class Msg, class M>
void clear_one(Msg& m, const int_field<Msg, M>& f) {
    if constexpr (!is_optional<M>::value) m.*(f.member) = static_cast<M>(0);
}
template <class Msg>
void clear_one(Msg& m, const text_field<Msg>& f) {
    (m.*(f.member)).clear();
}
template <class Msg>
void clear_one(Msg& m, const raw_field<Msg>& f) {
    m.*(f.member) = bytes();
}
template <class Msg, class N>
void clear_one(Msg&, const nested_field<Msg, N>&) {}
template <class Msg, class M>
void clear_one(Msg& m, const ints_field<Msg, M>& f) {
    (m.*(f.member)).clear();
}
template <class Msg, class N>
void clear_one(Msg& m, const nesteds_field<Msg, N>& f) {
    (m.*(f.member)).clear();
}

template <class Msg, class M>
void read_one(Msg& m, const int_field<Msg, M>& f, const unsigned char* p, std::size_t n, int) {
    if constexpr (is_optional<M>::value) {
        m.*(f.member) = static_cast<typename M::value_type>(TLV::read_int(p, n));
    } else {
        m.*(f.member) = static_cast<M>(TLV::read_int(p, n));
    }
}
template <class Msg>
void read_one(Msg& m, const text_field<Msg>& f, const unsigned char* p, std::size_t n, int) {
    m.*(f.member) = TLV::read_text(p, n);
}
template <class Msg>
void read_one(Msg& m, const raw_field<Msg>& f, const unsigned char* p, std::size_t n, int) {
    m.*(f.member) = bytes(p, n);
}
template <class Msg, class N>
void read_one(Msg& m, const nested_field<Msg, N>& f, const unsigned char* p, std::size_t n,
              int depth) {
    // Too deep reads as absent: the block keeps what it held.
    if (depth < TLV::kMaxDepth) read_body(p, n, depth + 1, m.*(f.member));
}
template <class Msg, class M>
void read_one(Msg& m, const ints_field<Msg, M>& f, const unsigned char* p, std::size_t n, int) {
    (m.*(f.member)).push_back(static_cast<M>(TLV::read_int(p, n)));
}
template <class Msg, class N>
void read_one(Msg& m, const nesteds_field<Msg, N>& f, const unsigned char* p, std::size_t n,
              int depth) {
    // An element too deep to decode still counts, as an empty one.
    N& item = (m.*(f.member)).emplace_back();
    if (depth < TLV::kMaxDepth) read_body(p, n, depth + 1, item);
}

// One item into field I (a listed field, or the status after them).
template <class Msg, std::size_t I>
void read_slot(Msg& m, const unsigned char* p, std::size_t n, int depth, std::uint64_t& seen) {
    using L = layout<Msg>;
    if constexpr (I >= L::count) {
        constexpr std::uint64_t bit = std::uint64_t{1} << I;
        if (seen & bit) return;
        seen |= bit;
        status& s = m;
        if constexpr (I == L::count) {
            s.message = TLV::read_text(p, n);
        } else {
            s.code = static_cast<std::uint32_t>(TLV::read_int(p, n));
        }
    } else {
        constexpr auto f = std::get<I>(L::fields);
        if constexpr (!is_list_field<std::remove_const_t<decltype(f)>>::value) {
            constexpr std::uint64_t bit = std::uint64_t{1} << I;
            if (seen & bit) return;
            seen |= bit;
        }
        read_one(m, f, p, n, depth);
    }
}

template <class Msg, std::size_t... I>
void dispatch(Msg& m, unsigned slot, const unsigned char* p, std::size_t n, int depth,
              std::uint64_t& seen, std::index_sequence<I...>) {
    // A chain of compares on one value, which the compiler makes a jump.
    (void)((slot == I + 1 && (read_slot<Msg, I>(m, p, n, depth, seen), true)) || ...);
}

template <class Msg, class Reader>
void read_items(Reader items, int depth, Msg& m) {
    using L = layout<Msg>;
    std::apply([&](const auto&... f) { (clear_one(m, f), ...); }, L::fields);
    if constexpr (L::has_status) {
        status& s = m;
        s.message.clear();
        s.code = 0;
    }
    unsigned char tag = 0;
    const unsigned char* p = nullptr;
    std::size_t n = 0;
    if constexpr (L::has_lists) {
        // A first walk over the headers only, so each list is sized once.
        std::array<std::size_t, L::slots + 1> counts{};
        for (Reader ahead = items; ahead.next(tag, p, n);) ++counts[L::slot_of[tag]];
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            auto reserve = [&](const auto& f, std::size_t k) {
                if constexpr (is_list_field<std::decay_t<decltype(f)>>::value)
                    (m.*(f.member)).reserve(k);
            };
            (reserve(std::get<I>(L::fields), counts[I + 1]), ...);
        }(std::make_index_sequence<L::count>{});
    }
    std::uint64_t seen = 0;
    while (items.next(tag, p, n)) {
        const unsigned slot = L::slot_of[tag];
        if (slot != 0) dispatch(m, slot, p, n, depth, seen, std::make_index_sequence<L::slots>{});
    }
}

template <class Msg>
void read_body(const unsigned char* bytes, std::size_t length, int depth, Msg& m) {
    read_items(TLV::item_reader(bytes, length), depth, m);
}

// The items of a decoded container, in its (tag) order.
class body_items {
public:
    explicit body_items(const TLV::body& b) : items_(b.items()) {}
    bool next(unsigned char& tag, const unsigned char*& value, std::size_t& length) {
        if (at_ == items_.size()) return false;
        const TLV::body::item& it = items_[at_++];
        tag = it.tag;
        value = it.value.data;
        length = it.value.length;
        return true;
    }

private:
    std::span<const TLV::body::item> items_;
    std::size_t at_ = 0;
};

}  // namespace detail

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
