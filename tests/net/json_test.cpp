// Reading service answers through the JSON holder: wrong or missing members
// read as nothing, names match whatever their case.
#include <gtest/gtest.h>

#include <string>

#include "net/json.h"

namespace {

TEST(Json, TypedGettersAnswerNothingForWrongOrMissingMembers) {
    const json::value v = json::value::parse(
        R"({"CMD":31008,"Name":"zeri","obj":{"a":1},"list":[1,2,3],"flag":true,"n":null,
            "big":1e300,"neg":-1e300,"frac":2.9,"numtext":"12"})");
    ASSERT_TRUE(v.is_object());
    EXPECT_EQ(v.get_int("CMD"), 31008);
    EXPECT_EQ(v.get_int("cmd"), 31008) << "names match without regard to case";
    EXPECT_EQ(v.get_string("name"), "zeri");
    EXPECT_EQ(v.get_int("missing"), 0);
    EXPECT_EQ(v.get_string("missing"), "");
    EXPECT_EQ(v.get_int("Name"), 0) << "a text is no number";
    EXPECT_EQ(v.get_int("numtext"), 0);
    EXPECT_EQ(v.get_string("CMD"), "") << "a number is no text";
    EXPECT_EQ(v.get_string("n"), "");
    EXPECT_TRUE(v.get_object("OBJ"));
    EXPECT_EQ(v.get_object("OBJ").get_int("A"), 1);
    EXPECT_FALSE(v.get_object("list")) << "an array is no object";
    EXPECT_FALSE(v.get_array("obj"));
    EXPECT_EQ(v.get_array("list").size(), 3u);
    EXPECT_EQ(v.get_array("list").at(2).as_int(), 3);
    EXPECT_FALSE(v.get_array("list").at(3));
    EXPECT_TRUE(v.get_bool("flag"));
    EXPECT_FALSE(v.get_bool("CMD"));
    EXPECT_EQ(v.get_int("big"), INT64_MAX) << "saturates instead of overflowing";
    EXPECT_EQ(v.get_int("neg"), INT64_MIN);
    EXPECT_EQ(v.get_int("frac"), 2);
    EXPECT_DOUBLE_EQ(v.get_double("frac"), 2.9);

    // Walking below nothing stays nothing.
    EXPECT_EQ(v.get("nope").get("deeper").get_string("x"), "");
    EXPECT_EQ(v.get_array("list").get_int("x"), 0);
    EXPECT_EQ(v.size(), 0u) << "an object has no elements";
}

TEST(Json, NotJsonIsNothing) {
    EXPECT_FALSE(json::value::parse(""));
    EXPECT_FALSE(json::value::parse("{\"a\":"));
    EXPECT_FALSE(json::value::parse("nonsense"));
    std::string deep(5000, '[');
    EXPECT_FALSE(json::value::parse(deep)) << "nesting is bounded by the parser";
    // Parsing stops at the given length, even without a NUL after it.
    const char text[] = {'[', '1', ']', 'x'};
    EXPECT_EQ(json::value::parse(std::string_view(text, 3)).size(), 1u);
}

TEST(Json, BuildingAndPrinting) {
    json::value body = json::value::object();
    json::value obj = json::value::object();
    EXPECT_TRUE(obj.set("userId", std::int64_t{1001}));
    EXPECT_TRUE(obj.set("token", "t\"k"));
    EXPECT_TRUE(body.set("CMD", std::int64_t{30008}));
    EXPECT_TRUE(body.set("OBJ", obj));
    EXPECT_TRUE(body.set("cmd", std::int64_t{1})) << "replaces, whatever the case";
    EXPECT_EQ(body.dump(), R"({"CMD":1,"OBJ":{"userId":1001,"token":"t\"k"}})");

    json::value arr = json::value::array();
    EXPECT_TRUE(arr.append(obj));
    EXPECT_FALSE(arr.set("x", std::int64_t{1})) << "an array has no members";
    EXPECT_FALSE(obj.append(arr)) << "an object has no elements";
    json::text_ptr printed = arr.print();
    ASSERT_TRUE(printed);
    EXPECT_STREQ(printed.get(), R"([{"userId":1001,"token":"t\"k"}])");
    EXPECT_FALSE(json::value().print());
}

}  // namespace
