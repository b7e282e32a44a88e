#pragma once
// A first-in first-out byte queue in chunks of N bytes, for the audio path
// (capture, packets, decoder input, playback). Appends copy into the last
// chunk while it has room; reads see the first chunk directly, or a copy
// gathered across chunks, so a reader always gets contiguous bytes without
// the queue moving what it holds. Not thread-safe: its owner locks.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <deque>
#include <memory>

template <std::size_t N>
class c_byte_queue {
public:
    // Lengths of 0 or less add nothing; more than N goes in pieces of N.
    void Append(const void* data, long length) {
        if (length <= 0 || !data) return;
        const auto* bytes = static_cast<const unsigned char*>(data);
        while (length > 0) {
            const std::size_t piece = std::min<std::size_t>(static_cast<std::size_t>(length), N);
            if (chunks_.empty() || N - chunks_.back()->write < piece)
                chunks_.push_back(std::make_unique<Chunk>());
            Chunk& c = *chunks_.back();
            std::memcpy(c.bytes.data() + c.write, bytes, piece);
            c.write += piece;
            total_ += piece;
            bytes += piece;
            length -= static_cast<long>(piece);
        }
    }

    // The first `length` bytes, contiguous; null when more than N or more
    // than are queued. Valid until the next change of the queue.
    const unsigned char* Peek(std::size_t length) {
        if (length > N || length > total_ || length == 0) return nullptr;
        Chunk& first = *chunks_.front();
        if (first.write - first.read >= length) return first.bytes.data() + first.read;
        if (!scratch_) scratch_ = std::make_unique<std::array<unsigned char, N>>();
        std::size_t copied = 0;
        for (const auto& c : chunks_) {
            const std::size_t take = std::min(length - copied, c->write - c->read);
            std::memcpy(scratch_->data() + copied, c->bytes.data() + c->read, take);
            copied += take;
            if (copied == length) break;
        }
        return scratch_->data();
    }

    // Drops the first `length` bytes; nothing when fewer are queued.
    void Consume(std::size_t length) {
        if (length > total_) return;
        total_ -= length;
        while (length > 0) {
            Chunk& c = *chunks_.front();
            const std::size_t take = std::min(length, c.write - c.read);
            c.read += take;
            length -= take;
            if (c.read == c.write) chunks_.pop_front();
        }
    }

    std::size_t Size() const { return total_; }
    void Clear() {
        chunks_.clear();
        total_ = 0;
    }

private:
    struct Chunk {
        std::array<unsigned char, N> bytes;
        std::size_t read = 0, write = 0;
    };
    std::deque<std::unique_ptr<Chunk>> chunks_;
    std::unique_ptr<std::array<unsigned char, N>> scratch_;
    std::size_t total_ = 0;
};
