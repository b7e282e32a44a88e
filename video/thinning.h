#pragma once
// What the sender leaves out while the video channel is backed up: frames
// marked droppable (f3 = 0) go first, the ones nothing refers to before the
// rest. Keyframes (f3 != 0) always go, or the viewers could not resume.

#include <cstddef>

#include "platform/vcast/media_frame.h"

// Packets waiting on the video channel from which droppable frames that
// are not important are left out, and from which every droppable frame is.
inline constexpr std::size_t kThinUnimportantBacklog = 20;
inline constexpr std::size_t kThinAllBacklog = 30;

// True when the frame is to be dropped with `backlog` packets waiting.
bool ThinVideoFrame(const MediaFrame& frame, bool important, std::size_t backlog);
