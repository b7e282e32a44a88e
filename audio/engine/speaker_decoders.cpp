#include "audio/engine/speaker_decoders.h"

#include <algorithm>
#include <vector>

#include "net/adts.h"
#include "platform/sonic/sonic.h"

namespace {
// A voice packet carries at most this many AAC frames (the relay's rule).
constexpr int kMaxFramesPerPacket = 8;
// AMR bytes kept between packets: far more than a frame, never unbounded.
constexpr std::size_t kMaxAmrCarry = 8192;
}  // namespace

struct CSpeakerDecoders::Speaker {
    sonic_daac_t* aac = nullptr;
    sonic_damr_t* amr = nullptr;
    c_byte_queue<8192> amrInput;
    std::uint32_t lastMs = 0;

    ~Speaker() {
        sonic_daac_release(aac);
        sonic_damr_release(amr);
    }
};

CSpeakerDecoders::CSpeakerDecoders(WideSink wide, NarrowSink narrow)
    : wide_(std::move(wide)), narrow_(std::move(narrow)) {
    sonic_init();
}

CSpeakerDecoders::~CSpeakerDecoders() = default;

void CSpeakerDecoders::Clear() { speakers_.clear(); }

CSpeakerDecoders::Speaker* CSpeakerDecoders::Find(std::uint32_t id, std::uint32_t nowMs) {
    for (auto it = speakers_.begin(); it != speakers_.end();) {
        if (it->first != id && nowMs - it->second->lastMs > kIdleMs) {
            it = speakers_.erase(it);
            ++counts_.speakersFreed;
        } else {
            ++it;
        }
    }
    auto it = speakers_.find(id);
    if (it == speakers_.end()) {
        if (speakers_.size() >= kMaxSpeakers) {
            ++counts_.tooManySpeakers;
            return nullptr;
        }
        it = speakers_.emplace(id, std::make_unique<Speaker>()).first;
    }
    it->second->lastMs = nowMs;
    return it->second.get();
}

void CSpeakerDecoders::Decode(int kind, std::uint32_t speaker, std::uint32_t stamp,
                              const unsigned char* data, std::size_t length, std::uint32_t nowMs) {
    if (kind != 0 && kind != 1) {
        ++counts_.badKind;
        return;
    }
    if (!data || length == 0) return;
    if (length > kMaxPayloadBytes) {
        ++counts_.oversize;
        return;
    }
    Speaker* s = Find(speaker, nowMs);
    if (!s) return;
    if (kind == 1)
        DecodeAac(*s, speaker, stamp, data, length);
    else
        DecodeAmr(*s, speaker, data, length);
}

void CSpeakerDecoders::DecodeAac(Speaker& s, std::uint32_t speaker, std::uint32_t stamp,
                                 const unsigned char* data, std::size_t length) {
    ++counts_.aacPackets;
    // Checked at the edge: only whole AAC-LC 22050 Hz mono frames reach the decoder.
    if (adts::CountFrames(data, length, adts::kProfileLc, adts::kSampling22050, adts::kMono,
                          kMaxFramesPerPacket) < 1) {
        ++counts_.badFrames;
        return;
    }
    if (!s.aac && !(s.aac = sonic_daac())) return;
    std::vector<std::int16_t> pcm;
    std::size_t at = 0;
    while (at < length) {
        adts::Header h;
        if (!adts::ParseHeader(data + at, length - at, h)) break;  // CountFrames vouched for it
        int offered = static_cast<int>(h.frameBytes);
        unsigned char* out = nullptr;
        int outLength = 0;
        const int used = sonic_daac_decode(s.aac, data + at, &offered, &out, &outLength);
        // A call that uses nothing ends the packet rather than spinning on it.
        if (used <= 0) break;
        at += static_cast<std::size_t>(used);
        if (!out || outLength <= 0) continue;
        if (pcm.size() * 2 + static_cast<std::size_t>(outLength) > kMaxPcmBytes) {
            ++counts_.oversize;
            return;  // dropped whole, never cut
        }
        const auto* samples = reinterpret_cast<const std::int16_t*>(out);
        pcm.insert(pcm.end(), samples, samples + outLength / 2);
    }
    if (pcm.empty()) {
        ++counts_.undecodable;
        return;
    }
    if (wide_) wide_(speaker, stamp, pcm.data(), pcm.size());
}

void CSpeakerDecoders::DecodeAmr(Speaker& s, std::uint32_t speaker, const unsigned char* data,
                                 std::size_t length) {
    ++counts_.amrPackets;
    if (!s.amr && !(s.amr = sonic_damr())) return;
    if (s.amrInput.Size() + length > kMaxAmrCarry) {
        ++counts_.oversize;
        s.amrInput.Clear();
    }
    s.amrInput.Append(data, static_cast<long>(length));
    // Every whole frame now, its size from its first byte: nothing waits for
    // the next packet but a frame that is really cut short.
    while (s.amrInput.Size() > 0) {
        const std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(sonic_damr_size(s.amr)), s.amrInput.Size());
        const unsigned char* p = s.amrInput.Peek(n);
        if (!p) break;
        unsigned char* out = nullptr;
        int outLength = 0;
        const int used = sonic_damr_decode(s.amr, p, static_cast<int>(n), &out, &outLength);
        if (used <= 0) break;  // the rest of a frame is still to come
        if (out && outLength > 0 && narrow_)
            narrow_(speaker, reinterpret_cast<const std::int16_t*>(out),
                    static_cast<std::size_t>(outLength) / 2);
        else if (!out)
            ++counts_.undecodable;
        s.amrInput.Consume(static_cast<std::size_t>(used));
    }
}
