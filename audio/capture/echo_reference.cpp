#include <algorithm>
#include <cstring>

#include "audio/capture/voice_preprocessor.h"

void CEchoReference::Played(const std::int16_t* samples, std::size_t count) {
    if (!samples || count == 0) return;
    // Only the newest second can still be echoing.
    if (count > kCapacity) {
        samples += count - kCapacity;
        count = kCapacity;
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (ring_.empty()) ring_.resize(kCapacity);
    if (size_ + count > kCapacity) {
        const std::size_t drop = size_ + count - kCapacity;
        read_ = (read_ + drop) % kCapacity;
        size_ -= drop;
    }
    const std::size_t write = (read_ + size_) % kCapacity;
    const std::size_t first = std::min(count, kCapacity - write);
    std::memcpy(&ring_[write], samples, first * sizeof *samples);
    std::memcpy(&ring_[0], samples + first, (count - first) * sizeof *samples);
    size_ += count;
}

void CEchoReference::Take(std::int16_t* out, std::size_t count) {
    if (!out) return;
    std::lock_guard<std::mutex> guard(lock_);
    const std::size_t n = std::min(count, size_);
    const std::size_t first = std::min(n, kCapacity - read_);
    if (n > 0) {
        std::memcpy(out, &ring_[read_], first * sizeof *out);
        std::memcpy(out + first, &ring_[0], (n - first) * sizeof *out);
    }
    std::fill(out + n, out + count, std::int16_t{0});
    read_ = n > 0 ? (read_ + n) % kCapacity : read_;
    size_ -= n;
}

void CEchoReference::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    read_ = 0;
    size_ = 0;
}

std::size_t CEchoReference::Queued() {
    std::lock_guard<std::mutex> guard(lock_);
    return size_;
}
