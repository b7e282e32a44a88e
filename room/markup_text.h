#pragma once
// The one-line texts of the room window in the label markup (x, i, c, f, w
// tags). Arguments are inserted as they are.

#include <cstdint>
#include <ctime>
#include <string>

namespace markup {

// " HH:MM:SS" in local time: the tail of entry and leave notices.
std::string NoticeTime(std::time_t when);
std::string EntryNotice(const std::string& icon, const std::string& nickname, std::uint32_t userId,
                        const std::string& time);
std::string LeaveNotice(const std::string& icon, const std::string& nickname,
                        const std::string& time);
std::string MicQueueEntry(const std::string& speakingIcon, int position,
                          const std::string& vestIcon, const std::string& nickname);
// Nicknames of 14 UTF-16 units or more show as their first 10 and "...".
std::string ListNickname(const std::string& nickname);
std::string UserListLine(const std::string& vipIcon, const std::string& vestIcon,
                         const std::string& colour, const std::string& nickname,
                         const std::string& gagIcon, const std::string& medalIcon);
std::string RoomListName(const std::string& name, const std::string& secondName);
std::string RoomListDescription(const std::string& description);
std::string RoomListOperation(std::uint32_t roomId, const std::string& icon, std::uint32_t people);
std::string PowerGrantPrompt(const std::string& nickname, std::uint32_t userId,
                             const std::string& power);
std::string ReasonPrompt(const std::string& nickname, std::uint32_t userId,
                         const std::string& operation);

}  // namespace markup
