// GiftConfig.xml: what the panels read back of what a sync wrote, and the
// cache files a sync may keep.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "room/catalogue/cached_file.h"
#include "room/catalogue/gift_config.h"

using namespace catalogue;

namespace {

GiftRecord Record(std::uint32_t id, std::uint32_t parent, const std::string& name, bool group = false) {
    GiftRecord r;
    r.id = id;
    r.parentId = parent;
    r.name = name;
    r.node = group ? "1" : "0";
    r.price = static_cast<std::int32_t>(id * 10);
    return r;
}

std::vector<std::uint32_t> Ids(const std::vector<PanelItem>& items) {
    std::vector<std::uint32_t> ids;
    for (const PanelItem& i : items) ids.push_back(i.id);
    return ids;
}

}  // namespace

TEST(GiftConfig, WritesEveryAttributeInItsPlace) {
    GiftRecord r = Record(11, 0, "rose & \"love\"");
    r.price = 500;
    r.initialPrice = 600;
    r.currencyName = "coin";
    r.iconFile = "res/globalgift/a.png";
    r.chatPicFile = "res/globalgift/b.png";
    r.cartoonFile = "res/globalgift/c.gif";
    r.soundFile = "res/globalgift/d.mp3";
    r.type = "2";
    r.buyRequest = 12;
    const std::string xml = GiftConfigXml(9, {r});
    EXPECT_NE(xml.find("<xml_root>"), std::string::npos);
    EXPECT_NE(xml.find("<giftconfig version=\"9\""), std::string::npos);
    EXPECT_NE(xml.find("<gift id=\"11\" tag=\"/rose &amp; &quot;love&quot;\" name="), std::string::npos);
    EXPECT_NE(xml.find("price=\"500\" initialPrice=\"600\" pricename=\"coin\" file=\"res/globalgift/a.png\" "
                       "pic=\"res/globalgift/b.png\" gift=\"res/globalgift/c.gif\" "
                       "sound=\"res/globalgift/d.mp3\" type=\"2\" buyRequest=\"12\""),
              std::string::npos)
        << xml;

    const PanelCatalogue read = ReadGiftConfig(xml);
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(read.version, 9u);
    ASSERT_EQ(read.items.size(), 1u);
    const PanelItem& item = read.items[0];
    EXPECT_EQ(item.name, "rose & \"love\"");
    EXPECT_EQ(item.tag, "/rose & \"love\"");
    EXPECT_EQ(item.price, 500);
    EXPECT_EQ(item.initialPrice, 600);
    EXPECT_EQ(item.priceName, "coin");
    EXPECT_EQ(item.file, "res/globalgift/a.png");
    EXPECT_EQ(item.pic, "res/globalgift/b.png");
    EXPECT_EQ(item.gift, "res/globalgift/c.gif");
    EXPECT_EQ(item.sound, "res/globalgift/d.mp3");
    EXPECT_EQ(item.type, "2");
    EXPECT_EQ(item.buyRequest, 12);
}

TEST(GiftConfig, TwoLevelsOfGroupsKeepLaterTopLevelItemsOnTop) {
    // group 1 { 2, group 3 { 4, 5 }, 6 }, 7, group 8 { 9 }, 10
    const GiftRecords records = {Record(1, 0, "g", true), Record(2, 1, "a"),  Record(3, 1, "sub", true),
                                 Record(4, 3, "x"),       Record(5, 3, "y"),  Record(6, 1, "b"),
                                 Record(7, 0, "top"),     Record(8, 0, "h", true), Record(9, 8, "c"),
                                 Record(10, 0, "last")};
    const PanelCatalogue read = ReadGiftConfig(GiftConfigXml(1, records));
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(Ids(read.items), (std::vector<std::uint32_t>{1, 7, 8, 10}));
    EXPECT_EQ(Ids(read.items[0].members), (std::vector<std::uint32_t>{2, 3, 4, 5, 6}));
    EXPECT_TRUE(read.items[1].members.empty());
    EXPECT_EQ(Ids(read.items[2].members), (std::vector<std::uint32_t>{9}));
    EXPECT_EQ(read.items[0].members[2].price, 40);
}

TEST(GiftConfig, AnEmptyCatalogueIsAnEmptyDocument) {
    const PanelCatalogue read = ReadGiftConfig(GiftConfigXml(4, {}));
    EXPECT_TRUE(read.loaded);
    EXPECT_EQ(read.version, 4u);
    EXPECT_TRUE(read.items.empty());
}

TEST(GiftConfig, DamagedOrHostileFilesGiveNothingUnsafe) {
    EXPECT_FALSE(ReadGiftConfig("").loaded);
    EXPECT_FALSE(ReadGiftConfig("<xml_root><giftconfig version=\"1\"><gift id=\"1\"").loaded);
    EXPECT_FALSE(ReadGiftConfig("<other/>").loaded);
    const PanelCatalogue read = ReadGiftConfig(
        "<xml_root><giftconfig version=\"x\">"
        "<gift id=\"0\" name=\"no id\"><gift id=\"5\"/></gift>"
        "<gift id=\"2\" file=\"../../etc/passwd\" pic=\"/etc/passwd\" gift=\"res\\..\\x\" "
        "sound=\"res/globalgift/ok.mp3\" price=\"-3\" buyRequest=\"1e9\">"
        "<gift id=\"0\"/><gift id=\"3\" file=\"res/globalgift/../../x\"/></gift>"
        "</giftconfig></xml_root>");
    ASSERT_TRUE(read.loaded);
    EXPECT_EQ(read.version, 0u);
    ASSERT_EQ(Ids(read.items), (std::vector<std::uint32_t>{2}));
    const PanelItem& item = read.items[0];
    EXPECT_EQ(item.file, "");
    EXPECT_EQ(item.pic, "");
    EXPECT_EQ(item.gift, "");
    EXPECT_EQ(item.sound, "res/globalgift/ok.mp3");
    EXPECT_EQ(item.price, 0);
    EXPECT_EQ(item.buyRequest, 0);
    ASSERT_EQ(Ids(item.members), (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(item.members[0].file, "");
}

TEST(CachedFile, CountsOnlyWholeFilesOfTheNamedContent) {
    const auto dir = std::filesystem::temp_directory_path() / ("zeri-cache-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    };
    // SHA-256 of "abc".
    const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_EQ(DigestOfName(digest + ".png"), digest);
    EXPECT_EQ(DigestOfName("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"), digest);
    EXPECT_FALSE(DigestOfName("rose.png"));
    EXPECT_FALSE(DigestOfName(digest.substr(1) + "g.png"));

    EXPECT_TRUE(CachedFileGood(write(digest + ".png", "abc"), digest + ".png"));
    EXPECT_FALSE(CachedFileGood(write(digest + ".gif", "ab"), digest + ".gif"));  // truncated
    EXPECT_FALSE(CachedFileGood(write("empty.png", ""), "empty.png"));
    EXPECT_TRUE(CachedFileGood(write("rose.png", "any bytes"), "rose.png"));
    EXPECT_FALSE(CachedFileGood((dir / "missing.png").string(), "missing.png"));
    EXPECT_FALSE(CachedFileGood(dir.string(), "folder"));
    std::filesystem::remove_all(dir);
}
