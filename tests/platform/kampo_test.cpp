#include "platform/kampo/kampo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(Kampo, RoundTripsAndRefusesTampering) {
    for (const std::string plain : {std::string(), std::string("x"), std::string(5000, '\x01')}) {
        const std::string sealed = kampo_encrypt(kKampoAppKey, plain);
        ASSERT_EQ(sealed.size(), plain.size() + kKampoOverhead);
        auto b = Bytes(sealed);
        ASSERT_EQ(kampo_decrypt(1, kKampoAppKey, b.data(), static_cast<int>(b.size())),
                  static_cast<int>(plain.size()));
        EXPECT_EQ(std::string(b.begin(), b.begin() + plain.size()), plain);

        // Any flipped byte (nonce, ciphertext or tag) fails the tag.
        for (std::size_t i = 0; i < sealed.size(); i += 7) {
            auto t = Bytes(sealed);
            t[i] ^= 0x20;
            EXPECT_EQ(kampo_decrypt(1, kKampoAppKey, t.data(), static_cast<int>(t.size())), -1) << i;
        }
    }
    // Two seals of one text differ: every answer has its own nonce.
    EXPECT_NE(kampo_encrypt(kKampoAppKey, "same"), kampo_encrypt(kKampoAppKey, "same"));
}

TEST(Kampo, RefusesWrongKeyKindAndShortInput) {
    auto b = Bytes(kampo_encrypt(kKampoAppKey, "hello"));
    const int n = static_cast<int>(b.size());
    auto c = b;
    EXPECT_EQ(kampo_decrypt(1, "00000000000000000000000000000000", c.data(), n), -1);
    c = b;
    EXPECT_EQ(kampo_decrypt(2, kKampoAppKey, c.data(), n), -1);
    c = b;
    EXPECT_EQ(kampo_decrypt(1, "5C2A9E13", c.data(), n), -1);
    c = b;
    EXPECT_EQ(kampo_decrypt(1, kKampoAppKey, c.data(), static_cast<int>(kKampoOverhead) - 1), -1);
    EXPECT_EQ(kampo_decrypt(1, kKampoAppKey, nullptr, n), -1);
    EXPECT_TRUE(kampo_encrypt("zz2A9E13D7B04F68A1E3C9D2074B6F85", "x").empty());
}

}  // namespace
