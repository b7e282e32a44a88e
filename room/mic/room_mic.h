#pragma once
// Who speaks in the room: the anchor microphone (one holder, asked of the
// chat server), free-speech turns (asked of the media server, by button or
// by holding the talk key), and the microphone queue that gives turns in
// queue mode: its buttons, its list, the head's countdown and the answers.
// The server decides; the checks here only spare a request it would refuse
// and say why in the user's words.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "platform/keys/key_state.h"
#include "room/mic/key_watcher.h"
#include "room/mic/mic_audio.h"
#include "room/mic/mic_queue.h"
#include "room/room_session.h"

namespace room_timer {
inline constexpr unsigned kTalkStop = 205;        // ends a key-held turn left running
inline constexpr unsigned kQueueCountdown = 212;  // the queue head's seconds
inline constexpr unsigned kKeyPoll = 1281;        // the talk key's poll
}  // namespace room_timer

// The talk key's edges, posted to the room window: wParam 1 down, 0 up;
// lParam the key.
inline constexpr unsigned UM_TALK_KEY = 1735;

class CRoomMic : public IRoomFeature {
public:
    // A key-held turn longer than this is taken for a release we missed.
    static constexpr unsigned kKeyHeldLimitMs = 5 * 60 * 1000;

    struct Setup {
        IKeyState* keys = nullptr;    // no poll without one (headless: "/key")
        IMicAudio* audio = nullptr;   // logged only without one
        // Posts a key edge as UM_TALK_KEY to the window; unset: handled at once.
        std::function<void(bool down, unsigned virtualKey)> postKey;
        unsigned talkKey = keys::kDefaultTalkKey;
    };

    // Construct after session.Start(); adds itself to the session.
    CRoomMic(CRoomSession& session, Setup setup);
    ~CRoomMic() override;
    CRoomMic(const CRoomMic&) = delete;
    CRoomMic& operator=(const CRoomMic&) = delete;

    enum class Result {
        sent,
        not_in_room,  // tip "请先进入房间"
        refused,      // a local check failed; its tip is shown
        ignored,      // nothing to do (a turn already runs, not mine to stop…)
        not_sent,     // the connection refused it: tip, nothing changes
    };

    // bnt_AnchorOpen / bnt_AnchorClose.
    Result OpenAnchor();
    Result CloseAnchor();
    // bnt_keyspeaker: starts a free turn, or stops the running one.
    Result ToggleFreeSpeech();
    Result StartFreeSpeech(bool byKey);
    void StopFreeSpeech();
    // The talk key went down or up (message 1735).
    void OnTalkKey(bool down);
    // A new talk key from the settings: watched instead, and named on the button.
    void SetTalkKey(unsigned virtualKey);
    // My video broadcast: while on, the talk key is ignored.
    void SetVideoOn(bool on) { videoOn_ = on; }

    // The queue panel's buttons.
    Result Rob();
    Result Put();
    Result Control(bool controlled);
    Result Disable(bool forbidden);
    // The queue menu's entries (no local checks: the server decides).
    Result Top(std::uint32_t target);
    Result AddTime(std::uint32_t target);
    Result Remove(std::uint32_t target);
    Result RemoveAll();
    // The user menu's "give the microphone".
    Result SetUserMic(std::uint32_t target);

    // State, for views and tests.
    bool micOpen() const { return micOpen_; }
    bool freeSpeech() const { return freeSpeech_; }
    bool keyHeld() const { return keyHeld_; }
    std::uint32_t micOpenTick() const { return micOpenTick_; }
    const CMicQueue& queue() const { return queue_; }
    bool Speaking(std::uint32_t userId) const { return speaking_.count(userId) != 0; }
    // "anchor", "free" or "off".
    const char* MicState() const;
    // The queue as one line: "42s controlled=0 forbidden=0 | 1.爱丽丝(10001) …".
    std::string QueueSummary() const;

    // IRoomFeature
    bool OnPacket(std::uint32_t command, const unsigned char* body, std::size_t length) override;
    void OnRoomCleared() override;
    void OnTimer(unsigned id) override;
    bool OnWindowMessage(const WindowMessage& m) override;
    bool OnTypedCommand(const std::string& line) override;
    void OnLoggedIn() override;
    void OnMediaLoggedIn() override;
    void OnAnchorChanged(std::uint32_t anchorId) override;
    void OnSpeakers(std::uint32_t userId, bool speaking) override;
    void OnRoomModeShown(std::uint32_t mode) override;
    void OnRoleChanged(std::uint32_t userId) override;

private:
    Result Refuse(Result r, const char* tip);
    template <class Req>
    Result SendQueueRequest(const Req& req);
    void SendMixOpen(bool anchor);
    void ReleaseAnchor();
    void EndFreeTurn();
    void ShowTalkLabel();
    void SetSpeaking(std::uint32_t userId, bool speaking);

    // Queue view.
    MicQueueLine LineFor(std::size_t index) const;
    void ShowQueue();
    void ShowQueueButtons();
    void ShowSwitches();
    void ReportQueue();

    void OnOpenMicResp(const unsigned char* body, std::size_t length);
    void OnCloseMicResp(const unsigned char* body, std::size_t length);
    void OnMixOpenMicResp(const unsigned char* body, std::size_t length);
    void OnSetUserMicResp(const unsigned char* body, std::size_t length);
    void OnWheatList(const unsigned char* body, std::size_t length);
    void OnQueueResp(std::uint32_t command, const unsigned char* body, std::size_t length);

    CRoomSession& session_;
    IMicAudio& audio_;
    CLoggedMicAudio loggedAudio_;
    std::function<void(bool, unsigned)> postKey_;
    std::unique_ptr<CKeyWatcher> watcher_;
    unsigned talkKey_;

    bool micOpen_ = false;
    std::uint32_t micOpenTick_ = 0;
    bool freeSpeech_ = false;
    bool keyHeld_ = false;
    bool videoOn_ = false;
    CMicQueue queue_;
    std::set<std::uint32_t> speaking_;
};
