#pragma once
// ARGB pictures → H.264 Annex B access units through libx264, tuned for a
// live room: no frame delay, no B-frames, a keyframe at least every two
// seconds with SPS/PPS in front of it, and a capped VBV so one frame never
// floods the connection.

#include <cstdint>
#include <vector>

#include "platform/vcast/picture.h"
#include "platform/vcast/picture_fit.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

struct H264Settings {
    int width = 0, height = 0, fps = 0;
    int bitRate = 0;    // bits per second, the average aimed at
    int maxRate = 0;    // VBV rate
    int bufferSize = 0; // VBV buffer, bits
    int gop = 0;        // frames between keyframes at most
};

struct EncodedFrame {
    std::vector<std::uint8_t> bytes;  // one access unit, Annex B
    bool key = false;
    bool referenced = true;           // false: nothing refers to it
};

class CH264Encoder {
public:
    // The settings used for a picture of width×height at fps (sizes made even).
    static H264Settings SettingsFor(int width, int height, int fps);

    CH264Encoder() = default;
    CH264Encoder(const CH264Encoder&) = delete;
    CH264Encoder& operator=(const CH264Encoder&) = delete;
    ~CH264Encoder();

    bool Open(int width, int height, int fps);
    void Close();
    bool IsOpen() const { return ctx_ != nullptr; }
    const H264Settings& Settings() const { return settings_; }

    // Encodes one picture (scaled into the encoder's size, aspect kept);
    // `forceKey` makes it an IDR. `tick` counts capture ticks (rising), so
    // the rate control sees the time of pictures left out; -1 = the next.
    // False on an error or when nothing came out.
    bool Encode(const VcastPicture& picture, bool forceKey, EncodedFrame& out, std::int64_t tick = -1);

private:
    H264Settings settings_;
    AVCodecContext* ctx_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* sws_ = nullptr;
    CPictureFit fit_;
    VcastPicture fitted_;
    std::int64_t pts_ = 0;
};
