#pragma once
// What the two moderation dialogs decide, without their windows: the
// reason dialog (kick or gag) composes the reason and offers the kick
// durations; the role dialog turns its choice into a number of days.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kick_reason {

struct Duration {
    const char* label;
    std::uint32_t seconds;
};
// The kick dialog's time list, in its order; the last is "for ever" (ten
// years).
inline constexpr Duration kDurations[] = {
    {"5 分钟", 300}, {"15 分钟", 900}, {"30 分钟", 1800}, {"60 分钟", 3600}, {"永 久", 315360000}};
inline constexpr int kReasonOptions = 6;
inline constexpr char kFreeTextPrompt[] = "请输入具体原因:";
inline constexpr std::uint32_t kPromptColour = 0x808080;

// "踢人" or "禁言".
const char* OperationWord(bool kick);
// The dialog's heading, in label markup.
std::string Heading(bool kick, const std::string& nickname, std::uint32_t userId);
// Each chosen option followed by ",", then " : ", then the free text.
std::string ComposeReason(const std::vector<std::string>& chosenOptions, std::string_view freeText);
// OK needs a chosen option or some free text.
bool CanConfirm(bool anyOptionChosen, std::string_view freeText);
// The seconds of a time-list entry; 0 outside the list.
std::uint32_t DurationSeconds(int index);

}  // namespace kick_reason

namespace role_days {

// The role dialog's fixed choices, OptionUI1 to OptionUI3; OptionUI4 takes
// the typed number.
inline constexpr std::int64_t kChoices[] = {6000, 90, 30};
inline constexpr int kTypedChoice = 3;
inline constexpr std::int64_t kMaxDays = 6000;
inline constexpr char kTooManyText[] = "天数不能大于6000天";
inline constexpr char kInvalidText[] = "请输入1到6000之间的天数";
inline constexpr char kBoxCaption[] = "提示";

struct Outcome {
    enum class Status { ok, too_many, invalid };
    Status status = Status::invalid;
    std::int64_t days = 0;
    // The box text for a refusal.
    const char* Refusal() const;
};

// A typed number of days: 1 to 6000 is taken; more is refused with the
// 6000-day box; 0, empty, signs and anything not a whole number are
// refused too (0 minutes would store a permanent role, and a negative
// count wraps on the wire).
Outcome ParseTyped(std::string_view typed);
// The days of a choice (0 to 3) with the typed text for the last one.
Outcome ForChoice(int choice, std::string_view typed);

}  // namespace role_days
