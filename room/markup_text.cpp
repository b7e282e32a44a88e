#include "room/markup_text.h"

#include <cstdio>

#include "platform/text/text.h"

namespace markup {

std::string NoticeTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char buf[16];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

std::string EntryNotice(const std::string& icon, const std::string& nickname, std::uint32_t userId,
                        const std::string& time) {
    return "<x 4><i " + icon + "><x 4>" + nickname + "(" + std::to_string(userId) +
           ") 进入了房间 " + time;
}

std::string LeaveNotice(const std::string& icon, const std::string& nickname,
                        const std::string& time) {
    return "<x 4><i " + icon + "><x 4>" + nickname + "  离开了房间 " + time;
}

std::string MicQueueEntry(const std::string& speakingIcon, int position,
                          const std::string& vestIcon, const std::string& nickname) {
    return "<c #FFFFFF><f 0><i " + speakingIcon + "><x 4>" + std::to_string(position) +
           ".<x 4><i " + vestIcon + "><x 4>" + nickname + "</f></c>";
}

std::string ListNickname(const std::string& nickname) {
    if (text::Utf16Length(nickname) >= 14) return text::Utf8PrefixUnits(nickname, 10) + "...";
    return nickname;
}

std::string UserListLine(const std::string& vipIcon, const std::string& vestIcon,
                         const std::string& colour, const std::string& nickname,
                         const std::string& gagIcon, const std::string& medalIcon) {
    return "<x 3><i file='" + vipIcon + "'><i file='" + vestIcon + "'><x 5><c " + colour +
           "><f 0>" + ListNickname(nickname) + "</f></c><x 5><i file='" + gagIcon +
           "'><w 65><i file='" + medalIcon + "'>";
}

std::string RoomListName(const std::string& name, const std::string& secondName) {
    return secondName.empty() ? name : name + "(" + secondName + ")";
}

std::string RoomListDescription(const std::string& description) {
    return "<x 2><c #3899a7>" + description + "</c>";
}

std::string RoomListOperation(std::uint32_t roomId, const std::string& icon, std::uint32_t people) {
    return "<x 2><c #3899a7>" + std::to_string(roomId) + "</c> <x 10><i " + icon +
           "><x 5><c #3899a7>" + std::to_string(people) + "</c>";
}

std::string PowerGrantPrompt(const std::string& nickname, std::uint32_t userId,
                             const std::string& power) {
    return "您将给用户 <c #6464E0>" + nickname + "(" + std::to_string(userId) + ")</c> 授予 " +
           power + " 权限;";
}

std::string ReasonPrompt(const std::string& nickname, std::uint32_t userId,
                         const std::string& operation) {
    return "你对 <c #6464E0>" + nickname + "(" + std::to_string(userId) + ")</c>  进行" +
           operation + "操作，请选择原因：";
}

}  // namespace markup
