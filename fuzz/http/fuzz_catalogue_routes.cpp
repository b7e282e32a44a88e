// What the item catalogue and the medal route do with whatever a client
// sends: query strings, file paths and Host headers, served as the server
// serves a request read from a socket. Links in an answer must stay plain
// (no blank, quote or line break from a Host header), and a file served
// must be the one its name's digest says.
//
// Input: byte 0 picks the route family; the rest is split at the first
// newline into a target suffix and the Host header's value.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/json.h"
#include "server/catalogue_seed.h"
#include "server/catalogue_service.h"
#include "server/catalogue_store.h"
#include "server/database.h"
#include "server/http/http_server.h"
#include "server/io_runner.h"
#include "server/medal_art.h"

namespace {

using namespace server;

constexpr const char* kPrefixes[] = {"/getgiftinfo?itemType=", "/getgiftinfo?", "/res/1/", "/res/",
                                     "/wealth/", "/"};

struct Services {
    Services() {
        dir = std::filesystem::temp_directory_path() /
              ("zeri-fuzz-catalogue-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        std::string err;
        const std::string dbPath = (dir / "zeri-server.db").string();
        if (!db.Open(dbPath, err) || !store.Open(dbPath, err) || !SeedDemoCatalogue(store, err))
            std::abort();
        service = std::make_unique<CCatalogueService>(store);
        http = std::make_unique<CHttpServer>(io.io(), "fuzz");
        service->Mount(*http);
        MountMedalRoute(*http);
    }
    ~Services() {
        http.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::filesystem::path dir;
    CServerDb db;
    CCatalogueStore store;
    std::unique_ptr<CCatalogueService> service;
    CIoRunner io;
    std::unique_ptr<CHttpServer> http;
};

Services& Get() {
    static Services* s = new Services;  // lives for the whole run
    return *s;
}

bool PlainUrl(const std::string& url) {
    if (url.empty()) return true;
    if (url.rfind("http://", 0) != 0) return false;
    for (char c : url)
        if (static_cast<unsigned char>(c) <= 0x20 || c == '"' || c == '\\' || c == 0x7f) return false;
    return true;
}

void CheckLinks(const json::value& list, int depth) {
    if (depth > kMaxCatalogueDepth) std::abort();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json::value e = list.at(i);
        for (const char* m : {"iconUrl", "chatPicUrl", "cartoonUrl", "voiceUrl"})
            if (!PlainUrl(e.get_string(m))) std::abort();
        if (e.get_int("id") == 0) std::abort();
        CheckLinks(e.get_array("sonGiftInfoList"), depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    Services& s = Get();
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t nl = rest.find('\n');
    HttpRequest req;
    req.method = "GET";
    req.target = kPrefixes[data[0] % (sizeof kPrefixes / sizeof kPrefixes[0])] +
                 std::string(rest.substr(0, nl));
    if (nl != std::string_view::npos) req.headers.emplace_back("Host", std::string(rest.substr(nl + 1)));
    req.remoteAddress = "127.0.0.1";
    req.localPort = 8000;

    HttpResponse res;
    s.http->Serve(req, res);
    if (res.status < 100 || res.status > 599) std::abort();
    if (res.status != 200) return 0;
    if (req.path.rfind("/res/", 0) == 0) {
        const std::string name = req.path.substr(req.path.rfind('/') + 1);
        if (name.size() < 64 || ContentDigest(res.body) != name.substr(0, 64)) std::abort();
    } else if (req.path == "/getgiftinfo") {
        const json::value v = json::value::parse(res.body);
        if (!v) std::abort();
        CheckLinks(v.get_array("giftInfoList"), 1);
    }
    return 0;
}
