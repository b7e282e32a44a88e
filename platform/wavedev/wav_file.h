#pragma once
// 16-bit PCM RIFF WAVE files: a reader that refuses what it cannot play with
// a sentence saying why (and reads a truncated data chunk as far as it
// goes), and a writer whose header stays valid while it writes, so a file
// being recorded can be read at any time. Neither is thread-safe.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wavedev {

struct WavFormat {
    int rate = 0;
    int channels = 0;
};

// The rates and channel counts the files may have (the converters' range).
inline constexpr int kWavMinRate = 1000;
inline constexpr int kWavMaxRate = 384000;
inline constexpr int kWavMaxChannels = 8;

class CWavReader {
public:
    CWavReader() = default;
    ~CWavReader();
    CWavReader(const CWavReader&) = delete;
    CWavReader& operator=(const CWavReader&) = delete;

    // False with the reason in `error` for a file that is missing, not a
    // WAVE file, not 16-bit PCM, or without a data chunk.
    bool Open(const std::string& path, std::string& error);
    const WavFormat& format() const { return format_; }
    // Whole frames in the data chunk, as far as the file goes.
    std::uint64_t frames() const { return frames_; }
    // Reads up to `frames` frames into `out`; the frames read, 0 at the end.
    std::size_t Read(std::int16_t* out, std::size_t frames);
    void Close();

private:
    std::FILE* file_ = nullptr;
    WavFormat format_;
    std::uint64_t frames_ = 0;
    std::uint64_t left_ = 0;  // frames not read yet
};

class CWavWriter {
public:
    CWavWriter() = default;
    ~CWavWriter();
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;

    // Creates (or empties) `path` with a header for no samples yet.
    bool Create(const std::string& path, int rate, int channels, std::string& error);
    // Appends whole frames; false on a write error or once the file is at
    // the format's 4 GiB limit (what did not fit is dropped).
    bool Write(const std::int16_t* samples, std::size_t frames);
    // Writes the sizes of what was written so far into the header.
    bool UpdateHeader();
    // Updates the header and closes; true when everything reached the disk.
    bool Close();
    bool open() const { return file_ != nullptr; }
    std::uint64_t frames() const { return frames_; }

private:
    std::FILE* file_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    std::uint64_t frames_ = 0;
    bool failed_ = false;
};

// Whole-file helpers for tests and tools.
bool ReadWav(const std::string& path, WavFormat& format, std::vector<std::int16_t>& samples,
             std::string& error);
// Writes atomically (the file is complete or absent).
bool WriteWav(const std::string& path, const WavFormat& format,
              const std::vector<std::int16_t>& samples, std::string& error);

}  // namespace wavedev
