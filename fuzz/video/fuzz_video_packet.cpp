// Video packets through both ends of their trip. The input is a run of
// packets, each [flags][length, 2 bytes][body]; flag bit 0 takes the body as
// a TLV body as received, else as a header word, a stamp and the frame's
// bytes wrapped in a well-formed body (so that seeds reach the joining).
// Each body goes
//  - as a Video_Data_Notify, through the client's decode, unpacking and
//    joining of pieces;
//  - as a Video_Data, through zeri-server's admission check, the room's
//    cache and two viewers' gates (flag bits 1-2 pick their backlog).
// No input may crash or let a frame, the cache or what a gate passes grow
// past its bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "net/catalogue_media.h"
#include "net/fields.h"
#include "net/tlv.h"
#include "server/room_wire.h"
#include "server/video_cache.h"
#include "video/frame_assembler.h"
#include "video/media_frame_word.h"

namespace {

std::uint32_t Be32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

template <class Msg>
std::vector<unsigned char> Encode(const Msg& m) {
    TLV::body b;
    wire::write_fields(b, m);
    return TLV::encode(b);
}

void Check(bool ok) {
    if (!ok) std::abort();
}

struct Viewer {
    server::CViewerGate gate;
    std::size_t queued = 0;
    // Pieces passed for the frame being sent: one frame's worth at most.
    std::uint32_t stamp = 0;
    std::size_t passedOfFrame = 0;
};

void Client(CFrameAssembler& assembler, const std::vector<unsigned char>& body) {
    const auto m = wire::decode<msg::Video_Data_Notify>(body.data(), body.size());
    if (!m.ok() || !ValidVideoWord(m.header_word, m.frame.size())) return;
    MediaFrame f = UnpackFrameWord(m.header_word);
    f.stamp = m.value4;
    f.length = static_cast<std::uint32_t>(m.frame.size());
    MediaFrame out;
    std::vector<unsigned char> bytes;
    if (assembler.Add(f, m.frame.data(), m.frame.size(), out, bytes) == AssembleResult::kWhole) {
        Check(out.length == bytes.size());
        Check(!bytes.empty() && bytes.size() <= kMaxVideoFrameBytes);
        Check(out.f2 == 0 && out.f4 == 0);
    }
}

void Server(server::CVideoCache& cache, Viewer (&viewers)[2], std::uint8_t flags,
            const std::vector<unsigned char>& body) {
    const auto d = wire::decode<msg::Video_Data>(body.data(), body.size());
    if (!server::VideoDataAdmissible(d.header_word, d.frame.size())) return;
    MediaFrame piece = UnpackFrameWord(d.header_word);
    piece.stamp = d.stamp_diff;
    piece.length = static_cast<std::uint32_t>(d.frame.size());
    msg::Video_Data_Notify note;
    note.value1 = 10001;
    note.frame = d.frame;
    note.header_word = d.header_word;
    note.value4 = d.stamp_diff;
    const server::SharedPacket packet = server::Pack(2, note);
    if (!packet) return;
    cache.Add(piece, packet);
    Check(cache.bytes() <= server::CVideoCache::kMaxBytes);
    Check(cache.entries().size() <= server::CVideoCache::kMaxPieces);
    Check(cache.empty() || StartsKeyFrame(cache.entries().front().piece));

    static constexpr std::size_t kBacklogs[4] = {0, server::CViewerGate::kBacklogBytes + 1,
                                                 server::CViewerGate::kKeyframeCeiling + 1, 500};
    for (int i = 0; i < 2; ++i) {
        Viewer& v = viewers[i];
        v.queued = kBacklogs[(flags >> (1 + i)) & 3];
        const bool first = piece.f2 == 0;
        const bool passed = v.gate.Pass(piece, v.queued);
        if (first) {
            v.stamp = piece.stamp;
            v.passedOfFrame = 0;
        }
        if (!passed) continue;
        Check(first || piece.stamp == v.stamp);
        Check(++v.passedOfFrame <= kMaxFramePieces);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CFrameAssembler assembler;
    server::CVideoCache cache;
    Viewer viewers[2];
    std::size_t at = 0;
    while (at + 3 <= size) {
        const std::uint8_t flags = data[at];
        std::size_t length = std::size_t{data[at + 1]} << 8 | data[at + 2];
        at += 3;
        if (length > size - at) length = size - at;
        const unsigned char* p = data + at;
        at += length;

        std::vector<unsigned char> notifyBody, dataBody;
        if (flags & 1) {
            notifyBody.assign(p, p + length);
            dataBody = notifyBody;
        } else {
            if (length < 8) continue;
            const std::uint32_t word = Be32(p), stamp = Be32(p + 4);
            const wire::bytes frame(p + 8, length - 8);
            msg::Video_Data_Notify n;
            n.value1 = 10001;
            n.header_word = word;
            n.value4 = stamp;
            n.frame = frame;
            notifyBody = Encode(n);
            msg::Video_Data d;
            d.stamp_diff = stamp;
            d.header_word = word;
            d.frame = frame;
            dataBody = Encode(d);
        }
        Client(assembler, notifyBody);
        Server(cache, viewers, flags, dataBody);
    }
    return 0;
}
