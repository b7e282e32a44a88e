// Room history, favourites and friends survive closing and reopening.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/paths.h"
#include "platform/buddy/buddy.h"

namespace fs = std::filesystem;

namespace {
class Buddy : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zeri-buddy-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        paths::SetDataFolderOverride(dir_.string());
    }
    void TearDown() override {
        paths::SetDataFolderOverride("");
        fs::remove_all(dir_);
    }
    static std::vector<std::uint32_t> History(BUDDY_HANDLE h) {
        std::vector<std::uint32_t> ids;
        BuddyRoomInfo* chain = BUDDY_GetHistoryRoom(h);
        for (auto* r = chain; r; r = r->next) ids.push_back(r->roomId);
        BUDDY_DestoryRoomInfo(chain);
        return ids;
    }
    fs::path dir_;
};
}  // namespace

TEST_F(Buddy, HistoryAndFavouritesSurviveAReopen) {
    BUDDY_HANDLE h = BUDDY_Create(42);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(BUDDY_LoginRoomResp(h, 1001, "大厅"));
    EXPECT_TRUE(BUDDY_LoginRoomResp(h, 1002, "Music"));
    EXPECT_TRUE(BUDDY_SetRoomDetails(h, 1001, "Hall", "logo.png", "welcome"));
    EXPECT_TRUE(BUDDY_ExitRoom(h, 1001, 12));
    EXPECT_TRUE(BUDDY_AddStore(h, 1002));
    EXPECT_TRUE(BUDDY_AddStore(h, 1002));  // twice is fine
    EXPECT_TRUE(BUDDY_AddFriend(h, 7, "ann"));
    BUDDY_Close(h);

    h = BUDDY_Create(42);
    ASSERT_NE(h, nullptr);
    const auto ids = History(h);
    ASSERT_EQ(ids.size(), 2u);
    BuddyRoomInfo* chain = BUDDY_GetHistoryRoom(h);
    const BuddyRoomInfo* hall = chain->roomId == 1001 ? chain : chain->next;
    EXPECT_EQ(hall->name, "大厅");
    EXPECT_EQ(hall->secondName, "Hall");
    EXPECT_EQ(hall->people, 12u);
    BUDDY_DestoryRoomInfo(chain);
    EXPECT_TRUE(BUDDY_IsStore(h, 1002));
    EXPECT_FALSE(BUDDY_IsStore(h, 1001));
    EXPECT_TRUE(BUDDY_DelStore(h, 1002));
    EXPECT_FALSE(BUDDY_IsStore(h, 1002));
    EXPECT_TRUE(BUDDY_QueryFriend(h, 7));
    EXPECT_FALSE(BUDDY_QueryFriend(h, 8));
    BUDDY_Close(h);
}

TEST_F(Buddy, FavouritesListWithWhatTheHistoryKnows) {
    BUDDY_HANDLE h = BUDDY_Create(43);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(BUDDY_LoginRoomResp(h, 1001, "大厅"));
    EXPECT_TRUE(BUDDY_ExitRoom(h, 1001, 5));
    EXPECT_TRUE(BUDDY_AddStore(h, 1001));
    EXPECT_TRUE(BUDDY_AddStore(h, 2002));  // chosen by id, never visited
    EXPECT_TRUE(BUDDY_LoginRoomResp(h, 1003, "not a favourite"));
    BuddyRoomInfo* chain = BUDDY_GetStoreRoom(h);
    std::vector<std::pair<std::uint32_t, std::string>> got;
    for (auto* r = chain; r; r = r->next) got.emplace_back(r->roomId, r->name);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], std::make_pair(1001u, std::string("大厅")));  // visited first
    EXPECT_EQ(got[1], std::make_pair(2002u, std::string()));
    EXPECT_EQ(chain->people, 5u);
    BUDDY_DestoryRoomInfo(chain);
    EXPECT_TRUE(BUDDY_DelStore(h, 1001));
    EXPECT_TRUE(BUDDY_DelStore(h, 2002));
    EXPECT_EQ(BUDDY_GetStoreRoom(h), nullptr);
    EXPECT_EQ(BUDDY_GetStoreRoom(nullptr), nullptr);
    BUDDY_Close(h);
}

TEST_F(Buddy, NullHandleAndUnopenableFolderFailQuietly) {
    EXPECT_FALSE(BUDDY_IsStore(nullptr, 1));
    EXPECT_FALSE(BUDDY_AddStore(nullptr, 1));
    EXPECT_EQ(BUDDY_GetHistoryRoom(nullptr), nullptr);
    BUDDY_Close(nullptr);
    fs::create_directories(dir_ / "user");
    std::ofstream(dir_ / "user" / "9") << "a file where the folder should be";
    EXPECT_EQ(BUDDY_Create(9), nullptr);
}
