#pragma once
// A voice message being recorded: 8000 Hz mono PCM in (or the capture's
// 22050 Hz, converted), AMR-NB at 12.2 kbit/s out as an AMR file ("#!AMR\n"
// and whole frames). The recorder drives it: Start, Push while recording,
// then Finish into a folder, or Discard. Holds at most kMaxFrames (60 s);
// what comes after is dropped. Not thread-safe.

#include <cstddef>
#include <cstdint>
#include <string>

struct sonic_eamr_t;
struct sonic_convert_t;

namespace voice {

inline constexpr int kMessageRate = 8000;
inline constexpr int kFrameSamples = 160;  // 20 ms
inline constexpr int kMaxFrames = 3000;    // 60 s
inline constexpr char kAmrMagic[] = "#!AMR\n";

class CVoiceWriter {
public:
    CVoiceWriter() = default;
    ~CVoiceWriter();
    CVoiceWriter(const CVoiceWriter&) = delete;
    CVoiceWriter& operator=(const CVoiceWriter&) = delete;

    // Begins a new message, dropping anything unfinished; false when the
    // codecs cannot be made.
    bool Start();
    // 8000 Hz mono samples; false when not started, on a codec failure, or
    // once the message is full.
    bool Push8k(const std::int16_t* samples, std::size_t count);
    // The capture's 22050 Hz mono samples, converted to 8000 Hz first.
    bool Push22k(const std::int16_t* samples, std::size_t count);

    // Milliseconds of audio taken so far (the caller refuses under 1 s).
    std::int64_t DurationMs() const;
    bool full() const;
    bool started() const { return encoder_ != nullptr; }

    // Ends the message (a last partial frame is padded with silence) and
    // returns the file's bytes; empty when not started. The writer is idle after.
    std::string Finish();
    // Finish, then writes the file atomically under a fresh temporary name in
    // `folder`; its path, or empty with `error` set (nothing left behind).
    std::string FinishInto(const std::string& folder, std::string& error);
    // Drops an unfinished message and removes the file FinishInto wrote last.
    void Discard();

private:
    bool EncodePending();
    void Release();

    sonic_eamr_t* encoder_ = nullptr;
    sonic_convert_t* converter_ = nullptr;
    std::string file_;                 // magic and the frames so far
    std::int16_t pending_[kFrameSamples] = {};
    int pendingCount_ = 0;
    int frames_ = 0;
    std::int64_t samples_ = 0;         // 8000 Hz samples taken
    std::string written_;              // path of the last FinishInto
};

}  // namespace voice
