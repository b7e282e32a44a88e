// The relay framing reader: whole frames out of any split, bad headers refused early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/relayhub/frame.h"

using namespace relay;

namespace {
struct Collected {
    std::vector<FrameHeader> headers;
    std::vector<std::string> payloads;
};
FrameDecoder Collector(Collected& c) {
    return FrameDecoder([&c](const FrameHeader& h, const unsigned char* p, std::size_t n) {
        c.headers.push_back(h);
        c.payloads.emplace_back(reinterpret_cast<const char*>(p), n);
    });
}
const unsigned char* U(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}
}  // namespace

TEST(RelayFrame, HeaderIsBigEndianWithMagicTypeChannelCommandLength) {
    const std::string f = EncodeFrame(kFramePacket, 3, 0x06100012, "ab");
    EXPECT_EQ(f, std::string("\x5A\x52\x02\x03\x06\x10\x00\x12\x00\x00\x00\x02" "ab", 14));
}

TEST(RelayFrame, FramesSurviveAnySplitOfTheStream) {
    std::string stream = EncodeFrame(kFrameHello, 0, 0, "pc_chat") +
                         EncodeFrame(kFramePacket, 1, 0x2000000, std::string(70000, 'x')) +
                         EncodeFrame(kFramePing, 0, 9) + EncodeFrame(kFramePacket, 1, 5, "");
    for (std::size_t step : {std::size_t(1), std::size_t(5), std::size_t(12), std::size_t(4096),
                             stream.size()}) {
        Collected c;
        FrameDecoder d = Collector(c);
        for (std::size_t at = 0; at < stream.size(); at += step)
            ASSERT_TRUE(d.Feed(U(stream) + at, std::min(step, stream.size() - at)));
        ASSERT_EQ(c.headers.size(), 4u) << "step " << step;
        EXPECT_EQ(c.payloads[0], "pc_chat");
        EXPECT_EQ(c.payloads[1], std::string(70000, 'x'));
        EXPECT_EQ(c.headers[1].command, 0x2000000u);
        EXPECT_EQ(c.headers[2].type, kFramePing);
        EXPECT_EQ(c.headers[2].command, 9u);
        EXPECT_EQ(c.payloads[3], "");
    }
}

TEST(RelayFrame, BadHeadersStopTheReaderBeforeAnyPayloadArrives) {
    Collected c;
    FrameDecoder d = Collector(c);
    // Oversize: refused from the header alone.
    std::string big = EncodeFrame(kFramePacket, 1, 1, "").substr(0, 8) + std::string("\x00\x10\x00\x01", 4);
    EXPECT_FALSE(d.Feed(U(big), big.size()));
    EXPECT_NE(d.error().find("exceeds"), std::string::npos);
    EXPECT_FALSE(d.Feed(U(big), 1));  // stays failed
    d.Reset();
    const std::string garbage = "GET / HTTP/1.1\r\n";
    EXPECT_FALSE(d.Feed(U(garbage), garbage.size()));
    EXPECT_EQ(d.error(), "bad frame magic");
    d.Reset();
    std::string badType = EncodeFrame(kFramePacket, 1, 1, "");
    badType[2] = 9;
    EXPECT_FALSE(d.Feed(U(badType), badType.size()));
    EXPECT_TRUE(c.headers.empty());
    // Exactly the limit is fine.
    d.Reset();
    const std::string max = EncodeFrame(kFramePacket, 1, 1, std::string(kMaxFramePayload, 'm'));
    EXPECT_TRUE(d.Feed(U(max), max.size()));
    EXPECT_EQ(c.payloads.size(), 1u);
}
