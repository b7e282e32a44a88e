#pragma once
// The talk key's watcher: polls the key every 300 ms while the room window
// lives and reports each change, down and up, once. A press and release
// inside one poll go unnoticed; a longer hold makes exactly one turn.

#include <functional>

#include "core/clock.h"
#include "platform/keys/key_state.h"

class CKeyWatcher {
public:
    static constexpr unsigned kPollMs = 300;
    using EdgeFn = std::function<void(bool down, unsigned virtualKey)>;

    // `timerId` is the window timer the poll runs on; its owner forwards the
    // timer to Poll().
    CKeyWatcher(IKeyState& keys, ITimerHost& timers, unsigned timerId, EdgeFn onEdge);
    ~CKeyWatcher();
    CKeyWatcher(const CKeyWatcher&) = delete;
    CKeyWatcher& operator=(const CKeyWatcher&) = delete;

    // Watches another key; the old one is forgotten as if released quietly.
    void Register(unsigned virtualKey);
    unsigned key() const { return key_; }
    void Poll();

private:
    IKeyState& keys_;
    ITimerHost& timers_;
    unsigned timerId_;
    EdgeFn onEdge_;
    unsigned key_ = 0;
    bool pressed_ = false;
};
