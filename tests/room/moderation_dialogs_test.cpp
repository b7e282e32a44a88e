// The reason and role dialogs without windows: the reason as the server
// gets it, when OK may be pressed, the kick durations, and which typed days
// are taken.
#include <gtest/gtest.h>

#include "room/moderation_dialogs.h"

using role_days::Outcome;

TEST(KickReasonDialog, TheReasonIsTheChosenOptionsThenTheFreeText) {
    EXPECT_EQ(kick_reason::ComposeReason({"刷屏", "广告"}, "太吵"), "刷屏,广告, : 太吵");
    EXPECT_EQ(kick_reason::ComposeReason({"刷屏"}, ""), "刷屏, : ");
    EXPECT_EQ(kick_reason::ComposeReason({}, "只有说明"), " : 只有说明");

    EXPECT_FALSE(kick_reason::CanConfirm(false, ""));
    EXPECT_TRUE(kick_reason::CanConfirm(true, ""));
    EXPECT_TRUE(kick_reason::CanConfirm(false, "x"));

    EXPECT_EQ(kick_reason::Heading(true, "大卫", 10004), "你对 <c #6464E0>大卫(10004)</c>  进行踢人操作，请选择原因：");
    EXPECT_STREQ(kick_reason::OperationWord(false), "禁言");
}

TEST(KickReasonDialog, TheTimeListRunsFromFiveMinutesToTenYears) {
    const std::pair<const char*, std::uint32_t> expected[] = {
        {"5 分钟", 300}, {"15 分钟", 900}, {"30 分钟", 1800}, {"60 分钟", 3600}, {"永 久", 315360000}};
    ASSERT_EQ(std::size(kick_reason::kDurations), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_STREQ(kick_reason::kDurations[i].label, expected[i].first);
        EXPECT_EQ(kick_reason::DurationSeconds(static_cast<int>(i)), expected[i].second);
    }
    EXPECT_EQ(kick_reason::DurationSeconds(-1), 0u);
    EXPECT_EQ(kick_reason::DurationSeconds(5), 0u);
}

TEST(RoleDaysDialog, FixedChoicesAndTypedDaysFromOneTo6000) {
    EXPECT_EQ(role_days::ForChoice(0, "").days, 6000);
    EXPECT_EQ(role_days::ForChoice(1, "abc").days, 90) << "the typed text counts only for the last choice";
    EXPECT_EQ(role_days::ForChoice(2, "").days, 30);
    EXPECT_EQ(role_days::ForChoice(4, "30").status, Outcome::Status::invalid);

    struct Case {
        const char* typed;
        Outcome::Status status;
        std::int64_t days;
    };
    const Case cases[] = {
        {"1", Outcome::Status::ok, 1},
        {"30", Outcome::Status::ok, 30},
        {" 45 ", Outcome::Status::ok, 45},
        {"6000", Outcome::Status::ok, 6000},
        {"006000", Outcome::Status::ok, 6000},
        {"6001", Outcome::Status::too_many, 0},
        {"99999999999999999999999", Outcome::Status::too_many, 0},
        {"0", Outcome::Status::invalid, 0},
        {"", Outcome::Status::invalid, 0},
        {"  ", Outcome::Status::invalid, 0},
        {"-1", Outcome::Status::invalid, 0},
        {"+5", Outcome::Status::invalid, 0},
        {"3.5", Outcome::Status::invalid, 0},
        {"三十", Outcome::Status::invalid, 0},
        {"1 0", Outcome::Status::invalid, 0},
    };
    for (const Case& c : cases) {
        const Outcome o = role_days::ForChoice(role_days::kTypedChoice, c.typed);
        EXPECT_EQ(o.status, c.status) << '"' << c.typed << '"';
        EXPECT_EQ(o.days, c.days) << '"' << c.typed << '"';
    }
    EXPECT_STREQ(role_days::ParseTyped("6001").Refusal(), "天数不能大于6000天");
    EXPECT_STREQ(role_days::ParseTyped("0").Refusal(), role_days::kInvalidText);
    EXPECT_EQ(role_days::ParseTyped("7").Refusal(), nullptr);
}
