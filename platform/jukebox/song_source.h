#pragma once
// One song file decoded and resampled to what the player plays: 44100 Hz
// stereo 16-bit. Not thread-safe: it belongs to the player's thread. No Qt.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace jukebox {

inline constexpr int kPlayRate = 44100;
inline constexpr int kPlayChannels = 2;

class CSongSource {
public:
    enum class Step { more, end, failed };

    CSongSource() = default;
    ~CSongSource();
    CSongSource(const CSongSource&) = delete;
    CSongSource& operator=(const CSongSource&) = delete;

    // While `flag` is set, waits on the file give up (a slow disk must not
    // hold a newer request); set before Open, it must outlive the source.
    void SetInterrupt(const std::atomic<bool>* flag) { interrupt_ = flag; }
    // False with the reason for a file that is missing, not a sound file, or
    // in a form we cannot decode.
    bool Open(const std::string& path, std::string& error);
    void Close();
    // 0 when the file does not say.
    int DurationMs() const { return durationMs_; }
    // Decodes about one packet and appends its samples (interleaved) to
    // `out`. `end` once everything was delivered; `failed` with the reason
    // when the file turned out unplayable (nothing decodable, or damage that
    // never stops).
    Step Decode(std::vector<std::int16_t>& out, std::string& error);
    // Moves to `positionMs`; what Decode delivers next starts there.
    bool Seek(int positionMs, std::string& error);

private:
    bool Convert(const AVFrame* frame, std::vector<std::int16_t>& out);
    Step Finish(std::vector<std::int16_t>& out, std::string& error);

    const std::atomic<bool>* interrupt_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    int inRate_ = 0, inFormat_ = -1, inChannels_ = 0;  // what swr_ converts from
    int durationMs_ = 0;
    bool draining_ = false;      // the file is read; the codec gives what it holds
    bool done_ = false;
    int badInARow_ = 0;          // packets the codec refused since the last good one
    std::int64_t produced_ = 0;  // frames delivered since Open
    std::int64_t skipUntilMs_ = -1;  // after a seek: drop audio before this
};

}  // namespace jukebox
