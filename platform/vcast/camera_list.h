#pragma once
// The cameras this machine has: v4l2 capture devices by card name, then the
// test pattern, always last, so camera 0 exists everywhere.

#include <string>
#include <vector>

struct CameraEntry {
    std::string name;
    std::string device;  // "/dev/videoN"; empty for the test pattern
};

std::vector<CameraEntry> ListCameras();
