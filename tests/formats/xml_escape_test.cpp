// Escaping text for documents and reading entities and character references back.
#include <gtest/gtest.h>

#include "formats/xml_escape.h"

TEST(XmlEscape, AttributesEscapeFiveCharactersTextThree) {
    EXPECT_EQ(xml::EscapeAttrib("<a&b>'\"c"), "&lt;a&amp;b&gt;&apos;&quot;c");
    EXPECT_EQ(xml::EscapeText("<a&b>'\"c"), "&lt;a&amp;b&gt;'\"c");
    for (const char* s : {"a&b<c", "&amp;", "&#x4E2D;", "\"'<>&", ""}) {
        EXPECT_EQ(xml::Unescape(xml::EscapeAttrib(s)), s);
        EXPECT_EQ(xml::Unescape(xml::EscapeText(s)), s);
    }
}

TEST(XmlEscape, CharacterReferencesBecomeUtf8) {
    EXPECT_EQ(xml::Unescape("&#x4E2D;"), "\xE4\xB8\xAD");
    EXPECT_EQ(xml::Unescape("&#20013;"), "\xE4\xB8\xAD");
    EXPECT_EQ(xml::Unescape("&#65;&#xe9;&#x7FF;"), "A\xC3\xA9\xDF\xBF");
    // Beyond the basic plane: four bytes, not a broken three-byte form.
    EXPECT_EQ(xml::Unescape("&#x1F600;&#128512;"), "\xF0\x9F\x98\x80\xF0\x9F\x98\x80");
    EXPECT_EQ(xml::Unescape("&#x10FFFF;&#1114111;"), "\xF4\x8F\xBF\xBF\xF4\x8F\xBF\xBF");
    // Code points that cannot be in text become U+FFFD.
    EXPECT_EQ(xml::Unescape("&#0;&#xD800;&#x110000;"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(XmlEscape, AnythingElseAfterAnAmpersandIsCopied) {
    for (const char* s : {"&", "a & b", "&#;", "&#x;", "&#12", "&#x12", "&#xG1;", "&#X41;", "&#12345678;",
                          "&#x1234567;", "&lt", "&nbsp;", "&&amp", "&#-1;"}) {
        EXPECT_EQ(xml::Unescape(s), s) << s;
    }
    EXPECT_EQ(xml::Unescape("&&lt;&#"), "&<&#");
}
