#pragma once
// Reading a recording back as a user would check it: ffprobe's view of its
// tracks, every picture as ARGB and the audio's first channel; and the
// descriptors the recorder tests push.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/vcast/media_frame.h"
#include "platform/vcast/picture.h"

namespace record_test {

inline constexpr const char* kProbe = "/usr/bin/ffprobe";

// A file of that name in this test run's own folder.
std::filesystem::path TempFile(const std::string& name);
std::string Shell(const std::string& command);

struct TrackEnd {
    std::string codec;
    double duration = -1;  // the stream's duration
    double lastEnd = -1;   // the last packet's time plus its duration
};
// The streams of `file` by index, as ffprobe reads them.
std::map<int, TrackEnd> Probe(const std::filesystem::path& file);

// What the file holds: every video frame as ARGB, in order, and the first
// channel of its audio as floats.
struct Contents {
    std::vector<VcastPicture> pictures;
    std::vector<float> audio;
    int rate = 0;
};
Contents ReadBack(const std::filesystem::path& file);

// Power of `hz` in samples [from, to) (Goertzel), normalised by their count.
double ToneLevel(const std::vector<float>& s, int rate, double hz, std::size_t from, std::size_t to);

MediaFrame VideoFrame(bool key, std::uint32_t stamp, std::size_t length, std::uint8_t clock);
MediaFrame AudioFrame(std::uint32_t stamp, std::size_t length, std::uint8_t clock);

bool LooksBlack(const VcastPicture& p);
// The counters the frames show, after at most one black frame (the
// recording opens a moment before the first push lands).
std::vector<std::uint32_t> Counters(const std::vector<VcastPicture>& pictures);

}  // namespace record_test
