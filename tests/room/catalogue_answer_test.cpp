// The catalogue service's answer as records: what a hostile or odd answer
// leaves of the catalogue.
#include <gtest/gtest.h>

#include <string>

#include "net/json.h"
#include "room/catalogue/gift_answer.h"

using namespace catalogue;

namespace {

json::value Entry(std::int64_t id, const std::string& name) {
    json::value e = json::value::object();
    e.set("id", id);
    e.set("name", name);
    return e;
}

std::string Answer(const json::value& list, std::int64_t result = 200) {
    json::value root = json::value::object();
    root.set("result", result);
    root.set("versionId", 7);
    if (list) root.set("giftInfoList", list);
    return root.dump();
}

std::string OneEntry(const json::value& e) {
    json::value list = json::value::array();
    list.append(e);
    return Answer(list);
}

}  // namespace

TEST(CatalogueAnswer, ReadsMembersWhateverTheirCaseAndScalesCurrencyTwo) {
    const std::string body = R"({"RESULT":200,"VersionID":3,"GIFTINFOLIST":[
        {"ID":11,"Name":"rose","PRICE":5,"initialprice":6,"currencyType":"2","CurrencyName":"coin",
         "buyRequest":"12","ICONURL":"http://h/i/a.png","EXT":"3","useTimes":4,"validTime":30}]})";
    const GiftAnswer a = ParseGiftAnswer(body);
    ASSERT_TRUE(a.parsed);
    EXPECT_EQ(a.versionId, 3u);
    ASSERT_EQ(a.records.size(), 1u);
    const GiftRecord& r = a.records[0];
    EXPECT_EQ(r.id, 11u);
    EXPECT_EQ(r.name, "rose");
    EXPECT_EQ(r.price, 500);
    EXPECT_EQ(r.initialPrice, 600);
    EXPECT_EQ(r.currencyName, "coin");
    EXPECT_EQ(r.buyRequest, 12);
    EXPECT_EQ(r.buyRequestCopy, 12);
    EXPECT_EQ(r.iconUrl, "http://h/i/a.png");
    EXPECT_EQ(r.ext, "3");
    EXPECT_EQ(r.useTimes, 4);
    EXPECT_EQ(r.validTime, 30);
    EXPECT_EQ(r.parentId, 0u);
}

TEST(CatalogueAnswer, RefusalAndMissingListsAreTold) {
    const GiftAnswer refused = ParseGiftAnswer(R"({"result":400,"msg":"unknown itemType"})");
    EXPECT_TRUE(refused.parsed);
    EXPECT_EQ(refused.result, 400);
    EXPECT_EQ(refused.msg, "unknown itemType");
    EXPECT_TRUE(refused.records.empty());

    const GiftAnswer missing = ParseGiftAnswer(R"({"result":200,"versionId":1})");
    EXPECT_EQ(missing.result, 200);
    EXPECT_FALSE(missing.hasList);
    EXPECT_TRUE(missing.records.empty());

    EXPECT_FALSE(ParseGiftAnswer("[1,2]").parsed);
    EXPECT_FALSE(ParseGiftAnswer("{\"result\":200,").parsed);
    EXPECT_FALSE(ParseGiftAnswer("").parsed);
}

TEST(CatalogueAnswer, GroupsAreFollowedByTheirMembersDepthFirst) {
    json::value inner = json::value::array();
    inner.append(Entry(4, "deep"));
    json::value sub = Entry(3, "subgroup");
    sub.set("node", "1");
    sub.set("sonGiftInfoList", inner);
    json::value members = json::value::array();
    members.append(Entry(2, "a"));
    members.append(sub);
    members.append(Entry(5, "b"));
    json::value group = Entry(1, "group");
    group.set("node", "1");
    group.set("sonGiftInfoList", members);
    json::value list = json::value::array();
    list.append(group);
    list.append(Entry(6, "after"));
    // A member list on an entry that is no group is not read.
    json::value plain = Entry(7, "plain");
    plain.set("sonGiftInfoList", inner);
    list.append(plain);

    const GiftAnswer a = ParseGiftAnswer(Answer(list));
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order;
    for (const GiftRecord& r : a.records) order.emplace_back(r.id, r.parentId);
    EXPECT_EQ(order, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                         {1, 0}, {2, 1}, {3, 1}, {4, 3}, {5, 1}, {6, 0}, {7, 0}}));
}

TEST(CatalogueAnswer, HostileEntriesAreDroppedWithTheirMembers) {
    json::value list = json::value::array();
    list.append(Entry(0, "no id"));
    list.append(Entry(-4, "negative id"));
    list.append(Entry(5000000000LL, "id beyond 32 bits"));
    list.append(Entry(9, "first"));
    json::value again = Entry(9, "again");
    again.set("node", "1");
    json::value kids = json::value::array();
    kids.append(Entry(10, "child of a repeated id"));
    again.set("sonGiftInfoList", kids);
    list.append(again);
    json::value cheap = Entry(11, "would wrap");
    cheap.set("price", 42949673);  // ×100 passes 2^32 and would read 4
    cheap.set("currencyType", "2");
    list.append(cheap);
    json::value negative = Entry(12, "negative");
    negative.set("price", -1);
    list.append(negative);
    json::value huge = Entry(13, "huge");
    huge.set("initialPrice", 3000000000LL);
    list.append(huge);
    list.append(json::value::array());  // not an entry
    const GiftAnswer a = ParseGiftAnswer(Answer(list));
    ASSERT_EQ(a.records.size(), 1u);
    EXPECT_EQ(a.records[0].name, "first");
    EXPECT_GE(a.notes.size(), 7u);
}

