// Voice message files as uploads and stored files arrive: the upload check
// and the frame walk must agree, never read past the bytes, and every frame
// the walk gives must decode without trouble.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/amr_file.h"
#include "platform/sonic/sonic.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static sonic_damr_t* decoder = [] {
        sonic_init();
        sonic_damr_t* d = sonic_damr();
        if (!d) std::abort();
        return d;
    }();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const amr::FileError check = amr::CheckAmrFile(bytes);
    const amr::FrameWalk walk = amr::SplitAmrFrames(bytes);

    std::size_t covered = walk.magic ? amr::kMagic.size() : 0;
    bool speech = false;
    for (std::string_view f : walk.frames) {
        const std::uint8_t header = static_cast<std::uint8_t>(f[0]);
        Check(f.size() == amr::FrameBytes(header));
        Check(f.data() >= bytes.data() && f.data() + f.size() <= bytes.data() + bytes.size());
        speech = speech || amr::FrameType(header) < amr::kSidFrameType;
        covered += f.size();
        unsigned char* out = nullptr;
        int outLength = 0;
        const int used = sonic_damr_decode(decoder, reinterpret_cast<const unsigned char*>(f.data()),
                                           static_cast<int>(f.size()), &out, &outLength);
        Check(used >= 0 && used <= static_cast<int>(f.size()));
        Check((out == nullptr) == (outLength == 0));
    }
    // A file the check keeps is walked whole: every byte in a frame, no
    // damage, some speech, within the limits.
    if (check == amr::FileError::none) {
        Check(walk.magic && walk.invalid == 0 && !walk.truncated && speech);
        Check(covered == size && walk.frames.size() <= amr::kMaxFrames);
        Check(size <= amr::kMaxFileBytes);
    }
    return 0;
}
