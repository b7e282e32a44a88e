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

// Bytes the block adds to a user list (its tag and length included); 0 when
// it cannot be written at all.
std::size_t ListBytes(const msg::user_block& b) {
    TLV::body body;
    if (!wire::write_fields(body, b)) return 0;
    return body.encoded_size() + TLV::body::kHeader;
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

void CRoomHandler::SendUserList(const SessionPtr& s, const std::vector<msg::user_block>& users) {
    msg::Control_Room_UserList_Notify part;
    std::size_t bytes = 0;
    std::size_t parts = 0;
    for (const msg::user_block& b : users) {
        const std::size_t size = ListBytes(b);
        if (size == 0) {
            // Not reached: members' nicknames and cards are capped at login.
            log_err("room: user %u does not fit a user list", b.user_id);
            continue;
        }
        if (!part.users.empty() && bytes + size > kUserListPacketBytes) {
            SendMsg(s, kRoomChatChannel, part.id, part);
            ++parts;
            part.users.clear();
            bytes = 0;
        }
        part.users.push_back(b);
        bytes += size;
    }
    if (!part.users.empty() || parts == 0) SendMsg(s, kRoomChatChannel, part.id, part);
}

}  // namespace server
