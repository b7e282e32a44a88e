#pragma once
// A movie file as a capture source: decoded on its own thread and paced by
// its timestamps against a position clock that pausing stops and seeking
// sets. At the end of the file the source stops running.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/vcast/capture_source.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
class CMovieSound;
struct SwrContext;

class CMovieSource : public ICaptureSource {
public:
    ~CMovieSource() override;
    // Null (with a log line) when the file does not open or has no usable video.
    static std::unique_ptr<CMovieSource> Open(const std::string& path);

    std::shared_ptr<const VcastPicture> Latest(int width, int height, std::uint32_t ms) override;
    bool Running() const override { return running_; }
    bool HasSound() const { return audioStream_ >= 0; }
    // Seconds of sound handed to the sound server so far.
    double SoundSeconds() const;

    int TotalSeconds() const { return total_; }  // 0 unknown
    int CurrentSeconds() const;
    void TogglePause();
    bool Paused() const;
    void Seek(int seconds);

private:
    using Clock = std::chrono::steady_clock;
    CMovieSource() = default;
    void Run();
    double Position() const;  // seconds, under lock_
    // Waits until the position reaches `t`; false when stopped or a seek came.
    bool WaitFor(double t);
    void ApplySeek(AVCodecContext* dec, double target);
    // The sound's side: a decoder, a resampler and the player, or nothing.
    struct Sound;
    std::unique_ptr<Sound> OpenSound();
    void DecodeSound(const AVPacket* packet, double skipUntil);
    bool ClockNow(double& position, bool& paused);

    AVFormatContext* input_ = nullptr;
    int stream_ = -1;
    int audioStream_ = -1;
    int total_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{true};

    mutable std::mutex lock_;
    std::shared_ptr<const VcastPicture> newest_;
    double current_ = 0;     // seconds of the newest picture
    double posBase_ = 0;     // position at wallBase_
    Clock::time_point wallBase_ = Clock::now();
    bool clockSet_ = false;  // set by the first frame after the start or a seek
    bool paused_ = false;
    double seekTo_ = -1;     // pending seek, seconds
    std::unique_ptr<Sound> sound_;  // made before the thread starts, freed after it ends
    std::thread thread_;
};
