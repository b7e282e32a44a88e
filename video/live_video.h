#pragma once
// What the live-settings dialog asks of the video engine: effects, the
// screen and movie sources and the preview's grid. A narrow interface, so the
// dialog can be shown and tested without a capture instance; the room hands
// it the engine through CRoomLiveVideo (room/video/room_live_video.h).

#include <cstdint>
#include <string>

#include "platform/vcast/vcast.h"
#include "video/effect_record.h"

class ILiveVideo {
public:
    virtual ~ILiveVideo() = default;
    virtual bool SetEffect(const EffectRecord::Bytes& record) = 0;
    // `nativeWindow` 0 for the whole desktop; `rect` in screen pixels.
    virtual void SetScreen(std::uintptr_t nativeWindow, VcastRect rect, bool mouse) = 0;
    // 1 screen, 2 movie, 3 movie of our own kind; true when it runs.
    virtual bool StartChild(int kind) = 0;
    virtual void StopChild() = 0;
    virtual bool MoviePlay(const std::string& path) = 0;
    virtual void MoviePause() = 0;
    virtual void MovieStop() = 0;
    virtual int MovieTotal() const = 0;  // seconds; 0 unknown
    virtual int MovieNow() const = 0;    // seconds
    virtual void MovieSeek(int seconds) = 0;
    virtual void SetGrid(bool on) = 0;
};
