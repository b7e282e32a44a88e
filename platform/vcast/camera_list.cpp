#include "platform/vcast/camera_list.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/vcast/test_pattern.h"
#include "platform/vcast/vcast.h"

namespace {
constexpr int kMaxVideoNodes = 64;

// The card name when `path` is a node that captures video, else empty.
std::string CaptureCardName(const char* path) {
    const int fd = ::open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    v4l2_capability cap{};
    std::string name;
    if (::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
        // Nodes of a multi-node device report their own caps apart from the whole device's.
        const std::uint32_t caps =
            (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        if ((caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING)) {
            name.assign(reinterpret_cast<const char*>(cap.card),
                        strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
            if (name.empty()) name = path;
        }
    }
    ::close(fd);
    return name;
}
}  // namespace

std::vector<CameraEntry> ListCameras() {
    std::vector<CameraEntry> list;
    for (int i = 0; i < kMaxVideoNodes; ++i) {
        char path[32];
        std::snprintf(path, sizeof path, "/dev/video%d", i);
        if (::access(path, F_OK) != 0) continue;
        std::string name = CaptureCardName(path);
        if (!name.empty()) list.push_back({std::move(name), path});
    }
    list.push_back({vcast_pattern::kName, {}});
    return list;
}

int VCAST_GetVideoCount() { return static_cast<int>(ListCameras().size()); }

int VCAST_GetVideoName(int index, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    const auto list = ListCameras();
    if (index < 0 || index >= static_cast<int>(list.size())) {
        buffer[0] = 0;
        return 0;
    }
    const std::string& name = list[static_cast<std::size_t>(index)].name;
    std::size_t n = std::min(name.size(), static_cast<std::size_t>(size - 1));
    // A cut never splits a character.
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, name.data(), n);
    buffer[n] = 0;
    return 1;
}
