#include "server/voice_store.h"

namespace server {

CVoiceStore::CVoiceStore(std::string folder, std::uint64_t limitBytes)
    : files_(std::move(folder), limitBytes, "voice") {}

CVoiceStore::Put CVoiceStore::Store(std::string_view bytes, std::string& id) {
    Put put;
    put.fault = amr::CheckAmrFile(bytes);
    if (put.fault != amr::FileError::none) {
        put.result = Put::Result::bad_file;
        return put;
    }
    switch (files_.WriteNew(bytes, id)) {
        case CCappedFolder::Write::ok: put.result = Put::Result::ok; break;
        case CCappedFolder::Write::full: put.result = Put::Result::full; break;
        case CCappedFolder::Write::io_error: put.result = Put::Result::io_error; break;
    }
    return put;
}

std::optional<std::string> CVoiceStore::PathFor(std::string_view id) {
    if (!Has(id)) return std::nullopt;
    return files_.PathOf(id);
}

}  // namespace server
