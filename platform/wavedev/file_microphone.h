#pragma once
// The file backend's input stream: a WAV (or silence) as the microphone, in
// real time. Sample n is taken at start() + n/rate and a fragment is handed
// over once its last sample has been taken, from the stream's own thread.
// A callback that falls far behind loses samples, as with a device
// (counted as overruns). With an echo tape, what the file output played
// comes back in, late and quieter.
//
// Threads: the delivery thread (owned, joined by Close) reads the file and
// calls the PCM callback without any lock held. The state it shares with
// the stream is guarded by State::lock.

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/wavedev/echo_tape.h"
#include "platform/wavedev/wavedev.h"

namespace wavedev {

class CFileMicrophone : public IWaveInStream {
public:
    using Clock = std::chrono::steady_clock;
    struct Echo {
        std::shared_ptr<const CEchoTape> tape;  // null: no echo
        double gain = 0;
        std::chrono::milliseconds delay{0};
    };

    // `wav` empty: silence. Null with the reason when the file cannot be played.
    static std::unique_ptr<CFileMicrophone> Open(const std::string& wav, int rate, int channels,
                                                 std::size_t fragmentBytes, PcmCallback onData,
                                                 Echo echo, std::string& error);
    ~CFileMicrophone() override;
    void Close() override;
    std::uint64_t Overruns() const override;
    Clock::time_point start() const;

private:
    struct State;
    explicit CFileMicrophone(std::shared_ptr<State> state);
    static void Run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;  // also held by the thread, which may outlive a Close from itself
    std::thread thread_;
};

}  // namespace wavedev
