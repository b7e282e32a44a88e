// Reading skin files into plain data, and the value parsers every control uses.
#include <gtest/gtest.h>

#include <QDir>

#include "platform/dui/skin_model.h"

using namespace dui;

TEST(SkinModel, WindowSkinSplitsFontsDefaultsAndControlsWithNamesLowerCased) {
    const SkinDoc doc = ParseSkin(R"(<WINDOW Size="300,200" Caption="0,0,0,30">
        <font name="宋体" size="13" bold="true"/>
        <Font id="5" name="Noto Sans" default="TRUE"/>
        <Font name="next"/>
        <Default name="BUTTON" value="height=&quot;24&quot; textcolor='#FF112233'"/>
        <VerticalLayout NAME="root"><Button name="b" Text="ok"/></VerticalLayout>
      </WINDOW>)");
    ASSERT_TRUE(doc.loaded) << doc.error;
    EXPECT_TRUE(doc.isWindow);
    EXPECT_EQ(doc.root.Get("size"), "300,200");
    EXPECT_EQ(doc.root.Get("caption"), "0,0,0,30");
    ASSERT_EQ(doc.fonts.size(), 3u);
    EXPECT_EQ(doc.fonts[0].id, 0);
    EXPECT_EQ(doc.fonts[0].size, 13);
    EXPECT_TRUE(doc.fonts[0].bold);
    EXPECT_EQ(doc.fonts[1].id, 5);
    EXPECT_TRUE(doc.fonts[1].isDefault);
    EXPECT_EQ(doc.fonts[2].id, 6) << "fonts without an id follow the largest so far";
    ASSERT_EQ(doc.defaults.count("button"), 1u);
    const auto& def = doc.defaults.at("button");
    ASSERT_EQ(def.size(), 2u);
    EXPECT_EQ(def[0].name, "height");
    EXPECT_EQ(def[1].value, "#FF112233");
    ASSERT_EQ(doc.controls.size(), 1u);
    EXPECT_EQ(doc.controls[0].tag, "verticallayout");
    EXPECT_EQ(doc.controls[0].Get("name"), "root");
    ASSERT_EQ(doc.controls[0].children.size(), 1u);
    EXPECT_EQ(doc.controls[0].children[0].Get("text"), "ok");
}

TEST(SkinModel, UnreadableSkinsSayWhy) {
    SkinDoc bad = ParseSkin("<Window size='1,1'><VerticalLayout></Window>");
    EXPECT_FALSE(bad.loaded);
    EXPECT_NE(bad.error.find("not a skin document"), std::string::npos) << bad.error;

    SkinDoc empty = ParseSkin("<Window size='10,10'><Font name='x'/></Window>");
    EXPECT_FALSE(empty.loaded);
    EXPECT_EQ(empty.error, "the window holds no control");

    SkinDoc missing = LoadSkinFile("/nonexistent/zeri/skin.xml");
    EXPECT_FALSE(missing.loaded);
    EXPECT_NE(missing.error.find("cannot open /nonexistent/zeri/skin.xml"), std::string::npos);

    SkinDoc nothing = ParseSkin("");
    EXPECT_FALSE(nothing.loaded);
    EXPECT_FALSE(nothing.error.empty());
}

TEST(SkinModel, TemplateSkinsKeepTheirRootControl) {
    const SkinDoc doc = ParseSkin("<ListContainerElement height='30'><Label name='n'/></ListContainerElement>");
    ASSERT_TRUE(doc.loaded);
    EXPECT_FALSE(doc.isWindow);
    EXPECT_EQ(doc.root.tag, "listcontainerelement");
    ASSERT_EQ(doc.root.children.size(), 1u);
}

TEST(SkinModel, SkinFolderAndFileJoinWithOneSeparator) {
    EXPECT_EQ(JoinSkinPath("skin", "FaceSelDlg.xml"), "skin/FaceSelDlg.xml");
    EXPECT_EQ(JoinSkinPath("skin/", "RoomUI.xml"), "skin/RoomUI.xml");
    EXPECT_EQ(JoinSkinPath("/opt/zeri\\skin\\", "common\\a.xml"), "/opt/zeri/skin/common/a.xml");
    EXPECT_EQ(JoinSkinPath("skin/", "/b.xml"), "skin/b.xml");
    EXPECT_EQ(JoinSkinPath("", "b.xml"), "b.xml");
}

