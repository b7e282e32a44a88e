#pragma once
// Time and timers as the room sees them: injected, so that tests can drive a
// 300-second countdown in microseconds. The Qt event loop provides the real
// timer host (platform/winmsg); CManualTimerHost serves tests and tools.

#include <cstdint>
#include <ctime>
#include <map>

// Milliseconds from a monotonic clock, wrapping like a 32-bit tick count.
std::uint32_t GetTickCount();

class IClock {
public:
    virtual ~IClock() = default;
    virtual std::uint32_t TickMs() = 0;   // monotonic milliseconds
    virtual std::time_t Now() = 0;        // wall clock, seconds since 1970
};

class ITimerSink {
public:
    virtual ~ITimerSink() = default;
    virtual void OnTimer(unsigned id) = 0;
};

// Window timers: SetTimer replaces a timer of the same id.
class ITimerHost {
public:
    virtual ~ITimerHost() = default;
    virtual void SetTimer(unsigned id, unsigned periodMs) = 0;
    virtual void KillTimer(unsigned id) = 0;
};

class CSystemClock : public IClock {
public:
    std::uint32_t TickMs() override { return GetTickCount(); }
    std::time_t Now() override { return std::time(nullptr); }
};

class CManualClock : public IClock {
public:
    explicit CManualClock(std::time_t start = 1'700'000'000) : wallMs_(std::int64_t(start) * 1000) {}
    std::uint32_t TickMs() override { return static_cast<std::uint32_t>(tickMs_); }
    std::time_t Now() override { return static_cast<std::time_t>(wallMs_ / 1000); }
    void AdvanceMs(std::uint64_t ms) {
        tickMs_ += ms;
        wallMs_ += static_cast<std::int64_t>(ms);
    }
    std::uint64_t ElapsedMs() const { return tickMs_; }

private:
    std::uint64_t tickMs_ = 0;
    std::int64_t wallMs_;
};

// Timers that fire only when the test advances the clock, in due order.
class CManualTimerHost : public ITimerHost {
public:
    CManualTimerHost(CManualClock& clock, ITimerSink& sink) : clock_(clock), sink_(sink) {}
    void SetTimer(unsigned id, unsigned periodMs) override;
    void KillTimer(unsigned id) override;
    bool IsSet(unsigned id) const { return timers_.count(id) != 0; }
    unsigned PeriodOf(unsigned id) const;
    // Moves the clock forward by ms, firing every timer that falls due.
    void Advance(std::uint64_t ms);

private:
    struct Timer {
        unsigned period;
        std::uint64_t due;
    };
    CManualClock& clock_;
    ITimerSink& sink_;
    std::map<unsigned, Timer> timers_;
};
