#pragma once
// Tag-length-value bodies: every server body is a flat run of items
// (tag, big-endian length, value), and a value may itself be a body.
//
// A container is used one of two ways. Built: put_* append items straight to
// one growing output buffer in call order. Decoded: parse() records where each
// item lies in the received bytes (nothing is copied), so those bytes must
// outlive the container and every container taken out of it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/wisdom_ptr.h"

// Release policy of shared nested containers.
struct container_free {
    template <class C>
    void operator()(C* p) const {
        delete p;
    }
};

namespace TLV {

// One value: where its bytes lie and how many there are. Owns nothing.
template <class LenT>
struct block {
    const unsigned char* data = nullptr;
    LenT length = 0;
};

// Nested containers deeper than this read as absent. Callers walk bodies
// recursively; without a bound a 64 KB value could nest ~20000 levels.
inline constexpr int kMaxDepth = 8;

// The first output buffer of a body built item by item; it doubles as it
// fills. A body written whole (extend) gets exactly its size instead.
inline constexpr std::size_t kFirstOutput = 256;

// The readers below sit in the innermost loop of every decoder, which
// grows past the compiler's own inlining limits: they are inlined by force.

// Integer by length (1, 2, 4 or 8 bytes, big-endian); 0 otherwise.
[[gnu::always_inline]] inline std::uint64_t read_int(const unsigned char* p, std::size_t length) {
    std::uint64_t v = 0;
    switch (length) {
        case 1: return p[0];
        case 2: return (std::uint64_t{p[0]} << 8) | p[1];
        case 4:
            for (int i = 0; i < 4; ++i) v = (v << 8) | p[i];
            return v;
        case 8:
            for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
            return v;
        default: return 0;
    }
}

// The text up to its first NUL; empty unless the value ends with a NUL.
[[gnu::always_inline]] inline std::string_view read_text(const unsigned char* p,
                                                         std::size_t length) {
    if (!p || length == 0 || p[length - 1] != 0) return {};
    const char* s = reinterpret_cast<const char*>(p);
    // The last byte is a NUL, so the scan ends; short texts are not worth
    // a library call.
    if (length <= 16) {
        std::size_t n = 0;
        while (s[n] != 0) ++n;
        return std::string_view(s, n);
    }
    return std::string_view(s, static_cast<const char*>(std::memchr(s, 0, length)) - s);
}

// Walks the items of a body (1-byte tag, 2-byte length) in arrival order,
// stopping where parse() stops: at the first item that runs past the end,
// or at a bare header with nothing after it.
class item_reader {
public:
    item_reader(const unsigned char* bytes, std::size_t length)
        : p_(bytes), end_(bytes ? length : 0) {}
    [[gnu::always_inline]] bool next(unsigned char& tag, const unsigned char*& value,
                                     std::size_t& length) {
        if (at_ + 3 >= end_) return false;
        const std::size_t l = (std::size_t{p_[at_ + 1]} << 8) | p_[at_ + 2];
        if (at_ + 3 + l > end_) return false;
        tag = p_[at_];
        value = p_ + at_ + 3;
        length = l;
        at_ += 3 + l;
        return true;
    }

private:
    const unsigned char* p_;
    std::size_t end_;
    std::size_t at_ = 0;
};

template <class TagT, class LenT, class BlockT>
class container {
public:
    using tag_type = TagT;
    using length_type = LenT;
    using block_type = BlockT;
    static constexpr std::size_t kHeader = sizeof(TagT) + sizeof(LenT);
    static constexpr std::size_t kMaxValue = std::numeric_limits<LenT>::max();

    container() = default;
    container(const container&) = delete;
    container& operator=(const container&) = delete;
    container(container&& o) noexcept { take(o); }
    container& operator=(container&& o) noexcept {
        if (this != &o) take(o);
        return *this;
    }
    ~container() = default;

    // --- writing -------------------------------------------------------
    // Each put appends one item. A value of length 0 writes nothing (and is
    // not an error); a value longer than the length field can express is
    // refused: false, nothing written.
    bool put_u8(TagT tag, std::uint8_t value);
    bool put_u16(TagT tag, std::uint16_t value);
    bool put_u32(TagT tag, std::uint32_t value);
    bool put_u64(TagT tag, std::uint64_t value);
    // Text goes out as its bytes plus one NUL, the NUL counted in the length.
    bool put_string(TagT tag, std::string_view text);
    bool put_cstr(TagT tag, const char* text);
    bool put_raw(TagT tag, const void* bytes, std::size_t length);
    // The nested body as one value; the nested container is left unchanged.
    bool put_container(TagT tag, const container& nested);

