#pragma once
// The room window's logic without any window: the room state, entering and
// leaving rooms, the channel logins (again after every reconnect), the
// membership notifications and the room timers. It runs on the UI thread
// only; it shows through IRoomView and sends through IRoomLink.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/message.h"
#include "net/power.h"
#include "net/room_link.h"
#include "platform/buddy/buddy.h"
#include "room/room_account.h"
#include "room/room_user.h"
#include "room/room_view.h"
#include "room/user_list_model.h"

// A part of the room that handles its own commands (chat, moderation, the
// microphone queue…). The session offers it every packet it does not handle
// itself, and tells it when the room's views are cleared.
class IRoomFeature {
public:
    virtual ~IRoomFeature() = default;
    // True when the packet was this feature's.
    virtual bool OnPacket(std::uint32_t command, const unsigned char* body, std::size_t length) = 0;
    virtual void OnRoomCleared() {}
    virtual void OnTimer(unsigned id) { (void)id; }
    // A window message meant for a feature (HTTP completions). True when
    // it was this feature's.
    virtual bool OnWindowMessage(const WindowMessage& m) {
        (void)m;
        return false;
    }
    // A line typed at the headless input that starts with "/". True when it
    // was this feature's command (sent, refused or answered with its usage).
    virtual bool OnTypedCommand(const std::string& line) {
        (void)line;
        return false;
    }
    // The chat login was answered (again after every reconnect): the room's
    // state is fresh.
    virtual void OnLoggedIn() {}
    // The media-server login was answered.
    virtual void OnMediaLoggedIn() {}
    // The video-transfer login of this room is being sent, and was accepted
    // (both again after every reconnect).
    virtual void OnVideoLoginSent() {}
    virtual void OnVideoLoggedIn() {}
    // The room's anchor changed (0: none).
    virtual void OnAnchorChanged(std::uint32_t anchorId) { (void)anchorId; }
    // A user started (true) or stopped speaking.
    virtual void OnSpeakers(std::uint32_t userId, bool speaking) {
        (void)userId;
        (void)speaking;
    }
    // The room mode was applied to the window (login, notify, refusal).
    virtual void OnRoomModeShown(std::uint32_t mode) { (void)mode; }
    // A user's role changed (the user list is already re-sorted).
    virtual void OnRoleChanged(std::uint32_t userId) { (void)userId; }
    // Fills the user's badges (vest, VIP, medal icons) before the user's line
    // is drawn: on arrival, on a role change and on RedecorateUsers.
    virtual void DecorateUser(RoomUser& u) { (void)u; }
};

namespace room_timer {
inline constexpr unsigned kStatus = 206;      // rates, signal, speaker expiry
inline constexpr unsigned kBillboards = 213;  // wealth billboards
}  // namespace room_timer

// A wealth-grade answer of the account for one user.
struct WealthRecord {
    std::uint32_t grade = 0;
    std::string colour;  // "#RRGGBB"
    std::string text;
    std::string medalUrl;
};

class CRoomSession : public ITimerSink {
public:
    CRoomSession(IRoomView& view, IRoomLink& link, ITimerHost& timers, IClock& clock,
                 IRoomAccount& account);
    ~CRoomSession() override;

    // Once after sign-in: who I am, the friends/history store, the account
    // queries, the power list and the timers. False without a store (the
    // window then exits at once).
    bool Start();

    void EnterRoom(std::uint32_t roomId);
    // `reason` says why the room ended when it was not the user's choice
    // (kicked, signed in elsewhere); it goes to the OnLeft listener.
    void LeaveRoom(const std::string& reason = {});
    void ExitApplication();
    // The window's close button: leaves unless the program is exiting.
    void OnWindowClose();

    // Channel came up: (re)send that channel's login.
    void OnChatConnected();
    void OnMediaConnected();
    void OnAVConnected();
    void OnProxyStatus(std::uint32_t code, const std::string& text);
    // A received packet of any channel.
    void OnServerPacket(std::uint32_t command, const unsigned char* body, std::size_t length);
    // The power-list answer (JSON text).
    void OnPowerList(const std::string& json);
    void OnTimer(unsigned id) override;
    // Features are owned by the caller and must outlive the session's use.
    void AddFeature(IRoomFeature* f) { features_.push_back(f); }
    void RemoveFeature(IRoomFeature* f) { std::erase(features_, f); }
    // Offers a window message to the features; true when one took it.
    bool OnFeatureMessage(const WindowMessage& m);
    // Offers a typed "/" line to the features; true when one took it.
    bool OnTypedCommand(const std::string& line);
    // UM_SPEAKER_STATE: a user started or stopped speaking.
    void OnSpeakerState(std::uint32_t userId, bool speaking);
    // A system notice (gag, mode changes…) as a line of a chat view, in the
    // room's chat style.
    void AppendSystemLine(const std::string& view, const std::string& text);

