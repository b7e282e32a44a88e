#pragma once
// Voice messages uploaded through the room service, kept as AMR files under
// the data folder. Like the pictures, each is stored under an id this store
// makes up (32 lower-case hex digits), written atomically, and the bytes of
// all of them together are capped. Only whole narrow-band AMR files are kept
// (amr::CheckAmrFile), so the route hosts nothing else.
//
// Thread-safe: the HTTP worker threads and the chat relay call it.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/amr_file.h"
#include "server/capped_folder.h"

namespace server {

class CVoiceStore {
public:
    CVoiceStore(std::string folder, std::uint64_t limitBytes);

    // Creates the folder and counts what it holds. False with a reason.
    bool Open(std::string& error) { return files_.Open(error); }

    struct Put {
        enum class Result { ok, bad_file, full, io_error } result = Result::io_error;
        amr::FileError fault = amr::FileError::none;  // for bad_file
    };
    // Checks and stores the bytes; `id` is set on ok.
    Put Store(std::string_view bytes, std::string& id);
    bool Has(std::string_view id) const { return files_.Has(id); }
    // The file of a stored message; nothing for an unknown or malformed id.
    std::optional<std::string> PathFor(std::string_view id);

    std::uint64_t usedBytes() { return files_.usedBytes(); }
    // Messages handed out by the download route (for the operator and tests).
    void CountServed() { served_.fetch_add(1); }
    std::uint64_t served() const { return served_.load(); }

private:
    CCappedFolder files_;
    std::atomic<std::uint64_t> served_{0};
};

}  // namespace server
