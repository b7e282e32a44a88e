// UTF-8 / UTF-16 conversions and the unit counts used by length rules.
#include <gtest/gtest.h>

#include "platform/text/text.h"

using namespace text;

TEST(Text, RoundTripsChineseAndAstralText) {
    const std::string s = "中文 ok \xF0\x9F\x98\x80";  // U+1F600 needs a surrogate pair
    const std::u16string w = Utf8ToUtf16(s);
    EXPECT_EQ(w, u"中文 ok \U0001F600");
    EXPECT_EQ(Utf16ToUtf8(w), s);
    EXPECT_EQ(Utf16Length(s), 8u);
}

TEST(Text, MalformedUtf8IsReplacedNotDropped) {
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xE4\xB8"), u"\uFFFD");              // truncated at the end
    EXPECT_EQ(Utf8ToUtf16("\xE4\xB8" "a"), u"\uFFFDa");         // broken by an ASCII byte
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");        // overlong '/'
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");          // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD");      // above U+10FFFF
    EXPECT_EQ(RepairUtf8("x\xFFy\xEF\xBF\xBD"), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(Text, UnpairedSurrogatesBecomeReplacementCharacters) {
    const std::u16string bad = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(Utf16ToUtf8(bad), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(Text, PrefixNeverSplitsAPair) {
    const std::string s = "ab\xF0\x9F\x98\x80" "c";
    EXPECT_EQ(Utf8PrefixUnits(s, 3), "ab");
    EXPECT_EQ(Utf8PrefixUnits(s, 4), "ab\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8PrefixUnits("一二三四五", 2), "一二");
    EXPECT_EQ(Utf8PrefixUnits("ab", 14), "ab");
}
