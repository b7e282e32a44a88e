#pragma once
// Window messages between threads, without Qt: connection sinks, the account
// callback and workers post to a window handle; the UI layer installs the
// router that delivers them on the UI thread (platform/winmsg).
//
// A posted message may carry an owned payload. It is freed after the handler
// returns, or at once when the target window is gone, so nothing leaks and
// nothing is used after its window.

#include <cstdint>
#include <memory>
#include <utility>

using HWND = std::uintptr_t;  // 0 = no window

// Messages to the room window.
enum : unsigned {
    UM_SERVER_PACKET = 1127,
    UM_POWER_LIST = 1125,
    UM_SPEAKER_STATE = 1739,
    UM_CHAT_PROXY_CONNECTED = 1758,
    UM_MSERVER_CONNECTED = 1759,
    UM_AVTRAN_CONNECTED = 1760,
    UM_PROXY_STATUS = 1761,
    // The voice-message player: a playback ended or failed (wParam the
    // clip's key, lParam a VoicePlayEnd).
    UM_VOICE_PLAY_DONE = 1734,
    // The voice file service answered an upload (our own number).
    UM_VOICE_UPLOAD_DONE = 1793,
};

class CMessageData {
public:
    virtual ~CMessageData() = default;
};

template <class T>
class TMessageData : public CMessageData {
public:
    explicit TMessageData(T v) : value(std::move(v)) {}
    T value;
};

struct WindowMessage {
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    CMessageData* data = nullptr;  // owned by the message, valid during the handler

    template <class T>
    T* As() const {
        auto* d = dynamic_cast<TMessageData<T>*>(data);
        return d ? &d->value : nullptr;
    }
};

class IMessageRouter {
public:
    virtual ~IMessageRouter() = default;
    virtual bool Post(HWND target, WindowMessage m, std::unique_ptr<CMessageData> data) = 0;
    virtual std::intptr_t Send(HWND target, const WindowMessage& m) = 0;
    virtual bool IsWindow(HWND target) = 0;
};

// The process's router; nullptr uninstalls. Installed once at start-up.
void SetMessageRouter(IMessageRouter* router);

// Queues the message for the target's thread. False (and the payload freed)
// when there is no such window or no router.
bool PostMessage(HWND target, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam = 0,
                 std::unique_ptr<CMessageData> data = nullptr);

// Runs the target's handler on its thread and waits for the result; called on
// that thread it runs at once. 0 when there is no such window. `data` stays
// the caller's.
std::intptr_t SendMessage(HWND target, unsigned msg, std::uintptr_t wParam,
                          std::intptr_t lParam = 0, CMessageData* data = nullptr);

bool IsWindow(HWND target);
