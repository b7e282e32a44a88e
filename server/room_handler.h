#pragma once
// The room relay: what zeri-server does with the packets of the chat
// connection ("pc_chat", channel 1) and the audio/video connection ("pc_av",
// channel 2 video transfer, channel 3 media server).
//
// A chat login is checked against the user's account token and answered
// with a media key; the video and media-server logins carry no token, so
// they are accepted only with the key of the user's live chat login in that
// room. What the room sees of a member (nickname, role, card) comes from the
// server's tables, never from the request. Every refusal is answered with
// the response of the request carrying the server's text (tag 209) and a
// code (tag 208, room_error below).
//
// A chat login lasts as long as the token it was made with: the first packet
// the relay handles after that token's expiry ends it (see EndUserSessions).
//
// Limits: per user (per session before a login) a token bucket for
// requests and another for media data; a session refused too many times in
// a row is closed. The relay server adds the frame and output-buffer limits.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "net/power.h"
#include "net/user_card.h"
#include "server/account_store.h"
#include "server/database.h"
#include "server/rate_limit.h"
#include "server/relay_session.h"
#include "server/video_cache.h"

namespace server {

// Codes of tag 208.
namespace room_error {
inline constexpr std::uint32_t bad_request = 1001;    // missing ids, a user that does not match
inline constexpr std::uint32_t bad_token = 1002;      // unknown, wrong or expired token
inline constexpr std::uint32_t no_room = 1003;
inline constexpr std::uint32_t not_logged_in = 1004;  // media login without a chat login or its key
inline constexpr std::uint32_t too_many = 1005;       // rate limit
inline constexpr std::uint32_t unsupported = 1006;    // a request this server does not serve
inline constexpr std::uint32_t wrong_channel = 1007;  // a command sent on another service's channel
inline constexpr std::uint32_t too_large = 1008;      // a login request or user card over its cap
// Moderation (room_moderation.cpp).
inline constexpr std::uint32_t no_power = 1020;
inline constexpr std::uint32_t not_in_room = 1021;   // the target is not a member of the room
inline constexpr std::uint32_t not_on_self = 1022;
inline constexpr std::uint32_t already = 1023;       // gagged already, or free already
inline constexpr std::uint32_t bad_value = 1024;     // out of range, too wide, too long, unknown role
inline constexpr std::uint32_t kicked = 1025;        // a login while a kick from the room lasts
// Microphones and the mic queue (room_mic.cpp).
inline constexpr std::uint32_t mic_taken = 1026;     // another member holds the anchor microphone
inline constexpr std::uint32_t wrong_mode = 1027;    // not in this room mode
inline constexpr std::uint32_t queue_closed = 1028;  // joining the queue is forbidden
inline constexpr std::uint32_t not_queued = 1029;    // not in the queue, or not at its head
inline constexpr std::uint32_t queue_full = 1030;
inline constexpr std::uint32_t voices_full = 1031;   // two members already speak
}  // namespace room_error

// Caps on what a login may carry. A card of the client's own making is at
// most ~800 bytes (two URLs of 255 bytes and a few short texts).
inline constexpr std::size_t kMaxCardBytes = 1024;
inline constexpr std::size_t kMaxLoginBytes = 2048;
// A user list longer than this goes out as several notifications.
inline constexpr std::size_t kUserListPacketBytes = 32 * 1024;

struct RoomLimits {
    double requestsPerSecond = 10;  // requests of one user, all connections together
    double requestBurst = 30;
    double mediaPerSecond = 200;    // audio and video data packets of one user
    double mediaBurst = 400;
    std::uint32_t closeAfterRefusals = 200;  // refused in a row: the session is closed
};

class CRoomHandler : public IRelayHandler {
public:
    CRoomHandler(CServerDb& db, CAccountStore& accounts, IClock& clock, RoomLimits limits = {});

    bool OnHello(const SessionPtr& s, const std::string& name, std::string& reason) override;
    void OnPacket(const SessionPtr& s, std::uint8_t channel, std::uint32_t command,
                  const unsigned char* body, std::size_t length) override;
    void OnClosed(const SessionPtr& s) override;

    // Closes every session (shutdown).
    void CloseAll();
    // Ends every relay session of the user (signing out): the chat session
    // hears Control_Login_Other_Notify kind 2, as when the account signs in
    // elsewhere, and is closed with the audio/video sessions bound to the
    // user. Thread-safe.
    void EndUserSessions(std::uint32_t user);

