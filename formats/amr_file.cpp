#include "formats/amr_file.h"

#include <array>

namespace amr {

namespace {

// Sizes by frame type, header byte included: the eight speech modes, the
// silence descriptor, six unused types and "no data".
constexpr std::array<std::uint8_t, 16> kFrameBytes = {13, 14, 16, 18, 20, 21, 27, 32,
                                                      6,  0,  0,  0,  0,  0,  0,  1};

bool IsSpeech(int type) { return type < kSidFrameType; }

}  // namespace

std::size_t FrameBytes(std::uint8_t header) { return kFrameBytes[FrameType(header)]; }

FrameWalk SplitAmrFrames(std::string_view file) {
    FrameWalk walk;
    if (file.substr(0, kMagic.size()) != kMagic) return walk;
    walk.magic = true;
    std::size_t pos = kMagic.size();
    while (pos < file.size()) {
        const std::size_t size = FrameBytes(static_cast<std::uint8_t>(file[pos]));
        if (size == 0) {
            ++walk.invalid;
            ++pos;
            continue;
        }
        if (size > file.size() - pos) {
            walk.truncated = true;
            break;
        }
        walk.frames.push_back(file.substr(pos, size));
        pos += size;
    }
    return walk;
}

FileError CheckAmrFile(std::string_view bytes) {
    if (bytes.size() > kMaxFileBytes) return FileError::too_large;
    if (bytes.substr(0, kWideBandMagic.size()) == kWideBandMagic) return FileError::wide_band;
    if (bytes.substr(0, kMagic.size()) != kMagic) return FileError::not_amr;
    std::size_t pos = kMagic.size();
    std::size_t frames = 0;
    bool speech = false;
    while (pos < bytes.size()) {
        const std::uint8_t header = static_cast<std::uint8_t>(bytes[pos]);
        const std::size_t size = FrameBytes(header);
        if (size == 0) return FileError::bad_frame;
        if (size > bytes.size() - pos) return FileError::truncated;
        if (++frames > kMaxFrames) return FileError::too_many_frames;
        speech = speech || IsSpeech(FrameType(header));
        pos += size;
    }
    return speech ? FileError::none : FileError::no_speech;
}

const char* FileErrorText(FileError e) {
    switch (e) {
        case FileError::none: return "ok";
        case FileError::too_large: return "voice message over 128 KiB";
        case FileError::wide_band: return "wide-band AMR is not accepted";
        case FileError::not_amr: return "not an AMR file";
        case FileError::bad_frame: return "AMR frame of an invalid type";
        case FileError::truncated: return "AMR file ends inside a frame";
        case FileError::no_speech: return "AMR file holds no speech";
        case FileError::too_many_frames: return "voice message over 3000 frames";
    }
    return "unknown AMR error";
}

}  // namespace amr
