#include "server/catalogue_service.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "core/log.h"
#include "net/json.h"
#include "server/http/http_server.h"
#include "server/http/json_reply.h"

namespace server {

namespace {

constexpr const char* kResPrefix = "/res/";

void Answer(HttpResponse& res, int status, int result, const std::string& msg) {
    json::value v = json::value::object();
    v.set("result", static_cast<std::int64_t>(result));
    v.set("msg", msg);
    json_reply::Answer(res, status, v);
}

bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-';
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

const char* ContentType(const std::string& ext) {
    if (ext == "png") return "image/png";
    if (ext == "gif") return "image/gif";
    if (ext == "bmp") return "image/bmp";
    if (ext == "jpg") return "image/jpeg";
    if (ext == "wav") return "audio/wav";
    return "application/octet-stream";
}

using Members = std::map<std::uint32_t, std::vector<const CatalogueItem*>>;

class CAnswerBuilder {
public:
    CAnswerBuilder(const std::vector<CatalogueItem>& items, std::string base)
        : base_(std::move(base)) {
        for (const CatalogueItem& it : items) members_[it.parent].push_back(&it);
    }

    json::value List(std::uint32_t parent, int depth) {
        json::value list = json::value::array();
        const auto it = members_.find(parent);
        if (it == members_.end()) return list;
        for (const CatalogueItem* item : it->second) list.append(Entry(*item, depth));
        return list;
    }

    std::size_t dropped() const { return dropped_; }

private:
    std::string Url(const std::string& type, const CatalogueFileRef& f) const {
        return f.empty() ? std::string() : base_ + kResPrefix + type + "/" + f.FileName();
    }

    json::value Entry(const CatalogueItem& it, int depth) {
        json::value e = json::value::object();
        e.set("id", static_cast<std::int64_t>(it.id));
        e.set("name", it.name);
        e.set("iconUrl", Url(it.itemType, it.icon));
        e.set("price", it.price);
        e.set("initialPrice", it.initialPrice);
        e.set("type", it.type);
        e.set("node", it.group ? "1" : "0");
        e.set("checkCode", it.checkCode);
        e.set("loadType", it.loadType);
        e.set("versionId", it.versionId);
        e.set("describe", it.describe);
        e.set("chatMsg", it.chatMsg);
        e.set("chatPicUrl", Url(it.itemType, it.chatPic));
        e.set("cartoonType", it.cartoonType);
        e.set("cartoonUrl", Url(it.itemType, it.cartoon));
        e.set("voiceUrl", Url(it.itemType, it.voice));
        e.set("currencyType", it.currencyType);
        e.set("currencyName", it.currencyName);
        e.set("useTimes", static_cast<std::int64_t>(it.useTimes));
        e.set("validTime", static_cast<std::int64_t>(it.validTime));
        e.set("noticeType", it.noticeType);
        e.set("charmValue", static_cast<std::int64_t>(it.charmValue));
        e.set("harmValueSwitch", it.harmSwitch);
        e.set("ext", it.ext);
        e.set("extOne", it.extOne);
        // The client reads it as decimal text.
        e.set("buyRequest", std::to_string(it.buyRequest));
        if (it.group) {
            if (depth < kMaxCatalogueDepth) {
                e.set("sonGiftInfoList", List(it.id, depth + 1));
            } else {
                // A client drops what lies deeper; say so here instead.
                const auto m = members_.find(it.id);
                if (m != members_.end()) dropped_ += m->second.size();
                e.set("sonGiftInfoList", json::value::array());
            }
        }
        return e;
    }

    const std::string base_;
    Members members_;
    std::size_t dropped_ = 0;
};

}  // namespace

std::string CatalogueBaseUrl(const HttpRequest& req) {
    const std::string h = req.Header("Host");
    if (h.empty() || h.size() > 255) return {};
    std::string host, port;
    if (h[0] == '[') {
        const auto close = h.find(']');
        if (close == std::string::npos || close < 3) return {};
        for (std::size_t i = 1; i < close; ++i)
            if (!(IsHex(static_cast<char>(std::tolower(static_cast<unsigned char>(h[i])))) ||
                  h[i] == ':' || h[i] == '.'))
                return {};
        host = h.substr(0, close + 1);
        if (close + 1 < h.size()) {
            if (h[close + 1] != ':') return {};
            port = h.substr(close + 2);
        }
    } else {
        const auto colon = h.find(':');
        host = h.substr(0, colon);
        if (colon != std::string::npos) port = h.substr(colon + 1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostChar)) return {};
    }
    if (port.empty()) {
        if (h.back() == ':') return {};
        port = std::to_string(req.localPort);
    }
    if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    const long n = std::stol(port);
    if (n < 1 || n > 65535) return {};
    return "http://" + host + ":" + std::to_string(n);
}

void CCatalogueService::Mount(CHttpServer& server) {
    server.SetErrorAnswer([](int status, const HttpRequest&, HttpResponse& res) {
        Answer(res, status, status, status == 404 ? "not found" : "bad request");
    });
    server.Route("GET", "/getgiftinfo",
                 [this](const HttpRequest& req, HttpResponse& res) { Catalogue(req, res); });
    server.RoutePrefix("GET", kResPrefix,
                       [this](const HttpRequest& req, HttpResponse& res) { File(req, res); });
}

void CCatalogueService::Catalogue(const HttpRequest& req, HttpResponse& res) {
    const std::string type = req.Param("itemType");
    if (!IsItemType(type)) return Answer(res, 200, 400, "unknown itemType '" + type.substr(0, 16) + "'");
    const std::string base = CatalogueBaseUrl(req);
    if (base.empty()) return Answer(res, 400, 400, "bad Host header");
    const std::vector<CatalogueItem> items = store_.Items(type);
    std::int64_t version = 0;
    for (const CatalogueItem& it : items) version = std::max(version, it.versionId);
    CAnswerBuilder builder(items, base);
    json::value v = json::value::object();
    v.set("result", static_cast<std::int64_t>(200));
    v.set("msg", "ok");
    v.set("versionId", version);
    v.set("giftInfoList", builder.List(0, 1));
    if (builder.dropped())
        log_msg("catalogue %s: %zu members nested deeper than %d levels left out", type.c_str(),
                builder.dropped(), kMaxCatalogueDepth);
    json_reply::Answer(res, 200, v);
}

void CCatalogueService::File(const HttpRequest& req, HttpResponse& res) {
    // /res/<type>/<64 hex>.<ext>, nothing more and nothing less.
    const std::string rest = req.path.substr(std::string(kResPrefix).size());
    const auto slash = rest.find('/');
    const auto notFound = [&] { Answer(res, 404, 404, "not found"); };
    if (slash == std::string::npos || !IsItemType(rest.substr(0, slash))) return notFound();
    const std::string name = rest.substr(slash + 1);
    if (name.size() < 66 || name[64] != '.') return notFound();
    const std::string digest = name.substr(0, 64), ext = name.substr(65);
    if (!std::all_of(digest.begin(), digest.end(), IsHex) || ext.empty() || ext.size() > 4 ||
        !std::all_of(ext.begin(), ext.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        return notFound();
    const auto file = store_.File(digest);
    if (!file || file->ext != ext) return notFound();
    // A name is its content's digest: it never changes.
    res.SetHeader("Cache-Control", "max-age=31536000, immutable");
    res.SetHeader("X-Content-Type-Options", "nosniff");
    res.SetContent(file->bytes, ContentType(ext));
}

}  // namespace server
