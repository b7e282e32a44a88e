#pragma once
// Decodes the capture instance's Annex B frames one by one, so tests can
// read back what was encoded.

#include <cstdint>
#include <vector>

#include "platform/vcast/picture.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

class CTestH264Decoder {
public:
    CTestH264Decoder();
    ~CTestH264Decoder();
    CTestH264Decoder(const CTestH264Decoder&) = delete;
    CTestH264Decoder& operator=(const CTestH264Decoder&) = delete;
    // True when the frame decoded into a picture.
    bool Decode(const std::vector<std::uint8_t>& frame, VcastPicture& out);

private:
    AVCodecContext* ctx_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* sws_ = nullptr;
};
