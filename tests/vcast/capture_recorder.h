#pragma once
// What a capture instance handed to its callbacks, kept for the test to read.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/vcast/vcast.h"

struct CapturedFrame {
    MediaFrame frame;  // data pointer cleared: the bytes are below
    std::vector<std::uint8_t> bytes;
    std::uint8_t important = 0;
    bool taken = true;
};

class CCaptureRecorder {
public:
    // Decides per frame (counting from 0) whether it is taken; default all.
    std::function<bool(std::size_t index, const MediaFrame&)> accept;

    static bool OnFrame(const MediaFrame* f, std::uint8_t important, void* self) {
        auto* r = static_cast<CCaptureRecorder*>(self);
        CapturedFrame c;
        c.frame = *f;
        c.frame.data = nullptr;
        c.bytes.assign(f->data, f->data + f->length);
        c.important = important;
        std::lock_guard<std::mutex> g(r->lock_);
        c.taken = r->accept ? r->accept(r->frames_.size(), *f) : true;
        r->frames_.push_back(std::move(c));
        r->changed_.notify_all();
        return r->frames_.back().taken;
    }

    static void OnPicture(const VcastPicture& picture, void* self) {
        auto* r = static_cast<CCaptureRecorder*>(self);
        std::lock_guard<std::mutex> g(r->lock_);
        r->picture_ = picture;
        ++r->pictures_;
        r->changed_.notify_all();
    }

    // Waits until `count` frames came, or the time ran out; a copy of them.
    std::vector<CapturedFrame> WaitFrames(std::size_t count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lk(lock_);
        changed_.wait_for(lk, limit, [&] { return frames_.size() >= count; });
        return frames_;
    }

    // Waits for a picture that satisfies `good`; the last picture seen either way.
    VcastPicture WaitPicture(const std::function<bool(const VcastPicture&)>& good,
                             std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lk(lock_);
        changed_.wait_for(lk, limit, [&] { return pictures_ > 0 && good(picture_); });
        return picture_;
    }

    std::size_t Pictures() {
        std::lock_guard<std::mutex> g(lock_);
        return pictures_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<CapturedFrame> frames_;
    VcastPicture picture_;
    std::size_t pictures_ = 0;
};
