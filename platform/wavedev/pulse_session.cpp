#include "platform/wavedev/pulse_session.h"

#include <algorithm>

#include "core/log.h"
#include "platform/wavedev/wavedev.h"

namespace wavedev {

std::shared_ptr<CPulseSession> CPulseSession::Connect(const std::string& server,
                                                      const char* clientName, int timeoutMs,
                                                      std::string& error, int& result) {
    std::shared_ptr<CPulseSession> s(new CPulseSession);
    s->loop_ = pa_threaded_mainloop_new();
    if (s->loop_)
        s->context_ = pa_context_new(pa_threaded_mainloop_get_api(s->loop_), clientName);
    if (!s->context_) {
        error = "cannot create a PulseAudio context";
        result = no_memory;
        return nullptr;
    }
    pa_context_set_state_callback(
        s->context_, [](pa_context*, void* self) { static_cast<CPulseSession*>(self)->Signal(); },
        s.get());
    // No autospawn: a missing server is an answer, not something to start.
    if (pa_context_connect(s->context_, server.empty() ? nullptr : server.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = s->LastError();
        result = s->LastResult();
        return nullptr;
    }
    if (pa_threaded_mainloop_start(s->loop_) < 0) {
        error = "cannot start the PulseAudio mainloop thread";
        result = other;
        return nullptr;
    }
    bool ready = false;
    {
        CPulseLock lock(*s);
        pa_context* c = s->context_;
        ready = s->WaitFor([c] { return pa_context_get_state(c) == PA_CONTEXT_READY; }, timeoutMs);
        if (!ready) {
            const bool failed = !PA_CONTEXT_IS_GOOD(pa_context_get_state(c));
            error = failed ? s->LastError()
                           : "no answer within " + std::to_string(timeoutMs) + " ms";
            result = failed ? s->LastResult() : no_driver;
        }
    }
    if (!ready) return nullptr;
    result = ok;
    return s;
}

CPulseSession::~CPulseSession() {
    if (loop_ && InLoopThread()) {
        // The last holder let go inside a pulse callback: stopping the loop
        // from its own thread would deadlock, so the session is left behind.
        log_err("wavedev: PulseAudio session released on its own thread; left open");
        return;
    }
    if (loop_) pa_threaded_mainloop_stop(loop_);
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_) pa_threaded_mainloop_free(loop_);
}

bool CPulseSession::InLoopThread() const {
    return loop_ && pa_threaded_mainloop_in_thread(loop_);
}

bool CPulseSession::Alive() const {
    return context_ && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_));
}

bool CPulseSession::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    // On the loop thread nothing can change while we wait: fail at once.
    if (InLoopThread() || !Alive()) return false;
    struct Timer {
        CPulseSession* session;
        bool expired = false;
    } timer{this};
    pa_time_event* event = pa_context_rttime_new(
        context_, pa_rtclock_now() + pa_usec_t(std::max(timeoutMs, 0)) * 1000,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* t) {
            auto* timer = static_cast<Timer*>(t);
            timer->expired = true;
            timer->session->Signal();
        },
        &timer);
    if (!event) return false;
    while (!done() && !timer.expired && Alive()) pa_threaded_mainloop_wait(loop_);
    pa_threaded_mainloop_get_api(loop_)->time_free(event);
    return done();
}

bool CPulseSession::Wait(pa_operation* op, int timeoutMs) {
    if (!op) return false;
    pa_operation_set_state_callback(
        op, [](pa_operation*, void* self) { static_cast<CPulseSession*>(self)->Signal(); }, this);
    const bool done =
        WaitFor([op] { return pa_operation_get_state(op) == PA_OPERATION_DONE; }, timeoutMs);
    if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
    pa_operation_set_state_callback(op, nullptr, nullptr);
    pa_operation_unref(op);
    return done;
}

int CPulseSession::LastResult() const {
    return context_ ? ResultOfPulseError(pa_context_errno(context_)) : no_driver;
}

std::string CPulseSession::LastError() const {
    return context_ ? pa_strerror(pa_context_errno(context_)) : "no PulseAudio context";
}

int ResultOfPulseError(int error) {
    switch (error) {
    case PA_OK:
        return ok;
    case PA_ERR_NOENTITY:
        return bad_device;
    case PA_ERR_ACCESS:
    case PA_ERR_BUSY:
    case PA_ERR_EXIST:
        return allocated;
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_CONNECTIONTERMINATED:
    case PA_ERR_INVALIDSERVER:
    case PA_ERR_KILLED:
    case PA_ERR_TIMEOUT:
        return no_driver;
    case PA_ERR_INVALID:
    case PA_ERR_NOTSUPPORTED:
        return bad_format;
    default:
        return other;
    }
}

pa_volume_t PulseVolumeOfPercent(int percent) {
    const auto p = static_cast<std::uint64_t>(std::clamp(percent, 0, 100));
    return static_cast<pa_volume_t>((p * PA_VOLUME_NORM + 50) / 100);
}

int PercentOfPulseVolume(pa_volume_t volume) {
    const std::uint64_t v = std::min<std::uint64_t>(volume, PA_VOLUME_NORM);
    return static_cast<int>((v * 100 + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM);
}

}  // namespace wavedev
