#include "video/thinning.h"

bool ThinVideoFrame(const MediaFrame& frame, bool important, std::size_t backlog) {
    if (frame.f3 != 0) return false;
    return backlog >= kThinAllBacklog || (backlog >= kThinUnimportantBacklog && !important);
}
