#pragma once
// The camera of the capture instance: a v4l2 device, or the test pattern.

#include <cstdint>
#include <memory>

#include "platform/vcast/capture_source.h"

// The test pattern drawn at the size it is shown, one frame per call; the
// counter is the number of pictures it produced since it started.
class CPatternSource : public ICaptureSource {
public:
    std::shared_ptr<const VcastPicture> Latest(int width, int height, std::uint32_t ms) override;
    bool Running() const override { return true; }

private:
    std::uint32_t counter_ = 0;
};

// Camera `index` of ListCameras(); null (with a log line) when it does not open.
std::unique_ptr<ICaptureSource> OpenCamera(int index);
