// Reading documents: parsing, errors, the cursor, attributes and element text.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "formats/markup.h"
#include "tree_dump.h"

using testing_xml::DumpText;
using testing_xml::DumpTree;

namespace {

const std::set<std::string>& KnownErrorPrefixes() {
    static const std::set<std::string> k = {
        "Element tag not found", "Tag starts with quote", "Invalid node", "End of tag not found",
        "Abrupt end within tag", "End tag of ", "Expecting end tag of element ",
        "End tag does not correspond to ", "End tag not completed for element ",
    };
    return k;
}

bool IsKnownError(const std::string& e) {
    for (const auto& p : KnownErrorPrefixes()) {
        if (e.rfind(p, 0) == 0) return true;
    }
    return false;
}

const char* kFaces =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!-- faces -->\r\n"
    "<root>\r\n"
    "  <faceconfig item_width=\"24\" row='8' col=\"12\">\r\n"
    "    <face id=\"1\" tip=\"smile\" tag=\"/wx\" file=\"Face/1.gif\"/>\r\n"
    "    <face id=\"2\" tip=\"cry\" tag=\"/kl\" file=\"Face/2.gif\"/>\r\n"
    "    <Face id=\"3\"/>\r\n"
    "    <face id=\"4\" tip=\"a &gt; b\" tag=\"/x\" file=\"Face/4.gif\"></face>\r\n"
    "  </faceconfig>\r\n"
    "</root>\r\n";

}  // namespace

TEST(MarkupParse, AcceptsTheNodesBetweenElements) {
    CMarkupSTL x;
    ASSERT_TRUE(x.SetDoc(
        "<!DOCTYPE r [ <!ELEMENT r ANY> <!ATTLIST r a CDATA \"x>y\"> ]>\n"
        "<?pi stuff?><r a=\"1>2\" b='<'><!-- <not/> an element -->"
        "<![CDATA[ <no/> ]]>text<c\t/><d></d ></r>trailing text"))
        << x.GetError();
    EXPECT_EQ(x.GetError(), "");
    EXPECT_EQ(DumpTree(x), "r a=[1>2] b=[<] {}\n  c {}\n  d {}\n");
}

TEST(MarkupParse, EachBadDocumentGivesItsError) {
    const struct {
        const char* doc;
        const char* error;
    } cases[] = {
        {"", "Element tag not found"},
        {"  just text <!-- and a comment -->", "Element tag not found"},
        {"<\"a\"/>", "Tag starts with quote"},
        {"<a>< b/></a>", "Invalid node"},
        {"<a/></b>", "Invalid node"},
        {"<a b=\"1\"", "End of tag not found"},
        {"<a <b/>", "End of tag not found"},
        {"<a><!-- no end </a>", "End of tag not found"},
        {"<a><![CDATA[ open", "End of tag not found"},
        {"<?xml version='1.0'", "End of tag not found"},
        {"<a>x<", "End of tag not found"},
        {"<a b=\"1>", "Abrupt end within tag"},
        {"<gift><item/>", "End tag of gift element not found"},
        {"<gift></>", "Expecting end tag of element gift"},
        {"<gift><name>x</nmae></gift>", "End tag does not correspond to name"},
        {"<gift></gift", "End tag not completed for element gift"},
        {"<gift></gift x>", "End tag not completed for element gift"},
    };
    for (const auto& c : cases) {
        CMarkupSTL x;
        EXPECT_FALSE(x.SetDoc(c.doc)) << c.doc;
        EXPECT_EQ(x.GetError(), c.error) << c.doc;
        // A failed document behaves like a missing one.
        EXPECT_FALSE(x.IsWellFormed());
        EXPECT_FALSE(x.FindElem());
        EXPECT_EQ(x.GetAttrib("b"), "");
        EXPECT_EQ(x.GetData(), "");
    }
    CMarkupSTL x;
    EXPECT_FALSE(x.SetDoc(nullptr));
    EXPECT_TRUE(x.SetDoc("<a/>"));
    EXPECT_EQ(x.GetError(), "");  // a good parse clears the last error
}

