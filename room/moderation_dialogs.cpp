#include "room/moderation_dialogs.h"

#include <iterator>

#include "room/markup_text.h"

namespace kick_reason {

const char* OperationWord(bool kick) { return kick ? "踢人" : "禁言"; }

std::string Heading(bool kick, const std::string& nickname, std::uint32_t userId) {
    return markup::ReasonPrompt(nickname, userId, OperationWord(kick));
}

std::string ComposeReason(const std::vector<std::string>& chosenOptions, std::string_view freeText) {
    std::string reason;
    for (const std::string& o : chosenOptions) reason += o + ",";
    reason += " : ";
    reason += freeText;
    return reason;
}

bool CanConfirm(bool anyOptionChosen, std::string_view freeText) { return anyOptionChosen || !freeText.empty(); }

std::uint32_t DurationSeconds(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kDurations))) return 0;
    return kDurations[index].seconds;
}

}  // namespace kick_reason

namespace role_days {

const char* Outcome::Refusal() const {
    switch (status) {
        case Status::too_many: return kTooManyText;
        case Status::invalid: return kInvalidText;
        case Status::ok: break;
    }
    return nullptr;
}

Outcome ParseTyped(std::string_view typed) {
    // Blanks around the number are the edit box's, not the person's meaning.
    while (!typed.empty() && typed.front() == ' ') typed.remove_prefix(1);
    while (!typed.empty() && typed.back() == ' ') typed.remove_suffix(1);
    if (typed.empty()) return {};
    std::int64_t v = 0;
    for (char c : typed) {
        if (c < '0' || c > '9') return {};
        // Anything past the limit is "too many"; stop before it can overflow.
        if (v <= kMaxDays) v = v * 10 + (c - '0');
    }
    if (v == 0) return {};
    if (v > kMaxDays) return {Outcome::Status::too_many, 0};
    return {Outcome::Status::ok, v};
}

Outcome ForChoice(int choice, std::string_view typed) {
    if (choice >= 0 && choice < static_cast<int>(std::size(kChoices))) return {Outcome::Status::ok, kChoices[choice]};
    if (choice == kTypedChoice) return ParseTyped(typed);
    return {};
}

}  // namespace role_days
