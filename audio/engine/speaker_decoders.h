#pragma once
// The receive half of the voice path: one AAC decoder per speaker (a shared
// one would splice two people's overlapping frames into one stream) and one
// AMR carry-over per speaker. Payloads are checked frame by frame before a
// decoder sees them; what is refused is counted by why. At most eight
// speakers at once; a speaker silent for two seconds is forgotten.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "core/byte_queue.h"

struct sonic_daac_t;
struct sonic_damr_t;

class CSpeakerDecoders {
public:
    static constexpr std::size_t kMaxSpeakers = 8;
    static constexpr std::uint32_t kIdleMs = 2000;
    // The most PCM one AAC payload may give (about 186 ms).
    static constexpr std::size_t kMaxPcmBytes = 8192;
    static constexpr std::size_t kMaxPayloadBytes = 8192;

    struct Counts {
        std::uint64_t aacPackets = 0;
        std::uint64_t amrPackets = 0;
        std::uint64_t badFrames = 0;     // not AAC-LC 22050 mono ADTS, or cut short
        std::uint64_t oversize = 0;      // payload or its PCM past the limits
        std::uint64_t undecodable = 0;   // the decoder made nothing of it
        std::uint64_t tooManySpeakers = 0;
        std::uint64_t badKind = 0;
        std::uint64_t speakersFreed = 0;
    };

    // Wideband PCM (22050 Hz) of one packet, with its stamp; narrowband
    // (8000 Hz) as it comes out. Both on the decoding thread.
    using WideSink = std::function<void(std::uint32_t speaker, std::uint32_t stamp,
                                        const std::int16_t* pcm, std::size_t samples)>;
    using NarrowSink = std::function<void(std::uint32_t speaker, const std::int16_t* pcm,
                                          std::size_t samples)>;

    CSpeakerDecoders(WideSink wide, NarrowSink narrow);
    ~CSpeakerDecoders();
    CSpeakerDecoders(const CSpeakerDecoders&) = delete;
    CSpeakerDecoders& operator=(const CSpeakerDecoders&) = delete;

    // kind 1 = AAC, 0 = AMR; `nowMs` frees idle speakers.
    void Decode(int kind, std::uint32_t speaker, std::uint32_t stamp, const unsigned char* data,
                std::size_t length, std::uint32_t nowMs);
    void Clear();
    std::size_t Speakers() const { return speakers_.size(); }
    const Counts& counts() const { return counts_; }

private:
    struct Speaker;
    Speaker* Find(std::uint32_t id, std::uint32_t nowMs);
    void DecodeAac(Speaker& s, std::uint32_t speaker, std::uint32_t stamp,
                   const unsigned char* data, std::size_t length);
    void DecodeAmr(Speaker& s, std::uint32_t speaker, const unsigned char* data,
                   std::size_t length);

    WideSink wide_;
    NarrowSink narrow_;
    std::map<std::uint32_t, std::unique_ptr<Speaker>> speakers_;
    Counts counts_;
};
