#pragma once
// Turning decoded frames into ARGB pictures, and fitting pictures into the
// size the capture composes at. Both keep their scaler while the sizes and
// formats stay the same, and build a new one when they change.

#include <cstdint>

#include "platform/vcast/picture.h"

struct AVFrame;
struct SwsContext;

namespace vcast_limits {
// No source picture is taken larger than this per side, before any buffer is sized.
inline constexpr int kMaxSourceSide = 4096;
}  // namespace vcast_limits

// A decoded frame of any pixel format → an ARGB picture of the same size.
class CFrameToArgb {
public:
    CFrameToArgb() = default;
    CFrameToArgb(const CFrameToArgb&) = delete;
    CFrameToArgb& operator=(const CFrameToArgb&) = delete;
    ~CFrameToArgb();
    // False (picture untouched) for an empty, oversized or unconvertible frame.
    bool Convert(const AVFrame* frame, VcastPicture& out);

private:
    SwsContext* sws_ = nullptr;
};

// An ARGB picture scaled into width×height with its aspect kept; the bars
// left over are black.
class CPictureFit {
public:
    CPictureFit() = default;
    CPictureFit(const CPictureFit&) = delete;
    CPictureFit& operator=(const CPictureFit&) = delete;
    ~CPictureFit();
    bool Fit(const VcastPicture& source, VcastPicture& out, int width, int height);

private:
    SwsContext* sws_ = nullptr;
};
