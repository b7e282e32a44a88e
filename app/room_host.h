#pragma once
// The room window as a message target: connection events, packets, account
// answers and timers arrive here on the UI thread and go to the room session.

#include <functional>
#include <memory>
#include <string>

#include "core/clock.h"
#include "platform/winmsg/message_target.h"
#include "room/room_session.h"

// Messages of the room window besides the connection ones.
enum : unsigned {
    UM_EXIT_APPLICATION = 1738,
    UM_ENTER_ROOM = 1757,
    UM_CONSOLE_LINE = 2001,  // a line typed on standard input (std::string payload)
};

class CRoomHost : public CMessageTarget {
public:
    CRoomHost(IRoomView& view, IRoomLink& link, IRoomAccount& account);
    ~CRoomHost() override;
    CRoomSession& session() { return *session_; }
    // Called once the session has exited (the program then quits).
    void SetOnExit(std::function<void()> f) { onExit_ = std::move(f); }
    // Lines typed on standard input (headless).
    void SetOnInputLine(std::function<void(const std::string&)> f) { onInput_ = std::move(f); }

protected:
    std::intptr_t OnMessage(const WindowMessage& m) override;
    void OnTimer(unsigned id) override;

private:
    CSystemClock clock_;
    std::unique_ptr<CRoomSession> session_;
    std::function<void()> onExit_;
    std::function<void(const std::string&)> onInput_;
};