    // What the relay knows right now (tests, admin).
    std::size_t SessionCount();
    // Sessions that have ended since the start.
    std::uint64_t SessionsEnded() const { return ended_; }
    bool ChatIn(std::uint32_t user, std::uint32_t room);
    bool VideoIn(std::uint32_t user, std::uint32_t room);
    bool MixIn(std::uint32_t user, std::uint32_t room);
    std::size_t MemberCount(std::uint32_t room);
    // Members of every room with any, under one look at the rooms.
    std::unordered_map<std::uint32_t, std::size_t> MemberCounts();
    std::uint64_t RateRefusals();
    // Marks a member gagged or free to chat (moderation; room_chat.cpp).
    // False when the user is not in that room.
    bool SetGagged(std::uint32_t room, std::uint32_t user, bool gagged);
    // A gag, or its end, paid for with a card (prop_service.cpp): stored,
    // logged and told to every member as a gag by power is, but without a
    // power, and a cancel-gag card may free its own user. `spend` runs in
    // the transaction that stores the change; when it fails nothing is
    // stored or told. Thread-safe (room_moderation.cpp).
    enum class CardUse {
        done,
        caller_not_in_room,
        target_not_in_room,
        on_self,   // a gag card on its own user
        already,   // gagged already (gag card), or not gagged (cancel-gag card)
        not_spent, // `spend` refused
        failed,    // the database refused
    };
    CardUse GagByCard(std::uint32_t room, std::uint32_t actor, std::uint32_t target, bool gag,
                      const std::string& detail, const std::function<bool()>& spend);
    // Sends Control_Push_Data_Notify with "TYPE|PAYLOAD" to every member of
    // the room (room_push.cpp). The number of members it went to; nothing
    // when the text cannot travel (a NUL in the payload, a bad type).
    std::optional<std::size_t> PushToRoom(std::uint32_t room, int type, std::string_view payload);
    // Told of every member who enters a room (a chat login that is new to
    // the room), after the room has heard of them. Set before serving.
    void SetOnEntered(std::function<void(std::uint32_t room, std::uint32_t user)> fn) {
        onEntered_ = std::move(fn);
    }
    // Whether a voice message id names a stored message; a chat line that
    // carries an unknown one is refused. Unset: every voice line is refused.
    // Set before serving.
    void SetVoiceKnown(std::function<bool(std::string_view id)> fn) { voiceKnown_ = std::move(fn); }
    // Runs the mic queues' clocks (`now` in seconds, the clock's Now()): a
    // head whose turn is over leaves the queue. Called about once a second.
    void OnTick(std::int64_t now);
    // Who holds the room's anchor microphone (0 = nobody) and the queue, head
    // first (tests, admin).
    std::uint32_t AnchorOf(std::uint32_t room);
    std::vector<std::uint32_t> QueueOf(std::uint32_t room);
    // The members with a free-speech turn (tests, admin).
    std::vector<std::uint32_t> FreeTurnsOf(std::uint32_t room);

    // The voice relay (room_voice.cpp): what it passed on and what it
    // dropped, by why.
    struct VoiceCounts {
        std::uint64_t relayed = 0;   // frames passed on (once per listener)
        std::uint64_t noSlot = 0;    // from a member holding no microphone
        std::uint64_t badFrames = 0; // not 1–4 whole AAC-LC 22050 Hz mono frames
        std::uint64_t backlog = 0;   // skipped for a listener that has not drained
    };
    VoiceCounts VoiceCounters();

    // The video relay (room_video.cpp): what it passed on and what it
    // dropped, by why.
    struct VideoCounts {
        std::uint64_t relayed = 0;    // pieces passed on live (once per viewer)
        std::uint64_t notAnchor = 0;  // from no video login, or not the anchor's
        std::uint64_t badFrames = 0;  // a header word or size no frame can have
        std::uint64_t held = 0;       // pieces not sent to a viewer that fell behind
        std::uint64_t caughtUp = 0;   // cached pieces sent to viewers at their login
    };
    VideoCounts VideoCounters();
    // Bytes of the room's anchor's video kept for newcomers (tests, admin).
    std::size_t VideoCacheBytes(std::uint32_t room);
    // A free turn ends after this long without voice: there is no request
    // that closes one.
    static constexpr std::uint32_t kFreeTurnSilenceMs = 3000;
    // A listener with more unsent than this hears no voice until it drains.
    static constexpr std::size_t kVoiceBacklogBytes = 64 * 1024;
    static constexpr std::size_t kMaxVoiceBytes = 2048;
    static constexpr int kMaxVoiceFrames = 4;

private:
    enum class Kind { chat, av };
    // A user in a room as the others see them.
    struct Member {
        std::uint64_t session = 0;
        std::string nickname;
        std::uint8_t role = 0;
        bool gagged = false;
        msg::user_card card;
        // This member as one item of a user list, encoded when the member
        // joins or changes, so a newcomer's list is copied, not encoded.
        std::string listItem;
        void Encode(std::uint32_t user);
    };
    struct Binding {
        std::uint32_t user = 0;
        std::uint32_t room = 0;
        bool live() const { return user != 0; }
    };
    struct Session {
        SessionPtr s;
        Kind kind = Kind::chat;
        Binding chat;   // chat sessions
        Binding video;  // av sessions
        Binding mix;    // av sessions
        std::uint32_t refusedInRow = 0;
        // Video sessions: which of the anchor's frames still go to this
        // viewer; whether a dropped frame of its own was logged yet.
        CViewerGate videoGate;
        bool videoDropLogged = false;
        // Chat sessions: when the login's token expires, and the key that
        // binds this login's media logins to it.
        std::int64_t tokenExpiry = 0;
        std::string mediaKey;
    };
    // Sessions ended under the lock, to be told and closed after it.
    struct Ended {
        std::vector<std::pair<SessionPtr, std::uint32_t>> chat;  // session, user
        std::vector<SessionPtr> av;
    };
    using Index = std::unordered_map<std::uint32_t, std::uint64_t>;  // user -> session id