TEST(CatalogueAnswer, NestingBeyondFourLevelsIsDropped) {
    // Five levels, each a group holding the next.
    json::value level = Entry(5, "five");
    for (int id = 4; id >= 1; --id) {
        json::value members = json::value::array();
        members.append(level);
        json::value group = Entry(id, "level");
        group.set("node", "1");
        group.set("sonGiftInfoList", members);
        level = group;
    }
    json::value list = json::value::array();
    list.append(level);
    const GiftAnswer a = ParseGiftAnswer(Answer(list));
    ASSERT_EQ(a.records.size(), 4u);
    EXPECT_EQ(a.records.back().id, 4u);
    EXPECT_FALSE(a.notes.empty());
}

TEST(CatalogueAnswer, NoMoreThanTenThousandEntries) {
    std::string body = R"({"result":200,"giftInfoList":[)";
    for (int i = 1; i <= 10005; ++i) body += (i > 1 ? "," : "") + std::string("{\"id\":") + std::to_string(i) + "}";
    body += "]}";
    const GiftAnswer a = ParseGiftAnswer(body);
    EXPECT_EQ(a.records.size(), kMaxEntries);
    EXPECT_EQ(a.records.back().id, 10000u);
}

TEST(CatalogueAnswer, TextsAreCleanedAndCutAtACharacterBoundary) {
    json::value e = Entry(1, std::string("line\r\nbreak\x01\x7f!"));
    // 20 three-byte characters: 60 bytes for a field of 49.
    std::string long_name;
    for (int i = 0; i < 20; ++i) long_name += "礼";
    json::value cut = Entry(2, long_name);
    json::value list = json::value::array();
    list.append(e);
    list.append(cut);
    const GiftAnswer a = ParseGiftAnswer(Answer(list));
    ASSERT_EQ(a.records.size(), 2u);
    EXPECT_EQ(a.records[0].name, "linebreak!");
    EXPECT_EQ(a.records[1].name.size(), 48u);  // 16 whole characters
    EXPECT_EQ(a.records[1].name, long_name.substr(0, 48));

    EXPECT_EQ(FitText("ab", 2), "a");
    EXPECT_EQ(FitText("\xE7\xA4", 50), "\xEF\xBF\xBD");  // a cut character is repaired
    EXPECT_EQ(FitText("anything", 0), "");
}

TEST(CatalogueAnswer, OnlyPlainHttpUrlsAreKept) {
    const char* const refused[] = {"https://h/a.png", "ftp://h/a.png", "http://h/a b.png",
                                   "http://h/a.png\r\nX-Evil: 1", "http://h/\ta.png", "http://",
                                   "file:///etc/passwd", "HTTP://h/a.png"};
    for (const char* url : refused) {
        json::value e = Entry(1, "x");
        e.set("iconUrl", url);
        e.set("chatPicUrl", url);
        e.set("cartoonUrl", url);
        e.set("voiceUrl", url);
        const GiftAnswer a = ParseGiftAnswer(OneEntry(e));
        ASSERT_EQ(a.records.size(), 1u) << url;
        EXPECT_EQ(a.records[0].iconUrl, "") << url;
        EXPECT_EQ(a.records[0].chatPicUrl, "") << url;
        EXPECT_EQ(a.records[0].cartoonUrl, "") << url;
        EXPECT_EQ(a.records[0].voiceUrl, "") << url;
    }
    // A URL is never cut to fit its field: a cut URL names another file.
    json::value e = Entry(1, "x");
    e.set("chatPicUrl", "http://h/" + std::string(250, 'a') + ".png");
    EXPECT_EQ(ParseGiftAnswer(OneEntry(e)).records.at(0).chatPicUrl, "");
}

TEST(CatalogueAnswer, OddNumbersReadAsNothing) {
    json::value e = Entry(1, "x");
    e.set("buyRequest", "12a");
    e.set("useTimes", -3);
    e.set("charmValue", 1LL << 40);
    json::value f = Entry(2, "y");
    f.set("buyRequest", "99999999999");
    f.set("price", "5");  // a price written as text reads 0
    json::value list = json::value::array();
    list.append(e);
    list.append(f);
    const GiftAnswer a = ParseGiftAnswer(Answer(list));
    ASSERT_EQ(a.records.size(), 2u);
    EXPECT_EQ(a.records[0].buyRequest, 0);
    EXPECT_EQ(a.records[0].useTimes, 0);
    EXPECT_EQ(a.records[0].charmValue, 0);
    EXPECT_EQ(a.records[1].buyRequest, 0);
    EXPECT_EQ(a.records[1].price, 0);
}
