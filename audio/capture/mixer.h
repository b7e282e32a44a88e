#pragma once
// Volume and mute of the devices the room's two sliders and four buttons
// control, by line kind: 1 this program's playback, 3 the microphone,
// 2 nothing (neutral answers), any other the output device. Each call asks
// the device layer afresh; nothing is kept here. A failed setter says so
// (false) and a microphone's volume is its volume, never its input level.

#include <memory>

#include "platform/wavedev/wavedev.h"

class CMixer {
public:
    enum Kind { kPlayback = 1, kNeutral = 2, kMicrophone = 3, kSpeakers = 4 };

    explicit CMixer(std::shared_ptr<wavedev::IWaveBackend> backend) : backend_(std::move(backend)) {}

    // 0…100.
    int GetVolume(int kind, int device) const;
    bool SetVolume(int kind, int percent, int device);
    bool GetMute(int kind, int device) const;
    bool SetMute(int kind, bool mute, int device);

private:
    std::shared_ptr<wavedev::IWaveBackend> backend_;
};