    // Each handler answers on `channel`; no lock held on entry.
    void ControlLogin(const SessionPtr& s, const unsigned char* body, std::size_t n);
    void ControlLogout(const SessionPtr& s, const unsigned char* body, std::size_t n);
    void RoomInfo(const SessionPtr& s, const unsigned char* body, std::size_t n);
    void VideoLogin(const SessionPtr& s, const unsigned char* body, std::size_t n);
    void VideoLogout(const SessionPtr& s, const unsigned char* body, std::size_t n);
    void MixLogin(const SessionPtr& s, const unsigned char* body, std::size_t n);
    void MixLogout(const SessionPtr& s, const unsigned char* body, std::size_t n);
    // A chat line: checked, then relayed (room_chat.cpp).
    void SendChat(const SessionPtr& s, const unsigned char* body, std::size_t n);
    // Kick, gag, cancel gag, set power and room mode: checked, stored,
    // relayed (room_moderation.cpp).
    void Moderate(const SessionPtr& s, std::uint32_t command, const unsigned char* body,
                  std::size_t n);
    // Under lock_: a gag (or its end) stored with its log line, and whatever
    // `also` writes, in one transaction; false, with nothing kept, when any
    // of it fails. Then TellGag sets the member's flag and tells the room.
    bool StoreGag(std::uint32_t room, std::uint32_t actor, std::uint32_t target, bool gag,
                  const std::string& reason, std::uint32_t option, std::int64_t now,
                  std::string_view action, std::string_view detail,
                  const std::function<bool()>& also = {});
    void TellGag(std::uint32_t room, std::uint32_t targetId, Member& target, bool gag);
    // The anchor microphone and the mic queue: checked, applied, relayed
    // (room_mic.cpp). Mix_Open_Mic_Req comes on the media-server channel.
    void Mic(const SessionPtr& s, std::uint8_t channel, std::uint32_t command,
             const unsigned char* body, std::size_t n);
    // Under lock_: what a newcomer learns of the microphones at login; a
    // member gone (slot and place freed); a member's new role (the slot
    // goes with power 19); the room's new mode (the queue lives in mode 4).
    void MicWelcome(const SessionPtr& s, std::uint32_t room, std::uint8_t mode);
    void MicLeave(std::uint32_t room, std::uint32_t user);
    void MicRoleChanged(std::uint32_t room, std::uint32_t user, std::uint8_t role);
    void MicModeChanged(std::uint32_t room, std::uint8_t mode);
    // One voice packet (Mix_Audio_Data) of a member holding a microphone,
    // checked and passed on to the room's other media logins.
    void Voice(const SessionPtr& s, const unsigned char* body, std::size_t n);
    // One piece of video (Video_Data) of the room's anchor, checked and
    // passed on to the room's other video logins (room_video.cpp).
    void Video(const SessionPtr& s, const unsigned char* body, std::size_t n);
    // Under lock_: a new video login is sent the room's cached video; a new
    // anchor, or the anchor's video login gone, clears it and makes every
    // viewer wait for a keyframe.
    void VideoWelcome(Session& st);
    void VideoAnchorChanged(std::uint32_t room);
    void VideoLoginGone(const Binding& b);
    // Whether the role holds the power in general, or over users of
    // `targetRole` (that role's rule first, else the general one), by the
    // database's rules as they are now.
    bool RoleHasPower(std::uint8_t role, std::uint16_t powerId);
    bool RoleHasPowerOver(std::uint8_t role, std::uint8_t targetRole, std::uint16_t powerId);
    // The card the room sees of a user: the server's tables, plus the
    // client's passed-on fields that show nothing (room_card.cpp).
    msg::user_card CardOf(std::uint32_t user, std::uint8_t sex, const msg::user_card& claimed,
                          std::int64_t now);
    // The nickname the room shows: the account's, cut to what a client
    // keeps; the user id for an account without one.
    static std::string RoomNickname(const std::string& account, std::uint32_t user);
    // The list of the room's members, in as many notifications as it takes.
    static void SendUserList(const SessionPtr& s, const std::map<std::uint32_t, Member>& members);
    // Tells and closes what was ended (no lock held).
    static void Finish(const Ended& ended);

