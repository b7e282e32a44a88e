// ADTS headers as the voice path reads them: the fields, the headers a
// frame may not have, and whole frames filling a packet exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/adts.h"

namespace {

std::vector<unsigned char> Header(std::size_t frameBytes, int samplingIndex = 7, int channels = 1,
                                  int profile = 1, bool crc = false) {
    std::vector<unsigned char> h = {0xFF, static_cast<unsigned char>(crc ? 0xF0 : 0xF1), 0, 0, 0,
                                    0,    0xFC};
    h[2] = static_cast<unsigned char>((profile << 6) | (samplingIndex << 2) | (channels >> 2));
    h[3] = static_cast<unsigned char>(((channels & 3) << 6) | ((frameBytes >> 11) & 3));
    h[4] = static_cast<unsigned char>((frameBytes >> 3) & 0xFF);
    h[5] = static_cast<unsigned char>(((frameBytes & 7) << 5) | 0x1F);
    if (crc) h.insert(h.end(), {0x12, 0x34});
    return h;
}

std::vector<unsigned char> Frames(int count, std::size_t payload) {
    std::vector<unsigned char> out;
    for (int i = 0; i < count; ++i) {
        auto h = Header(payload + 7);
        out.insert(out.end(), h.begin(), h.end());
        out.insert(out.end(), payload, static_cast<unsigned char>(i));
    }
    return out;
}

int Count(const std::vector<unsigned char>& b, int max = 4) {
    return adts::CountFrames(b.data(), b.size(), adts::kProfileLc, adts::kSampling22050,
                             adts::kMono, max);
}

}  // namespace

TEST(Adts, HeaderFieldsAreReadAndImpossibleHeadersRefused) {
    adts::Header h;
    auto b = Header(7 + 300, 7, 1);
    ASSERT_TRUE(adts::ParseHeader(b.data(), b.size(), h));
    EXPECT_EQ(h.profile, 1);
    EXPECT_EQ(h.samplingIndex, 7);
    EXPECT_EQ(h.channels, 1);
    EXPECT_EQ(h.frameBytes, 307u);
    EXPECT_EQ(h.headerBytes, 7u);
    // The widest length the field holds, and seven channels across two bytes.
    b = Header(8191, 3, 7);
    ASSERT_TRUE(adts::ParseHeader(b.data(), b.size(), h));
    EXPECT_EQ(h.frameBytes, 8191u);
    EXPECT_EQ(h.channels, 7);
    // What the writer writes, the reader reads back.
    unsigned char written[adts::kHeaderBytes];
    adts::WriteHeader(written, adts::kProfileLc, 7, 1, 4095);
    EXPECT_EQ(std::vector<unsigned char>(written, written + 7), Header(4095));
    ASSERT_TRUE(adts::ParseHeader(written, sizeof written, h));
    EXPECT_EQ(h.frameBytes, 4095u);
        b = Header(100, 7, 1, 1, true);
    ASSERT_TRUE(adts::ParseHeader(b.data(), b.size(), h));
    EXPECT_EQ(h.headerBytes, 9u);

    const std::vector<std::vector<unsigned char>> refused = {
        {},                      // nothing
        {0xFF, 0xF1, 0x5C},      // shorter than a header
        Header(7),               // a frame that is only its header
        Header(8, 7, 1, 1, true),  // shorter than its header with checksum
        Header(100, 13),         // a reserved sampling index
    };
    for (const auto& r : refused) EXPECT_FALSE(adts::ParseHeader(r.data(), r.size(), h));
    b = Header(100);
    b[0] = 0xFE;  // no sync word
    EXPECT_FALSE(adts::ParseHeader(b.data(), b.size(), h));
    b = Header(100);
    b[1] |= 0x02;  // layer 1
    EXPECT_FALSE(adts::ParseHeader(b.data(), b.size(), h));
}

TEST(Adts, WholeFramesOfTheKindMustFillThePacketExactly) {
    EXPECT_EQ(Count(Frames(1, 200)), 1);
    EXPECT_EQ(Count(Frames(4, 10)), 4);
    EXPECT_EQ(Count(Frames(5, 10)), -1);  // more than asked for
    EXPECT_EQ(Count(Frames(5, 10), 5), 5);
    EXPECT_EQ(Count({}), -1);

    auto cut = Frames(2, 50);
    cut.pop_back();
    EXPECT_EQ(Count(cut), -1);
    auto extra = Frames(2, 50);
    extra.push_back(0xFF);
    EXPECT_EQ(Count(extra), -1);

    // A second frame of another kind spoils the packet.
    auto mixed = Frames(1, 50);
    const auto stereo = Header(7 + 50, 7, 2);
    mixed.insert(mixed.end(), stereo.begin(), stereo.end());
    mixed.insert(mixed.end(), 50, 0);
    EXPECT_EQ(Count(mixed), -1);
    for (const auto& other : {Header(60, 4), Header(60, 7, 2), Header(60, 7, 1, 0)}) {
        auto p = other;
        p.resize(60, 0);
        EXPECT_EQ(Count(p), -1);
    }
}