TEST(SkinValues, ColoursWithOrWithoutPrefixAndAlpha) {
    std::uint32_t c = 0;
    ASSERT_TRUE(ParseColor("#FF00FF00", c));
    EXPECT_EQ(c, 0xFF00FF00u);
    std::uint32_t d = 0;
    ASSERT_TRUE(ParseColor("FF00FF00", d));
    EXPECT_EQ(c, d) << "the number sign is optional";
    ASSERT_TRUE(ParseColor("0x8000FF00", c));
    EXPECT_EQ(c, 0x8000FF00u);
    ASSERT_TRUE(ParseColor("#3899a7", c));
    EXPECT_EQ(c, 0xFF3899A7u) << "six digits are opaque";
    EXPECT_FALSE(ParseColor("#12345", c));
    EXPECT_FALSE(ParseColor("#GG0000", c));
    EXPECT_FALSE(ParseColor("", c));
    EXPECT_FALSE(ParseColor("#FF00FF00 trailing", c));
}

TEST(SkinValues, NumbersAreLenientAndBounded) {
    EXPECT_EQ(ParseInt("42"), 42);
    EXPECT_EQ(ParseInt(" -7 "), -7);
    EXPECT_EQ(ParseInt("abc", 9), 9);
    EXPECT_EQ(ParseInt("99999999999999999999"), kMaxCoord);
    EXPECT_EQ(ParseInt("-99999999999999999999"), -kMaxCoord);
    EXPECT_EQ(ParseInt("2147483647"), kMaxCoord);
    EXPECT_EQ(ParseRect("1,2,3,4"), (Rect4{1, 2, 3, 4}));
    EXPECT_EQ(ParseRect("5,6"), (Rect4{5, 6, 0, 0}));
    EXPECT_EQ(ParseRect(""), (Rect4{}));
    EXPECT_EQ(ParseSize("300, 200"), (Size2{300, 200}));
    EXPECT_TRUE(ParseBool("TRUE"));
    EXPECT_FALSE(ParseBool("false", true));
    EXPECT_TRUE(ParseBool("maybe", true));
}

TEST(SkinValues, ImagesAreBareNamesOrKeyedLists) {
    ImageDesc bare = ParseImage("menu_check.png");
    EXPECT_EQ(bare.file, "menu_check.png");
    EXPECT_FALSE(bare.hasDest);
    ImageDesc keyed = ParseImage("file='menu_check.png' dest='4,4,20,20' source=\"0,0,16,16\" corner='2,2,2,2' fade='128'");
    EXPECT_EQ(keyed.file, "menu_check.png");
    ASSERT_TRUE(keyed.hasDest);
    EXPECT_EQ(keyed.dest, (Rect4{4, 4, 20, 20}));
    EXPECT_TRUE(keyed.hasSource);
    EXPECT_TRUE(keyed.hasCorner);
    EXPECT_EQ(keyed.fade, 128);
    EXPECT_EQ(ParseImage("file='x.png' fade='900'").fade, 255);
    EXPECT_TRUE(ParseImage("file='unterminated").empty());
}

TEST(SkinValues, AlignWordsCombine) {
    const unsigned base = kAlignLeft | kAlignVCenter;
    EXPECT_EQ(ParseAlign("center", base), kAlignHCenter | kAlignVCenter);
    EXPECT_EQ(ParseAlign("right bottom", base), kAlignRight | kAlignBottom);
    EXPECT_EQ(ParseAlign("Top,Left", kAlignRight | kAlignBottom), kAlignLeft | kAlignTop);
    EXPECT_EQ(ParseAlign("sideways", base), base);
}

TEST(SkinFolder, EverySkinInTheSkinFolderParses) {
    const QDir dir(ZERI_SKIN_DIR);
    int seen = 0;
    for (const QString& f : dir.entryList({"*.xml"}, QDir::Files)) {
        const SkinDoc doc = LoadSkinFile(dir.filePath(f).toStdString());
        EXPECT_TRUE(doc.loaded) << f.toStdString() << ": " << doc.error;
        ++seen;
    }
    EXPECT_GE(seen, 1);
}