    // Rate check; false when the packet is refused (and answered or dropped).
    bool Admit(const SessionPtr& s, std::uint8_t channel, std::uint32_t command,
               const unsigned char* body, std::size_t n, bool media);

    // Under lock_.
    // Ends a chat login; the room's other members hear of it when `announce`.
    void DropChat(Session& st, bool announce = true);
    // Sends to every member of `room` but `except` (under lock_).
    template <class Msg>
    void Broadcast(std::uint32_t room, std::uint32_t except, const Msg& m);
    void DropMedia(std::uint32_t user, std::uint32_t room);
    void DropBinding(Index& index, Binding Session::*which, Session& st);
    bool MediaAllowed(std::uint32_t user, std::uint32_t room, std::string_view key);
    bool MediaLogin(const SessionPtr& s, Index& index, Binding Session::*which,
                    std::uint32_t user, std::uint32_t room, std::string_view key,
                    std::string& why);
    // Ends the user's chat login and media bindings (room_signout.cpp).
    void EndUser(std::uint32_t user, Ended& ended);
    // Ends the chat logins whose token has expired; one comparison while
    // none has.
    void EndExpired(Ended& ended);
    // 0 = fine, else a room_error code for a logout naming another user.
    std::uint32_t MediaLogout(const SessionPtr& s, Index& index, Binding Session::*which,
                              std::uint32_t user, std::uint32_t room);

    CServerDb& db_;
    CAccountStore& accounts_;
    IClock& clock_;
    const RoomLimits limits_;

    // The power rules as last read, and the database generation they belong to.
    std::mutex powersLock_;
    std::unique_ptr<CPowerTable> powers_;
    std::uint64_t powersGeneration_ = 0;
    // Room records as last read (chat interval, mode…), kept the same way.
    std::optional<RoomRecord> CachedRoom(std::uint32_t room);
    std::mutex roomsLock_;
    std::map<std::uint32_t, std::optional<RoomRecord>> rooms_;
    std::uint64_t roomsGeneration_ = 0;

    std::function<void(std::uint32_t, std::uint32_t)> onEntered_;
    std::function<bool(std::string_view)> voiceKnown_;
    // Whether every voice clip in the line names a stored message.
    bool VoicesKnown(std::string_view line) const;
    std::mutex lock_;
    std::unordered_map<std::uint64_t, Session> sessions_;
    Index chatOf_, videoOf_, mixOf_;
    std::map<std::uint32_t, std::map<std::uint32_t, Member>> members_;  // room -> user -> member
    CRateLimiter requests_;
    CRateLimiter media_;
    std::uint64_t rateRefusals_ = 0;
    // user -> tick of the user's last relayed chat line, for the room's
    // chat interval (room_chat.cpp).
    std::unordered_map<std::uint32_t, std::uint32_t> lastChatTick_;
    // A room's microphones, in memory only: they end with the memberships.
    struct QueueEntry {
        std::uint32_t user = 0;
        std::uint32_t bonus = 0;  // seconds added to the turn before it began
    };
    struct MicState {
        std::uint32_t anchor = 0;        // holder of the anchor microphone
        std::vector<QueueEntry> queue;   // head first
        bool controlled = false;         // the head speaks without a countdown
        bool forbidden = false;          // nobody may join
        std::int64_t headUntil = 0;      // when the head's turn ends (not controlled)
        // Free-speech turns: user -> tick of their grant or last voice.
        std::map<std::uint32_t, std::uint32_t> freeTurns;
        bool empty() const {
            return !anchor && queue.empty() && !controlled && !forbidden && freeTurns.empty();
        }
        // Who else speaks besides `user`: the voices the room hears at once.
        std::size_t VoicesBesides(std::uint32_t user) const;
        std::uint32_t OtherVoice(std::uint32_t user) const;
    };
    // Under lock_: the queue as the room hears it, and telling everyone.
    void SendQueue(std::uint32_t room);
    void SendAnchor(std::uint32_t room);
    template <class Msg>
    void ToAll(std::uint32_t room, const Msg& note);
    void StartTurn(std::uint32_t room, MicState& m, std::int64_t now);
    std::map<std::uint32_t, MicState> mic_;  // room -> microphones
    VoiceCounts voice_;
    std::map<std::uint32_t, CVideoCache> videoCache_;  // room -> its anchor's video
    VideoCounts video_;
    // The earliest token expiry among live chat logins (or earlier).
    std::int64_t nextExpiry_ = INT64_MAX;
    std::atomic<std::uint64_t> ended_{0};
};

}  // namespace server
