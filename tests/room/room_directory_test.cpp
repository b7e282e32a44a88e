// The room directory's data: the URLs it asks, the answers it reads (and
// refuses), typed room ids and the kept rooms brought up to date.
#include <gtest/gtest.h>

#include <algorithm>

#include "room/room_directory.h"

using namespace rooms;

TEST(RoomDirectory, UrlsCarryPageSizeAndAnEncodedBoundedSearch) {
    EXPECT_EQ(DirectoryUrl("h:8080", "", 1), "http://h:8080/rooms?page=1&size=50");
    EXPECT_EQ(DirectoryUrl("h:8080", "  ", 0, 500), "http://h:8080/rooms?page=1&size=100");
    EXPECT_EQ(DirectoryUrl("h", " a&b #1 ", 3, 20), "http://h/rooms?page=3&size=20&q=a%26b%20%231");
    // 22 three-byte characters are 66 bytes: cut to 21 whole ones (63 bytes).
    std::string han;
    for (int i = 0; i < 22; ++i) han += "厅";
    const std::string url = DirectoryUrl("h", han, 1);
    const std::string q = url.substr(url.find("&q=") + 3);
    EXPECT_EQ(q.size(), 21u * 9u);  // %XX for each of 63 bytes
    EXPECT_EQ(q.substr(0, 9), "%E5%8E%85");

    EXPECT_EQ(RoomsByIdsUrl("h", {}), "");
    EXPECT_EQ(RoomsByIdsUrl("h", {0}), "");
    EXPECT_EQ(RoomsByIdsUrl("h", {1001, 0, 7}), "http://h/rooms?ids=1001,7");
    std::vector<std::uint32_t> many(150, 5);
    const std::string ids = RoomsByIdsUrl("h", many);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), ','), 99);
}

TEST(RoomDirectory, ReadsAnAnswerAndRefusesWhatIsNotOne) {
    const auto page = ParseRoomPage(
        R"({"code":0,"total":3,"page":2,"size":2,"rooms":[
            {"id":1001,"name":"zeri 大厅","people":4,"mode":1,"logo":"/logo/1001","description":"欢迎"},
            {"name":"no id"},
            {"id":1002,"name":"Music","people":-3,"mode":0}]})");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->total, 3u);
    EXPECT_EQ(page->page, 2u);
    ASSERT_EQ(page->rooms.size(), 2u);
    EXPECT_EQ(page->rooms[0].roomId, 1001u);
    EXPECT_EQ(page->rooms[0].name, "zeri 大厅");
    EXPECT_EQ(page->rooms[0].people, 4u);
    EXPECT_EQ(page->rooms[0].mode, 1u);
    EXPECT_EQ(page->rooms[0].logo, "/logo/1001");
    EXPECT_EQ(page->rooms[0].description, "欢迎");
    EXPECT_EQ(page->rooms[1].people, 0u);  // a negative count is none

    std::string why;
    EXPECT_FALSE(ParseRoomPage("", &why));
    EXPECT_EQ(why, "not a room list");
    EXPECT_FALSE(ParseRoomPage("[1,2]", &why));
    EXPECT_FALSE(ParseRoomPage(R"({"code":0})", &why));
    EXPECT_FALSE(ParseRoomPage(R"({"code":1001,"error":"房间列表参数错误"})", &why));
    EXPECT_EQ(why, "房间列表参数错误");
    EXPECT_FALSE(ParseRoomPage(R"({"rooms":[]})", &why));  // no code: not the service's
    EXPECT_FALSE(ParseRoomPage(R"({"code":0,"rooms":[)", &why));
}

TEST(RoomDirectory, TypedIdsAndLogoUrls) {
    EXPECT_EQ(ParseRoomId(" 1001 "), 1001u);
    EXPECT_EQ(ParseRoomId("4294967295"), 4294967295u);
    for (const char* bad : {"", "0", "-5", "12a", "4294967296", "99999999999", "1 2", "+7", "0x10"})
        EXPECT_FALSE(ParseRoomId(bad)) << bad;

    EXPECT_EQ(LogoUrl("h:8080", "/pic/1.png"), "http://h:8080/pic/1.png");
    EXPECT_EQ(LogoUrl("h", "https://cdn/x.png"), "https://cdn/x.png");
    for (const char* bad : {"", "//evil/x", "file:///etc/passwd", "x.png", "/a b", "http://a\"b"})
        EXPECT_EQ(LogoUrl("h", bad), "") << bad;
}

TEST(RoomDirectory, KeptRoomsTakeLiveCountsAndKeepTheirOrder) {
    BuddyRoomInfo second{1002, "Music", "", "", "old", 9, 10, nullptr};
    BuddyRoomInfo first{1001, "大厅", "Hall", "a.png", "", 2, 20, &second};
    auto lines = FromStore(&first);
    ASSERT_EQ(IdsOf(lines), (std::vector<std::uint32_t>{1001, 1002}));
    EXPECT_EQ(lines[0].secondName, "Hall");

    RoomLine live;
    live.roomId = 1002;
    live.people = 0;  // everyone left since
    live.mode = 1;
    live.name = "Music Room";
    ApplyLive(lines, {live});
    EXPECT_EQ(lines[0].people, 2u);  // not in the answer: as stored
    EXPECT_EQ(lines[1].people, 0u);
    EXPECT_EQ(lines[1].mode, 1u);
    EXPECT_EQ(lines[1].name, "Music Room");
    EXPECT_EQ(lines[1].description, "old");  // the answer had none
}
