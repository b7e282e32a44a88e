#pragma once
// The item catalogue service (HTTP, port 8000 by default): a catalogue as
// the client's sync reads it, and the files its items show.
//
//   GET /getgiftinfo?versionId=&appId=&itemType=&osType=&buyType=
//       {"result":200,"msg":"ok","versionId":N,"giftInfoList":[…]}; groups
//       (node "1") carry their members in "sonGiftInfoList". File links are
//       absolute, to the host and port the request came to. An unknown
//       itemType answers {"result":400,"msg":…} (HTTP 200, so a client
//       reads and logs the message).
//   GET /res/<itemType>/<sha256>.<ext>
//       the stored file's bytes; anything else 404.

#include <cstdint>
#include <string>

#include "server/catalogue_store.h"
#include "server/http/http_message.h"

namespace server {

class CHttpServer;

inline constexpr std::uint16_t kCataloguePort = 8000;
// Levels of groups a client follows; deeper members are left out.
inline constexpr int kMaxCatalogueDepth = 4;

class CCatalogueService {
public:
    explicit CCatalogueService(CCatalogueStore& store) : store_(store) {}

    // Adds the routes and the JSON error answer to `server`.
    void Mount(CHttpServer& server);

    void Catalogue(const HttpRequest& req, HttpResponse& res);
    void File(const HttpRequest& req, HttpResponse& res);

private:
    CCatalogueStore& store_;
};

// "http://host:port" from the request's Host header (its port, else the
// port the request came to); empty when the header is not a plain host.
std::string CatalogueBaseUrl(const HttpRequest& req);

}  // namespace server
