#pragma once
// A picture source of the capture instance: the camera, the screen or a
// movie. Device sources read on their own thread and keep only their newest
// picture, so the capture thread never blocks on a device.

#include <cstdint>
#include <memory>

#include "platform/vcast/picture.h"

class ICaptureSource {
public:
    virtual ~ICaptureSource() = default;
    // The newest picture (any size; `width`×`height` is where it will be
    // shown, a hint for sources that draw), or null while there is none.
    virtual std::shared_ptr<const VcastPicture> Latest(int width, int height, std::uint32_t ms) = 0;
    // False once the source has ended (a movie at its end, a device that failed).
    virtual bool Running() const = 0;
};
