#pragma once
// One speaker's decoded voice between the network and the output: frames
// kept in stamp order and released on a playout clock. The first frame
// plays at once; later frames wait as long as the measured jitter asks
// (never more than the depth limit). Frames that come too late to matter,
// twice, or beyond the limit are dropped and counted, and a jump in stamps
// (a new talk spurt after a long pause, a restarted sender) starts over, so
// delay never builds up the way an unbounded queue lets it.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class CJitterBuffer {
public:
    struct Config {
        std::uint32_t frameMs = 46;        // one AAC frame: 1024 samples at 22050 Hz
        std::uint32_t maxDepthMs = 200;    // never hold more than this
        std::uint32_t restartGapMs = 2000; // a stamp jump this large starts over
    };
    struct Counts {
        std::uint64_t played = 0;
        std::uint64_t late = 0;       // older than what already played
        std::uint64_t duplicate = 0;  // a stamp played or queued already
        std::uint64_t overflow = 0;   // dropped beyond the depth limit
        std::uint64_t stale = 0;      // dropped to come back to the target depth
        std::uint64_t restarts = 0;
    };

    CJitterBuffer() : CJitterBuffer(Config{}) {}
    explicit CJitterBuffer(Config c) : config_(c) {}

    // A decoded frame with the sender's stamp (ms), arriving at local `nowMs`.
    void Push(std::uint32_t stamp, std::vector<std::int16_t> pcm, std::uint32_t nowMs);
    // The frame due at `nowMs`, if any, and its stamp.
    std::optional<std::vector<std::int16_t>> Pop(std::uint32_t nowMs,
                                                 std::uint32_t* stamp = nullptr);
    // The next frame now, due or not: the output would otherwise play a gap
    // while it waits.
    std::optional<std::vector<std::int16_t>> PopNext(std::uint32_t* stamp = nullptr);
    void Clear();

    // How long frames wait now, from the jitter measured so far.
    std::uint32_t TargetDepthMs() const;
    // The time the queued frames span.
    std::uint32_t QueuedMs() const;
    std::size_t QueuedFrames() const { return frames_.size(); }
    const Counts& counts() const { return counts_; }

private:
    // Stamps compared across the 32-bit wrap.
    static std::int32_t Diff(std::uint32_t a, std::uint32_t b) {
        return static_cast<std::int32_t>(a - b);
    }
    struct ByStamp {
        bool operator()(std::uint32_t a, std::uint32_t b) const { return Diff(a, b) < 0; }
    };
    void Restart(std::uint32_t stamp, std::uint32_t nowMs);

    Config config_;
    Counts counts_;
    std::map<std::uint32_t, std::vector<std::int16_t>, ByStamp> frames_;
    bool started_ = false;
    bool played_ = false;
    std::uint32_t lastPlayed_ = 0;
    std::uint32_t newest_ = 0;
    // Local time minus stamp for playout; a frame is due at stamp + offset + depth.
    std::int64_t offset_ = 0;
    std::int64_t lastTransit_ = 0;
    double jitterMs_ = 0;
};
