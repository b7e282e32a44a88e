#pragma once
// The cached catalogue file (GiftConfig.xml) the panels build their item
// grids from: written from the records after a sync, read back by the
// panels.
//
//   <xml_root><giftconfig version="N">
//     <gift id=".." tag="/name" name price initialPrice pricename file pic
//           gift sound type buyRequest>   members of a group nest inside it
//   </giftconfig></xml_root>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "room/catalogue/gift_record.h"

namespace catalogue {

// The document's text. Members are written inside their group whatever
// the depth (the records come depth first, as ParseGiftAnswer gives them).
std::string GiftConfigXml(std::uint32_t version, const GiftRecords& records);

// One item of a panel. A top-level entry; its members are every entry
// nested below it at any depth, in document order (a member has no members
// of its own: the panel shows one level).
struct PanelItem {
    std::uint32_t id = 0;
    std::string tag, name, priceName, type;
    std::int64_t price = 0, initialPrice = 0, buyRequest = 0;
    // Relative to the data folder; empty when missing or when the path
    // would leave the data folder.
    std::string file, pic, gift, sound;
    std::vector<PanelItem> members;
};

struct PanelCatalogue {
    bool loaded = false;  // the text was a catalogue document
    std::uint32_t version = 0;
    std::vector<PanelItem> items;
};

// Entries with id 0 are skipped (a top-level one with its members).
PanelCatalogue ReadGiftConfig(std::string_view xml);
// Not loaded when the file is missing or is no catalogue document.
PanelCatalogue LoadGiftConfig(const std::string& path);

// A cached path the panels may use: relative, without "..", "\\" or NUL.
bool InsideDataFolder(std::string_view relative);

}  // namespace catalogue
