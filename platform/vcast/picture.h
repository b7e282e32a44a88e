#pragma once
// Decoded or captured pictures on their way to a window. The library keeps
// the newest picture per window in a mailbox and posts one message while it
// is unread; the window takes whatever is newest when it gets there, so a
// slow window skips pictures instead of queueing them.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/message.h"

// Posted to a video window: wParam 0, payload std::shared_ptr<CPictureMailbox>.
inline constexpr unsigned UM_VCAST_PICTURE = 1790;

struct VcastPicture {
    int width = 0;
    int height = 0;
    std::uint32_t stamp = 0;          // the frame's stamp (ms)
    std::vector<std::uint32_t> argb;  // width * height, 0xAARRGGBB, rows top down
};

class CPictureMailbox {
public:
    // Stores the picture; true when the window must be told (nothing unread).
    bool Put(std::shared_ptr<const VcastPicture> picture) {
        std::lock_guard<std::mutex> g(lock_);
        newest_ = std::move(picture);
        const bool tell = !unread_;
        unread_ = true;
        return tell;
    }
    // The newest picture, or null when none arrived since the last take.
    std::shared_ptr<const VcastPicture> Take() {
        std::lock_guard<std::mutex> g(lock_);
        unread_ = false;
        return std::move(newest_);
    }

    // Put, and post UM_VCAST_PICTURE to `window` when it must be told.
    static void Deliver(const std::shared_ptr<CPictureMailbox>& box, HWND window,
                        std::shared_ptr<const VcastPicture> picture) {
        if (!box || !window) return;
        if (box->Put(std::move(picture)) &&
            !PostMessage(window, UM_VCAST_PICTURE, 0, 0,
                         std::make_unique<TMessageData<std::shared_ptr<CPictureMailbox>>>(box)))
            box->Take();  // no window to tell: the next picture tries again
    }

private:
    std::mutex lock_;
    std::shared_ptr<const VcastPicture> newest_;
    bool unread_ = false;
};
