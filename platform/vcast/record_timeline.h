#pragma once
// Where a pushed frame lands in the recording. Pushes come on two clocks,
// this computer's tick and the sender's stamps; each is tied to the file's
// time (ms since the recording opened) by an offset fixed at its first
// frame, so frames of one clock keep their spacing and voice stays with
// the video it was stamped with. Pure logic.

#include <cstdint>

class CRecordTimeline {
public:
    // A clock whose stamps leap further than this (a new anchor, a restarted
    // sender) is tied anew where that frame arrives, instead of dropping all
    // that follows or leaving an hour of silence.
    static constexpr std::int64_t kLeapMs = 10000;

    explicit CRecordTimeline(std::uint32_t openTick) : openTick_(openTick) {}

    // File time of `stamp` on `clock` (kClockLocal/kClockSender) arriving at
    // the local tick `nowTick`; false for an unknown clock or a time before
    // the file began.
    bool ToFileMs(std::uint8_t clock, std::uint32_t stamp, std::uint32_t nowTick,
                  std::int64_t& fileMs);
    // Milliseconds since the recording opened.
    std::int64_t ElapsedMs(std::uint32_t nowTick) const;

private:
    struct Tie {
        bool fixed = false;
        std::uint32_t offset = 0;     // stamp − file time
        std::uint32_t lastStamp = 0;
    };
    std::uint32_t openTick_;
    Tie ties_[2];
};

// The video track at a fixed rate: output frame n stands at n·1000/fps ms and
// shows the newest picture stamped at or before it. Pictures must come in
// order; one older than what was written already is dropped, not reordered.
class CFramePacer {
public:
    explicit CFramePacer(int fps) : fps_(fps) {}

    std::int64_t TimeOf(std::int64_t frame) const { return frame * 1000 / fps_; }
    // The next output frame to write.
    std::int64_t Next() const { return next_; }
    // Whether a picture at `ms` can still be shown (newer than the last
    // picture and than every frame written).
    bool Admits(std::int64_t ms) const;
    // The picture at `ms` becomes the one shown from now on.
    void Picture(std::int64_t ms) {
        if (lastPicture_ >= 0) lastSpan_ = ms - lastPicture_;
        lastPicture_ = ms;
    }
    // Where the pushed video ends: the last picture lasts as long as the one
    // before it did (one output frame when it is the only one); -1 without any.
    std::int64_t PicturesEnd() const {
        if (lastPicture_ < 0) return -1;
        return lastPicture_ + (lastSpan_ > 0 ? lastSpan_ : TimeOf(1) > 0 ? TimeOf(1) : 1);
    }
    // Frames due before `ms` (each shows the current picture); the caller
    // writes them and calls Wrote.
    bool Due(std::int64_t ms) const { return TimeOf(next_) < ms; }
    void Wrote() { ++next_; }

private:
    int fps_;
    std::int64_t next_ = 0;
    std::int64_t lastPicture_ = -1;
    std::int64_t lastSpan_ = 0;
};
