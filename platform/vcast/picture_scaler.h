#pragma once
// Decoded pictures to the sizes and formats they are shown or recorded in.
// The conversion context is rebuilt whenever the source or target changes
// (a new stream size), never per picture.

#include <cstdint>

struct AVFrame;
struct SwsContext;

struct FitRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The largest even-sized rectangle of the source's aspect centred in
// dstWidth×dstHeight (the rest becomes black borders).
FitRect FitInside(int srcWidth, int srcHeight, int dstWidth, int dstHeight);

class CPictureScaler {
public:
    CPictureScaler() = default;
    ~CPictureScaler();
    CPictureScaler(const CPictureScaler&) = delete;
    CPictureScaler& operator=(const CPictureScaler&) = delete;

    // Scales `src` to width×height of `format` (an AVPixelFormat) at the
    // given plane pointers.
    bool Scale(const AVFrame& src, int width, int height, int format, std::uint8_t* const planes[4],
               const int strides[4]);

private:
    SwsContext* context_ = nullptr;
    int srcWidth_ = 0, srcHeight_ = 0, srcFormat_ = -1;
    int width_ = 0, height_ = 0, format_ = -1;
};