TEST(MarkupParse, NestingIsBoundedWithoutExhaustingTheStack) {
    auto nested = [](int levels) {
        std::string s;
        for (int i = 0; i < levels; ++i) s += "<n>";
        for (int i = 0; i < levels; ++i) s += "</n>";
        return s;
    };
    CMarkupSTL x;
    EXPECT_TRUE(x.SetDoc(nested(CMarkupSTL::kMaxDepth))) << x.GetError();
    EXPECT_FALSE(x.SetDoc(nested(CMarkupSTL::kMaxDepth + 1)));
    EXPECT_EQ(x.GetError(), "Invalid node");
    EXPECT_FALSE(x.SetDoc(std::string(1000000, '<') + "a"));  // deep and unclosed
    EXPECT_FALSE(x.SetDoc(nested(100000)));
    EXPECT_EQ(x.GetError(), "Invalid node");
}

TEST(MarkupParse, DamagedInputParsesOrFailsWithAKnownError) {
    // Every prefix of a real document, then random bytes over its alphabet.
    const std::string doc = kFaces;
    CMarkupSTL x;
    for (std::size_t n = 0; n < doc.size(); ++n) {
        if (!x.SetDoc(doc.substr(0, n))) {
            EXPECT_TRUE(IsKnownError(x.GetError())) << n << ": " << x.GetError();
        }
    }
    std::mt19937 rng(7);
    const char kAlphabet[] = "<>/=\"'!?-[]a b\r\n&#;x\0\xff";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    for (int round = 0; round < 3000; ++round) {
        std::string s = doc;
        for (int k = 0; k < 4; ++k) s[rng() % s.size()] = alphabet[rng() % alphabet.size()];
        if (x.SetDoc(s)) {
            DumpTree(x);  // walking what parsed must stay inside the text
        } else {
            EXPECT_TRUE(IsKnownError(x.GetError())) << x.GetError();
        }
    }
    // Embedded NUL bytes and a huge attribute value are plain data.
    ASSERT_TRUE(x.SetDoc(std::string("<a v=\"x\0y\"/>", 12)));
    ASSERT_TRUE(x.FindElem());
    EXPECT_EQ(x.GetAttrib("v"), std::string("x\0y", 3));
    const std::string big(1 << 20, 'q');
    ASSERT_TRUE(x.SetDoc("<a v=\"" + big + "\"/>"));
    ASSERT_TRUE(x.FindElem("a"));
    EXPECT_EQ(x.GetAttrib("v"), big);
}

TEST(MarkupCursor, NamesMatchExactlyAndCaseSensitively) {
    CMarkupSTL x(kFaces);
    ASSERT_TRUE(x.IsWellFormed()) << x.GetError();
    EXPECT_TRUE(x.FindElem("root"));
    EXPECT_FALSE(x.FindChildElem("face"));  // <faceconfig> is not <face>
    EXPECT_TRUE(x.FindChildElem("faceconfig"));
    ASSERT_TRUE(x.IntoElem());
    EXPECT_EQ(x.GetTagName(), "faceconfig");
    std::string ids;
    while (x.FindChildElem("face")) ids += x.GetChildAttrib("id");
    EXPECT_EQ(ids, "124");  // <Face id="3"> is another name
    // At the end of the siblings the child position stays on the last face.
    EXPECT_FALSE(x.FindChildElem("face"));
    EXPECT_EQ(x.GetChildAttrib("id"), "4");
    EXPECT_FALSE(x.FindChildElem("Face"));       // it lies before the last face
    EXPECT_TRUE(x.FindChildElem("Face", true));  // restart from the first child
    EXPECT_EQ(x.GetChildAttrib("id"), "3");
    EXPECT_FALSE(x.FindChildElem("Gift", true));
    EXPECT_EQ(x.GetChildAttrib("id"), "3");
}

