#pragma once
// The room window as a message target: connection events, packets, account
// answers and timers arrive here on the UI thread and go to the room session.

#include <functional>
#include <memory>

#include "core/clock.h"
#include "platform/winmsg/message_target.h"
#include "room/room_session.h"

// Messages of the room window besides the connection ones.
enum : unsigned {
    UM_EXIT_APPLICATION = 1738,
    UM_ENTER_ROOM = 1757,
};

class CRoomHost : public CMessageTarget {
public:
    CRoomHost(IRoomView& view, IRoomLink& link, IRoomAccount& account);
    ~CRoomHost() override;
    CRoomSession& session() { return *session_; }
    // Called once the session has exited (the program then quits).
    void SetOnExit(std::function<void()> f) { onExit_ = std::move(f); }

protected:
    std::intptr_t OnMessage(const WindowMessage& m) override;
    void OnTimer(unsigned id) override;

private:
    CSystemClock clock_;
    std::unique_ptr<CRoomSession> session_;
    std::function<void()> onExit_;
};
