#include "audio/voice_message/voice_file.h"

#include <sys/stat.h>

#include <fstream>

#include "formats/amr_file.h"

namespace voice {

FileRead ReadVoiceFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FileRead::unreadable;
    const auto size = static_cast<unsigned long long>(st.st_size);
    if (size > maxBytes) return FileRead::too_large;
    std::ifstream in(path, std::ios::binary);
    if (!in) return FileRead::unreadable;
    // Files here are replaced by rename, never grown in place: the size stands.
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<unsigned long long>(in.gcount()) != size) {
        bytes.clear();
        return FileRead::unreadable;
    }
    return FileRead::ok;
}

std::string DownloadProblem(const std::string& path, std::size_t maxBytes) {
    std::string bytes;
    switch (ReadVoiceFile(path, maxBytes, bytes)) {
        case FileRead::unreadable:
            return "no file was saved";
        case FileRead::too_large:
            return "file over the size limit";
        case FileRead::ok:
            break;
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
