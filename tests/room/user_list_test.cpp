// The user list's order and lines, as the list control will show them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "room/headless_view.h"
#include "room/user_list_model.h"

namespace {

RoomUser User(std::uint32_t id, std::int32_t grade, std::uint32_t role,
              const std::string& nick = "") {
    RoomUser u;
    u.userId = id;
    u.wealthGrade = grade;
    u.role = role;
    u.nickname = nick.empty() ? "u" + std::to_string(id) : nick;
    return u;
}

std::vector<std::uint32_t> Order(const CRoomUserListModel& m) {
    std::vector<std::uint32_t> ids;
    for (auto& it : m.items()) ids.push_back(it.userId);
    return ids;
}

}  // namespace

TEST(UserListOrder, GradeDescendingThenRoleAscendingNewcomersAfterEquals) {
    struct Case {
        const char* name;
        std::vector<RoomUser> adds;
        std::vector<std::uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"grades 5,9,5 roles 3,3,1", {User(1, 5, 3), User(2, 9, 3), User(3, 5, 1)}, {2, 3, 1}},
        {"equal users keep arrival order", {User(1, 0, 20), User(2, 0, 20), User(3, 0, 20)}, {1, 2, 3}},
        {"richer newcomer goes first", {User(1, 1, 7), User(2, 2, 20)}, {2, 1}},
        {"lower role first within a grade", {User(1, 3, 20), User(2, 3, 7), User(3, 3, 8)}, {2, 3, 1}},
        {"negative grades last", {User(1, -1, 1), User(2, 0, 20)}, {2, 1}},
        {"middle insert", {User(1, 9, 1), User(2, 1, 1), User(3, 5, 1), User(4, 5, 0)}, {1, 4, 3, 2}},
    };
    for (const Case& c : cases) {
        CRoomUserListModel m;
        for (const RoomUser& u : c.adds) m.AddUser(u);
        EXPECT_EQ(Order(m), c.expected) << c.name;
    }
}

TEST(UserListOrder, UpdatesMoveTheLineEvenWhenItWasLast) {
    CRoomUserListModel m;
    RoomUser a = User(1, 5, 20), b = User(2, 3, 20), c = User(3, 1, 20);
    m.AddUser(a);
    m.AddUser(b);
    m.AddUser(c);
    c.wealthGrade = 9;  // the last user becomes the richest
    m.UpdateWealthGrade(c);
    EXPECT_EQ(Order(m), (std::vector<std::uint32_t>{3, 1, 2}));
    a.role = 30;
    a.wealthGrade = 1;
    m.UpdateRole(a);
    EXPECT_EQ(Order(m), (std::vector<std::uint32_t>{3, 2, 1}));
    // Adding a listed user again neither duplicates nor moves it needlessly.
    EXPECT_EQ(m.AddUser(a), 2u);
    EXPECT_EQ(m.size(), 3u);
}

TEST(UserListLine, CarriesIconsColourNicknameAndGagMark) {
    CRoomUserListModel m("skin/gag.png");
    RoomUser u = User(5, 1, 20, "小明");
    u.vipIcon = "vip1.png";
    u.vestIcon = "vest7.png";
    u.medalIcon = "res/wealth/m.png";
    m.AddUser(u);
    EXPECT_EQ(m.at(0).text,
              "<x 3><i file='vip1.png'><i file='vest7.png'><x 5><c #c2c2c2><f 0>小明</f></c><x 5>"
              "<i file=''><w 65><i file='res/wealth/m.png'>");
    m.SetGag(u, true);
    EXPECT_NE(m.at(0).text.find("<i file='skin/gag.png'>"), std::string::npos);
    EXPECT_TRUE(m.at(0).gagged);
}

TEST(UserListLine, NicknamesOfFourteenUnitsOrMoreAreCut) {
    CRoomUserListModel m;
    m.AddUser(User(1, 0, 0, "abcdefghijklm"));   // 13: whole
    m.AddUser(User(2, 0, 0, "abcdefghijklmn"));  // 14: cut
    m.AddUser(User(3, 0, 0, "一二三四五六七八九十一二三四"));
    EXPECT_NE(m.at(0).text.find("<f 0>abcdefghijklm</f>"), std::string::npos);
    EXPECT_NE(m.at(1).text.find("<f 0>abcdefghij...</f>"), std::string::npos);
    EXPECT_NE(m.at(2).text.find("<f 0>一二三四五六七八九十...</f>"), std::string::npos);
}

TEST(UserListView, HeadlessViewFollowsEveryChange) {
    CHeadlessView view(nullptr);
    CRoomUserListModel m;
    m.SetObserver(&view.UserListView());
    RoomUser a = User(1, 1, 20, "ann"), b = User(2, 2, 20, "bob");
    m.AddUser(a);
    m.AddUser(b);
    ASSERT_EQ(view.UserLines().size(), 2u);
    EXPECT_EQ(view.UserLines()[0], "bob");
    a.wealthGrade = 3;
    m.UpdateWealthGrade(a);
    EXPECT_EQ(view.UserLines()[0], "ann");
    EXPECT_TRUE(m.RemoveUser(1));
    EXPECT_FALSE(m.RemoveUser(1));
    EXPECT_EQ(view.UserLines(), std::vector<std::string>{"bob"});
    m.Clear();
    EXPECT_TRUE(view.UserLines().empty());
    EXPECT_EQ(m.IndexOf(2), -1);
}
