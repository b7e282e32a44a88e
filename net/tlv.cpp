#include "net/tlv.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace TLV {

namespace {

template <class T>
void store_be(unsigned char* out, T value) {
    for (std::size_t i = sizeof(T); i-- > 0;) {
        out[i] = static_cast<unsigned char>(value & 0xFF);
        value = static_cast<T>(value >> 8);
    }
}

template <class T>
T load_be(const unsigned char* in) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value = static_cast<T>((value << 8) | in[i]);
    return value;
}

}  // namespace

template <class TagT, class LenT, class BlockT>
void container<TagT, LenT, BlockT>::write_header(unsigned char* out, TagT tag,
                                                 std::size_t length) const {
    store_be<TagT>(out, tag);
    store_be<LenT>(out + sizeof(TagT), static_cast<LenT>(length));
}

template <class TagT, class LenT, class BlockT>
unsigned char* container<TagT, LenT, BlockT>::tail(std::size_t length) {
    if (capacity_ - written_ < length) {
        // Doubling keeps a body built item by item to a few copies in all.
        std::size_t grown = std::max(written_ + length, capacity_ * 2);
        if (capacity_ == 0 && length < kFirstOutput) grown = kFirstOutput;
        // Not value-initialised: every byte is written before it is read.
        std::unique_ptr<unsigned char[]> bigger(new unsigned char[grown]);
        if (written_) std::memcpy(bigger.get(), out_.get(), written_);
        out_ = std::move(bigger);
        capacity_ = grown;
    }
    return out_.get() + written_;
}