    // State, for views and tests.
    std::uint32_t roomId() const { return roomId_; }
    std::uint32_t myUserId() const { return me_.userId; }
    std::uint8_t myRole() const { return myRole_; }
    bool gagged() const { return gagged_; }
    bool loggedIn() const { return loggedIn_; }
    bool left() const { return left_; }
    bool loginRefused() const { return loginRefused_; }
    // Told when the server refuses the room being entered (its id and the
    // server's text): a headless client started for one room ends there.
    void SetOnLoginRefused(std::function<void(std::uint32_t room, const std::string& text)> f) {
        onLoginRefused_ = std::move(f);
    }
    // Told after every leave that does not end the program (the room
    // directory shows again), with the reason, if any.
    void SetOnLeft(std::function<void(const std::string& reason)> f) { onLeft_ = std::move(f); }
    bool exiting() const { return exiting_; }
    std::uint32_t roomMode() const { return roomMode_; }
    const std::string& roomName() const { return roomName_; }
    const std::string& announcement() const { return announcement_; }
    std::uint32_t chatIntervalMs() const { return chatIntervalMs_; }
    const std::string& mediaKey() const { return mediaKey_; }
    const std::map<std::uint32_t, RoomUser>& users() const { return users_; }
    const RoomUser& anchor() const { return anchor_; }
    const CRoomUserListModel& userList() const { return userList_; }
    const CPowerTable& powers() const { return powers_; }
    BUDDY_HANDLE buddy() const { return buddy_; }
    const MyAccount& me() const { return me_; }
    const RoomUser& myRecord() const { return myRecord_; }
    IRoomView& view() { return view_; }
    IRoomAccount& account() { return account_; }
    IRoomLink& link() { return link_; }
    IClock& clock() { return clock_; }
    ITimerHost& timers() { return timers_; }
    const std::string& chatFont() const { return chatFont_; }
    void SetGagged(bool g) { gagged_ = g; }
    // Changes told by the server (moderation notifies). A user not in the
    // room is ignored; mine also change my own flags and controls.
    void SetUserGagged(std::uint32_t userId, bool gagged);
    void SetUserRole(std::uint32_t userId, std::uint8_t role);
    // A user's wealth grade as the account last gave it: a user of the room
    // whose grade changed moves in the list; mine also becomes my card's
    // (what my next login and chat lines carry).
    void SetUserWealth(std::uint32_t userId, const WealthRecord& w);
    // Runs every feature's DecorateUser over the room's users again and
    // redraws the lines whose badges changed (an icon arrived).
    void RedecorateUsers();
    // The room mode and its selector (index 0 mode 2, 1 mode 1, 2 mode 4;
    // mode 3 selects nothing).
    void SetRoomMode(std::uint32_t mode);
    void ShowRoomMode();

private:
    // Sending.
    void SendChatLogin();
    void SendVideoLogin();
    void SendMixLogin();
    void SendLogouts(std::uint32_t roomId);

    // Handlers (room_handlers.cpp).
    void OnLoginResp(const unsigned char* body, std::size_t length);
    void OnLogoutResp(const unsigned char* body, std::size_t length);
    void OnRoomInfoResp(const unsigned char* body, std::size_t length);
    void OnVideoLoginResp(const unsigned char* body, std::size_t length);
    void OnMixLoginResp(const unsigned char* body, std::size_t length);
    void OnUserList(const unsigned char* body, std::size_t length);
    void OnUserLogin(const unsigned char* body, std::size_t length);
    void OnUserLogout(const unsigned char* body, std::size_t length);
    void OnLoginOther(const unsigned char* body, std::size_t length);
    void OnAnchor(const unsigned char* body, std::size_t length);
    void OnUserCount(const unsigned char* body, std::size_t length);

    // Helpers.
    void ClearRoomViews();
    void RefreshPeopleCount();
    void ShowRoomName();
    void ShowAnnouncement();
    void AddUser(RoomUser u);
    void Decorate(RoomUser& u);
    RoomUser MakeMe() const;
    static void FillFromCard(RoomUser& u, const msg::user_card& card, bool hasCard,
                      std::int32_t defaultGrade, std::uint32_t defaultValue14);
    void UpdateStatusBar();

    IRoomView& view_;
    IRoomLink& link_;
    ITimerHost& timers_;
    IClock& clock_;
    IRoomAccount& account_;

    MyAccount me_;
    BUDDY_HANDLE buddy_ = nullptr;
    CPowerTable powers_;
    CRoomUserListModel userList_;

    std::uint32_t roomId_ = 0;
    std::uint8_t myRole_ = 0;
    bool gagged_ = false;
    std::uint32_t roomMode_ = 0;
    std::string roomName_;
    std::string announcement_;
    std::string chatFont_;
    RoomUser anchor_;
    RoomUser myRecord_;
    bool loggedIn_ = false;
    bool left_ = false;
    bool loginRefused_ = false;
    std::function<void(std::uint32_t, const std::string&)> onLoginRefused_;
    std::function<void(const std::string& reason)> onLeft_;
    bool exiting_ = false;
    std::uint32_t chatIntervalMs_ = 0;
    std::uint32_t lastChatTick_ = 0;
    // From the chat login's answer; the media logins send it back.
    std::string mediaKey_;
    std::vector<IRoomFeature*> features_;
    std::map<std::uint32_t, RoomUser> users_;
    // Room settings from the room info answer, for the settings dialog.
    std::string infoTexts_[4];
    std::uint32_t infoValues_[4] = {};
};
