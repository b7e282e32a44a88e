#include "platform/vcast/camera_source.h"

#include "core/log.h"
#include "platform/vcast/camera_list.h"
#include "platform/vcast/device_source.h"
#include "platform/vcast/test_pattern.h"

std::shared_ptr<const VcastPicture> CPatternSource::Latest(int width, int height, std::uint32_t ms) {
    auto picture = std::make_shared<VcastPicture>();
    vcast_pattern::Draw(*picture, width, height, counter_++, ms);
    return picture;
}

std::unique_ptr<ICaptureSource> OpenCamera(int index) {
    const auto cameras = ListCameras();
    if (index < 0 || index >= static_cast<int>(cameras.size())) {
        log_msg("vcast: no camera %d (%d known)\r\n", index, static_cast<int>(cameras.size()));
        return nullptr;
    }
    const CameraEntry& camera = cameras[static_cast<std::size_t>(index)];
    if (camera.device.empty()) return std::make_unique<CPatternSource>();
    // A common size most cameras offer; the driver picks the nearest it has.
    auto device = CDeviceSource::Open("video4linux2", camera.device,
                                      {{"video_size", "640x480"}, {"framerate", "30"}});
    if (!device) device = CDeviceSource::Open("video4linux2", camera.device, {});
    if (!device) return nullptr;
    log_msg("vcast: camera %s (%s) %dx%d\r\n", camera.name.c_str(), camera.device.c_str(),
            device->Width(), device->Height());
    return device;
}
