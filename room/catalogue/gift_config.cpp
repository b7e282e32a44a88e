#include "room/catalogue/gift_config.h"

#include <vector>

#include "core/files.h"
#include "formats/markup.h"

namespace catalogue {
namespace {

// Decimal digits only, at most 18 of them; anything else reads 0.
std::int64_t Number(const std::string& text) {
    if (text.empty() || text.size() > 18) return 0;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::string SafePath(std::string path) { return InsideDataFolder(path) ? path : std::string(); }

PanelItem ItemAt(const CMarkupSTL& doc) {
    PanelItem item;
    const std::int64_t id = Number(doc.GetAttrib("id"));
    item.id = id > 0xFFFFFFFFll ? 0 : static_cast<std::uint32_t>(id);
    item.tag = doc.GetAttrib("tag");
    item.name = doc.GetAttrib("name");
    item.price = Number(doc.GetAttrib("price"));
    item.initialPrice = Number(doc.GetAttrib("initialPrice"));
    item.priceName = doc.GetAttrib("pricename");
    item.file = SafePath(doc.GetAttrib("file"));
    item.pic = SafePath(doc.GetAttrib("pic"));
    item.gift = SafePath(doc.GetAttrib("gift"));
    item.sound = SafePath(doc.GetAttrib("sound"));
    item.type = doc.GetAttrib("type");
    item.buyRequest = Number(doc.GetAttrib("buyRequest"));
    return item;
}

// Every gift below the current element, at any depth, into `members`.
void CollectMembers(CMarkupSTL& doc, std::vector<PanelItem>& members) {
    while (doc.FindChildElem("gift")) {
        doc.IntoElem();
        PanelItem member = ItemAt(doc);
        if (member.id != 0) members.push_back(std::move(member));
        CollectMembers(doc, members);
        doc.OutOfElem();
    }
}

}  // namespace

bool InsideDataFolder(std::string_view relative) {
    if (relative.empty() || relative.front() == '/') return false;
    if (relative.find('\\') != std::string_view::npos ||
        relative.find('\0') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        const std::string_view part = relative.substr(start, end - start);
        if (part == "..") return false;
        start = end + 1;
    }
    return true;
}

std::string GiftConfigXml(std::uint32_t version, const GiftRecords& records) {
    CMarkupSTL doc;
    doc.AddElem("xml_root");
    doc.InsertChildElem("giftconfig");
    doc.AddChildAttrib("version", std::to_string(version));
    doc.IntoElem();
    // The groups the cursor is inside, innermost last: a record leaves every
    // group it is not a member of, so an outer record never lands inside a
    // closed inner group.
    std::vector<std::uint32_t> open;
    for (const GiftRecord& r : records) {
        while (!open.empty() && open.back() != r.parentId) {
            doc.OutOfElem();
            open.pop_back();
        }
        // A member whose group is not open has lost its place; it is not
        // written rather than shown at the wrong level.
        if (r.parentId != 0 && open.empty()) continue;
        doc.AddChildElem("gift");
        doc.AddChildAttrib("id", std::to_string(r.id));
        doc.AddChildAttrib("tag", "/" + r.name);
        doc.AddChildAttrib("name", r.name);
        doc.AddChildAttrib("price", std::to_string(r.price));
        doc.AddChildAttrib("initialPrice", std::to_string(r.initialPrice));
        doc.AddChildAttrib("pricename", r.currencyName);
        doc.AddChildAttrib("file", r.iconFile);
        doc.AddChildAttrib("pic", r.chatPicFile);
        doc.AddChildAttrib("gift", r.cartoonFile);
        doc.AddChildAttrib("sound", r.soundFile);
        doc.AddChildAttrib("type", r.type);
        doc.AddChildAttrib("buyRequest", std::to_string(r.buyRequest));
        if (r.IsGroup()) {
            doc.IntoElem();
            open.push_back(r.id);
        }
    }
    return doc.GetDoc();
}

PanelCatalogue ReadGiftConfig(std::string_view xml) {
    PanelCatalogue out;
    CMarkupSTL doc;
    if (!doc.SetDoc(xml) || !doc.FindElem("xml_root") || !doc.FindChildElem("giftconfig"))
        return out;
    out.loaded = true;
    const std::int64_t version = Number(doc.GetChildAttrib("version"));
    out.version = version > 0xFFFFFFFFll ? 0 : static_cast<std::uint32_t>(version);
    doc.IntoElem();
    while (doc.FindChildElem("gift")) {
        doc.IntoElem();
        PanelItem item = ItemAt(doc);
        if (item.id != 0) {
            CollectMembers(doc, item.members);
            out.items.push_back(std::move(item));
        }
        doc.OutOfElem();
    }
    return out;
}

PanelCatalogue LoadGiftConfig(const std::string& path) {
    std::string text;
    if (!files::ReadFile(path, text)) return {};
    return ReadGiftConfig(text);
}

}  // namespace catalogue
