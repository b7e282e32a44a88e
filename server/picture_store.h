#pragma once
// Chat pictures uploaded through the room service, kept as files under the
// data folder. A picture is stored under an id this store makes up (32 hex
// digits); nothing a client sends ever becomes part of a path. Only known
// picture formats are kept, so the service cannot be used to host other
// files, and the bytes kept in total are capped so uploads cannot fill the
// disk.
//
// Thread-safe: the HTTP worker threads call it concurrently.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/capped_folder.h"

namespace server {

// The most one picture may hold; the client refuses larger files first.
inline constexpr std::size_t kMaxPictureBytes = 4u << 20;

class CPictureStore {
public:
    // `folder` is created on Open; `limitBytes` caps all pictures together.
    CPictureStore(std::string folder, std::uint64_t limitBytes);

    // Creates the folder and counts what it holds. False with a reason.
    bool Open(std::string& error);

    enum class Put { ok, empty, too_large, not_picture, full, io_error };
    // Stores the bytes; `id` is set on ok.
    Put Store(std::string_view bytes, std::string& id);
    // The bytes of a stored picture; nothing for an unknown or malformed id.
    std::optional<std::string> Load(std::string_view id);
    bool Has(std::string_view id);
    // Deletes a stored picture and gives its bytes back to the cap; false
    // when there was none.
    bool Remove(std::string_view id);
    // Where a stored picture's file is, with its MIME type from its first
    // bytes; nothing for an unknown or malformed id. For answers streamed
    // from the file rather than loaded.
    struct Stored {
        std::string path;
        const char* type = nullptr;
    };
    std::optional<Stored> Find(std::string_view id);

    // The MIME type of a picture by its first bytes; nullptr when the bytes
    // are no picture format this service keeps (PNG, JPEG, GIF, BMP, WebP).
    static const char* PictureType(std::string_view bytes);
    // Whether the text has the form of an id this store hands out.
    static bool IsId(std::string_view id) { return CCappedFolder::IsId(id); }

    std::uint64_t usedBytes() { return files_.usedBytes(); }

private:
    CCappedFolder files_;
};

}  // namespace server
