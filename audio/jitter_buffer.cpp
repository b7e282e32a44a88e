#include "audio/jitter_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

void CJitterBuffer::Restart(std::uint32_t stamp, std::uint32_t nowMs) {
    frames_.clear();
    started_ = true;
    played_ = false;
    newest_ = stamp;
    offset_ = static_cast<std::int64_t>(nowMs) - stamp;
    lastTransit_ = offset_;
}

void CJitterBuffer::Push(std::uint32_t stamp, std::vector<std::int16_t> pcm, std::uint32_t nowMs) {
    if (!started_) {
        Restart(stamp, nowMs);
    } else if (std::abs(static_cast<std::int64_t>(Diff(stamp, newest_))) >
               static_cast<std::int64_t>(config_.restartGapMs)) {
        ++counts_.restarts;
        Restart(stamp, nowMs);
        jitterMs_ = 0;
    }
    if (played_ && Diff(stamp, lastPlayed_) <= 0) {
        ++(stamp == lastPlayed_ ? counts_.duplicate : counts_.late);
        return;
    }
    if (frames_.count(stamp)) {
        ++counts_.duplicate;
        return;
    }
    // Jitter as the smoothed change of transit time between arrivals.
    const std::int64_t transit = static_cast<std::int64_t>(nowMs) - stamp;
    const double change = std::fabs(static_cast<double>(transit - lastTransit_));
    jitterMs_ += (change - jitterMs_) / 16.0;
    lastTransit_ = transit;
    if (Diff(stamp, newest_) > 0) newest_ = stamp;
    frames_.emplace(stamp, std::move(pcm));
    // Beyond the limit the oldest goes: a listener hears a gap, never more delay.
    while (QueuedMs() > config_.maxDepthMs && frames_.size() > 1) {
        frames_.erase(frames_.begin());
        ++counts_.overflow;
    }
}

std::optional<std::vector<std::int16_t>> CJitterBuffer::Pop(std::uint32_t nowMs,
                                                            std::uint32_t* stamp) {
    const auto due = [this](std::uint32_t stamp) {
        return static_cast<std::int64_t>(stamp) + offset_ + TargetDepthMs();
    };
    const auto now = static_cast<std::int64_t>(nowMs);
    // After a stall and a burst, a frame whose successor is itself over a
    // frame late is stale: playing them all would keep the listener that far
    // behind for good.
    while (frames_.size() > 1 &&
           due(std::next(frames_.begin())->first) + config_.frameMs <= now) {
        frames_.erase(frames_.begin());
        ++counts_.stale;
    }
    if (frames_.empty()) return std::nullopt;
    auto first = frames_.begin();
    if (now < due(first->first)) return std::nullopt;
    std::vector<std::int16_t> pcm = std::move(first->second);
    lastPlayed_ = first->first;
    if (stamp) *stamp = first->first;
    played_ = true;
    frames_.erase(first);
    ++counts_.played;
    return pcm;
}

std::optional<std::vector<std::int16_t>> CJitterBuffer::PopNext(std::uint32_t* stamp) {
    if (frames_.empty()) return std::nullopt;
    auto first = frames_.begin();
    std::vector<std::int16_t> pcm = std::move(first->second);
    lastPlayed_ = first->first;
    if (stamp) *stamp = first->first;
    played_ = true;
    frames_.erase(first);
    ++counts_.played;
    return pcm;
}

void CJitterBuffer::Clear() {
    frames_.clear();
    started_ = false;
    played_ = false;
    jitterMs_ = 0;
}

std::uint32_t CJitterBuffer::TargetDepthMs() const {
    const double wanted = 2.0 * jitterMs_;
    const double limit = config_.maxDepthMs > config_.frameMs ? config_.maxDepthMs - config_.frameMs
                                                              : 0;
    return static_cast<std::uint32_t>(std::min(wanted, limit));
}

std::uint32_t CJitterBuffer::QueuedMs() const {
    if (frames_.empty()) return 0;
    return static_cast<std::uint32_t>(Diff(frames_.rbegin()->first, frames_.begin()->first)) +
           config_.frameMs;
}
