#include "platform/jukebox/lyric_cursor.h"

#include <utility>

namespace jukebox {

void CLyricCursor::Reset(std::vector<LrcLine> lines) {
    lines_ = std::move(lines);
    shown_ = kClear;
    lastPos_ = 0;  // a song starts at 0: lines passed from there are announced
}

std::vector<int> CLyricCursor::Update(int positionMs) {
    std::vector<int> out;
    const int current = LrcLineAt(lines_, positionMs);
    const bool jump = positionMs < lastPos_ - kJitterMs || positionMs > lastPos_ + kJumpMs;
    lastPos_ = positionMs;
    if (jump) {
        if (current != shown_) out.push_back(current);
        shown_ = current;
        return out;
    }
    for (int i = shown_ + 1; i <= current; ++i) out.push_back(i);
    if (current > shown_) shown_ = current;
    return out;
}

}  // namespace jukebox
