#pragma once
// A movie's sound, played on this computer through the sound server (the
// loopback capture then carries it into the room). Decoded chunks wait in a
// bounded queue and are written when the movie's position clock reaches
// them, so pausing and seeking hold or drop the sound with the picture.
// Without a sound server the movie plays silent (one log line).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CMovieSound {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    // (position in seconds, paused) of the movie; false while its clock is not set.
    using ClockFn = std::function<bool(double& position, bool& paused)>;

    explicit CMovieSound(ClockFn clock);
    ~CMovieSound();
    CMovieSound(const CMovieSound&) = delete;
    CMovieSound& operator=(const CMovieSound&) = delete;

    // Interleaved 16-bit samples at kRate, kChannels, starting at `t` seconds.
    void Push(double t, std::vector<std::int16_t> samples);
    // Drops everything queued and what the server still holds (a seek).
    void Flush();
    // Seconds of sound handed to the server so far (tests, diagnostics).
    double WrittenSeconds() const;

private:
    struct Chunk {
        double t;
        std::vector<std::int16_t> samples;
    };
    void Run();

    ClockFn clock_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Chunk> queue_;
    std::size_t queuedSamples_ = 0;
    bool flush_ = false;
    bool stop_ = false;
    std::uint64_t written_ = 0;  // samples per channel
    std::thread thread_;
};
