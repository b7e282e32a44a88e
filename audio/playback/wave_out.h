#pragma once
// One output device opened on first use: 22050 Hz for the room's voices,
// 8000 Hz for narrowband voice and voice messages. Writes never block;
// while the device cannot be opened, what is written is let go (the room
// goes on without sound) and opening is tried again once a second, with
// one log line per run of failures rather than one per write.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/wavedev/wavedev.h"

class CWaveOut {
public:
    static constexpr std::uint32_t kRetryMs = 1000;

    // `bufferMs`: the device-side buffer, the latency it adds.
    CWaveOut(std::shared_ptr<wavedev::IWaveBackend> backend, int rate, int bufferMs,
             std::string name);
    ~CWaveOut();

    // The device index for the next open; an open output keeps its device.
    void SetDevice(int index);
    int Device() const;
    // Opens when closed and the retry time has come; true when open.
    bool EnsureOpen(std::uint32_t nowMs);
    // Bytes the device takes now; 0 when closed.
    std::size_t Writable();
    // How long what was written still takes to be heard; 0 when closed.
    std::uint64_t QueuedUs();
    // Bytes taken: all of them when the output is closed (they are let go).
    std::size_t Write(const void* data, std::size_t length);
    void Close();
    bool IsOpen() const;
    // Called (on the device's thread) when the device can take more.
    void SetOnWritable(std::function<void()> f) { onWritable_ = std::move(f); }
    int rate() const { return rate_; }

    // The text for an open failure's result code.
    static const char* ErrorText(int result);

private:
    std::shared_ptr<wavedev::IWaveBackend> backend_;
    const int rate_;
    const int bufferMs_;
    const std::string name_;
    std::function<void()> onWritable_;

    mutable std::mutex lock_;  // the stream, the device index, the retry clock
    std::unique_ptr<wavedev::IWaveOutStream> stream_;
    int device_ = -1;
    bool failing_ = false;
    std::uint32_t nextTryMs_ = 0;
    bool tried_ = false;
};
