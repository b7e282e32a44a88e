#include "room/catalogue/gift_answer.h"

#include <cstdio>
#include <limits>
#include <unordered_set>

#include "net/json.h"
#include "platform/text/text.h"

namespace catalogue {
namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

class Reader {
public:
    explicit Reader(GiftAnswer& out) : out_(out) {}

    void Entries(const json::value& list, std::uint32_t parentId, int level) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (out_.records.size() >= kMaxEntries) {
                if (!full_) Note("more than " + std::to_string(kMaxEntries) + " entries: the rest dropped");
                full_ = true;
                return;
            }
            const json::value entry = list.at(i);
            if (!entry.is_object()) continue;
            Entry(entry, parentId, level);
        }
    }

private:
    bool Entry(const json::value& e, std::uint32_t parentId, int level) {
        const std::int64_t id = e.get_int("id");
        if (id <= 0 || id > std::numeric_limits<std::uint32_t>::max()) {
            Note("entry with id " + std::to_string(id) + " dropped");
            return false;
        }
        GiftRecord r;
        r.id = static_cast<std::uint32_t>(id);
        if (!seen_.insert(r.id).second) {
            Note("repeated id " + std::to_string(r.id) + " dropped");
            return false;
        }
        r.name = FitText(e.get_string("name"), cap::name);
        r.iconUrl = Url(e, "iconUrl", cap::iconUrl, r.id);
        r.type = FitText(e.get_string("type"), cap::type);
        r.node = FitText(e.get_string("node"), cap::node);
        r.checkCode = FitText(e.get_string("checkCode"), cap::checkCode);
        r.loadType = FitText(e.get_string("loadType"), cap::loadType);
        r.versionId = e.get_int("versionId");
        r.describe = FitText(e.get_string("describe"), cap::describe);
        r.chatMsg = FitText(e.get_string("chatMsg"), cap::chatMsg);
        r.chatPicUrl = Url(e, "chatPicUrl", cap::url, r.id);
        r.cartoonType = FitText(e.get_string("cartoonType"), cap::cartoonType);
        r.cartoonUrl = Url(e, "cartoonUrl", cap::url, r.id);
        r.voiceUrl = Url(e, "voiceUrl", cap::url, r.id);
        r.currencyType = FitText(e.get_string("currencyType"), cap::currencyType);
        r.currencyName = FitText(e.get_string("currencyName"), cap::currencyName);
        r.useTimes = Count(e, "useTimes");
        r.validTime = Count(e, "validTime");
        r.noticeType = FitText(e.get_string("noticeType"), cap::noticeType);
        r.charmValue = Count(e, "charmValue");
        r.harmValueSwitch = FitText(e.get_string("harmValueSwitch"), cap::harmSwitch);
        r.ext = FitText(e.get_string("ext"), cap::ext);
        r.extOne = FitText(e.get_string("extOne"), cap::extOne);
        r.buyRequest = Decimal(e.get_string("buyRequest"));

        // Prices in currency "2" are given in hundredths; a price that does
        // not fit after scaling would wrap to a cheap one, so the entry goes.
        std::int64_t price = e.get_int("price");
        std::int64_t initial = e.get_int("initialPrice");
        if (r.currencyType == "2") {
            price = Scaled(price);
            initial = Scaled(initial);
        }
        if (price < 0 || price > kInt32Max || initial < 0 || initial > kInt32Max) {
            Note("entry " + std::to_string(r.id) + " dropped: price out of range");
            return false;
        }
        r.price = static_cast<std::int32_t>(price);
        r.initialPrice = static_cast<std::int32_t>(initial);
        r.parentId = parentId;
        r.buyRequestCopy = r.buyRequest;

        const bool group = r.IsGroup();
        const std::uint32_t id32 = r.id;
        out_.records.push_back(std::move(r));
        if (group) {
            const json::value members = e.get_array("sonGiftInfoList");
            if (members && members.size() > 0) {
                if (level >= kMaxNesting)
                    Note("members of " + std::to_string(id32) + " dropped: nested too deep");
                else
                    Entries(members, id32, level + 1);
            }
        }
        return true;
    }

    std::string Url(const json::value& e, const char* name, std::size_t capacity,
                    std::uint32_t id) {
        const std::string url = e.get_string(name);
        if (url.empty()) return {};
        if (url.size() >= capacity || !PlainHttpUrl(url)) {
            Note(std::string(name) + " of " + std::to_string(id) + " ignored");
            return {};
        }
        return url;
    }

    // Counts and times: negative or beyond 32 bits reads 0.
    static std::int32_t Count(const json::value& e, const char* name) {
        const std::int64_t v = e.get_int(name);
        return (v < 0 || v > kInt32Max) ? 0 : static_cast<std::int32_t>(v);
    }

    static std::int64_t Scaled(std::int64_t v) {
        if (v < 0) return v;
        if (v > kInt32Max) return kInt32Max + 1;
        return v * 100;
    }

    // Plain decimal digits that fit 32 bits; anything else reads 0.
    static std::int32_t Decimal(const std::string& text) {
        if (text.empty() || text.size() > 10) return 0;
        std::int64_t v = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return 0;
            v = v * 10 + (c - '0');
        }
        return v > kInt32Max ? 0 : static_cast<std::int32_t>(v);
    }

    void Note(std::string text) {
        if (out_.notes.size() < kMaxNotes)
            out_.notes.push_back(std::move(text));
        else
            ++out_.moreNotes;
    }

    GiftAnswer& out_;
    std::unordered_set<std::uint32_t> seen_;
    bool full_ = false;
};

}  // namespace

std::string FitText(std::string_view text, std::size_t capacity) {
    std::string clean;
    clean.reserve(text.size());
    for (char c : text::RepairUtf8(text)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) continue;
        clean.push_back(c);
    }
    if (capacity == 0) return {};
    std::size_t end = std::min(clean.size(), capacity - 1);
    // Back off continuation bytes so the cut falls before a whole character.
    if (end < clean.size())
        while (end > 0 && (static_cast<unsigned char>(clean[end]) & 0xC0) == 0x80) --end;
    clean.resize(end);
    return clean;
}

bool PlainHttpUrl(std::string_view url) {
    constexpr std::string_view kScheme = "http://";
    if (url.substr(0, kScheme.size()) != kScheme || url.size() == kScheme.size()) return false;
    for (char c : url) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F) return false;
    }
    return true;
}

GiftAnswer ParseGiftAnswer(std::string_view body) {
    GiftAnswer out;
    const json::value root = json::value::parse(body);
    if (!root.is_object()) return out;
    out.parsed = true;
    out.result = root.get_int("result");
    out.msg = FitText(root.get_string("msg"), 1024);
    const std::int64_t version = root.get_int("versionId");
    if (version > 0 && version <= std::numeric_limits<std::uint32_t>::max())
        out.versionId = static_cast<std::uint32_t>(version);
    if (out.result != 200) return out;
    const json::value list = root.get_array("giftInfoList");
    out.hasList = static_cast<bool>(list);
    if (list) Reader(out).Entries(list, 0, 1);
    return out;
}

}  // namespace catalogue
