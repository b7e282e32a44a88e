#pragma once
// The room's end of the send path: each AAC frame the engine encodes goes
// out as Mix_Audio_Data, stamped with the time since my microphone turn
// began, while I hold a turn the server accepted. Runs on the engine's
// worker, so it touches only atomics and the link (whose send is made for
// several threads). When the media channel is backed up past ~200 ms of
// voice, frames are skipped rather than queued behind it: late voice is
// worth less than a gap.

#include <atomic>
#include <cstdint>

#include "net/room_link.h"

class CVoiceSender {
public:
    // ~200 ms of frames (46 ms each) waiting on the channel.
    static constexpr std::uint32_t kBacklogPackets = 4;

    explicit CVoiceSender(IRoomLink& link) : link_(link) {}

    // The engine's send callback (context = this).
    static void OnEncoded(std::uint32_t kind, const void* data, std::uint32_t length,
                          std::uint32_t tick, void* context);

    // Stamps count from `baseTick` (ms).
    void Start(std::uint32_t baseTick);
    void Stop();
    bool sending() const { return on_.load(); }

    std::uint64_t sent() const { return sent_.load(); }
    std::uint64_t skipped() const { return skipped_.load(); }
    std::uint64_t failed() const { return failed_.load(); }

private:
    void Send(const void* data, std::uint32_t length, std::uint32_t tick);

    IRoomLink& link_;
    std::atomic<bool> on_{false};
    std::atomic<std::uint32_t> base_{0};
    std::atomic<std::uint64_t> sent_{0}, skipped_{0}, failed_{0}, printed_{0};
};
