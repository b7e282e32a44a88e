#include "platform/wavedev/pulse_streams.h"

#include <algorithm>
#include <cstring>

namespace wavedev {

namespace {

std::uint32_t WholeFrames(std::size_t bytes, std::size_t frameBytes) {
    const std::size_t capped = std::min<std::size_t>(bytes, 1u << 24);
    return static_cast<std::uint32_t>(std::max(capped / frameBytes, std::size_t(1)) * frameBytes);
}

// Waits (lock held) until the stream has left its creating state; true when
// it is ready, else `result` says why.
bool WaitReady(CPulseSession& session, pa_stream* stream, int& result) {
    session.WaitFor([stream] {
        const pa_stream_state_t s = pa_stream_get_state(stream);
        return s != PA_STREAM_UNCONNECTED && s != PA_STREAM_CREATING;
    });
    if (pa_stream_get_state(stream) == PA_STREAM_READY) return true;
    if (!session.Alive())
        result = no_driver;
    else if (pa_stream_get_state(stream) == PA_STREAM_CREATING)
        result = other;  // the server did not answer in time
    else
        result = session.LastResult();
    if (result == ok) result = other;
    return false;
}

void SignalSession(pa_stream*, void* session) { static_cast<CPulseSession*>(session)->Signal(); }

}  // namespace

// --- record ---------------------------------------------------------------------------

CPulseInStream::CPulseInStream(std::shared_ptr<CPulseSession> session, const pa_sample_spec& spec,
                               std::size_t fragmentBytes, PcmCallback onData)
    : session_(std::move(session)),
      spec_(spec),
      fragmentSamples_(fragmentBytes / 2),
      onData_(std::make_shared<PcmCallback>(std::move(onData))) {}

CPulseInStream::~CPulseInStream() { Close(); }

std::unique_ptr<CPulseInStream> CPulseInStream::Open(std::shared_ptr<CPulseSession> session,
                                                     const std::string& source,
                                                     const pa_sample_spec& spec,
                                                     std::size_t fragmentBytes,
                                                     PcmCallback onData, int& result) {
    if (!session) {
        result = no_driver;
        return nullptr;
    }
    const std::size_t frameBytes = pa_frame_size(&spec);
    std::unique_ptr<CPulseInStream> s(
        new CPulseInStream(session, spec, WholeFrames(fragmentBytes, frameBytes), std::move(onData)));
    CPulseLock lock(*session);
    if (!session->Alive()) {
        result = no_driver;
        return nullptr;
    }
    s->stream_ = pa_stream_new(session->context(), "zeri capture", &spec, nullptr);
    if (!s->stream_) {
        result = session->LastResult();
        return nullptr;
    }
    pa_stream_set_state_callback(s->stream_, SignalSession, session.get());
    pa_stream_set_read_callback(
        s->stream_, [](pa_stream*, std::size_t, void* self) { static_cast<CPulseInStream*>(self)->OnRead(); },
        s.get());
    // The server does not say how much it dropped; count a fragment per loss.
    pa_stream_set_overflow_callback(
        s->stream_,
        [](pa_stream*, void* self) {
            auto* me = static_cast<CPulseInStream*>(self);
            me->overruns_ += me->fragmentSamples_;
        },
        s.get());
    pa_buffer_attr attr;
    attr.maxlength = std::uint32_t(-1);
    attr.tlength = attr.prebuf = attr.minreq = std::uint32_t(-1);
    attr.fragsize = WholeFrames(fragmentBytes, frameBytes);
    if (pa_stream_connect_record(s->stream_, source.empty() ? nullptr : source.c_str(), &attr,
                                 PA_STREAM_ADJUST_LATENCY) < 0) {
        result = session->LastResult();
        s->CloseLocked();
        return nullptr;
    }
    if (!WaitReady(*session, s->stream_, result)) {
        s->CloseLocked();
        return nullptr;
    }
    if (const pa_sample_spec* actual = pa_stream_get_sample_spec(s->stream_)) s->spec_ = *actual;
    result = ok;
    return s;
}

void CPulseInStream::Close() {
    CPulseLock lock(*session_);
    CloseLocked();
}

void CPulseInStream::CloseLocked() {
    if (!stream_) return;
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_overflow_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void CPulseInStream::OnRead() {
    // Everything is taken from the stream before the callback runs: it may
    // close the stream.
    while (stream_ && pa_stream_readable_size(stream_) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) break;
        if (data) {
            const auto* p = static_cast<const unsigned char*>(data);
            pending_.insert(pending_.end(), p, p + bytes);
        } else {
            overruns_ += bytes / 2;  // a hole: the server lost these
        }
        pa_stream_drop(stream_);
    }
    const std::size_t frameBytes = pa_frame_size(&spec_);
    const std::size_t whole = pending_.size() / frameBytes * frameBytes;
    if (whole == 0) return;
    std::vector<std::int16_t> samples(whole / 2);
    std::memcpy(samples.data(), pending_.data(), whole);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(whole));
    const std::shared_ptr<PcmCallback> onData = onData_;
    if (*onData) (*onData)(samples.data(), samples.size());
}

