#pragma once
// H.264 streams of the test pattern for the play and record tests: each
// frame carries its counter, so a decoded picture tells which frame it is.

#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

struct EncodedFrame {
    bool key = false;
    std::vector<unsigned char> bytes;
};

class CPatternEncoder {
public:
    // A keyframe every `gop` frames (and whenever ForceKey is set).
    CPatternEncoder(int width, int height, int fps, int gop);
    ~CPatternEncoder();
    bool Ok() const { return context_ != nullptr; }
    // The pattern with `counter`, or one ARGB colour filling the picture.
    EncodedFrame Encode(std::uint32_t counter, bool forceKey = false);
    EncodedFrame EncodeSolid(std::uint32_t argb, bool forceKey = false);

private:
    EncodedFrame EncodeArgb(const std::uint32_t* argb, bool forceKey);

    int width_, height_;
    std::int64_t next_ = 0;
    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* sws_ = nullptr;
};
