#pragma once
// The music player's engine: one thread that decodes the current song
// (CSongSource) and feeds it to a wavedev output stream at 44100 Hz stereo,
// as fast as the device takes it. Callers (the window, on the UI thread)
// only post requests and read a status snapshot; nothing here blocks them.
// No Qt.
//
// Threads: the player thread (owned, joined by the destructor) owns the
// backend, the stream and the song. `lock_` guards the requests and the
// status; the player thread never holds it while it calls the stream, since
// the stream's writable callback (the backend's thread) takes it to wake us.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/wavedev/wavedev.h"

namespace jukebox {

class CSongSource;

enum class SongState { idle, opening, playing, paused, ended, failed };

struct SongStatus {
    int song = 0;  // the Play() this is about (0: none yet)
    SongState state = SongState::idle;
    int positionMs = 0;  // heard so far
    int durationMs = 0;  // 0 when the file does not say
    std::string error;   // why it failed
};

class CJukeboxDecoder {
public:
    // The device is made from `devices` on the player thread at the first song.
    explicit CJukeboxDecoder(wavedev::Options devices);
    ~CJukeboxDecoder();
    CJukeboxDecoder(const CJukeboxDecoder&) = delete;
    CJukeboxDecoder& operator=(const CJukeboxDecoder&) = delete;

    // Starts `path` (ending what played before); the song's number.
    int Play(const std::string& path);
    void Pause(bool paused);
    // Ends the song now (what the device still holds is dropped).
    void Stop();
    void Seek(int positionMs);
    // 0…100, applied to the samples (the device's own volume is the user's).
    void SetVolume(int percent);
    SongStatus Status() const;

private:
    struct Request {
        std::optional<std::pair<int, std::string>> play;  // song number, path
        std::optional<int> seek;
        bool stop = false;
    };

    void Run();
    void Handle(const Request& request);
    // Decodes ahead and writes what the device takes; false when there was
    // nothing to do (the thread then waits for the device).
    bool Feed();
    bool OpenStream();
    void CloseStream();
    void SetState(SongState state, const std::string& error = {});
    void UpdatePosition();

    const wavedev::Options devices_;

    mutable std::mutex lock_;
    std::condition_variable wake_;
    Request request_;
    bool paused_ = false;
    bool quit_ = false;
    bool woken_ = false;  // the device can take more, or a request came
    // A song, a stop or the end is waiting: the song's file reads give up.
    std::atomic<bool> interrupt_{false};
    int volume_ = 100;
    int nextSong_ = 0;
    SongStatus status_;

    // Player thread only.
    std::shared_ptr<wavedev::IWaveBackend> backend_;
    std::unique_ptr<wavedev::IWaveOutStream> stream_;
    std::unique_ptr<CSongSource> source_;
    std::vector<std::int16_t> pcm_;  // decoded, not yet written
    std::size_t pcmAt_ = 0;          // first sample not written
    std::vector<std::int16_t> scaled_;
    bool active_ = false;  // a song is open and not over
    int song_ = 0;         // the song being played
    int volumeNow_ = 100;
    bool sourceDone_ = false;
    // Once everything is written: when the device must have played it, in
    // case its queue estimate never reaches 0.
    std::optional<std::chrono::steady_clock::time_point> drainBy_;
    bool streamFailedOnce_ = false;
    int baseMs_ = 0;                // the song position where written_ counts from
    std::uint64_t written_ = 0;     // frames written since baseMs_
    std::thread thread_;
};

}  // namespace jukebox
