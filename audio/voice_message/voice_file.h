#pragma once
// A voice message's file in the audio folder, read with a bound: the file
// comes from a download of someone else's choosing, so its size is checked
// before anything is allocated for it.

#include <cstddef>
#include <string>

namespace voice {

enum class FileRead {
    ok,
    unreadable,  // missing, not a regular file, or a read error
    too_large,   // over the limit given
};

// The whole file into `bytes` when it is a regular file of at most `maxBytes`.
FileRead ReadVoiceFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

// Why a freshly downloaded file is no voice message to keep (an English
// reason for the log), or empty when it is: at most `maxBytes`, "#!AMR\n"
// first and at least one whole frame after it.
std::string DownloadProblem(const std::string& path, std::size_t maxBytes);

}  // namespace voice
