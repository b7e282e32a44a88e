#pragma once
// The anchor's presence check. A clock-in ("打卡") starts a 20-minute cycle;
// at a random moment 5 to 15 minutes into each cycle the room asks the
// anchor to sign in ("签到") and leaves five minutes to do it. Only role 7
// sees the controls and runs the cycle; the cycle is kept in "sign.dat" so
// that entering a room again picks it up where it was.

#include <cstdint>
#include <functional>
#include <string>

#include "room/chat_transfers.h"
#include "room/room_session.h"

namespace anchor_sign {
inline constexpr std::uint8_t kAnchorRole = 7;
inline constexpr unsigned kCycleTimer = 208;      // every 20 minutes: a new prompt time
inline constexpr unsigned kPromptTimer = 209;     // the prompt is due
inline constexpr unsigned kCountdownTimer = 210;  // 1 s ticks while the prompt waits
inline constexpr unsigned kCycleMs = 1'200'000;
inline constexpr int kCycleSeconds = 1200;
inline constexpr int kCountdownSeconds = 300;
inline constexpr int kMinWaitSeconds = 300;
inline constexpr int kMaxWaitSeconds = 900;
// Answers of the check-in service to the room window.
inline constexpr unsigned UM_CLOCK_IN_DONE = 1748;
inline constexpr unsigned UM_SIGN_IN_DONE = 1749;
// Longest URL the services take; a longer one is a failure, never cut.
inline constexpr std::size_t kMaxUrl = 255;

// A wait in seconds within 300–900 from draws of `draw` (a generator seeded
// per process by default): each draw is taken mod 1200 until one lands in
// range.
int DrawWaitSeconds(const std::function<int()>& draw);

// "http://host:port/<route>?kampoId=…&roomId=…&nickname=…", the nickname
// percent-encoded; empty when it would be longer than kMaxUrl.
std::string ServiceUrl(const std::string& route, std::uint32_t userId, std::uint32_t roomId,
                       const std::string& nickname);
}  // namespace anchor_sign

class CAnchorSign : public IRoomFeature {
public:
    using DrawFn = std::function<int()>;

    // Adds itself to the session. `http` posts the requests (the HTTP
    // helper in the program); `draw` gives the raw numbers of the waits.
    CAnchorSign(CRoomSession& session, IHttpStarter& http, DrawFn draw = {});
    ~CAnchorSign() override;
    CAnchorSign(const CAnchorSign&) = delete;
    CAnchorSign& operator=(const CAnchorSign&) = delete;

    enum class Result { sent, not_anchor, not_started };
    // bnt_card.
    Result ClockIn();
    // bnt_sign, or the sign dialog's confirm (`fromDialog`).
    Result SignIn(bool fromDialog = false);

    bool cycleRunning() const { return cycleRunning_; }
    int waitSeconds() const { return waitSeconds_; }
    // Seconds left to sign in; 0 while no prompt waits.
    int secondsLeft() const { return promptActive_ ? anchor_sign::kCountdownSeconds - counter_ : 0; }

    // IRoomFeature
    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    void OnTimer(unsigned id) override;
    // UM_CLOCK_IN_DONE and UM_SIGN_IN_DONE.
    bool OnWindowMessage(const WindowMessage& m) override;
    // "/card" and "/sign".
    bool OnTypedCommand(const std::string& line) override;
    void OnLoggedIn() override;
    void OnRoleChanged(std::uint32_t userId) override;
    void OnRoomCleared() override;

private:
    bool IsAnchor() const;
    // Controls shown and the cycle resumed for role 7; everything stopped
    // and hidden otherwise.
    void Evaluate();
    void Stop();
    void ResumeCycle();
    void StartPromptWait();
    void OnPromptDue();
    // The sign dialog was confirmed.
    void ConfirmPrompt();
    void OnCountdownTick();
    void EndPrompt();
    bool Post(const char* route, unsigned message);
    void OnClockInAnswer(const WindowMessage& m);
    void OnSignInAnswer(const WindowMessage& m);

    CRoomSession& session_;
    IHttpStarter& http_;
    DrawFn draw_;
    bool cycleRunning_ = false;
    // Timer 208 was armed for the rest of a resumed cycle: it goes back to
    // the full period when it fires.
    bool cycleRearm_ = false;
    bool promptActive_ = false;
    int counter_ = 0;
    int waitSeconds_ = 0;
};
