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

}  // namespace wire
