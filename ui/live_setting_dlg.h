#pragma once
// The live settings ("liveSettingUI.xml"): devices and voice options, the
// talk key, the camera, screen capture (whole desktop, a followed window or
// a chosen region), a movie as the video source, the video effects and the
// recording size. It opens with what "common.xml" and "effect.dat" hold;
// every effect change reaches the video engine at once; "closebtn" writes
// both files and tells the room to apply them. A save that fails keeps the
// dialog open with a tip.
//
// Files: live_setting_dlg.cpp (settings, devices, saving),
// live_setting_effect.cpp (effect controls), live_setting_capture.cpp
// (screen, movie, grid).

#include <QPointer>

#include <functional>
#include <string>
#include <vector>

#include "platform/dui/window.h"
#include "ui/av_screen_rect.h"
#include "video/effect_record.h"
#include "video/live_video.h"
#include "video/settings.h"

class CComboUI;
class CSliderUI;

// The devices as the room knows them. Without the volume calls there is no
// audio layer: the audio controls are disabled, their settings kept as read.
struct LiveSettingDevices {
    std::vector<std::string> inputs, outputs, cameras;
    // Mixer kinds: 1 playback, 3 microphone; device by index, -1 the default.
    std::function<int(int kind, int device)> getVolume;
    std::function<bool(int kind, int device, int percent)> setVolume;
};

// Where the dialog asks the user something; the file and font dialogs
// unless set (tests answer for the user).
struct LiveSettingAsk {
    // Path chosen, empty when cancelled.
    std::function<std::string(const std::string& title, const std::string& filter,
                              const std::string& defaultSuffix)>
        openFile;
    // Face chosen (UTF-8), empty when cancelled.
    std::function<std::string(const std::string& current)> pickFont;
};

struct LiveSettingFiles {
    std::string settings;  // common.xml
    std::string effect;    // effect.dat
};

class CLiveSettingDlg : public WindowImplBase, public ICatchSlink {
public:
    static constexpr unsigned kGridTimer = 107;
    static constexpr unsigned kMovieTimer = 108;
    static constexpr unsigned kGridMs = 3000;
    static constexpr unsigned kMovieMs = 500;
    // Mixer kinds of the two volume sliders.
    static constexpr int kPlaybackKind = 1;
    static constexpr int kMicrophoneKind = 3;

    CLiveSettingDlg(ILiveVideo& video, LiveSettingDevices devices, LiveSettingFiles files,
                    std::function<void()> onChanged);
    ~CLiveSettingDlg() override;

    std::string GetWindowClassName() const override { return "LiveSettingUI"; }
    std::string GetSkinFile() const override { return "liveSettingUI.xml"; }
    void Notify(TNotifyUI& msg) override;
    void SetAsk(LiveSettingAsk ask) { ask_ = std::move(ask); }

    // Reads both files again and shows them (the room calls it before it
    // shows a dialog it kept); a running screen or movie source stays.
    void Reload();
    // "closebtn": writes the three groups and "effect.dat", tells the room
    // and closes; on failure a tip, and the dialog stays.
    bool SaveAndClose();

    const DeviceSettings& Device() const { return device_; }
    const VideoSettings& Video() const { return video_; }
    const RecordSettings& Record() const { return record_; }
    const EffectRecord& Effect() const { return effect_; }
    CAvScreenRect* Picker() const { return picker_; }
    bool ScreenRunning() const { return screenRunning_; }
    bool MovieRunning() const { return movieRunning_; }
    // The movie timer's work (public so tests step it).
    void MovieTick();
    // "mm:ss/mm:ss"; a total of 0 is unknown ("--:--").
    static std::string MovieTime(int now, int total);
    // 3 for the library's own movie kind ("zvf", exactly), else 2.
    static int MovieKind(const std::string& path);

    // ICatchSlink
    void OnWindow(const CaughtWindow& window) override;
    void OnRect(const QRect& rect) override;
    void OnClose() override;

protected:
    void InitWindow() override;
    void OnTimer(unsigned id) override;
    void OnFinalMessage() override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // live_setting_dlg.cpp
    void LoadSettings();
    void ShowDevices();
    void ShowVideoSource();
    void ShowRecord();
    void ShowVolume(const char* combo, const char* slider, int kind);
    bool OnDeviceNotify(const TNotifyUI& msg);
    bool OnRecordNotify(const TNotifyUI& msg);
    bool TakeTalkKey(int qtKey);
    void ShowTip(const std::string& text);
    // The device chosen in a device combo; -1 for the default.
    int Selected(const char* combo) const;

    // live_setting_effect.cpp
    void ShowEffect();
    bool OnEffectNotify(const TNotifyUI& msg);
    void ChoosePicture(std::string EffectRecord::*path);
    void ApplyEffect();

    // live_setting_capture.cpp
    bool OnCaptureNotify(const TNotifyUI& msg);
    int CatchType() const;
    void StartScreen();
    void StopScreen();
    void ClosePicker();
    void SetScreenButtons(bool running);
    void OpenMovie();
    void StopMovie();
    void SetMovieControls(bool running);
    void ShowGrid();

    ILiveVideo& engine_;
    LiveSettingDevices devices_;
    LiveSettingFiles files_;
    std::function<void()> onChanged_;
    LiveSettingAsk ask_;
    CSettingsStore store_;
    DeviceSettings device_;
    VideoSettings video_;
    RecordSettings record_;
    EffectRecord effect_;
    QPointer<CAvScreenRect> picker_;
    bool screenRunning_ = false;
    bool movieRunning_ = false;
    bool moviePaused_ = false;
    bool gridOn_ = false;
};