template <class TagT, class LenT, class BlockT>
unsigned char* container<TagT, LenT, BlockT>::extend(std::size_t length) {
    unsigned char* at = tail(length);
    written_ += length;
    flat_valid_ = false;
    return at;
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_item(TagT tag, const void* bytes, std::size_t length) {
    if (length == 0) return true;
    // A longer value would go out with a wrapped length and corrupt every
    // item after it on the receiving side.
    if (length > kMaxValue || !bytes) return false;
    unsigned char* out = tail(kHeader + length);
    write_header(out, tag, length);
    std::memcpy(out + kHeader, bytes, length);
    written_ += kHeader + length;
    flat_valid_ = false;
    return true;
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_u8(TagT tag, std::uint8_t value) {
    return put_item(tag, &value, 1);
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_u16(TagT tag, std::uint16_t value) {
    unsigned char b[2];
    store_be(b, value);
    return put_item(tag, b, sizeof b);
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_u32(TagT tag, std::uint32_t value) {
    unsigned char b[4];
    store_be(b, value);
    return put_item(tag, b, sizeof b);
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_u64(TagT tag, std::uint64_t value) {
    unsigned char b[8];
    store_be(b, value);
    return put_item(tag, b, sizeof b);
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_string(TagT tag, std::string_view text) {
    const std::size_t length = text.size() + 1;
    if (length > kMaxValue) return false;
    unsigned char* out = tail(kHeader + length);
    write_header(out, tag, length);
    if (!text.empty()) std::memcpy(out + kHeader, text.data(), text.size());
    out[kHeader + text.size()] = 0;
    written_ += kHeader + length;
    flat_valid_ = false;
    return true;
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_cstr(TagT tag, const char* text) {
    return put_string(tag, text ? std::string_view(text) : std::string_view());
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_raw(TagT tag, const void* bytes, std::size_t length) {
    return put_item(tag, bytes, length);
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::put_container(TagT tag, const container& nested) {
    const std::size_t length = nested.encoded_size();
    if (length == 0) return true;
    if (length > kMaxValue) return false;
    // Grown first: nesting a body in itself then reads the bytes written so
    // far from the same buffer, ahead of where they are copied to.
    unsigned char* out = tail(kHeader + length);
    write_header(out, tag, length);
    nested.copy_to(out + kHeader);
    written_ += kHeader + length;
    flat_valid_ = false;
    return true;
}

template <class TagT, class LenT, class BlockT>
void container<TagT, LenT, BlockT>::copy_to(unsigned char* dest) const {
    if (written_) {
        std::memcpy(dest, out_.get(), written_);
        dest += written_;
    }
    for (const item& it : items()) {
        // Re-encoding follows the writing rule: an empty value writes nothing.
        if (it.value.length == 0) continue;
        write_header(dest, it.tag, it.value.length);
        dest += kHeader;
        std::memcpy(dest, it.value.data, it.value.length);
        dest += it.value.length;
    }
}

template <class TagT, class LenT, class BlockT>
void container<TagT, LenT, BlockT>::encode(const unsigned char*& bytes, std::size_t& length) {
    length = encoded_size();
    if (count_ == 0) {
        // A built body: sent from where it was written.
        bytes = written_ ? out_.get() : nullptr;
        return;
    }
    if (!flat_valid_) {
        flat_.reset(new unsigned char[length]);
        copy_to(flat_.get());
        flat_valid_ = true;
    }
    bytes = flat_.get();
}

template <class TagT, class LenT, class BlockT>
void container<TagT, LenT, BlockT>::take(container& o) noexcept {
    out_ = std::move(o.out_);
    written_ = o.written_;
    capacity_ = o.capacity_;
    flat_ = std::move(o.flat_);
    flat_valid_ = o.flat_valid_;
    depth_ = o.depth_;
    decoded_bytes_ = o.decoded_bytes_;
    count_ = o.count_;
    if (o.items_ == reinterpret_cast<item*>(o.inline_)) {
        std::memcpy(inline_, o.inline_, sizeof inline_);
        items_ = reinterpret_cast<item*>(inline_);
    } else {
        spill_ = std::move(o.spill_);
        items_ = spill_.empty() ? nullptr : spill_.data();
    }
    o.written_ = 0;
    o.capacity_ = 0;
    o.flat_valid_ = false;
    o.items_ = nullptr;
    o.count_ = 0;
    o.decoded_bytes_ = 0;
}

template <class TagT, class LenT, class BlockT>
void container<TagT, LenT, BlockT>::parse(const unsigned char* bytes, std::size_t length) {
    items_ = nullptr;
    count_ = 0;
    decoded_bytes_ = 0;
    flat_valid_ = false;
    if (!bytes) return;

    // Items land in the inline storage; a body with more moves to the heap
    // (whose capacity is kept for the next parse).
    item* const inl = reinterpret_cast<item*>(inline_);
    bool spilled = false;
    bool sorted = true;
    TagT last = 0;
    std::size_t p = 0;
    std::size_t count = 0;    // locals, not members: every item stored would
    std::size_t decoded = 0;  // otherwise force the members to be reloaded
    while (p + kHeader < length) {
        const std::size_t l = load_be<LenT>(bytes + p + sizeof(TagT));
        if (p + kHeader + l > length) break;
        item it;
        it.tag = load_be<TagT>(bytes + p);
        it.value.length = static_cast<LenT>(l);
        it.value.data = bytes + p + kHeader;
        if (spilled) {
            spill_.push_back(it);
        } else if (count < kInlineItems) {
            inl[count] = it;
        } else {
            spill_.assign(inl, inl + count);
            spill_.push_back(it);
            spilled = true;
        }
        if (count > 0 && it.tag < last) sorted = false;
        last = it.tag;
        ++count;
        p += kHeader + l;
        if (l) decoded += kHeader + l;
    }
    items_ = spilled ? spill_.data() : inl;
    count_ = count;
    decoded_bytes_ = decoded;
    if (!sorted) sort_items();
}

// Bodies are read through a tag-ordered view; values of one tag keep their
// arrival order (the sort is stable).
template <class TagT, class LenT, class BlockT>
void container<TagT, LenT, BlockT>::sort_items() {
    if (count_ <= 32) {
        for (std::size_t i = 1; i < count_; ++i) {
            const item moving = items_[i];
            std::size_t j = i;
            for (; j > 0 && items_[j - 1].tag > moving.tag; --j) items_[j] = items_[j - 1];
            items_[j] = moving;
        }
        return;
    }
    if constexpr (sizeof(TagT) == 1) {
        std::array<std::size_t, 257> start{};
        for (std::size_t i = 0; i < count_; ++i)
            ++start[static_cast<std::size_t>(items_[i].tag) + 1];
        for (std::size_t t = 1; t < start.size(); ++t) start[t] += start[t - 1];
        std::vector<item> ordered(count_);
        for (std::size_t i = 0; i < count_; ++i) ordered[start[items_[i].tag]++] = items_[i];
        std::copy(ordered.begin(), ordered.end(), items_);
    } else {
        std::stable_sort(items_, items_ + count_,
                         [](const item& a, const item& b) { return a.tag < b.tag; });
    }
}

template <class TagT, class LenT, class BlockT>
std::size_t container<TagT, LenT, BlockT>::find_first(TagT tag) const {
    if (count_ <= kInlineItems) {
        // Small bodies: a straight scan beats the binary search.
        for (std::size_t i = 0; i < count_; ++i) {
            if (items_[i].tag == tag) return i;
            if (items_[i].tag > tag) break;
        }
        return count_;
    }
    const item* begin = items_;
    const item* end = begin + count_;
    const item* it =
        std::lower_bound(begin, end, tag, [](const item& a, TagT t) { return a.tag < t; });
    if (it == end || it->tag != tag) return count_;
    return static_cast<std::size_t>(it - items_);
}

template <class TagT, class LenT, class BlockT>
const unsigned char* container<TagT, LenT, BlockT>::get_raw(TagT tag, std::size_t* length,
                                                            std::size_t index) const {
    if (length) *length = 0;
    const std::size_t first = find_first(tag);
    if (first >= count_ || index >= count_ - first) return nullptr;
    const item& it = items_[first + index];
    if (it.tag != tag) return nullptr;
    if (length) *length = it.value.length;
    return it.value.data;
}

template <class TagT, class LenT, class BlockT>
std::span<const unsigned char> container<TagT, LenT, BlockT>::get_bytes(TagT tag,
                                                                        std::size_t index) const {
    std::size_t length = 0;
    const unsigned char* p = get_raw(tag, &length, index);
    if (!p) return {};
    return {p, length};
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::has(TagT tag, std::size_t index) const {
    return get_raw(tag, nullptr, index) != nullptr;
}

template <class TagT, class LenT, class BlockT>
std::size_t container<TagT, LenT, BlockT>::count(TagT tag) const {
    std::size_t n = 0;
    for (std::size_t i = find_first(tag); i < count_ && items_[i].tag == tag; ++i) ++n;
    return n;
}

template <class TagT, class LenT, class BlockT>
std::uint64_t container<TagT, LenT, BlockT>::get_int(TagT tag, std::size_t index) const {
    std::size_t length = 0;
    const unsigned char* p = get_raw(tag, &length, index);
    return p ? read_int(p, length) : 0;
}

template <class TagT, class LenT, class BlockT>
std::string_view container<TagT, LenT, BlockT>::get_text(TagT tag, std::size_t index) const {
    std::size_t length = 0;
    const unsigned char* p = get_raw(tag, &length, index);
    return read_text(p, length);
}

template <class TagT, class LenT, class BlockT>
bool container<TagT, LenT, BlockT>::get_container(TagT tag, container& out,
                                                  std::size_t index) const {
    std::size_t length = 0;
    const unsigned char* p = get_raw(tag, &length, index);
    if (!p || depth_ >= kMaxDepth || &out == this) {
        if (&out != this) out.parse(nullptr, 0);
        return false;
    }
    out.depth_ = depth_ + 1;
    out.parse(p, length);
    return true;
}

template <class TagT, class LenT, class BlockT>
wisdom_ptr<container<TagT, LenT, BlockT>, container_free>
container<TagT, LenT, BlockT>::get_container(TagT tag, std::size_t index) const {
    if (!has(tag, index) || depth_ >= kMaxDepth) return {};
    wisdom_ptr<container, container_free> nested(new container);
    get_container(tag, *nested, index);
    return nested;
}

std::vector<unsigned char> encode(const body& c) {
    std::vector<unsigned char> out(c.encoded_size());
    c.copy_to(out.data());
    return out;
}

template class container<unsigned char, unsigned short, block<unsigned short>>;

}  // namespace TLV