    // Room for `length` more bytes at the end of the written body, for a
    // caller that lays out whole items itself (and must fill every byte).
    // Valid until the next write.
    unsigned char* extend(std::size_t length);

    // Bytes the body will have once encoded (written items plus decoded ones).
    std::size_t encoded_size() const { return written_ + decoded_bytes_; }
    // Copies the whole body to dest, which holds encoded_size() bytes: the
    // written items, then the decoded ones sorted by tag (empty values are
    // left out, as put_* leaves them out).
    void copy_to(unsigned char* dest) const;
    // The body to send, in the container's own storage, valid until the
    // container changes. Any length encodes whole; a body that holds decoded
    // items is joined into one buffer. Encoding twice gives the same bytes.
    void encode(const unsigned char*& bytes, std::size_t& length);

    // --- reading -------------------------------------------------------
    // Replaces what was decoded before. Stops at the first item that runs
    // past the end; earlier items stay readable.
    void parse(const unsigned char* bytes, std::size_t length);

    // The index-th value of tag, or null (length 0) when there is none.
    const unsigned char* get_raw(TagT tag, std::size_t* length = nullptr,
                                 std::size_t index = 0) const;
    std::span<const unsigned char> get_bytes(TagT tag, std::size_t index = 0) const;
    bool has(TagT tag, std::size_t index = 0) const;
    std::size_t count(TagT tag) const;
    // Integer by length (1, 2, 4 or 8 bytes, big-endian); 0 otherwise.
    std::uint64_t get_int(TagT tag, std::size_t index = 0) const;
    // The text up to its first NUL; empty unless the value ends with a NUL.
    std::string_view get_text(TagT tag, std::size_t index = 0) const;
    std::string get_string(TagT tag, std::size_t index = 0) const {
        return std::string(get_text(tag, index));
    }
    // Decodes the value into `out` (one level deeper). False, with `out`
    // emptied, when the value is absent or would be too deep.
    bool get_container(TagT tag, container& out, std::size_t index = 0) const;
    // The same as a new shared container; an empty holder when absent.
    wisdom_ptr<container, container_free> get_container(TagT tag, std::size_t index = 0) const;

    // Items decoded, in tag order (arrival order within a tag).
    struct item {
        TagT tag;
        BlockT value;
    };
    std::span<const item> items() const { return {items_, count_}; }
    int depth() const { return depth_; }

private:
    bool put_item(TagT tag, const void* bytes, std::size_t length);
    // Where the next `length` bytes go, the buffer grown to hold them;
    // written_ is left for the caller to advance.
    unsigned char* tail(std::size_t length);
    void write_header(unsigned char* out, TagT tag, std::size_t length) const;
    std::size_t find_first(TagT tag) const;
    void take(container& o) noexcept;
    void sort_items();

    std::unique_ptr<unsigned char[]> out_;  // written items, not zeroed
    std::size_t written_ = 0;
    std::size_t capacity_ = 0;

    // Decoded items. Most bodies have a handful, kept inline so that
    // decoding a body or a nested value allocates nothing.
    static constexpr std::size_t kInlineItems = 16;
    alignas(item) unsigned char inline_[kInlineItems * sizeof(item)];
    std::vector<item> spill_;
    item* items_ = nullptr;
    std::size_t count_ = 0;
    std::size_t decoded_bytes_ = 0;  // encoded size of the non-empty items
    int depth_ = 0;
    std::unique_ptr<unsigned char[]> flat_;  // joined body, when one is needed
    bool flat_valid_ = false;
};

// The wire type of every body.
using body = container<unsigned char, unsigned short, block<unsigned short>>;
using body_ptr = wisdom_ptr<body, container_free>;

// Free-function spellings used by callers that hold a container.
inline void encode(body& c, const unsigned char*& bytes, std::size_t& length) {
    c.encode(bytes, length);
}
inline void parse(body& c, const unsigned char* bytes, std::size_t length) {
    c.parse(bytes, length);
}
// A copy of the whole body.
std::vector<unsigned char> encode(const body& c);

}  // namespace TLV

extern template class TLV::container<unsigned char, unsigned short, TLV::block<unsigned short>>;
