#pragma once
// Window timers for the self-painting show windows, which have no skinned
// window base: each timer id calls back with its id on the UI thread.

#include <functional>
#include <utility>

#include "platform/winmsg/message_target.h"

class CShowTimers : public CMessageTarget {
public:
    explicit CShowTimers(std::function<void(unsigned)> onTimer) : onTimer_(std::move(onTimer)) {}

protected:
    std::intptr_t OnMessage(const WindowMessage&) override { return 0; }
    void OnTimer(unsigned id) override { onTimer_(id); }

private:
    std::function<void(unsigned)> onTimer_;
};
