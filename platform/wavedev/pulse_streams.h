#pragma once
// PulseAudio record and playback streams of one session.
//
// Threads: the session's mainloop thread calls the PCM and writable
// callbacks, with the mainloop lock held; the stream's pa_stream is guarded
// by that lock. Close takes the lock, so once it returns no callback is
// running or will run. A callback may call Write, Writable or Close (the
// lock is already held there) but must not wait for a thread that is itself
// calling into a stream of the same backend.

#include <pulse/pulseaudio.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/wavedev/playback_level.h"
#include "platform/wavedev/pulse_session.h"
#include "platform/wavedev/wavedev.h"

namespace wavedev {

class CPulseInStream : public IWaveInStream {
public:
    // Records `source` (empty: the default source) in `spec` (S16LE),
    // handing over about `fragmentBytes` at a time. Null and `result` on
    // failure.
    static std::unique_ptr<CPulseInStream> Open(std::shared_ptr<CPulseSession> session,
                                                const std::string& source,
                                                const pa_sample_spec& spec,
                                                std::size_t fragmentBytes, PcmCallback onData,
                                                int& result);
    ~CPulseInStream() override;
    void Close() override;
    std::uint64_t Overruns() const override { return overruns_.load(); }
    // What the server delivers: the format asked for unless it chose another.
    pa_sample_spec Spec() const { return spec_; }

private:
    CPulseInStream(std::shared_ptr<CPulseSession> session, const pa_sample_spec& spec,
                   std::size_t fragmentBytes, PcmCallback onData);
    void CloseLocked();
    void OnRead();

    std::shared_ptr<CPulseSession> session_;
    pa_stream* stream_ = nullptr;  // mainloop lock
    pa_sample_spec spec_;
    std::size_t fragmentSamples_;
    // Shared so that a callback that destroys the stream does not pull the
    // function from under its own call.
    std::shared_ptr<PcmCallback> onData_;
    std::vector<unsigned char> pending_;  // bytes short of a whole frame; loop thread
    std::atomic<std::uint64_t> overruns_{0};
};

class CPulseOutStream : public IWaveOutStream {
public:
    // Plays into `sink` (empty: the default sink) in `spec` (S16LE) with a
    // server-side buffer of about `bufferBytes`; `level` scales what is
    // written. The writable callback may come before Open returns.
    static std::unique_ptr<CPulseOutStream> Open(std::shared_ptr<CPulseSession> session,
                                                 const std::string& sink,
                                                 const pa_sample_spec& spec,
                                                 std::size_t bufferBytes,
                                                 WritableCallback onWritable,
                                                 std::shared_ptr<const CPlaybackLevel> level,
                                                 int& result);
    ~CPulseOutStream() override;
    std::size_t Writable() override;
    long Write(const void* data, std::size_t length) override;
    std::uint64_t QueuedUs() override;
    void Close() override;
    std::uint64_t Underruns() const override { return underruns_.load(); }

private:
    CPulseOutStream(std::shared_ptr<CPulseSession> session, const pa_sample_spec& spec,
                    WritableCallback onWritable, std::shared_ptr<const CPlaybackLevel> level);
    void CloseLocked();

    std::shared_ptr<CPulseSession> session_;
    pa_stream* stream_ = nullptr;  // mainloop lock
    pa_sample_spec spec_;
    std::shared_ptr<WritableCallback> onWritable_;
    std::shared_ptr<const CPlaybackLevel> level_;
    std::atomic<std::uint64_t> underruns_{0};
    bool dry_ = false;  // ran dry since the last write; mainloop lock
};

}  // namespace wavedev