// --- playback -------------------------------------------------------------------------

CPulseOutStream::CPulseOutStream(std::shared_ptr<CPulseSession> session,
                                 const pa_sample_spec& spec, WritableCallback onWritable,
                                 std::shared_ptr<const CPlaybackLevel> level)
    : session_(std::move(session)),
      spec_(spec),
      onWritable_(std::make_shared<WritableCallback>(std::move(onWritable))),
      level_(std::move(level)) {}

CPulseOutStream::~CPulseOutStream() { Close(); }

std::unique_ptr<CPulseOutStream> CPulseOutStream::Open(std::shared_ptr<CPulseSession> session,
                                                       const std::string& sink,
                                                       const pa_sample_spec& spec,
                                                       std::size_t bufferBytes,
                                                       WritableCallback onWritable,
                                                       std::shared_ptr<const CPlaybackLevel> level,
                                                       int& result) {
    if (!session) {
        result = no_driver;
        return nullptr;
    }
    std::unique_ptr<CPulseOutStream> s(
        new CPulseOutStream(session, spec, std::move(onWritable), std::move(level)));
    CPulseLock lock(*session);
    if (!session->Alive()) {
        result = no_driver;
        return nullptr;
    }
    s->stream_ = pa_stream_new(session->context(), "zeri playback", &spec, nullptr);
    if (!s->stream_) {
        result = session->LastResult();
        return nullptr;
    }
    pa_stream_set_state_callback(s->stream_, SignalSession, session.get());
    pa_stream_set_write_callback(
        s->stream_,
        [](pa_stream*, std::size_t, void* self) {
            const std::shared_ptr<WritableCallback> cb = static_cast<CPulseOutStream*>(self)->onWritable_;
            if (*cb) (*cb)();
        },
        s.get());
    pa_stream_set_underflow_callback(
        s->stream_,
        [](pa_stream*, void* self) {
            auto* me = static_cast<CPulseOutStream*>(self);
            ++me->underruns_;
            me->dry_ = true;
        },
        s.get());
    const std::size_t frameBytes = pa_frame_size(&spec);
    pa_buffer_attr attr;
    attr.maxlength = std::uint32_t(-1);
    attr.tlength = WholeFrames(bufferBytes, frameBytes);
    attr.prebuf = std::uint32_t(frameBytes);  // the first write starts playing
    attr.minreq = WholeFrames(attr.tlength / 4, frameBytes);
    attr.fragsize = std::uint32_t(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
    if (pa_stream_connect_playback(s->stream_, sink.empty() ? nullptr : sink.c_str(), &attr, flags,
                                   nullptr, nullptr) < 0) {
        result = session->LastResult();
        s->CloseLocked();
        return nullptr;
    }
    if (!WaitReady(*session, s->stream_, result)) {
        s->CloseLocked();
        return nullptr;
    }
    result = ok;
    return s;
}

std::size_t CPulseOutStream::Writable() {
    CPulseLock lock(*session_);
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return 0;
    const std::size_t n = pa_stream_writable_size(stream_);
    if (n == std::size_t(-1)) return 0;
    const std::size_t frameBytes = pa_frame_size(&spec_);
    return n / frameBytes * frameBytes;
}

long CPulseOutStream::Write(const void* data, std::size_t length) {
    CPulseLock lock(*session_);
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return -1;
    if (!data || length == 0) return 0;
    const std::size_t writable = pa_stream_writable_size(stream_);
    if (writable == std::size_t(-1)) return -1;
    const std::size_t frameBytes = pa_frame_size(&spec_);
    std::size_t bytes = std::min(length, writable) / frameBytes * frameBytes;
    if (bytes == 0) return 0;
    void* buffer = nullptr;
    std::size_t room = bytes;
    if (pa_stream_begin_write(stream_, &buffer, &room) < 0 || !buffer) return -1;
    bytes = std::min(bytes, room) / frameBytes * frameBytes;
    if (bytes == 0) {
        pa_stream_cancel_write(stream_);
        return 0;
    }
    std::memcpy(buffer, data, bytes);
    level_->Apply(static_cast<std::int16_t*>(buffer), bytes / 2);
    if (pa_stream_write(stream_, buffer, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return -1;
    dry_ = false;
    return static_cast<long>(bytes);
}

std::uint64_t CPulseOutStream::QueuedUs() {
    CPulseLock lock(*session_);
    // Ran dry since the last write: all of it has gone to the device (the
    // server would still count the sink's own latency).
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY || dry_) return 0;
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &usec, &negative) == 0) return negative ? 0 : usec;
    // No timing yet: what was written and not yet read by the server.
    const pa_timing_info* t = pa_stream_get_timing_info(stream_);
    if (t && t->write_index > t->read_index)
        return pa_bytes_to_usec(std::uint64_t(t->write_index - t->read_index), &spec_);
    return 0;
}

void CPulseOutStream::Close() {
    CPulseLock lock(*session_);
    CloseLocked();
}

void CPulseOutStream::CloseLocked() {
    if (!stream_) return;
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

}  // namespace wavedev
