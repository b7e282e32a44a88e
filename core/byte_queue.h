#pragma once
// A first-in first-out byte queue in chunks of N bytes, for the audio path
// (capture, packets, decoder input, playback). Appends copy into the last
// chunk while it has room; reads see the first chunk directly, or a copy
// gathered across chunks, so a reader always gets contiguous bytes without
// the queue moving what it holds. Also the HTTP client's send and receive
// buffers (lines searched across chunks). Not thread-safe: its owner locks.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

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

    // Same as Peek, under the name the HTTP client uses.
    const unsigned char* ReadContiguous(std::size_t length) { return Peek(length); }

    // The unread bytes of the first chunk: their count, and *bytes pointing
    // at them (null when the queue is empty).
    std::size_t Front(const unsigned char** bytes) const {
        if (chunks_.empty()) {
            *bytes = nullptr;
            return 0;
        }
        const Chunk& c = *chunks_.front();
        *bytes = c.bytes.data() + c.read;
        return c.write - c.read;
    }

    // Position of the first byte equal to `a` or `b` among the first `limit`
    // queued bytes, searching across chunks; `limit` when there is none.
    std::size_t FindEither(unsigned char a, unsigned char b, std::size_t limit) const {
        limit = std::min(limit, total_);
        std::size_t seen = 0;
        for (const auto& c : chunks_) {
            for (std::size_t i = c->read; i < c->write && seen < limit; ++i, ++seen)
                if (c->bytes[i] == a || c->bytes[i] == b) return seen;
            if (seen >= limit) break;
        }
        return limit;
    }

    // The byte at `index` from the front; 0 past the end.
    unsigned char At(std::size_t index) const {
        if (index >= total_) return 0;
        for (const auto& c : chunks_) {
            const std::size_t have = c->write - c->read;
            if (index < have) return c->bytes[c->read + index];
            index -= have;
        }
        return 0;
    }

    // Copies the first `length` bytes (or all, when fewer) to `out` and drops them.
    void Take(std::size_t length, std::string& out) {
        length = std::min(length, total_);
        out.clear();
        out.reserve(length);
        while (out.size() < length) {
            const unsigned char* p = nullptr;
            const std::size_t n = std::min(Front(&p), length - out.size());
            out.append(reinterpret_cast<const char*>(p), n);
            Consume(n);
        }
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
