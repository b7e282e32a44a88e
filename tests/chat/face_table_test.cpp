// Loading the face table and looking faces up.
#include "chat/face_table.h"

#include "tests/chat/chat_test_support.h"

TEST(FaceTable, LoadsFromTheSkinFolderInFileOrder) {
    TempDir dir;
    dir.Write("skin/Face/FaceConfig.xml", std::string("\xEF\xBB\xBF") + kFaceXml);
    CFaceTable t;
    ASSERT_TRUE(t.Load(dir.Path()));
    ASSERT_EQ(t.Entries().size(), 5u);
    EXPECT_EQ(t.Entries()[1].id, 7);
    EXPECT_EQ(t.Entries()[1].tip, "laugh");
    EXPECT_EQ(t.Entries()[1].text, "[laugh]");
    EXPECT_EQ(t.Entries()[1].imagePath, dir.Path() + "skin/Face/7.png");
    EXPECT_EQ(t.Entries()[3].imagePath, dir.Path() + "skin/Face/12.png");  // backslash joined with "/"
    EXPECT_EQ(t.Layout().itemWidth, 24);
    EXPECT_EQ(t.Layout().zoomHeight, 64);
    EXPECT_EQ(t.Layout().rows, 8);
    EXPECT_EQ(t.Layout().cols, 12);
}

TEST(FaceTable, MissingOrMalformedFileLeavesItEmpty) {
    TempDir dir;
    CFaceTable t;
    EXPECT_TRUE(t.LoadFromText(kFaceXml, "/p/"));
    EXPECT_FALSE(t.Load(dir.Path()));
    EXPECT_TRUE(t.Empty());

    for (const char* bad : {"", "<faces><faceconfig><face id=\"1\" tag=\"/x\"", "not xml",
                            "<faces><other/></faces>"}) {
        EXPECT_TRUE(t.LoadFromText(kFaceXml, "/p/"));
        EXPECT_FALSE(t.LoadFromText(bad, "/p/")) << bad;
        EXPECT_TRUE(t.Empty()) << bad;
        EXPECT_EQ(t.FindById(1), nullptr);
    }
}

TEST(FaceTable, EntriesWithoutANumberOrWithAPathOutOfTheSkinAreMended) {
    CFaceTable t;
    ASSERT_TRUE(t.LoadFromText(R"(<r><faceconfig>
        <face id="x" tag="/bad"/><face id="" tag="/bad2"/><face id="-4" tag="/neg"/>
        <face id="0" tag="/zero" file="Face/0.png"/>
        <face id="5" tag="/up" file="../../etc/passwd"/>
        <face id="6" tag="/abs" file="/etc/passwd"/></faceconfig></r>)",
                               "/p/"));
    ASSERT_EQ(t.Entries().size(), 3u);
    // A non-number id must not become face 0.
    EXPECT_EQ(t.FindById(0)->tag, "/zero");
    EXPECT_EQ(t.FindById(5)->imagePath, "");
    EXPECT_EQ(t.FindById(6)->imagePath, "");
}

TEST(FaceTable, LookUpsTakeTheFirstEntryAndIgnoreCase) {
    const CFaceTable t = TestFaces();
    EXPECT_EQ(t.FindById(1)->tag, "/wx");  // not the later id 1
    EXPECT_EQ(t.FindById(99), nullptr);

    auto m = t.FindByTag("/WX");
    ASSERT_NE(m.face, nullptr);
    EXPECT_EQ(m.face->id, 1);
    m = t.FindByTag("/w");
    EXPECT_EQ(m.face, nullptr);
    EXPECT_TRUE(m.couldGrow);
    m = t.FindByTag("/微");
    EXPECT_EQ(m.face, nullptr);
    EXPECT_TRUE(m.couldGrow);
    EXPECT_EQ(t.FindByTag("/微笑").face->id, 12);
    m = t.FindByTag("/q");
    EXPECT_FALSE(m.face || m.couldGrow);
    m = t.FindByTag("");
    EXPECT_FALSE(m.face || m.couldGrow);
}

TEST(FaceTable, TheShippedTableLoadsWithItsImages) {
    CFaceTable t;
    ASSERT_TRUE(t.Load(ZERI_SOURCE_DIR));
    ASSERT_FALSE(t.Empty());
    for (const FaceEntry& e : t.Entries()) {
        EXPECT_EQ(e.tag.front(), '/') << e.id;
        EXPECT_EQ(t.FindById(e.id), &e) << "duplicate id " << e.id;
        EXPECT_EQ(t.FindByTag(e.tag).face, &e) << "tag shadowed: " << e.tag;
        EXPECT_TRUE(std::filesystem::is_regular_file(e.imagePath)) << e.imagePath;
    }
}
