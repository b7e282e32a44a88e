#pragma once
// What the audio engine needs of the video half, so that audio never
// includes video: the recorder takes both directions of voice, the player
// follows the anchor's voice stamps (lip sync), and a reset clears its
// buffers. The video engine implements it; without one, nothing is done.

#include <cstddef>
#include <cstdint>

class IVcastVideo {
public:
    virtual ~IVcastVideo() = default;
    // A voice frame sent (`sent`, stamped on this computer's tick) or
    // received (the sender's stamp), kind 1 AAC or 0 AMR, for a recording
    // that may be open.
    virtual void RecordAudio(bool sent, int kind, std::uint32_t stamp, const unsigned char* data,
                             std::size_t length) = 0;
    // The anchor's voice with this stamp was handed to the output.
    virtual void SignStamp(std::uint32_t stamp) = 0;
    // The room left, reloaded or changed anchor: the play buffers go.
    virtual void PlayClear() = 0;
};