TEST(MarkupCursor, MovesInAndOutAndRemembersPositions) {
    CMarkupSTL x(kFaces);
    EXPECT_FALSE(x.IntoElem());   // no child position
    EXPECT_FALSE(x.OutOfElem());  // no parent position
    EXPECT_EQ(x.GetNodeType(), 0);
    EXPECT_TRUE(x.FindChildElem());  // finds the first element on its own
    EXPECT_EQ(x.GetTagName(), "root");
    EXPECT_EQ(x.GetNodeType(), CMarkupSTL::MNT_ELEMENT);
    ASSERT_TRUE(x.IntoElem());
    ASSERT_TRUE(x.FindChildElem("face"));
    ASSERT_TRUE(x.FindChildElem("face"));
    EXPECT_TRUE(x.SavePos("second"));
    ASSERT_TRUE(x.IntoElem());
    EXPECT_EQ(x.GetAttrib("tip"), "cry");
    EXPECT_FALSE(x.FindElem("root"));  // only siblings are searched
    EXPECT_TRUE(x.FindElem("face", true));  // found going on, no restart needed
    EXPECT_EQ(x.GetAttrib("id"), "4");
    EXPECT_FALSE(x.FindElem("face"));
    EXPECT_EQ(x.GetAttrib("id"), "4");
    EXPECT_TRUE(x.FindElem("face", true));
    EXPECT_EQ(x.GetAttrib("id"), "1");
    ASSERT_TRUE(x.OutOfElem());
    EXPECT_EQ(x.GetTagName(), "faceconfig");
    EXPECT_EQ(x.GetChildAttrib("id"), "1");  // the element we came out of
    ASSERT_TRUE(x.OutOfElem());
    EXPECT_FALSE(x.OutOfElem());
    EXPECT_TRUE(x.RestorePos("second"));
    EXPECT_EQ(x.GetChildAttrib("tip"), "cry");
    EXPECT_FALSE(x.RestorePos("never saved"));
    x.SetDoc("<a/>");
    EXPECT_FALSE(x.RestorePos("second"));  // a new document forgets them

    CMarkupSTL moved(std::move(x));
    EXPECT_TRUE(moved.FindElem("a"));
    EXPECT_FALSE(x.FindElem());  // NOLINT: the moved-from document is empty, not broken
    EXPECT_TRUE(x.AddElem("b"));
    EXPECT_EQ(x.GetDoc(), "<b/>\r\n");
}

TEST(MarkupAttributes, ReadsTheNamedAttributeOnly) {
    CMarkupSTL x(
        "<g note=\"v=1 v='2'\" vv=\"long\" v='sq \"x\"' bare=7 flag empty=\"\" "
        "ref=\"&#x4E2D;&#20013;&lt;&amp;&gt;&apos;&quot;&nbsp;&#xZZ;\"/>");
    ASSERT_TRUE(x.FindElem("g"));
    EXPECT_EQ(x.GetAttrib("v"), "sq \"x\"");  // not the text inside note, not vv
    EXPECT_EQ(x.GetAttrib("bare"), "7");
    EXPECT_EQ(x.GetAttrib("flag"), "");
    EXPECT_EQ(x.GetAttrib("empty"), "");
    EXPECT_EQ(x.GetAttrib("missing"), "");
    EXPECT_EQ(x.GetAttrib("ref"), "\xE4\xB8\xAD\xE4\xB8\xAD<&>'\"&nbsp;&#xZZ;");
    std::string names;
    for (int i = 0; !x.GetAttribName(i).empty(); ++i) names += x.GetAttribName(i) + ",";
    EXPECT_EQ(names, "note,vv,v,bare,flag,empty,ref,");
    EXPECT_EQ(x.GetChildAttrib("v"), "");  // no child position
}

