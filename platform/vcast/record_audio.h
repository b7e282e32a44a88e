#pragma once
// One voice pushed to the recorder (AAC in ADTS frames, or AMR-NB frames
// each with its mode byte), decoded and converted to the recording's rate
// and channels. One per codec and clock, so two voices never share a
// decoder's state.

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

class CRecordAudio {
public:
    // Decoded output of one push is capped (a hostile push cannot grow
    // the mix without bound).
    static constexpr int kMaxPushMs = 2000;

    CRecordAudio(int rate, int channels) : rate_(rate), channels_(channels) {}
    ~CRecordAudio();
    CRecordAudio(const CRecordAudio&) = delete;
    CRecordAudio& operator=(const CRecordAudio&) = delete;

    // Bytes of the whole frame of `codec` at `p` (header included); 0 when
    // none starts there. Cheap: pushes are checked with it before queuing.
    static std::size_t FrameBytes(std::uint8_t codec, const unsigned char* p, std::size_t left);

    // codec: media_frame::kCodecAacAdts or kCodecAmrNb.
    bool Open(std::uint8_t codec);
    // Appends the push's samples (interleaved, the recording's format) to
    // `pcm`; false when nothing in it decoded.
    bool Decode(const unsigned char* data, std::size_t length, std::vector<std::int16_t>& pcm);

private:
    bool DecodeOne(const unsigned char* data, std::size_t length, std::vector<std::int16_t>& pcm);
    bool Convert(std::vector<std::int16_t>& pcm);

    int rate_, channels_;
    std::uint8_t codec_ = 0;
    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwrContext* swr_ = nullptr;
    int swrRate_ = 0, swrFormat_ = -1, swrChannels_ = 0;
};
