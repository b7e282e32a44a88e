#include "room/catalogue/picture_lookup.h"

#include <string>

#include "core/paths.h"

namespace catalogue {

std::uint32_t FindIdByPicture(const GiftRecords& records, std::string_view picture) {
    const std::size_t slash = picture.find_last_of("/\\");
    const std::string name =
        paths::UrlFileName(slash == std::string_view::npos ? picture : picture.substr(slash));
    if (name.empty()) return 0;
    for (const GiftRecord& r : records)
        if (paths::UrlFileName(r.iconUrl) == name) return r.id;
    return 0;
}

}  // namespace catalogue
