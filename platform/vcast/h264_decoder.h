#pragma once
// One H.264 decoder for whole Annex B frames, as the play instance and the
// recorder receive them. It refuses pictures over the size cap before a
// scaler is sized for them, and after any error (or before the first
// frame) it feeds nothing until a keyframe decodes cleanly, so damaged
// input never shows as smeared grey.

#include <cstddef>
#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

class CH264Decoder {
public:
    static constexpr int kMaxWidth = 1920;
    static constexpr int kMaxHeight = 1088;

    enum class Result { Picture, Nothing, Error };

    CH264Decoder() = default;
    ~CH264Decoder();
    CH264Decoder(const CH264Decoder&) = delete;
    CH264Decoder& operator=(const CH264Decoder&) = delete;

    bool Open();
    // Decodes one frame; on Picture, Frame() holds it until the next call.
    Result Decode(const unsigned char* data, std::size_t length, bool key, std::uint32_t stamp);
    const AVFrame* Frame() const { return frame_; }
    std::uint32_t FrameStamp() const;
    // Forgets the reference pictures: nothing until the next keyframe.
    void Reset();

private:
    Result Fail();

    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    bool needKey_ = true;
};
