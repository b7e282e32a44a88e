#pragma once
// Moderation in the room: gag and un-gag, kick, give a role for some days and
// switch the room mode, each checked against my powers before it is sent;
// the server's answers and the notifies that make the change for everyone;
// the headless commands that do the same from typed lines. Gag and cancel-gag
// cards from my pack do the same without a power (room_cards.cpp).

#include <cstdint>
#include <functional>
#include <string>

#include "room/room_account.h"
#include "room/room_pack.h"
#include "room/room_session.h"

// Longest kick: ten years, the dialog's "永 久".
inline constexpr std::uint32_t kKickForeverSeconds = 315360000;
// Days a role is given for, at most; the longest choice of the role dialog.
inline constexpr std::int64_t kMaxRoleDays = 6000;
inline constexpr std::uint32_t kMinutesPerDay = 1440;

class CRoomModeration : public IRoomFeature {
public:
    // Construct after session.Start(); adds itself to the session. The
    // account uses the cards and lists my pack.
    CRoomModeration(CRoomSession& session, IRoomAccount& account);
    ~CRoomModeration() override;
    CRoomModeration(const CRoomModeration&) = delete;
    CRoomModeration& operator=(const CRoomModeration&) = delete;

    enum class Result {
        sent,
        not_in_room,  // tip "请先进入房间"
        no_target,    // the user is not in the room: tip "对方不在房间"
        self,         // not on myself: tip "无权限!"
        already,      // the user is already so, or the mode is the room's: nothing
        no_power,     // tip "无权限!" ("没有权限!" for the mode, which snaps back)
        bad_value,    // days or seconds out of range; over 6000 days: box
        not_sent,     // the chat connection (or the account, for a card) refused it
        no_card,      // no such card with one left in my pack: tip
    };

    Result Gag(std::uint32_t target, const std::string& reason, std::uint32_t option);
    Result CancelGag(std::uint32_t target);
    Result Kick(std::uint32_t target, std::uint32_t seconds, const std::string& reason);
    // Days 1 to 6000, sent as minutes.
    Result SetPower(std::uint32_t target, std::uint8_t role, std::int64_t days);
    // The room-mode selector's entry (0 anchor, 1 free mic, 2 queue).
    Result ChooseRoomMode(int index);
    Result SetRoomMode(std::uint32_t mode);
    // A card from my pack on a user of the room: a gag card on another user
    // not gagged yet, a cancel-gag card on a gagged user, me included. The
    // effect comes as the gag notifies; the account's answer as UM_PROP_USED.
    Result UseGagCard(std::uint32_t target);
    Result UseCancelGagCard(std::uint32_t target);
    const CRoomPack& pack() const { return pack_; }
    // Told after each pack answer that listed my pack (the pack view follows).
    void SetOnPackListed(std::function<void()> f) { onPackListed_ = std::move(f); }

    // IRoomFeature
    bool OnPacket(std::uint32_t command, const unsigned char* body, std::size_t length) override;
    bool OnTypedCommand(const std::string& line) override;
    // My pack (UM_PACK_LIST) and a card's result (UM_PROP_USED).
    bool OnWindowMessage(const WindowMessage& m) override;
    // A room's login: my pack is asked for again, so the cards offered are
    // the ones I hold now.
    void OnLoggedIn() override;

private:
    Result Refuse(Result r, const char* noPowerTip = "无权限!");
    Result CheckTarget(std::uint32_t target, std::uint16_t power, const RoomUser** user);
    void ReportUser(const RoomUser& u);

    void OnGagResp(const unsigned char* body, std::size_t length);
    void OnCancelGagResp(const unsigned char* body, std::size_t length);
    void OnKickResp(const unsigned char* body, std::size_t length);
    void OnSetPowerResp(const unsigned char* body, std::size_t length);
    void OnSetRoomModeResp(const unsigned char* body, std::size_t length);
    void OnMediaRoomMode(const unsigned char* body, std::size_t length);
    void OnGagNotify(const unsigned char* body, std::size_t length, bool gagged);
    void OnPowerNotify(const unsigned char* body, std::size_t length);
    void OnRoomModeNotify(const unsigned char* body, std::size_t length);
    void OnKickNotify(const unsigned char* body, std::size_t length);

    Result UseCard(std::uint32_t target, std::uint32_t prop);
    void OnPropUsed(const WindowMessage& m);

    CRoomSession& session_;
    IRoomAccount& account_;
    CRoomPack pack_;
    // The kick's answer names nobody; its log line names whom this client kicked.
    std::uint32_t kickTarget_ = 0;
    std::function<void()> onPackListed_;
};
