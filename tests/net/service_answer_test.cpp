#include "net/service_answer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using msg::ServiceAnswer;
using msg::ServiceItem;

ServiceAnswer Decode(const std::string& bytes, bool encrypted, bool* ok = nullptr) {
    ServiceAnswer a;
    const bool r = msg::DecodeServiceAnswer(reinterpret_cast<const unsigned char*>(bytes.data()),
                                            bytes.size(), encrypted, a);
    if (ok) *ok = r;
    return a;
}

TEST(ServiceAnswer, RoundTripsSealedAndPlain) {
    ServiceAnswer a;
    a.items.push_back({true, 0, "bg_17.jpg"});
    a.items.push_back({true, 42, ""});
    for (bool sealed : {true, false}) {
        bool ok = false;
        const ServiceAnswer b = Decode(msg::EncodeServiceAnswer(a, sealed), sealed, &ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(b.items.size(), 2u);
        EXPECT_EQ(b.items[0].text, "bg_17.jpg");
        EXPECT_EQ(b.items[1].result, 42u);
        EXPECT_TRUE(msg::ServiceAnswerSucceeded(b));
    }
    ServiceAnswer e;
    e.error = "没有权限";
    const ServiceAnswer d = Decode(msg::EncodeServiceAnswer(e, true), true);
    EXPECT_EQ(d.error, "没有权限");
    EXPECT_FALSE(msg::ServiceAnswerSucceeded(d));
}

TEST(ServiceAnswer, TruncatedOrForeignAnswersNeverSucceed) {
    ServiceAnswer a;
    a.items.push_back({true, 0, "x"});
    const std::string sealed = msg::EncodeServiceAnswer(a, true);
    bool ok = true;
    // A cut or flipped sealed answer does not decrypt.
    Decode(sealed.substr(0, sealed.size() - 1), true, &ok);
    EXPECT_FALSE(ok);
    std::string flipped = sealed;
    flipped[20] ^= 1;
    Decode(flipped, true, &ok);
    EXPECT_FALSE(ok);
    // A plain answer cut inside its item, an empty one, and an item without a
    // result read as failures rather than as result 0.
    const std::string plain = msg::EncodeServiceAnswer(a, false);
    EXPECT_FALSE(msg::ServiceAnswerSucceeded(Decode(plain.substr(0, plain.size() - 3), false)));
    EXPECT_FALSE(msg::ServiceAnswerSucceeded(Decode("", false)));
    ServiceAnswer noResult;
    noResult.items.push_back({false, 0, "name"});
    EXPECT_FALSE(msg::ServiceAnswerSucceeded(Decode(msg::EncodeServiceAnswer(noResult, false), false)));
    // A plain answer handed to the sealed reader is refused.
    Decode(plain, true, &ok);
    EXPECT_FALSE(ok);
}

}  // namespace
