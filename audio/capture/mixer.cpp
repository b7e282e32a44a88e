#include "audio/capture/mixer.h"

#include <algorithm>

int CMixer::GetVolume(int kind, int device) const {
    if (!backend_ || kind == kNeutral) return 0;
    return std::clamp(backend_->GetVolume(kind, device), 0, 100);
}

bool CMixer::SetVolume(int kind, int percent, int device) {
    if (!backend_ || kind == kNeutral) return false;
    return backend_->SetVolume(kind, std::clamp(percent, 0, 100), device);
}

bool CMixer::GetMute(int kind, int device) const {
    if (!backend_ || kind == kNeutral) return false;
    return backend_->GetMute(kind, device);
}

bool CMixer::SetMute(int kind, bool mute, int device) {
    if (!backend_ || kind == kNeutral) return false;
    return backend_->SetMute(kind, mute, device);
}
