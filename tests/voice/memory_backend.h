#pragma once
// A device layer in memory for the engine and playback tests: outputs take
// what they are given (up to a settable room) and keep it; the input hands
// over what the test feeds it, in the pieces the test chooses.

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/wavedev/wavedev.h"

namespace voicetest {

class CMemoryBackend : public wavedev::IWaveBackend {
public:
    struct Output {
        std::vector<std::int16_t> samples;
        std::size_t room = 1 << 20;  // what Writable() reports
        int opens = 0;
        bool open = false;
    };

    std::string Name() const override { return "memory"; }
    std::vector<std::string> InputNames() override { return {"Built-in Mic", "USB Headset"}; }
    std::vector<std::string> OutputNames() override { return {"Speakers", "USB Headset"}; }

    std::unique_ptr<wavedev::IWaveInStream> OpenIn(int device, int, int, std::size_t,
                                                   wavedev::PcmCallback onData,
                                                   int& result) override {
        std::lock_guard<std::mutex> g(lock_);
        if (device >= 2) {
            result = wavedev::bad_device;
            return nullptr;
        }
        inputDevice = device;
        capture_ = std::move(onData);
        return std::make_unique<In>(*this);
    }
    std::unique_ptr<wavedev::IWaveOutStream> OpenOut(int device, int rate, int, std::size_t,
                                                     wavedev::WritableCallback,
                                                     int& result) override {
        std::lock_guard<std::mutex> g(lock_);
        if (failOutputs || device >= 2) {
            result = failOutputs ? wavedev::no_driver : wavedev::bad_device;
            return nullptr;
        }
        Output& o = outputs[rate];
        ++o.opens;
        o.open = true;
        lastOutputDevice = device;
        return std::make_unique<Out>(*this, rate);
    }
    int GetVolume(int, int) override { return 0; }
    bool SetVolume(int, int, int) override { return false; }
    bool GetMute(int, int) override { return false; }
    bool SetMute(int, bool, int) override { return false; }

    // Hands samples to the open input, as a device thread would.
    bool Feed(const std::int16_t* s, std::size_t n) {
        wavedev::PcmCallback c;
        {
            std::lock_guard<std::mutex> g(lock_);
            c = capture_;
        }
        if (!c) return false;
        c(s, n);
        return true;
    }
    std::vector<std::int16_t> Played(int rate) {
        std::lock_guard<std::mutex> g(lock_);
        return outputs[rate].samples;
    }
    void SetRoom(int rate, std::size_t bytes) {
        std::lock_guard<std::mutex> g(lock_);
        outputs[rate].room = bytes;
    }

    std::map<int, Output> outputs;
    bool failOutputs = false;
    int inputDevice = -2;
    int lastOutputDevice = -2;

private:
    class In : public wavedev::IWaveInStream {
    public:
        explicit In(CMemoryBackend& b) : b_(b) {}
        ~In() override { Close(); }
        void Close() override {
            std::lock_guard<std::mutex> g(b_.lock_);
            b_.capture_ = nullptr;
        }
        std::uint64_t Overruns() const override { return 0; }

    private:
        CMemoryBackend& b_;
    };
    class Out : public wavedev::IWaveOutStream {
    public:
        Out(CMemoryBackend& b, int rate) : b_(b), rate_(rate) {}
        ~Out() override { Close(); }
        std::size_t Writable() override {
            std::lock_guard<std::mutex> g(b_.lock_);
            return b_.outputs[rate_].room;
        }
        long Write(const void* data, std::size_t length) override {
            std::lock_guard<std::mutex> g(b_.lock_);
            Output& o = b_.outputs[rate_];
            const std::size_t n = std::min(length, o.room) / 2;
            const auto* s = static_cast<const std::int16_t*>(data);
            o.samples.insert(o.samples.end(), s, s + n);
            return static_cast<long>(n * 2);
        }
        std::uint64_t QueuedUs() override { return 0; }
        void Close() override {
            std::lock_guard<std::mutex> g(b_.lock_);
            b_.outputs[rate_].open = false;
        }
        std::uint64_t Underruns() const override { return 0; }

    private:
        CMemoryBackend& b_;
        int rate_;
    };

    std::mutex lock_;
    wavedev::PcmCallback capture_;
};

}  // namespace voicetest
