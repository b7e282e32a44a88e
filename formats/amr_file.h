#pragma once
// The AMR narrow-band storage file: the text "#!AMR\n", then frames, each
// led by a header byte whose frame type fixes the frame's size. Voice
// messages travel and are kept in this form; the server checks an upload
// with CheckAmrFile before storing it, and players walk the frames with
// SplitAmrFrames.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace amr {

inline constexpr std::string_view kMagic = "#!AMR\n";
// The wide-band file, which is not kept: its frames are not narrow-band ones.
inline constexpr std::string_view kWideBandMagic = "#!AMR-WB\n";
// What one voice message may hold: about a minute of speech (20 ms a frame).
inline constexpr std::size_t kMaxFileBytes = 128 * 1024;
inline constexpr std::size_t kMaxFrames = 3000;

inline constexpr int kSidFrameType = 8;
inline constexpr int kNoDataFrameType = 15;

// The frame type of a header byte.
constexpr int FrameType(std::uint8_t header) { return (header >> 3) & 0x0F; }
// A frame's size with its header byte; 0 for the types no frame has (9-14).
std::size_t FrameBytes(std::uint8_t header);

struct FrameWalk {
    std::vector<std::string_view> frames;  // whole frames, header byte first
    std::size_t invalid = 0;                // header bytes of no frame type, skipped
    bool truncated = false;                 // the last frame is cut short (dropped)
    bool magic = false;                     // the file began with kMagic
};
// The whole frames of a file. A header byte of an invalid type is counted
// and stepped over one byte at a time, so a damaged file still gives what
// can be played. Without the magic there are no frames. The views point
// into `file`.
FrameWalk SplitAmrFrames(std::string_view file);

enum class FileError {
    none,
    too_large,        // over kMaxFileBytes
    wide_band,        // "#!AMR-WB\n"
    not_amr,          // no "#!AMR\n" at the start
    bad_frame,        // a header of frame type 9-14
    truncated,        // the last frame ends past the file's end
    no_speech,        // only silence descriptors and empty frames
    too_many_frames,  // over kMaxFrames
};
// Whether `bytes` are a voice message this system keeps.
FileError CheckAmrFile(std::string_view bytes);
// A short English reason, for logs and error answers.
const char* FileErrorText(FileError e);

}  // namespace amr
