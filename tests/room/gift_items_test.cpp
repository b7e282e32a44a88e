// A panel's items as read back from the cached GiftConfig.xml: groups and
// their members, full paths, the texts of the hover popup, and files that
// are damaged or lie about their paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "room/catalogue/gift_items.h"

using catalogue::GiftItem;

namespace {

const std::string kFolder = "/data/zeri/";

std::string Gift(const std::string& id, const std::string& attrs, const std::string& inner = "") {
    const std::string open = "<gift id=\"" + id + "\" " + attrs;
    return inner.empty() ? open + "/>" : open + ">" + inner + "</gift>";
}

std::string Doc(const std::string& gifts) {
    return "<xml_root><giftconfig version=\"2\">" + gifts + "</giftconfig></xml_root>";
}

GiftItem WithPrices(std::int64_t price, std::int64_t initial, const std::string& currency) {
    GiftItem g;
    g.price = price;
    g.initialPrice = initial;
    g.currencyName = currency;
    return g;
}

}  // namespace

TEST(GiftItems, GroupsAreFollowedByTheirMembersWhichTheGridNeverShows) {
    const std::string xml = Doc(
        Gift("3", "name=\"星\" price=\"100\" pricename=\"金币\" file=\"res/globalgift/3.png\" buyRequest=\"2\"") +
        Gift("7", "name=\"花束\" price=\"0\" file=\"res/globalgift/7.png\"",
             Gift("8", "name=\"玫瑰\" price=\"800\" initialPrice=\"1000\" gift=\"\"") +
                 Gift("9", "name=\"百合\" price=\"900\" gift=\"res/globalgift/9.gif\" sound=\"res/globalgift/9.mp3\"") +
                 Gift("10", "price=\"50\" gift=\"res/globalgift/10.gif\"")) +
        Gift("11", "price=\"5\" gift=\"res/globalgift/11.gif\"", Gift("12", "price=\"6\" gift=\"res/globalgift/12.gif\"")));
    const auto items = catalogue::ReadGiftItems(xml, kFolder);
    ASSERT_EQ(items.size(), 7u);
    const std::uint32_t ids[] = {3, 7, 8, 9, 10, 11, 12};
    const std::uint32_t parents[] = {0, 0, 7, 7, 7, 0, 11};
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].id, ids[i]);
        EXPECT_EQ(items[i].parentId, parents[i]);
        EXPECT_EQ(items[i].Visible(), parents[i] == 0) << ids[i];
        EXPECT_EQ(items[i].entry, parents[i] == 0 ? GiftItem::kTopLevel : GiftItem::kMember);
    }
    EXPECT_EQ(items[0].name, "星");
    EXPECT_EQ(items[0].currencyName, "金币");
    EXPECT_EQ(items[0].buyRequest, 2);
    EXPECT_EQ(items[0].icon, kFolder + "res/globalgift/3.png");
    EXPECT_EQ(items[0].animation, "");
    // The group had no animation: the first member with one lends it its
    // animation and price; the member without one lends nothing.
    EXPECT_EQ(items[1].animation, kFolder + "res/globalgift/9.gif");
    EXPECT_EQ(items[1].price, 900);
    EXPECT_EQ(items[1].icon, kFolder + "res/globalgift/7.png");
    EXPECT_EQ(items[3].sound, kFolder + "res/globalgift/9.mp3");
    // A group with its own animation keeps it and its price.
    EXPECT_EQ(items[5].animation, kFolder + "res/globalgift/11.gif");
    EXPECT_EQ(items[5].price, 5);
}

TEST(GiftItems, DamagedOrForeignDocumentsGiveNoItems) {
    const std::string whole = Doc(Gift("1", "name=\"a\" price=\"1\""));
    ASSERT_EQ(catalogue::ReadGiftItems(whole, kFolder).size(), 1u);
    for (const std::string& bad : {std::string(), whole.substr(0, whole.size() / 2), std::string("<html><gift id=\"1\"/></html>"),
                                   std::string("<xml_root><gift id=\"1\"/></xml_root>"), std::string("\xff\xfe<\0x", 5)})
        EXPECT_TRUE(catalogue::ReadGiftItems(bad, kFolder).empty()) << bad;
}

TEST(GiftItems, PathsThatLeaveTheDataFolderAreDropped) {
    const auto items = catalogue::ReadGiftItems(
        Doc(Gift("1", "file=\"../../etc/passwd\" gift=\"/etc/x.gif\" pic=\"res\\a.png\" sound=\"res/ok.mp3\"")), kFolder);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].icon, "");
    EXPECT_EQ(items[0].animation, "");
    EXPECT_EQ(items[0].chatPicture, "");
    EXPECT_EQ(items[0].sound, kFolder + "res/ok.mp3");
}

TEST(GiftItems, LoadingReadsTheFileUnderTheDataFolder) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("gift_items_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "res/globalcar");
    const std::string folder = dir.string();  // without the trailing "/"
    std::vector<GiftItem> items(3);
    EXPECT_FALSE(catalogue::LoadGiftItems(folder, "res/globalcar/GiftConfig.xml", items));
    EXPECT_TRUE(items.empty());
    std::ofstream(dir / "res/globalcar/GiftConfig.xml") << Doc(Gift("4", "file=\"res/globalcar/4.png\""));
    ASSERT_TRUE(catalogue::LoadGiftItems(folder, "res/globalcar/GiftConfig.xml", items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].icon, folder + "/res/globalcar/4.png");
    // A valid catalogue without items is read, and empty.
    std::ofstream(dir / "res/globalcar/GiftConfig.xml", std::ios::trunc) << Doc("");
    EXPECT_TRUE(catalogue::LoadGiftItems(folder, "res/globalcar/GiftConfig.xml", items));
    EXPECT_TRUE(items.empty());
    std::filesystem::remove_all(dir);
}

TEST(GiftItems, PriceTextShowsTheFormerPriceOnlyWhenThereIsOne) {
    EXPECT_EQ(catalogue::GiftPriceText(WithPrices(800, 1000, "金币")), "原价:10.00/现价:8.00金币");
    EXPECT_EQ(catalogue::GiftPriceText(WithPrices(805, 0, "积分")), "8.05积分");
    EXPECT_EQ(catalogue::GiftPriceText(WithPrices(7, 0, "")), "0.07");
    // Cents stay exact where a double would round them.
    EXPECT_EQ(catalogue::GiftPriceText(WithPrices(999999999999999999, 0, "金币")), "9999999999999999.99金币");
}

TEST(GiftItems, VipLineOnlyWhileMyLevelIsBelowTheItems) {
    GiftItem g;
    g.buyRequest = 3;
    EXPECT_EQ(catalogue::GiftVipText(g, 0), "需要VIP3及以上才能购买");
    EXPECT_EQ(catalogue::GiftVipText(g, 2), "需要VIP3及以上才能购买");
    EXPECT_EQ(catalogue::GiftVipText(g, 3), "");
    EXPECT_EQ(catalogue::GiftVipText(g, 4), "");
    g.buyRequest = 0;
    EXPECT_EQ(catalogue::GiftVipText(g, 0), "");
}
