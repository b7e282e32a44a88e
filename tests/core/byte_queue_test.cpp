// The audio path's byte queue: order kept across chunks, reads contiguous
// whether or not they straddle chunks, and the edges of what it refuses.
#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "core/byte_queue.h"

namespace {
std::vector<unsigned char> Counting(std::size_t n, unsigned start = 0) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(start + i);
    return v;
}
}  // namespace

TEST(ByteQueue, BytesComeOutInOrderWhateverTheSizesOfWritesAndReads) {
    c_byte_queue<16> q;
    std::vector<unsigned char> in, out;
    std::mt19937 random(3);
    unsigned next = 0;
    for (int round = 0; round < 2000; ++round) {
        const std::size_t w = random() % 40;  // up to more than two chunks
        const auto bytes = Counting(w, next);
        next += static_cast<unsigned>(w);
        q.Append(bytes.data(), static_cast<long>(w));
        in.insert(in.end(), bytes.begin(), bytes.end());
        const std::size_t r = random() % 17;
        if (const unsigned char* p = q.Peek(r)) {
            out.insert(out.end(), p, p + r);
            q.Consume(r);
        } else {
            EXPECT_TRUE(r == 0 || r > q.Size());
        }
        ASSERT_EQ(q.Size(), in.size() - out.size());
    }
    while (q.Size()) {
        const std::size_t r = std::min<std::size_t>(q.Size(), 16);
        const unsigned char* p = q.Peek(r);
        ASSERT_NE(p, nullptr);
        out.insert(out.end(), p, p + r);
        q.Consume(r);
    }
    EXPECT_EQ(out, in);
}

TEST(ByteQueue, RefusesWhatItCannotGiveAndKeepsEverythingWhenItRefuses) {
    c_byte_queue<8> q;
    const auto bytes = Counting(20);
    q.Append(bytes.data(), 0);
    q.Append(bytes.data(), -5);
    EXPECT_EQ(q.Size(), 0u);
    EXPECT_EQ(q.Peek(1), nullptr);
    q.Append(bytes.data(), 20);  // over N: in pieces
    EXPECT_EQ(q.Size(), 20u);
    EXPECT_EQ(q.Peek(9), nullptr);  // more than a chunk
    q.Consume(21);                  // more than queued: nothing
    EXPECT_EQ(q.Size(), 20u);
    q.Consume(5);
    // A read across the first two chunks is gathered.
    const unsigned char* p = q.Peek(8);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(p, p + 8), Counting(8, 5));
    q.Clear();
    EXPECT_EQ(q.Size(), 0u);
    EXPECT_EQ(q.Peek(1), nullptr);
}
