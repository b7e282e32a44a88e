// The video relay: each piece of video from the room's anchor goes, checked,
// to every other video login of the room, never back to its sender; the
// room keeps its anchor's latest keyframe and the frames since, so a viewer
// who logs in later sees a picture at once. What is dropped is counted and
// logged once per connection, never answered: an answer per frame would
// only double the traffic.
#include "core/log.h"
#include "net/catalogue_media.h"
#include "server/room_handler.h"
#include "server/room_wire.h"

namespace server {

void CRoomHandler::Video(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    const auto data = wire::decode<msg::Video_Data>(body, n);
    const bool shapeOk = VideoDataAdmissible(data.header_word, data.frame.size());
    MediaFrame piece = UnpackFrameWord(data.header_word);
    piece.stamp = data.stamp_diff;
    piece.length = static_cast<std::uint32_t>(data.frame.size());

    std::lock_guard<std::mutex> g(lock_);
    auto it = sessions_.find(s->id());
    if (it == sessions_.end()) return;
    Session& st = it->second;
    const Binding me = st.video;
    const char* why = nullptr;
    if (!me.live()) {
        ++video_.notAnchor;
        why = "no video login";
    } else if (auto mic = mic_.find(me.room); mic == mic_.end() || mic->second.anchor != me.user) {
        ++video_.notAnchor;
        why = "not the anchor";
    } else if (!shapeOk) {
        ++video_.badFrames;
        why = "a header word no frame has";
    }
    if (why) {
        if (!st.videoDropLogged) {
            st.videoDropLogged = true;
            log_msg("room: video of session %llu (user %u) dropped: %s; further drops not logged",
                    static_cast<unsigned long long>(s->id()), me.user, why);
        }
        return;
    }

    msg::Video_Data_Notify note;
    note.value1 = me.user;
    note.frame = data.frame;
    note.header_word = data.header_word;
    note.value4 = data.stamp_diff;
    // Encoded once, the same bytes queued for every viewer.
    const SharedPacket packet = Pack(kRoomVideoChannel, note);
    if (!packet) return;
    videoCache_[me.room].Add(piece, packet);

    auto r = members_.find(me.room);
    if (r == members_.end()) return;
    for (const auto& [user, member] : r->second) {
        if (user == me.user) continue;
        auto v = videoOf_.find(user);
        if (v == videoOf_.end()) continue;
        auto o = sessions_.find(v->second);
        if (o == sessions_.end() || o->second.video.room != me.room) continue;
        // A viewer that cannot keep up gets keyframes only, rather than
        // being dropped at its connection's limit.
        if (!o->second.videoGate.Pass(piece, o->second.s->queuedBytes())) {
            ++video_.held;
            continue;
        }
        if (o->second.s->Send(packet)) ++video_.relayed;
    }
}

void CRoomHandler::VideoWelcome(Session& st) {
    st.videoGate.WaitForKeyframe();
    auto c = videoCache_.find(st.video.room);
    if (c == videoCache_.end()) return;
    for (const CVideoCache::Entry& e : c->second.entries()) {
        // The same gate as live frames: a catch-up that meets a slow
        // connection stops at a frame boundary and waits for a keyframe.
        if (!st.videoGate.Pass(e.piece, st.s->queuedBytes())) continue;
        if (st.s->Send(e.packet)) ++video_.caughtUp;
    }
}

void CRoomHandler::VideoAnchorChanged(std::uint32_t room) {
    videoCache_.erase(room);
    auto r = members_.find(room);
    if (r == members_.end()) return;
    // The new anchor's deltas mean nothing before its first keyframe.
    for (const auto& [user, member] : r->second) {
        auto v = videoOf_.find(user);
        if (v == videoOf_.end()) continue;
        auto o = sessions_.find(v->second);
        if (o != sessions_.end() && o->second.video.room == room)
            o->second.videoGate.WaitForKeyframe();
    }
}

void CRoomHandler::VideoLoginGone(const Binding& b) {
    auto mic = mic_.find(b.room);
    // The anchor's stopped or restarted video starts at a fresh keyframe.
    if (mic != mic_.end() && mic->second.anchor == b.user) VideoAnchorChanged(b.room);
}

CRoomHandler::VideoCounts CRoomHandler::VideoCounters() {
    std::lock_guard<std::mutex> g(lock_);
    return video_;
}

std::size_t CRoomHandler::VideoCacheBytes(std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    auto c = videoCache_.find(room);
    return c == videoCache_.end() ? 0 : c->second.bytes();
}

}  // namespace server
