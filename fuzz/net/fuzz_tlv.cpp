// Arbitrary bytes as a body: every tag and index through every getter,
// nested values decoded recursively, and the decoded body re-encoded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/packet.h"
#include "net/tlv.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void Walk(const TLV::body& b) {
    Check(b.depth() <= TLV::kMaxDepth);
    const auto items = b.items();
    for (std::size_t i = 1; i < items.size(); ++i) Check(items[i - 1].tag <= items[i].tag);

    for (unsigned t = 0; t < 256; ++t) {
        const auto tag = static_cast<unsigned char>(t);
        const std::size_t n = b.count(tag);
        for (std::size_t index = 0; index <= n; ++index) {
            std::size_t length = 0;
            const unsigned char* p = b.get_raw(tag, &length, index);
            Check((p != nullptr) == (index < n));
            const std::uint64_t v = b.get_int(tag, index);
            if (length != 1 && length != 2 && length != 4 && length != 8) Check(v == 0);
            const std::string_view s = b.get_text(tag, index);
            Check(s.size() < length || (s.empty() && length == 0));
            Check(b.get_string(tag, index) == s);
            if (!p) continue;
            TLV::body nested;
            if (b.get_container(tag, nested, index)) {
                Check(nested.depth() == b.depth() + 1);
                Walk(nested);
            } else {
                Check(b.depth() == TLV::kMaxDepth && nested.items().empty());
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TLV::body b;
    b.parse(data, size);
    Walk(b);

    // The one-pass reader meets the same items, in arrival order: sorted
    // stably by tag they are the container's.
    std::vector<TLV::body::item> met;
    TLV::item_reader reader(data, size);
    unsigned char tag = 0;
    const unsigned char* value = nullptr;
    std::size_t length = 0;
    while (reader.next(tag, value, length))
        met.push_back({tag, {value, static_cast<unsigned short>(length)}});
    std::stable_sort(met.begin(), met.end(),
                     [](const auto& x, const auto& y) { return x.tag < y.tag; });
    Check(met.size() == b.items().size());
    for (std::size_t i = 0; i < met.size(); ++i)
        Check(met[i].tag == b.items()[i].tag && met[i].value.data == b.items()[i].value.data &&
              met[i].value.length == b.items()[i].value.length);

    // Re-encoding gives the same items sorted by tag, and nothing else
    // (empty values are left out, as every writer leaves them out).
    const unsigned char* out = nullptr;
    std::size_t out_len = 0;
    TLV::encode(b, out, out_len);
    Check(out_len == b.encoded_size() && out_len <= size);
    const std::vector<unsigned char> first(out, out + out_len);
    TLV::body again;
    again.parse(first.data(), first.size());
    std::vector<TLV::body::item> kept;
    for (const auto& it : b.items())
        if (it.value.length) kept.push_back(it);
    const auto c = again.items();
    Check(kept.size() == c.size());
    std::size_t offset = 0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        Check(kept[i].tag == c[i].tag && kept[i].value.length == c[i].value.length);
        Check(std::memcmp(kept[i].value.data, c[i].value.data, c[i].value.length) == 0);
        Check(c[i].value.data == first.data() + offset + TLV::body::kHeader);
        offset += TLV::body::kHeader + c[i].value.length;
    }
    Check(offset == first.size());
    TLV::encode(b, out, out_len);
    Check(out_len == first.size() && (out_len == 0 || std::memcmp(out, first.data(), out_len) == 0));

    // Nested as one value, when it fits, and as a packet.
    TLV::body outer;
    if (outer.put_container(1, b)) {
        TLV::body back;
        const auto bytes = TLV::encode(static_cast<const TLV::body&>(outer));
        back.parse(bytes.data(), bytes.size());
        Check(first.empty() ? back.items().empty()
                            : back.get_bytes(1).size() == first.size() &&
                                  std::memcmp(back.get_bytes(1).data(), first.data(),
                                              first.size()) == 0);
    } else {
        Check(first.size() > TLV::body::kMaxValue);
    }
    packet_ptr pk = make_packet(0x2000000, b);
    Check(pk && pk->length == first.size());
    return 0;
}
