// The voice relay: each voice packet of a member holding the anchor
// microphone or a free turn goes, checked, to every other media-server login
// of the room, never back to its speaker. What is dropped is counted, never
// answered: an answer per frame would only double the traffic.
#include "net/adts.h"
#include "net/catalogue_media.h"
#include "server/room_handler.h"
#include "server/room_wire.h"

namespace server {

std::size_t CRoomHandler::MicState::VoicesBesides(std::uint32_t user) const {
    std::size_t n = anchor && anchor != user ? 1 : 0;
    for (const auto& [who, tick] : freeTurns)
        if (who != user && who != anchor) ++n;
    return n;
}

std::uint32_t CRoomHandler::MicState::OtherVoice(std::uint32_t user) const {
    if (anchor && anchor != user) return anchor;
    for (const auto& [who, tick] : freeTurns)
        if (who != user) return who;
    return 0;
}

void CRoomHandler::Voice(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    const auto frame = wire::decode<msg::Mix_Audio_Data>(body, n);
    std::lock_guard<std::mutex> g(lock_);
    auto it = sessions_.find(s->id());
    if (it == sessions_.end() || !it->second.mix.live()) {
        ++voice_.noSlot;
        return;
    }
    const std::uint32_t room = it->second.mix.room, me = it->second.mix.user;
    auto mic = mic_.find(room);
    if (mic == mic_.end()) {
        ++voice_.noSlot;
        return;
    }
    MicState& m = mic->second;
    auto turn = m.freeTurns.find(me);
    if (m.anchor != me && turn == m.freeTurns.end()) {
        ++voice_.noSlot;
        return;
    }
    // Only what a listener's decoder expects: AAC-LC, 22050 Hz, mono, whole
    // frames, a block's worth at most.
    if (frame.audio.size() > kMaxVoiceBytes ||
        adts::CountFrames(frame.audio.data(), frame.audio.size(), adts::kProfileLc,
                          adts::kSampling22050, adts::kMono, kMaxVoiceFrames) < 1) {
        ++voice_.badFrames;
        return;
    }
    if (turn != m.freeTurns.end()) turn->second = clock_.TickMs();

    msg::Mix_Aac_Notify note;
    note.audio = frame.audio;
    note.speaker1 = me;
    // The other voice rides along, or listeners' speaker marks flicker.
    note.speaker2 = m.OtherVoice(me);
    note.stamp = frame.stamp_diff;
    TLV::body b;
    if (!wire::write_fields(b, note)) return;
    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
    b.encode(bytes, length);
    // Encoded once, the same bytes queued for every listener.
    const SharedPacket packet = CSharedPacket::Make(
        kRoomMixChannel, note.id, std::string_view(reinterpret_cast<const char*>(bytes), length));
    if (!packet) return;

    auto r = members_.find(room);
    if (r == members_.end()) return;
    for (const auto& [user, member] : r->second) {
        if (user == me) continue;
        auto mix = mixOf_.find(user);
        if (mix == mixOf_.end()) continue;
        auto o = sessions_.find(mix->second);
        if (o == sessions_.end() || o->second.mix.room != room) continue;
        // A listener that cannot keep up hears a gap, not ever older voice.
        if (o->second.s->queuedBytes() > kVoiceBacklogBytes) {
            ++voice_.backlog;
            continue;
        }
        o->second.s->Send(packet);
        ++voice_.relayed;
    }
}

CRoomHandler::VoiceCounts CRoomHandler::VoiceCounters() {
    std::lock_guard<std::mutex> g(lock_);
    return voice_;
}

}  // namespace server
