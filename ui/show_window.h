#pragma once
// The base of the room's self-painting show windows (the gift banner, the
// car show): a translucent frameless top-level window that takes no input
// and no focus, shows one prepared frame, and has window timers of its own
// unless it is given a timer host (tests drive the timers by hand).

#include <QImage>
#include <QRect>
#include <QWidget>

#include <memory>

#include "core/clock.h"

class CShowWindow : public QWidget {
public:
    ~CShowWindow() override;
    virtual void OnTimer(unsigned id) = 0;
    // What the window shows; scaled to the window when their sizes differ.
    virtual const QImage& Frame() const = 0;

protected:
    CShowWindow(const char* className, ITimerHost* timers);
    ITimerHost& Timers() { return *timers_; }
    // At `place` and shown, or hidden while the room window is not on screen.
    void Present(const QRect& place, bool roomVisible);
    void paintEvent(QPaintEvent* e) override;

private:
    class OwnTimers;
    std::unique_ptr<OwnTimers> ownTimers_;
    ITimerHost* timers_;
};
