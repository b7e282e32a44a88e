// What the room sees of a member. The card and the nickname come from the
// server's own tables (accounts, recorded spending, VIP memberships,
// profiles), so nobody can appear richer, a VIP, someone else, or with
// pictures from elsewhere; and the member list goes out in notifications
// that always fit.
#include <algorithm>
#include <string>

#include "net/catalogue_room.h"
#include "server/room_handler.h"
#include "server/room_wire.h"

namespace server {

namespace {

// What a client keeps of a nickname and of a passed-on card text: its
// records hold 64 bytes with the NUL.
constexpr std::size_t kMaxNicknameBytes = 63;
constexpr std::size_t kMaxPassedTextBytes = 63;
constexpr std::size_t kMaxUrlBytes = 255;

// The longest prefix within `max` bytes that does not split a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

}  // namespace

std::string CRoomHandler::RoomNickname(const std::string& account, std::uint32_t user) {
    if (account.empty()) return std::to_string(user);
    return CutUtf8(account, kMaxNicknameBytes);
}

msg::user_card CRoomHandler::CardOf(std::uint32_t user, std::uint8_t sex,
                                    const msg::user_card& claimed, std::int64_t now) {
    msg::user_card card;
    if (std::string head = accounts_.GetProfile(user).headUrl; head.size() <= kMaxUrlBytes)
        card.head_url = std::move(head);
    // The byte that picks the woman's or the man's vest.
    card.profile_byte = sex;
    const WealthGrade& grade = GradeForSpending(accounts_.TotalSpent(user));
    card.wealth_grade = grade.grade;
    card.wealth_colour = grade.colour;
    card.wealth_text = grade.text;
    // The grade's medal on the picture service, without a host: readers ask
    // the one they reach the services at, never one a sender names.
    card.medal_url = "/wealth/" + std::to_string(grade.grade) + ".png";
    for (const VipEntry& v : accounts_.Vips(user, now)) card.vip_level = std::max(card.vip_level, v.level);
    // Passed on as the client wrote them: nothing shows them.
    if (claimed.text2.size() <= kMaxPassedTextBytes) card.text2 = claimed.text2;
    if (claimed.text4.size() <= kMaxPassedTextBytes) card.text4 = claimed.text4;
    card.value14 = claimed.value14;
    return card;
}

void CRoomHandler::Member::Encode(std::uint32_t user) {
    msg::Control_Room_UserList_Notify one;
    msg::user_block& b = one.users.emplace_back();
    b.user_id = user;
    b.nickname = nickname;
    b.role = role;
    b.gagged = gagged ? 1 : 0;
    b.card = card;
    TLV::body body;
    listItem.clear();
    // Not reached: members' nicknames and cards are capped at login.
    if (!wire::write_fields(body, one)) {
        log_err("room: user %u does not fit a user list", user);
        return;
    }
    const unsigned char* bytes = nullptr;
    std::size_t n = 0;
    body.encode(bytes, n);
    listItem.assign(reinterpret_cast<const char*>(bytes), n);
}

void CRoomHandler::SendUserList(const SessionPtr& s, const std::map<std::uint32_t, Member>& members) {
    // A list is its users' items one after another: the members' own
    // encodings, joined up to the packet size.
    std::string part;
    bool sent = false;
    for (const auto& [id, m] : members) {
        if (m.listItem.empty()) continue;
        if (!part.empty() && part.size() + m.listItem.size() > kUserListPacketBytes) {
            s->Send(kRoomChatChannel, msg::Control_Room_UserList_Notify::id, part);
            sent = true;
            part.clear();
        }
        part += m.listItem;
    }
    if (!part.empty() || !sent) s->Send(kRoomChatChannel, msg::Control_Room_UserList_Notify::id, part);
}

}  // namespace server
