#pragma once
// The builder and decoder derived from a field list (net/field_list.h).
//
// Encoding sizes the body from the list first and then writes it straight
// into one buffer of that size. Decoding reads each item once, in arrival
// order, into its field; for a field that is not a list the first value of
// its tag wins, as it does for the container's getters.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "net/commands.h"
#include "net/field_list.h"
#include "net/tlv.h"

namespace wire {

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
    // The status is read as two more fields, after the listed ones. (Not
    // named "slots": Qt defines that word away in the windows' sources.)
    static constexpr std::size_t slot_count = count + (has_status ? 2 : 0);
    static_assert(slot_count <= 64, "the first-value-wins mask holds 64 fields");

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
        return mapped == slot_count;
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

// The reads are inlined by force into read_items, which is past the
// compiler's size limit for inlining; a call per item costs more than the read.
template <class Msg, class M>
[[gnu::always_inline]] inline void read_one(Msg& m, const int_field<Msg, M>& f,
                                            const unsigned char* p, std::size_t n, int) {
    if constexpr (is_optional<M>::value) {
        m.*(f.member) = static_cast<typename M::value_type>(TLV::read_int(p, n));
    } else {
        m.*(f.member) = static_cast<M>(TLV::read_int(p, n));
    }
}
template <class Msg>
[[gnu::always_inline]] inline void read_one(Msg& m, const text_field<Msg>& f,
                                            const unsigned char* p, std::size_t n, int) {
    m.*(f.member) = TLV::read_text(p, n);
}
template <class Msg>
[[gnu::always_inline]] inline void read_one(Msg& m, const raw_field<Msg>& f,
                                            const unsigned char* p, std::size_t n, int) {
    m.*(f.member) = bytes(p, n);
}
template <class Msg, class N>
void read_one(Msg& m, const nested_field<Msg, N>& f, const unsigned char* p, std::size_t n,
              int depth) {
    // Too deep reads as absent: the block keeps what it held.
    if (depth < TLV::kMaxDepth) read_body(p, n, depth + 1, m.*(f.member));
}
template <class Msg, class M>
[[gnu::always_inline]] inline void read_one(Msg& m, const ints_field<Msg, M>& f,
                                            const unsigned char* p, std::size_t n, int) {
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
[[gnu::always_inline]] inline void read_slot(Msg& m, const unsigned char* p, std::size_t n,
                                             int depth, std::uint64_t& seen) {
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

// The tag field or status slot I is read from.
template <class Msg, std::size_t I>
constexpr unsigned char tag_of() {
    using L = layout<Msg>;
    if constexpr (I == L::count) return cmd::kTagServerMessage;
    else if constexpr (I == L::count + 1) return cmd::kTagErrorCode;
    else return std::get<I>(L::fields).tag;
}

template <class Msg, std::size_t I>
constexpr bool is_list_slot() {
    using L = layout<Msg>;
    if constexpr (I >= L::count) return false;
    else return is_list_field<std::remove_cvref_t<decltype(std::get<I>(L::fields))>>::value;
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
        std::array<std::size_t, L::slot_count + 1> counts{};
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
    bool more = items.next(tag, p, n);
    // Senders write the status and then the fields in their listed order.
    // Items met in that order are read straight into their field, with no
    // dispatch; a field whose tag is not next is passed over, and whatever
    // is left (absent fields, other orders, repeats) goes through the table.
    // Items are taken strictly in arrival order either way.
    auto in_order = [&]<std::size_t I>(std::integral_constant<std::size_t, I>) {
        constexpr std::size_t slot = (I + L::count) % L::slot_count;
        constexpr unsigned char t = tag_of<Msg, slot>();
        if constexpr (is_list_slot<Msg, slot>()) {
            while (more && tag == t) {
                read_slot<Msg, slot>(m, p, n, depth, seen);
                more = items.next(tag, p, n);
            }
        } else if (more && tag == t) {
            read_slot<Msg, slot>(m, p, n, depth, seen);
            more = items.next(tag, p, n);
        }
    };
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (in_order(std::integral_constant<std::size_t, I>{}), ...);
    }(std::make_index_sequence<L::slot_count>{});
    for (; more; more = items.next(tag, p, n)) {
        const unsigned slot = L::slot_of[tag];
        if (slot != 0)
            dispatch(m, slot, p, n, depth, seen, std::make_index_sequence<L::slot_count>{});
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

}  // namespace wire
