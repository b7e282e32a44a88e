#include "platform/winmsg/message_target.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimerEvent>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <unordered_map>

namespace {

const QEvent::Type kPostedType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kSentType = static_cast<QEvent::Type>(QEvent::registerEventType());

// A posted message owns its payload; Qt deletes pending events of a
// destroyed receiver, which frees the payload with them.
class CPostedEvent : public QEvent {
public:
    CPostedEvent(const WindowMessage& m, std::unique_ptr<CMessageData> data)
        : QEvent(kPostedType), msg(m), payload(std::move(data)) {
        msg.data = payload.get();
    }
    WindowMessage msg;
    std::unique_ptr<CMessageData> payload;
};

struct SendState {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::intptr_t result = 0;
    void Finish(std::intptr_t r) {
        {
            std::lock_guard<std::mutex> g(m);
            if (done) return;
            done = true;
            result = r;
        }
        cv.notify_all();
    }
};

// A sent message whose window dies before handling it still wakes the sender.
class CSentEvent : public QEvent {
public:
    CSentEvent(const WindowMessage& m, std::shared_ptr<SendState> s)
        : QEvent(kSentType), msg(m), state(std::move(s)) {}
    ~CSentEvent() override { state->Finish(0); }
    WindowMessage msg;
    std::shared_ptr<SendState> state;
};

std::mutex& RegistryLock() {
    static auto* m = new std::mutex;
    return *m;
}
std::unordered_map<HWND, CMessageTarget*>& Registry() {
    static auto* r = new std::unordered_map<HWND, CMessageTarget*>;
    return *r;
}
std::atomic<HWND> g_nextHandle{0x1000};

}  // namespace

class CQtMessageRouter : public IMessageRouter {
public:
    bool Post(HWND target, WindowMessage m, std::unique_ptr<CMessageData> data) override {
        std::lock_guard<std::mutex> g(RegistryLock());
        auto it = Registry().find(target);
        if (it == Registry().end()) return false;  // payload freed by the caller's unique_ptr
        QCoreApplication::postEvent(it->second, new CPostedEvent(m, std::move(data)));
        return true;
    }

    std::intptr_t Send(HWND target, const WindowMessage& m) override {
        CMessageTarget* t = nullptr;
        auto state = std::make_shared<SendState>();
        {
            std::lock_guard<std::mutex> g(RegistryLock());
            auto it = Registry().find(target);
            if (it == Registry().end()) return 0;
            t = it->second;
            if (t->thread() != QThread::currentThread()) {
                QCoreApplication::postEvent(t, new CSentEvent(m, state));
                t = nullptr;
            }
        }
        if (t) return t->Deliver(m);  // same thread: no queue, as a direct call
        std::unique_lock<std::mutex> lock(state->m);
        state->cv.wait(lock, [&] { return state->done; });
        return state->result;
    }

    bool IsWindow(HWND target) override {
        std::lock_guard<std::mutex> g(RegistryLock());
        return Registry().count(target) != 0;
    }
};

void InstallQtMessageRouter() {
    static CQtMessageRouter router;
    SetMessageRouter(&router);
}

CMessageTarget::CMessageTarget() : handle_(g_nextHandle.fetch_add(1)) {
    std::lock_guard<std::mutex> g(RegistryLock());
    Registry()[handle_] = this;
}

CMessageTarget::~CMessageTarget() {
    std::lock_guard<std::mutex> g(RegistryLock());
    Registry().erase(handle_);
    // ~QObject then drops this object's pending events, freeing their payloads.
}

bool CMessageTarget::event(QEvent* e) {
    if (e->type() == kPostedType) {
        OnMessage(static_cast<CPostedEvent*>(e)->msg);
        return true;
    }
    if (e->type() == kSentType) {
        auto* s = static_cast<CSentEvent*>(e);
        s->state->Finish(OnMessage(s->msg));
        return true;
    }
    return QObject::event(e);
}

void CMessageTarget::SetTimer(unsigned id, unsigned periodMs) {
    if (thread() != QThread::currentThread()) {
        QMetaObject::invokeMethod(this, [this, id, periodMs] { SetTimer(id, periodMs); },
                                  Qt::QueuedConnection);
        return;
    }
    KillTimer(id);
    const int qtId = startTimer(static_cast<int>(periodMs == 0 ? 1 : periodMs));
    if (qtId != 0) timers_[id] = qtId;
}

void CMessageTarget::KillTimer(unsigned id) {
    if (thread() != QThread::currentThread()) {
        QMetaObject::invokeMethod(this, [this, id] { KillTimer(id); }, Qt::QueuedConnection);
        return;
    }
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    killTimer(it->second);
    timers_.erase(it);
}

void CMessageTarget::timerEvent(QTimerEvent* e) {
    for (const auto& [id, qtId] : timers_) {
        if (qtId == e->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QObject::timerEvent(e);
}
