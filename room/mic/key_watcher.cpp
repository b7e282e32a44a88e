#include "room/mic/key_watcher.h"

CKeyWatcher::CKeyWatcher(IKeyState& keys, ITimerHost& timers, unsigned timerId, EdgeFn onEdge)
    : keys_(keys), timers_(timers), timerId_(timerId), onEdge_(std::move(onEdge)) {
    timers_.SetTimer(timerId_, kPollMs);
}

CKeyWatcher::~CKeyWatcher() { timers_.KillTimer(timerId_); }

void CKeyWatcher::Register(unsigned virtualKey) {
    key_ = virtualKey;
    // A key already held when it becomes the talk key starts nothing until
    // it is pressed again.
    pressed_ = key_ != 0 && keys_.IsDown(key_);
}

void CKeyWatcher::Poll() {
    if (key_ == 0) return;
    const bool down = keys_.IsDown(key_);
    if (down == pressed_) return;
    pressed_ = down;
    if (onEdge_) onEdge_(down, key_);
}
