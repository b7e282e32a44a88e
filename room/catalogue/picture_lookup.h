#pragma once
// Which catalogue entry a pushed picture belongs to. Pushes name an item
// by its picture's URL only; the cached file is named after the URL's last
// part (paths::UrlFileName), so that name finds the entry.

#include <cstdint>
#include <string_view>

#include "room/catalogue/gift_record.h"

namespace catalogue {

// The id of the first entry whose icon URL names the file of `picture`
// (a path or a URL); 0 when none does or the name is empty.
std::uint32_t FindIdByPicture(const GiftRecords& records, std::string_view picture);

}  // namespace catalogue
