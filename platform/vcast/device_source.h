#pragma once
// A capture device of the media library (v4l2 camera, x11grab screen) read on
// its own thread: every frame is converted to ARGB and kept as the newest.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/vcast/capture_source.h"

struct AVFormatContext;

class CDeviceSource : public ICaptureSource {
public:
    using Options = std::map<std::string, std::string>;
    ~CDeviceSource() override;

    // Opens `url` with the input format `format` and starts reading; null
    // (with a log line) when the device does not open or has no video.
    static std::unique_ptr<CDeviceSource> Open(const char* format, const std::string& url,
                                               const Options& options);

    std::shared_ptr<const VcastPicture> Latest(int width, int height, std::uint32_t ms) override;
    bool Running() const override { return running_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    CDeviceSource() = default;
    void Read();
    static int Interrupt(void* self);

    AVFormatContext* input_ = nullptr;
    int stream_ = -1;
    int width_ = 0, height_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{true};
    std::mutex lock_;
    std::shared_ptr<const VcastPicture> newest_;
    std::thread thread_;
};

// Opens the device only to learn its picture size (x11grab: the screen or a window).
bool ProbeDeviceSize(const char* format, const std::string& url,
                     const CDeviceSource::Options& options, int& width, int& height);
