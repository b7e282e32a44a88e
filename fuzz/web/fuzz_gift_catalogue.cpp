// A catalogue answer all the way to the panels: JSON → records →
// GiftConfig.xml → the panel reader. Whatever the answer, the records have
// unique non-zero ids whose parents are earlier groups, and the panels show
// exactly the top-level records as items (a top-level record never ends up
// inside a group) with all their descendants, in order, as members.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "room/catalogue/gift_answer.h"
#include "room/catalogue/gift_config.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace catalogue;
    const std::string body(reinterpret_cast<const char*>(data), size);
    const GiftAnswer answer = ParseGiftAnswer(body);
    Check(answer.records.size() <= kMaxEntries);
    Check(answer.notes.size() <= kMaxNotes);

    std::set<std::uint32_t> seen, groups;
    std::map<std::uint32_t, std::uint32_t> topOf;  // record → its top-level ancestor
    std::map<std::uint32_t, std::vector<std::uint32_t>> expected;
    std::vector<std::uint32_t> tops;
    for (const GiftRecord& r : answer.records) {
        Check(r.id != 0 && seen.insert(r.id).second);
        Check(r.price >= 0 && r.initialPrice >= 0);
        Check(r.name.size() < cap::name && r.iconUrl.size() < cap::iconUrl);
        Check(r.iconUrl.empty() || PlainHttpUrl(r.iconUrl));
        for (char c : r.name) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        if (r.parentId == 0) {
            topOf[r.id] = r.id;
            tops.push_back(r.id);
        } else {
            Check(groups.count(r.parentId) == 1);
            topOf[r.id] = topOf.at(r.parentId);
            expected[topOf[r.id]].push_back(r.id);
        }
        if (r.IsGroup()) groups.insert(r.id);
    }

    const PanelCatalogue panels = ReadGiftConfig(GiftConfigXml(answer.versionId, answer.records));
    Check(panels.loaded);
    Check(panels.version == answer.versionId);
    Check(panels.items.size() == tops.size());
    for (std::size_t i = 0; i < tops.size(); ++i) {
        const PanelItem& item = panels.items[i];
        Check(item.id == tops[i]);
        const std::vector<std::uint32_t>& members = expected[item.id];
        Check(item.members.size() == members.size());
        for (std::size_t k = 0; k < members.size(); ++k) Check(item.members[k].id == members[k]);
    }
    for (const GiftRecord& r : answer.records)
        if (r.parentId == 0)
            for (const PanelItem& item : panels.items)
                if (item.id == r.id) Check(item.name == r.name && item.price == r.price);
    return 0;
}