TEST(MarkupAttributes, SettingEscapesAndKeepsFirstSetOrder) {
    CMarkupSTL x;
    ASSERT_TRUE(x.AddElem("gift"));
    EXPECT_TRUE(x.SetAttrib("name", "a&b<c"));
    EXPECT_TRUE(x.SetAttrib("id", 42));
    EXPECT_TRUE(x.SetAttrib("price", -5));
    EXPECT_TRUE(x.SetAttrib("name", "it's \"x\" > y"));  // replaced in place
    EXPECT_EQ(x.GetDoc(), "<gift name=\"it&apos;s &quot;x&quot; &gt; y\" id=\"42\" price=\"-5\"/>\r\n");
    EXPECT_EQ(x.GetAttrib("name"), "it's \"x\" > y");
    EXPECT_TRUE(x.SetAttrib("name", "a&b<c"));
    EXPECT_NE(x.GetDoc().find("name=\"a&amp;b&lt;c\""), std::string::npos);
    EXPECT_EQ(x.GetAttrib("name"), "a&b<c");
    // Names that would break the tag are refused.
    for (const char* bad : {"", "a b", "a=b", "a\"", "a>", "a/b", "<"}) EXPECT_FALSE(x.SetAttrib(bad, "1")) << bad;

    // Values in apostrophes, unquoted values and bare names are replaced too.
    CMarkupSTL y("<a q='1' u=2 f>text</a>");
    ASSERT_TRUE(y.FindElem());
    EXPECT_TRUE(y.SetAttrib("q", "it's"));
    EXPECT_TRUE(y.SetAttrib("u", "two words"));
    EXPECT_TRUE(y.SetAttrib("f", "on"));
    EXPECT_EQ(y.GetDoc(), "<a q='it&apos;s' u=\"two words\" f=\"on\">text</a>");
    EXPECT_EQ(DumpTree(y), "a q=[it's] u=[two words] f=[on] {text}\n");
    // A quote inside an unquoted value opens a quoted run for the parser; the
    // edit must not take it away.
    CMarkupSTL z("<a x=1\"2 y=3\"><b/></a>");
    ASSERT_TRUE(z.FindElem());
    EXPECT_EQ(z.GetAttrib("x"), "1");
    EXPECT_EQ(z.GetAttrib("y"), "");
    EXPECT_TRUE(z.SetAttrib("x", "v"));
    EXPECT_EQ(DumpTree(z), DumpText(z.GetDoc()));
    CMarkupSTL none;
    EXPECT_FALSE(none.SetAttrib("a", "1"));
    EXPECT_FALSE(none.SetChildAttrib("a", "1"));
}

TEST(MarkupData, ReadsTextAndCdata) {
    CMarkupSTL x(
        "<r><t>a &lt;b&gt; &amp;c &#x4E2D;</t><c>\r\n <![CDATA[<raw &amp;>]]></c><e/>"
        "<p><k/>text</p></r>");
    ASSERT_TRUE(x.FindElem("r"));
    ASSERT_TRUE(x.FindChildElem("t"));
    EXPECT_EQ(x.GetChildData(), "a <b> &c \xE4\xB8\xAD");
    ASSERT_TRUE(x.FindChildElem("c"));
    EXPECT_EQ(x.GetChildData(), "<raw &amp;>");
    ASSERT_TRUE(x.FindChildElem("e"));
    EXPECT_EQ(x.GetChildData(), "");
    ASSERT_TRUE(x.FindChildElem("p"));
    EXPECT_EQ(x.GetChildData(), "");  // has a child element
    EXPECT_FALSE(x.SetChildData("x"));
}

TEST(MarkupData, SettingReplacesOrOpensTheElement) {
    CMarkupSTL x("<r><e/><v a=\"1\">old &amp; gone</v><s />\r\n</r>");
    ASSERT_TRUE(x.FindElem("r"));
    EXPECT_FALSE(x.SetData("x"));  // r has children
    ASSERT_TRUE(x.FindChildElem("e"));
    EXPECT_TRUE(x.SetChildData("1 < 2 & \"q\""));
    ASSERT_TRUE(x.FindChildElem("v"));
    EXPECT_TRUE(x.SetChildData("a]]>b", true));  // cannot be CDATA
    ASSERT_TRUE(x.FindChildElem("s"));
    EXPECT_TRUE(x.SetChildData("<raw>", true));
    EXPECT_EQ(x.GetDoc(),
              "<r><e>1 &lt; 2 &amp; \"q\"</e><v a=\"1\">a]]&gt;b</v><s ><![CDATA[<raw>]]></s >\r\n</r>");
    EXPECT_EQ(x.GetChildData(), "<raw>");
    EXPECT_TRUE(x.SetChildData(""));
    EXPECT_EQ(x.GetChildData(), "");
    EXPECT_TRUE(x.SetChildData(7));
    EXPECT_EQ(DumpTree(x), DumpText(x.GetDoc()));
    EXPECT_EQ(DumpTree(x), "r {}\n  e {1 < 2 & \"q\"}\n  v a=[1] {a]]>b}\n  s {7}\n");
}
