#include "server/video_cache.h"

namespace server {

void CVideoCache::Add(const MediaFrame& piece, const SharedPacket& packet) {
    if (!packet) return;
    if (StartsKeyFrame(piece)) {
        Clear();
    } else if (entries_.empty()) {
        return;  // no keyframe to start from
    }
    const std::size_t size = packet->frame().size();
    if (bytes_ + size > kMaxBytes || entries_.size() >= kMaxPieces) {
        Clear();
        return;
    }
    entries_.push_back({piece, packet});
    bytes_ += size;
}

void CVideoCache::Clear() {
    entries_.clear();
    bytes_ = 0;
}

bool CViewerGate::Pass(const MediaFrame& piece, std::size_t queued) {
    if (piece.f2 != 0) {
        const std::uint32_t bit = 1u << (piece.f2 & 31);
        if (!decided_ || !send_ || piece.stamp != stamp_ || piece.f4 != count_ || (sent_ & bit))
            return false;
        sent_ |= bit;
        return true;
    }
    decided_ = true;
    stamp_ = piece.stamp;
    count_ = piece.f4;
    sent_ = 1;
    if (piece.f1 == media_frame::kKeyFrame) {
        send_ = queued <= kKeyframeCeiling;
        live_ = send_ && queued <= kBacklogBytes;
    } else {
        send_ = live_ && queued <= kBacklogBytes;
        live_ = send_;
    }
    return send_;
}

void CViewerGate::WaitForKeyframe() {
    live_ = false;
    decided_ = false;
    send_ = false;
}

}  // namespace server
