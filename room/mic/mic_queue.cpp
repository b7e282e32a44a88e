#include "room/mic/mic_queue.h"

#include <algorithm>

void CMicQueue::Assign(const msg::Control_Wheat_List_Notify& n,
                       const std::map<std::uint32_t, RoomUser>& users) {
    ids_.clear();
    head_ = 0;
    headSeconds_ = n.remaining;
    controlled_ = n.controlled != 0;
    forbidden_ = n.forbidden != 0;
    const std::size_t count = std::min(n.queue.size(), kMaxIds);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t id = n.queue[i];
        if (id == 0) break;  // the list ends at the first empty id
        if (i == 0) head_ = id;
        if (!users.count(id) || Contains(id)) continue;
        ids_.push_back(id);
    }
}

bool CMicQueue::Remove(std::uint32_t userId) {
    const auto it = std::find(ids_.begin(), ids_.end(), userId);
    if (it == ids_.end()) return false;
    ids_.erase(it);
    if (userId == head_) {
        head_ = ids_.empty() ? 0 : ids_.front();
        headSeconds_ = 0;
    }
    return true;
}

void CMicQueue::Clear() {
    ids_.clear();
    head_ = 0;
    headSeconds_ = 0;
}

bool CMicQueue::Contains(std::uint32_t userId) const {
    return std::find(ids_.begin(), ids_.end(), userId) != ids_.end();
}

std::string CMicQueue::SecondsText() const {
    if (ids_.empty() || headSeconds_ == 0) return {};
    return std::to_string(headSeconds_) + "s";
}

std::string CMicQueue::Tick() {
    const std::string shown = SecondsText();
    if (!shown.empty()) --headSeconds_;
    return shown;
}
