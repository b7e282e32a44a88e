#pragma once
// What the microphone's blocks go through before encoding, when the user
// asked for it: noise suppression, automatic gain and voice activity
// detection on speexdsp, an optional echo canceller whose reference is what
// this program played, and a separate gain stage ("enhance"). Owned by the
// capture object; one block at a time, on the capture thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// +L dB with a soft limiter, per sample over a block of any length; the
// limiter's state carries over from block to block so nothing wraps.
class CVoiceEnhance {
public:
    explicit CVoiceEnhance(int levelDb = 5);
    void Apply(std::int16_t* samples, std::size_t count);

private:
    std::int64_t gainQ24_;
    double limiter_ = 1.0;  // current limiter gain, recovering toward 1
};

// What was played, kept for the echo canceller: any thread appends, the
// capture thread takes. Bounded (about a second); the oldest goes first.
class CEchoReference {
public:
    // One second of the capture rate (22050 Hz).
    static constexpr std::size_t kCapacity = 22050;

    void Played(const std::int16_t* samples, std::size_t count);
    // Up to `count` samples, zero-filled when fewer were played.
    void Take(std::int16_t* out, std::size_t count);
    void Clear();
    std::size_t Queued();

private:
    std::mutex lock_;  // guards everything below; held only to copy samples
    std::vector<std::int16_t> ring_;
    std::size_t read_ = 0;
    std::size_t size_ = 0;
};

class CVoicePreprocessor {
public:
    // `frameSamples` per Run call (1024 for the capture blocks) at `rate`.
    CVoicePreprocessor(int frameSamples, int rate);
    ~CVoicePreprocessor();
    CVoicePreprocessor(const CVoicePreprocessor&) = delete;
    CVoicePreprocessor& operator=(const CVoicePreprocessor&) = delete;

    bool valid() const;

    // Denoise, AGC and VAD over one frame in place; true when it holds speech.
    bool Run(std::int16_t* frame);

    // Echo cancellation (tail ≥ 200 ms) against `reference`; null turns it
    // off. The reference must outlive the preprocessor or the next call.
    void SetEcho(CEchoReference* reference);
    bool echoOn() const;
    // Removes the echo of the reference from one frame in place (before Run).
    void CancelEcho(std::int16_t* frame);

private:
    struct State;
    std::unique_ptr<State> state_;
};
