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

// The video track at a fixed rate: each output frame shows the newest
// picture stamped at or before its time. The frames' grid starts at the
// file's start and is moved once, to the first picture, so a source at the
// record rate lands on the grid instead of up to a frame late (frames before
// the first picture are black). Pictures must come in order; one older than
// what was written already is dropped, not reordered.
class CFramePacer {
public:
    explicit CFramePacer(int fps) : fps_(fps) {}

    // The file time (ms) of the next output frame to write.
    std::int64_t NextTime() const { return base_ + (next_ - baseFrame_) * 1000 / fps_; }
    // Whether a picture at `ms` can still be shown (newer than the last
    // picture and than every frame written).
    bool Admits(std::int64_t ms) const { return ms > lastPicture_ && ms > lastWritten_; }
    // The picture at `ms` becomes the one shown from the next frame on
    // (write the frames Due before it first).
    void Picture(std::int64_t ms);
    // Whether the next frame stands before `ms`; the caller writes it at
    // NextTime() and calls Wrote.
    bool Due(std::int64_t ms) const { return NextTime() < ms; }
    void Wrote() {
        lastWritten_ = NextTime();
        ++next_;
    }
    // Where the pushed video ends: the last picture lasts as long as the one
    // before it did (one output frame when it is the only one); -1 without any.
    std::int64_t PicturesEnd() const;
    std::int64_t FrameMs() const { return (1000 + fps_ - 1) / fps_; }

private:
    int fps_;
    std::int64_t next_ = 0;       // frames written
    std::int64_t base_ = 0;       // the grid: frame baseFrame_ stands at base_
    std::int64_t baseFrame_ = 0;
    std::int64_t lastWritten_ = -1;
    std::int64_t lastPicture_ = -1;
    std::int64_t lastSpan_ = 0;
};
