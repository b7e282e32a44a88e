#pragma once
// A folder of uploaded files kept under ids this server makes up (32
// lower-case hex digits), written atomically, with the bytes of all of them
// together capped so uploads cannot fill the disk. The picture and voice
// message stores keep their files in one each.
//
// Thread-safe.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace server {

class CCappedFolder {
public:
    // `what` names the folder in errors and logs ("picture", "voice").
    CCappedFolder(std::string folder, std::uint64_t limitBytes, const char* what);

    // Creates the folder and counts what it holds. False with a reason.
    bool Open(std::string& error);

    enum class Write { ok, full, io_error };
    // Writes the bytes under a new id, within the cap; `id` is set on ok.
    Write WriteNew(std::string_view bytes, std::string& id);
    // Whether a file of that id is kept; false for text of no id form.
    bool Has(std::string_view id) const;
    // Deletes a kept file and gives its bytes back to the cap.
    bool Remove(std::string_view id);
    // Where the file of an id is (or would be); only for checked ids.
    std::string PathOf(std::string_view id) const { return folder_ + std::string(id); }

    // Whether the text has the form of an id this folder hands out.
    static bool IsId(std::string_view id);

    std::uint64_t usedBytes();

private:
    std::string folder_;
    const std::uint64_t limit_;
    const char* const what_;
    std::mutex lock_;
    std::uint64_t used_ = 0;
};

}  // namespace server
