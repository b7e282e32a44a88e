#pragma once
// The live-settings dialog's view of the video engine inside a room: a
// screen or movie source needs a capture instance, which only my anchor
// microphone allows, and starting or stopping one turns my broadcast on
// or off.

#include "room/video/room_video.h"
#include "video/live_video.h"

class CRoomLiveVideo : public ILiveVideo {
public:
    CRoomLiveVideo(CVideoEngine& engine, CRoomVideo& video) : engine_(engine), video_(video) {}

    bool SetEffect(const EffectRecord::Bytes& record) override { return engine_.SetEffect(record); }
    void SetScreen(std::uintptr_t nativeWindow, VcastRect rect, bool mouse) override {
        if (video_.EnsureCapture()) engine_.SetScreen(nativeWindow, rect, mouse);
    }
    bool StartChild(int kind) override {
        if (!video_.EnsureCapture()) return false;
        // The second source fills the picture; the camera, if on, is inset.
        engine_.SetChildMaster(true);
        if (!engine_.StartChild(kind)) {
            video_.SourceStopped();
            return false;
        }
        video_.SourceStarted();
        return true;
    }
    void StopChild() override {
        engine_.StopChild();
        video_.SourceStopped();
    }
    bool MoviePlay(const std::string& path) override {
        return video_.EnsureCapture() && engine_.MoviePlay(path);
    }
    void MoviePause() override { engine_.MoviePause(); }
    void MovieStop() override { engine_.MovieStop(); }
    int MovieTotal() const override { return engine_.MovieTotal(); }
    int MovieNow() const override { return engine_.MovieNow(); }
    void MovieSeek(int seconds) override { engine_.MovieSeek(seconds); }
    void SetGrid(bool on) override { engine_.SetGrid(on); }

private:
    CVideoEngine& engine_;
    CRoomVideo& video_;
};
