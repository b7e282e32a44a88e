// The role table from the role service's answer: id order, names and
// colours, a repeated role, and answers that must leave the table alone.
#include <gtest/gtest.h>

#include <cstring>

#include "net/json.h"
#include "room/role_table.h"

namespace {

const char* const kGood =
    R"({"CMD":31012,"CODE":0,"OBJ":{"xRole":[)"
    R"({"role":20,"role_name":"游客","color":"#808080","woman_icon":"http://h/vest/20_w.bmp","man_icon":"http://h/vest/20_m.bmp"},)"
    R"({"role":1,"role_name":"室主","color":"#FF8000","woman_icon":"w1","man_icon":"m1"},)"
    R"({"role":7,"role_name":"主播","color":"#6464e0","woman_icon":"w7","man_icon":"m7"}]}})";

std::vector<int> Ids(const IRoleTable& t) {
    std::vector<int> ids;
    for (std::size_t i = 0; i < t.Count(); ++i) ids.push_back(t.At(i)->id);
    return ids;
}

}  // namespace

TEST(RoleTable, AnAnswerListsTheRolesInIdOrderWithNameColourAndPictures) {
    CRoleTable t;
    ASSERT_TRUE(t.LoadAnswer(kGood));
    EXPECT_EQ(Ids(t), (std::vector<int>{1, 7, 20}));
    EXPECT_EQ(t.At(3), nullptr);
    const RoleEntry* owner = t.Find(1);
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner->name, "室主");
    EXPECT_EQ(owner->colour, 0xFF8000u);
    EXPECT_EQ(t.Find(7)->colour, 0x6464E0u) << "lower-case digits read too";
    EXPECT_EQ(t.Find(20)->manIcon, "http://h/vest/20_m.bmp");
    EXPECT_EQ(t.Find(20)->womanIcon, "http://h/vest/20_w.bmp");
    EXPECT_EQ(t.Find(3), nullptr);
}

TEST(RoleTable, ColourTextsReadAfterTheirFirstCharacterKeptTo24Bits) {
    EXPECT_EQ(ParseRoleColour("#FF8000"), 0xFF8000u);
    EXPECT_EQ(ParseRoleColour("xff8000"), 0xFF8000u);
    EXPECT_EQ(ParseRoleColour("#12FF8000"), 0xFF8000u);
    EXPECT_EQ(ParseRoleColour("#FFzz"), 0xFFu) << "digits up to the first non-digit";
    EXPECT_EQ(ParseRoleColour("#"), 0u);
    EXPECT_EQ(ParseRoleColour(""), 0u);
    EXPECT_EQ(ParseRoleColour("FF8000"), 0xF8000u) << "the first character is never a digit of the colour";
}

TEST(RoleTable, TheSameRoleTwiceKeepsTheLaterElementAndANewAnswerReplacesTheOld) {
    CRoleTable t;
    ASSERT_TRUE(t.LoadAnswer(kGood));
    ASSERT_TRUE(t.LoadAnswer(R"({"CMD":31012,"CODE":0,"OBJ":{"xRole":[)"
                             R"({"role":3,"role_name":"管理","color":"#000010"},)"
                             R"({"role":3,"role_name":"管理员","color":"#000020"}]}})"));
    EXPECT_EQ(Ids(t), (std::vector<int>{3}));
    EXPECT_EQ(t.Find(3)->name, "管理员");
    EXPECT_EQ(t.Find(3)->colour, 0x20u);
}

TEST(RoleTable, BadAnswersAreRefusedAndKeepTheTable) {
    const char* const bad[] = {
        "",
        "not json",
        R"([1,2,3])",
        R"({"CMD":31008,"CODE":0,"OBJ":{"xRole":[{"role":5}]}})",  // another command's answer
        R"({"CMD":31012,"CODE":7,"ERROR":"busy","OBJ":{"xRole":[{"role":5}]}})",
        R"({"CMD":31012,"CODE":0})",
        R"({"CMD":31012,"CODE":0,"OBJ":{"xRole":"[]"}})",
        R"({"CMD":31012,"CODE":0,"OBJ":[{"role":5}]})",
        R"({"CMD":31012,"CODE":0,"OBJ":{"xRole":[{"role":5)",  // cut short
    };
    for (const char* text : bad) {
        CRoleTable t;
        ASSERT_TRUE(t.LoadAnswer(kGood));
        EXPECT_FALSE(t.LoadAnswer(text)) << text;
        EXPECT_EQ(Ids(t), (std::vector<int>{1, 7, 20})) << text;
    }
}

TEST(RoleTable, ElementsWithoutAUsableRoleIdAreSkippedTheRestLoads) {
    CRoleTable t;
    ASSERT_TRUE(t.LoadAnswer(R"({"CMD":31012,"CODE":0,"OBJ":{"xRole":[)"
                             R"(7,"x",null,{"role_name":"none"},{"role":"3"},{"role":0},{"role":-1},)"
                             R"({"role":276,"role_name":"wide"},{"role":9,"role_name":"ok"}]}})"));
    // 276 is 0x114: it must not turn into role 20.
    EXPECT_EQ(Ids(t), (std::vector<int>{9}));
    // An empty list is a valid answer: no roles.
    ASSERT_TRUE(t.LoadAnswer(R"({"CMD":31012,"CODE":0,"OBJ":{"xRole":[]}})"));
    EXPECT_EQ(t.Count(), 0u);
}

TEST(RoleTable, TheRequestAsksForTheRolesOfTheUser) {
    const std::string text = RoleListRequest(10004);
    EXPECT_NE(text.find("\n\t\"CMD\":\t30012"), std::string::npos) << "formatted, CMD first: " << text;
    const json::value v = json::value::parse(text);
    EXPECT_EQ(v.get_int("CMD"), 30012);
    EXPECT_EQ(v.get_object("OBJ").get_int("userId"), 10004);
}
