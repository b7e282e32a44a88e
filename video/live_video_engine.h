#pragma once
// The video engine as the live-settings dialog sees it: every call passed
// on as it is. Header only, so the dialog's library needs no engine.

#include "video/live_video.h"
#include "video/video_engine.h"

class CLiveVideoOnEngine : public ILiveVideo {
public:
    explicit CLiveVideoOnEngine(CVideoEngine& engine) : engine_(engine) {}
    bool SetEffect(const EffectRecord::Bytes& record) override { return engine_.SetEffect(record); }
    void SetScreen(std::uintptr_t nativeWindow, VcastRect rect, bool mouse) override {
        engine_.SetScreen(nativeWindow, rect, mouse);
    }
    bool StartChild(int kind) override { return engine_.StartChild(kind); }
    void StopChild() override { engine_.StopChild(); }
    bool MoviePlay(const std::string& path) override { return engine_.MoviePlay(path); }
    void MoviePause() override { engine_.MoviePause(); }
    void MovieStop() override { engine_.MovieStop(); }
    int MovieTotal() const override { return engine_.MovieTotal(); }
    int MovieNow() const override { return engine_.MovieNow(); }
    void MovieSeek(int seconds) override { engine_.MovieSeek(seconds); }
    void SetGrid(bool on) override { engine_.SetGrid(on); }

private:
    CVideoEngine& engine_;
};
