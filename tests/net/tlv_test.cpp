// Bodies as a peer sees them: exact bytes written, values read back, and
// what survives damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "hex.h"
#include "net/packet.h"
#include "net/tlv.h"

namespace {

std::string Encoded(TLV::body& b) {
    const unsigned char* p = nullptr;
    std::size_t n = 0;
    TLV::encode(b, p, n);
    return ToHex(p, n);
}

// A decoded body points into its bytes; they are kept for the whole run.
TLV::body Parsed(std::vector<unsigned char> bytes) {
    static std::deque<std::vector<unsigned char>> kept;
    kept.push_back(std::move(bytes));
    TLV::body b;
    TLV::parse(b, kept.back().data(), kept.back().size());
    return b;
}

TEST(TlvWrite, ItemsGoOutBigEndianInCallOrder) {
    TLV::body b;
    EXPECT_TRUE(b.put_u32(1, 7));
    EXPECT_TRUE(b.put_u8(3, 5));
    EXPECT_EQ(Encoded(b), "01 00 04 00 00 00 07 03 00 01 05");

    TLV::body c;
    c.put_u8(9, 1);
    c.put_u16(2, 0x03E8);
    c.put_u64(1, 0x0102030405060708ULL);
    EXPECT_EQ(Encoded(c), "09 00 01 01 02 00 02 03 E8 01 00 08 01 02 03 04 05 06 07 08");
}

TEST(TlvWrite, TextCarriesItsNul) {
    TLV::body b;
    b.put_cstr(2, "abc");
    EXPECT_EQ(Encoded(b), "02 00 04 61 62 63 00");

    TLV::body e;
    e.put_string(7, "");
    e.put_cstr(8, nullptr);
    EXPECT_EQ(Encoded(e), "07 00 01 00 08 00 01 00");
}

TEST(TlvWrite, ZeroLengthValuesWriteNothing) {
    TLV::body b;
    EXPECT_TRUE(b.put_raw(4, "x", 0));
    TLV::body empty;
    EXPECT_TRUE(b.put_container(5, empty));
    EXPECT_EQ(b.encoded_size(), 0u);
    const unsigned char* p = reinterpret_cast<const unsigned char*>("junk");
    std::size_t n = 99;
    TLV::encode(b, p, n);
    EXPECT_EQ(n, 0u);
}

TEST(TlvWrite, NestedContainerIsOneValue) {
    TLV::body inner;
    inner.put_u8(1, 9);
    inner.put_cstr(2, "a");
    TLV::body outer;
    outer.put_u8(3, 1);
    outer.put_container(6, inner);
    EXPECT_EQ(Encoded(outer), "03 00 01 01 06 00 09 01 00 01 09 02 00 02 61 00");
    // The nested container is untouched and can be nested again.
    outer.put_container(6, inner);
    EXPECT_EQ(outer.encoded_size(), 4u + 2 * 12u);
}

// Whole items laid out by the caller sit between the put_* items, and the
// body keeps every byte as it grows past its first buffer.
TEST(TlvWrite, ExtendedRoomJoinsTheItems) {
    TLV::body b;
    b.put_u8(1, 1);
    unsigned char* room = b.extend(4);
    std::memcpy(room, "\x02\x00\x01\x07", 4);
    b.put_u8(3, 3);
    EXPECT_EQ(Encoded(b), "01 00 01 01 02 00 01 07 03 00 01 03");

    TLV::body big;
    std::string want;
    for (int i = 0; i < 500; ++i) {
        if (i % 7 == 0) {
            std::memcpy(big.extend(5), "\x09\x00\x02\xAB\xCD", 5);
            want += "09 00 02 AB CD ";
        } else {
            big.put_u16(8, static_cast<std::uint16_t>(i));
            static const char* digits = "0123456789ABCDEF";
            want += "08 00 02 ";
            want += {digits[(i >> 12) & 15], digits[(i >> 8) & 15], ' ', digits[(i >> 4) & 15],
                     digits[i & 15], ' '};
        }
    }
    want.pop_back();
    EXPECT_EQ(Encoded(big), want);
}

TEST(TlvWrite, BodyNestedInItself) {
    // The buffer grows while the body's own bytes are being copied into it.
    TLV::body b;
    b.put_cstr(1, "abc");
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(b.put_container(2, b));
    const std::vector<unsigned char> flat = TLV::encode(static_cast<const TLV::body&>(b));
    // Each round doubles the body and adds one header: 7, 17, 37, 77, ...
    std::size_t n = 7;
    for (int i = 0; i < 6; ++i) n = 2 * n + 3;
    EXPECT_EQ(flat.size(), n);
    TLV::body back;
    back.parse(flat.data(), flat.size());
    EXPECT_EQ(back.get_string(1), "abc");
    TLV::body_ptr last = back.get_container(2, 5);
    ASSERT_TRUE(last);
    EXPECT_EQ(ToHex(TLV::encode(static_cast<const TLV::body&>(*last))),
              ToHex(std::vector<unsigned char>(flat.begin(), flat.begin() + (n - 3) / 2)));
}

TEST(TlvRead, IntegersAreReadByLength) {
    TLV::body b = Parsed(Hex("01 00 04 00 00 00 2A"));
    EXPECT_EQ(b.get_int(1), 42u);

    TLV::body w = Parsed(Hex("01 00 01 FF  02 00 02 12 34  03 00 03 01 02 03"
                             "04 00 08 00 00 00 01 00 00 00 02  05 00 05 00 00 00 00 01"));
    EXPECT_EQ(w.get_int(1), 0xFFu);
    EXPECT_EQ(w.get_int(2), 0x1234u);
    EXPECT_EQ(w.get_int(3), 0u) << "a 3-byte value is no integer";
    EXPECT_EQ(w.get_int(4), 4294967298ULL);
    EXPECT_EQ(w.get_int(5), 0u);
    EXPECT_EQ(w.get_int(6), 0u) << "absent";
}

TEST(TlvRead, TextNeedsItsTerminatingNul) {
    TLV::body b = Parsed(Hex("01 00 03 61 62 63  02 00 04 61 62 63 00  03 00 05 61 00 62 63 00"
                             "04 00 01 00"));
    EXPECT_EQ(b.get_string(1), "") << "no NUL";
    EXPECT_EQ(b.get_string(2), "abc");
    EXPECT_EQ(b.get_string(3), "a") << "text ends at its first NUL";
    EXPECT_TRUE(b.has(4));
    EXPECT_EQ(b.get_string(4), "");
    EXPECT_EQ(b.get_string(5), "");
}

TEST(TlvRead, RepeatedTagsKeepTheirOrder) {
    // Arrival order mixes tags; each tag's values keep their own order.
    TLV::body b = Parsed(Hex("02 00 01 0A  01 00 01 63  02 00 01 0B  02 00 01 0C  01 00 01 64"));
    EXPECT_EQ(b.count(2), 3u);
    EXPECT_EQ(b.get_int(2, 0), 10u);
    EXPECT_EQ(b.get_int(2, 1), 11u);
    EXPECT_EQ(b.get_int(2, 2), 12u);
    EXPECT_FALSE(b.has(2, 3));
    EXPECT_EQ(b.get_int(1, 1), 100u);
    std::size_t n = 7;
    EXPECT_EQ(b.get_raw(2, &n, 3), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(b.count(9), 0u);
}

TEST(TlvRead, DecodingPointsIntoTheReceivedBytes) {
    std::vector<unsigned char> bytes = Hex("05 00 02 AA BB");
    TLV::body b;
    b.parse(bytes.data(), bytes.size());
    std::size_t n = 0;
    EXPECT_EQ(b.get_raw(5, &n), bytes.data() + 3);
    EXPECT_EQ(n, 2u);
}

TEST(TlvDamaged, TruncatedBodyKeepsEarlierItems) {
    TLV::body b = Parsed(Hex("01 00 01 07  02 00 02 00 08  03 00 09 01 02"));
    EXPECT_EQ(b.get_int(1), 7u);
    EXPECT_EQ(b.get_int(2), 8u);
    EXPECT_FALSE(b.has(3));
    EXPECT_EQ(b.items().size(), 2u);
}

TEST(TlvDamaged, ZeroLengthItemsAndShortTails) {
    // A zero-length item followed by more bytes is an item; a bare header
    // at the very end is not read, nor is a lone stray byte.
    TLV::body b = Parsed(Hex("04 00 00  01 00 01 05  06 00 00"));
    EXPECT_TRUE(b.has(4));
    EXPECT_EQ(b.get_int(1), 5u);
    EXPECT_FALSE(b.has(6));

    EXPECT_TRUE(Parsed(Hex("01 00")).items().empty());
    EXPECT_TRUE(Parsed(Hex("")).items().empty());
    EXPECT_TRUE(Parsed(Hex("01 FF FF 00")).items().empty());

    TLV::body n;
    n.parse(nullptr, 10);
    EXPECT_TRUE(n.items().empty());
}

TEST(TlvDamaged, ParsingAgainReplacesWhatWasDecoded) {
    TLV::body b = Parsed(Hex("01 00 01 07"));
    const auto again = Hex("02 00 01 08");
    b.parse(again.data(), again.size());
    EXPECT_FALSE(b.has(1));
    EXPECT_EQ(b.get_int(2), 8u);
}

TEST(TlvReencode, DecodedBodyComesOutSortedByTag) {
    TLV::body b = Parsed(Hex("03 00 01 01  01 00 01 02  03 00 01 03  02 00 00  01 00 01 04"));
    EXPECT_TRUE(b.has(2));
    // The empty value is left out, as a writer leaves it out: re-read, a
    // trailing empty item would otherwise be a bare header that is not read.
    EXPECT_EQ(Encoded(b), "01 00 01 02 01 00 01 04 03 00 01 01 03 00 01 03");
    // Encoding twice gives the same body.
    EXPECT_EQ(Encoded(b), "01 00 01 02 01 00 01 04 03 00 01 01 03 00 01 03");
    EXPECT_EQ(ToHex(TLV::encode(static_cast<const TLV::body&>(b))),
              "01 00 01 02 01 00 01 04 03 00 01 01 03 00 01 03");
}

TEST(TlvReencode, ReadingTheReencodedBodyGivesTheSameValues) {
    // An empty value sorted last would come out as a bare trailing header.
    TLV::body b = Parsed(Hex("05 00 00  01 00 01 07"));
    ASSERT_TRUE(b.has(5));
    TLV::body back = Parsed(TLV::encode(static_cast<const TLV::body&>(b)));
    ASSERT_EQ(back.items().size(), 1u);
    EXPECT_EQ(back.get_int(1), 7u);
}

TEST(TlvReencode, NestingADecodedBodyCopiesItsItems) {
    TLV::body decoded = Parsed(Hex("02 00 01 09  01 00 01 08"));
    TLV::body outer;
    outer.put_container(4, decoded);
    EXPECT_EQ(Encoded(outer), "04 00 08 01 00 01 08 02 00 01 09");
}

// A body over one chunk must encode whole: video frames and long chat lines
// run past 8196 bytes.
TEST(TlvLongBodies, BodyOverOneChunkEncodesWhole) {
    std::vector<unsigned char> frame(20000);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<unsigned char>(i * 7);
    TLV::body b;
    b.put_u32(3, 1);
    ASSERT_TRUE(b.put_raw(1, frame.data(), frame.size()));
    b.put_u8(9, 2);

    const unsigned char* p = nullptr;
    std::size_t n = 0;
    TLV::encode(b, p, n);
    ASSERT_EQ(n, 7u + 3u + frame.size() + 4u);
    TLV::body back;
    back.parse(p, n);
    EXPECT_EQ(back.get_int(3), 1u);
    std::size_t len = 0;
    const unsigned char* got = back.get_raw(1, &len);
    ASSERT_EQ(len, frame.size());
    EXPECT_EQ(std::memcmp(got, frame.data(), len), 0);
    EXPECT_EQ(back.get_int(9), 2u);
}

TEST(TlvLongBodies, ManySmallItemsAcrossChunkEdges) {
    // 3000 items of 7 bytes: headers and values straddle every chunk edge.
    TLV::body b;
    for (std::uint32_t i = 0; i < 3000; ++i) b.put_u32(static_cast<unsigned char>(i % 5), i);
    const std::vector<unsigned char> flat = TLV::encode(static_cast<const TLV::body&>(b));
    ASSERT_EQ(flat.size(), 21000u);
    TLV::body back = Parsed(flat);
    ASSERT_EQ(back.items().size(), 3000u);
    for (std::uint32_t i = 0; i < 3000; ++i)
        ASSERT_EQ(back.get_int(static_cast<unsigned char>(i % 5), i / 5), i);

    packet_ptr pk = make_packet(0x3000030, b);
    ASSERT_TRUE(pk);
    ASSERT_EQ(pk->length, flat.size());
    EXPECT_EQ(std::memcmp(pk->body, flat.data(), flat.size()), 0);
}

// A value longer than the 16-bit length field cannot be represented: it is
// refused and nothing is written, so later items stay intact.
TEST(TlvLongBodies, OverlongValueIsRefusedAndNothingWritten) {
    std::vector<unsigned char> big(65536, 0x55);
    TLV::body b;
    b.put_u8(1, 1);
    EXPECT_TRUE(b.put_raw(2, big.data(), 65535));
    const std::size_t before = b.encoded_size();
    EXPECT_FALSE(b.put_raw(3, big.data(), 65536));
    EXPECT_FALSE(b.put_string(4, std::string(65535, 'a'))) << "65535 letters + NUL";
    EXPECT_TRUE(b.put_string(5, std::string(65534, 'a')));
    EXPECT_EQ(b.encoded_size(), before + 3 + 65535);
    b.put_u8(6, 6);

    TLV::body back = Parsed(TLV::encode(static_cast<const TLV::body&>(b)));
    EXPECT_EQ(back.get_int(1), 1u);
    EXPECT_FALSE(back.has(3));
    EXPECT_FALSE(back.has(4));
    EXPECT_EQ(back.get_string(5).size(), 65534u);
    EXPECT_EQ(back.get_int(6), 6u);

    TLV::body huge;
    huge.put_raw(1, big.data(), 40000);
    huge.put_raw(1, big.data(), 40000);
    TLV::body outer;
    EXPECT_FALSE(outer.put_container(7, huge));
    EXPECT_EQ(outer.encoded_size(), 0u);
}

TEST(TlvNested, ContainerTakenOutSharesTheBytes) {
    const auto bytes = Hex("06 00 09 01 00 01 09 02 00 02 61 00  06 00 04 01 00 01 0A");
    TLV::body b = Parsed(bytes);
    TLV::body_ptr first = b.get_container(6);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->get_int(1), 9u);
    EXPECT_EQ(first->get_string(2), "a");
    TLV::body_ptr copy = first;  // shared, released once
    EXPECT_EQ(first.use_count(), 2u);
    EXPECT_EQ(b.get_container(6, 1)->get_int(1), 10u);
    EXPECT_FALSE(b.get_container(6, 2));
    EXPECT_FALSE(b.get_container(5));
}

TEST(TlvNested, DepthIsBounded) {
    // Eleven levels, each holding tag 1 = its depth and tag 2 = the next.
    TLV::body levels[11];
    levels[10].put_u8(1, 10);
    for (int d = 9; d >= 0; --d) {
        levels[d].put_u8(1, static_cast<std::uint8_t>(d));
        levels[d].put_container(2, levels[d + 1]);
    }
    const auto bytes = TLV::encode(static_cast<const TLV::body&>(levels[0]));
    TLV::body top = Parsed(bytes);

    TLV::body_ptr cur = top.get_container(2);
    int reached = 0;
    while (cur) {
        ++reached;
        EXPECT_EQ(cur->get_int(1), static_cast<std::uint64_t>(reached));
        EXPECT_EQ(cur->depth(), reached);
        cur = cur->get_container(2);
    }
    EXPECT_EQ(reached, TLV::kMaxDepth);

    // The same bound through containers on the stack.
    TLV::body a, b2;
    TLV::body* from = &top;
    TLV::body* to = &a;
    int depth = 0;
    while (from->get_container(2, *to)) {
        ++depth;
        from = to;
        to = (to == &a) ? &b2 : &a;
    }
    EXPECT_EQ(depth, TLV::kMaxDepth);
    EXPECT_TRUE(to->items().empty());
}

TEST(Packets, PacketOwnsACopyOfTheBody) {
    TLV::body b;
    b.put_u32(1, 7);
    packet_ptr pk = make_packet(0x2000004, b);
    ASSERT_TRUE(pk);
    EXPECT_EQ(pk->cmd, 0x2000004u);
    for (unsigned char z : pk->reserved) EXPECT_EQ(z, 0);
    b.put_u8(2, 1);  // later writes do not reach the packet
    ASSERT_EQ(pk->length, 7u);
    EXPECT_EQ(ToHex(pk->body, pk->length), "01 00 04 00 00 00 07");

    // A sink's copy of a record lent by the connection layer.
    const pkinfo& lent = *pk;
    zpacket<pkinfo> copy(lent);
    EXPECT_EQ(copy.cmd, pk->cmd);
    ASSERT_EQ(copy.length, pk->length);
    EXPECT_NE(copy.body, pk->body);
    EXPECT_EQ(std::memcmp(copy.body, pk->body, copy.length), 0);
}

TEST(Packets, EmptyBodyHasNoBuffer) {
    TLV::body b;
    packet_ptr pk = make_packet(0x2003016, b);
    ASSERT_TRUE(pk);
    EXPECT_EQ(pk->length, 0u);
    EXPECT_EQ(pk->body, nullptr);
    EXPECT_TRUE(pk->valid());
}

}  // namespace
