#pragma once
// The platform's wave input, wave output and mixer, for the audio path:
// PulseAudio when a sound server answers, files otherwise (a WAV played as
// the microphone in real time, a WAV per output rate written in real time,
// or silence). Streams deliver and take 16-bit PCM; nothing here blocks a
// caller on a device. No Qt, no room state.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wavedev {

// Result codes, in the numbering the program's error texts are keyed by.
enum Result : int {
    ok = 0,
    other = 1,           // anything not below
    bad_device = 2,      // no device with that index
    invalid_handle = 5,  // start on a stream that is gone
    allocated = 4,       // the device is busy
    no_driver = 6,       // no sound server / backend
    no_memory = 7,
    in_use = 12,
    bad_format = 32,     // rate or channels refused
};

// Mixer line kinds (GetVolume and the others); any kind not listed is the
// output device.
enum MixerKind : int {
    mixer_own_playback = 1,
    mixer_none = 2,
    mixer_capture = 3,
    mixer_output = 4,
};

// An open capture stream. Samples arrive on the backend's thread.
class IWaveInStream {
public:
    virtual ~IWaveInStream() = default;
    // Stops delivery; no callback runs once it returns. Idempotent.
    virtual void Close() = 0;
    // Device-side losses (the device had data nobody took), in samples.
    virtual std::uint64_t Overruns() const = 0;
};

// An open playback stream. Writes never block: the caller writes what
// Writable() allows and waits for the writable callback for more.
class IWaveOutStream {
public:
    virtual ~IWaveOutStream() = default;
    // Bytes the device takes now.
    virtual std::size_t Writable() = 0;
    // Takes up to Writable() bytes (whole samples); the bytes taken, or -1
    // when the stream has failed (it is then to be closed and reopened).
    virtual long Write(const void* data, std::size_t length) = 0;
    // How long what was written still takes to be heard, in microseconds.
    virtual std::uint64_t QueuedUs() = 0;
    virtual void Close() = 0;
    // Times the device ran dry while open.
    virtual std::uint64_t Underruns() const = 0;
};

// `count` interleaved samples (frames × channels).
using PcmCallback = std::function<void(const std::int16_t* samples, std::size_t count)>;
using WritableCallback = std::function<void()>;

class IWaveBackend {
public:
    virtual ~IWaveBackend() = default;
    // "pulse", "file" or "pulse+file" (input and output from different ones).
    virtual std::string Name() const = 0;

    // Device names in index order (index 0 … n−1); −1 means the default.
    virtual std::vector<std::string> InputNames() = 0;
    virtual std::vector<std::string> OutputNames() = 0;

    // `fragmentBytes`: how much the device hands over at a time (a hint).
    virtual std::unique_ptr<IWaveInStream> OpenIn(int device, int rate, int channels,
                                                  std::size_t fragmentBytes, PcmCallback onData,
                                                  int& result) = 0;
    // `bufferBytes`: the device-side buffer (its latency).
    virtual std::unique_ptr<IWaveOutStream> OpenOut(int device, int rate, int channels,
                                                    std::size_t bufferBytes,
                                                    WritableCallback onWritable, int& result) = 0;

    // Mixer by line kind: 1 this program's own playback, 2 nothing (neutral:
    // volume 0, not muted, setters false), 3 the capture device, any other
    // the output device. Device −1 is the default one, n ≥ 0 the list's n-th.
    // Volumes are 0…100.
    virtual int GetVolume(int kind, int device) = 0;
    virtual bool SetVolume(int kind, int percent, int device) = 0;
    virtual bool GetMute(int kind, int device) = 0;
    virtual bool SetMute(int kind, bool mute, int device) = 0;
};

struct Options {
    std::string inputWav;   // play this WAV as the microphone; empty = the sound server
    std::string outputDir;  // write each output rate's WAV here; empty = the sound server
    // The PulseAudio server to ask (empty = the default one); tests point it
    // at their own daemon.
    std::string pulseServer;
    // The file input adds what the 22050 Hz file output played, this late
    // and scaled by this gain (a simulated echo path); 0 = none.
    int echoDelayMs = 0;
    double echoGain = 0;
};

// The file name of the output WAV for `rate` inside Options::outputDir.
std::string OutputFileName(int rate);

// Input from the WAV when one is named, else from PulseAudio when a server
// answers, else silence; output likewise into the folder, the server, or
// nowhere (paced as a device would be). Falling back logs one line.
std::shared_ptr<IWaveBackend> MakeBackend(const Options& options);

// For latency measurements on the file backend (alone or as one half):
// the steady-clock time at which sample 0 of the latest file input stream
// was taken (sample n: that + n/rate), and at which sample 0 of the rate's
// output file was heard (sample k: that + k/rate). False when there is no
// such file stream. Both are also logged in steady-clock microseconds, for
// measurements across processes.
bool FileInputStart(IWaveBackend& backend, std::chrono::steady_clock::time_point& at);
bool FileOutputStart(IWaveBackend& backend, int rate, std::chrono::steady_clock::time_point& at);

// The index of the first name equal to `wanted` ignoring case; −1 when
// none is (the default device) or `wanted` is empty.
int FindDevice(const std::vector<std::string>& names, const std::string& wanted);

}  // namespace wavedev
