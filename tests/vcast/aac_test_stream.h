#pragma once
// AAC frames with ADTS headers, as the voice path pushes them to the
// recorder, made from PCM the test chooses.

#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

class CAdtsEncoder {
public:
    CAdtsEncoder(int rate, int channels);
    ~CAdtsEncoder();
    bool Ok() const { return context_ != nullptr; }
    int FrameSize() const { return 1024; }
    // The encoder's delay: packet k decodes to input samples from
    // (k − 1)·FrameSize() on.
    static constexpr int kDelayFrames = 1;
    // One frame of interleaved PCM (FrameSize() sample frames) in; the ADTS
    // frame that came out (empty while the encoder fills up).
    std::vector<unsigned char> Encode(const std::int16_t* pcm);

private:
    int rate_, channels_;
    std::int64_t pts_ = 0;
    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
};
