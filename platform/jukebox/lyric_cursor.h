#pragma once
// Which lyric lines to announce as the playing position moves: every line
// the position passes, once and in order; after a jump (a seek, or a stall
// long enough to skip lines) only the line now current, or a clear before
// the first line. Pure: the window polls the position and calls Update.

#include <vector>

#include "platform/jukebox/lrc_parser.h"

namespace jukebox {

class CLyricCursor {
public:
    // Index meaning "clear the shown line".
    static constexpr int kClear = -1;
    // A move forward by more than this is a jump, not playing on.
    static constexpr int kJumpMs = 2000;
    // Position jitter backwards (the device's queue estimate) that is not a seek.
    static constexpr int kJitterMs = 250;

    // A new song: nothing shown, position unknown.
    void Reset(std::vector<LrcLine> lines);
    // The lines to announce for `positionMs`, in order (kClear to clear).
    std::vector<int> Update(int positionMs);

    const std::vector<LrcLine>& lines() const { return lines_; }
    // The line shown now, or kClear.
    int shown() const { return shown_; }

private:
    std::vector<LrcLine> lines_;
    int shown_ = kClear;
    int lastPos_ = 0;
};

}  // namespace jukebox
