#pragma once
// A window as far as messages and timers go: a QObject living on the UI
// thread with a process-unique handle. Messages posted or sent to the handle
// run OnMessage on the UI thread; window timers run OnTimer there.

#include <QObject>

#include <map>

#include "core/clock.h"
#include "core/message.h"

class CMessageTarget : public QObject, public ITimerHost {
public:
    CMessageTarget();
    ~CMessageTarget() override;

    HWND Handle() const { return handle_; }

    // Window timers. Setting an id again restarts it with the new period.
    // Called from another thread, the change is queued to the UI thread.
    void SetTimer(unsigned id, unsigned periodMs) override;
    void KillTimer(unsigned id) override;

protected:
    virtual std::intptr_t OnMessage(const WindowMessage& m) = 0;
    virtual void OnTimer(unsigned id) { (void)id; }

    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    friend class CQtMessageRouter;
    std::intptr_t Deliver(const WindowMessage& m) { return OnMessage(m); }

    HWND handle_;
    std::map<unsigned, int> timers_;  // our id -> Qt timer id
};

// Installs the Qt router as the process's message router (once, on the UI
// thread, after the QCoreApplication exists).
void InstallQtMessageRouter();
