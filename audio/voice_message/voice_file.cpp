#include "audio/voice_message/voice_file.h"

#include <sys/stat.h>

#include <fstream>

#include "formats/amr_file.h"

namespace voice {

FileRead ReadVoiceFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FileRead::unreadable;
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) return FileRead::too_large;
    std::ifstream in(path, std::ios::binary);
    if (!in) return FileRead::unreadable;
    // One byte past the limit shows a file that grew since the stat.
    bytes.resize(maxBytes + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        bytes.clear();
        return FileRead::unreadable;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > maxBytes) {
        bytes.clear();
        return FileRead::too_large;
    }
    return FileRead::ok;
}

std::string DownloadProblem(const std::string& path, std::size_t maxBytes) {
    std::string bytes;
    switch (ReadVoiceFile(path, maxBytes, bytes)) {
        case FileRead::unreadable: return "no file was saved";
        case FileRead::too_large: return "file over the size limit";
        case FileRead::ok: break;
    }
    const amr::FrameWalk walk = amr::SplitAmrFrames(bytes);
    if (!walk.magic) {
        const bool wide = bytes.compare(0, amr::kWideBandMagic.size(), amr::kWideBandMagic) == 0;
        return amr::FileErrorText(wide ? amr::FileError::wide_band : amr::FileError::not_amr);
    }
    if (walk.frames.empty()) return "no whole AMR frame";
    return {};
}

}  // namespace voice
