// The item catalogue service against an in-process server: every catalogue
// as the client's sync reads it, groups inside groups, and every file link
// fetching bytes whose SHA-256 is their name.
#include <gtest/gtest.h>
#include <httplib.h>

#include <functional>
#include <map>
#include <memory>
#include <set>

#include "net/json.h"
#include "server/catalogue_seed.h"
#include "server/catalogue_service.h"
#include "server/catalogue_store.h"
#include "server/server_app.h"
#include "server_fixture.h"

using namespace server;

namespace {

constexpr const char* kTypes[] = {"1", "4", "6", "7"};
constexpr const char* kUrlMembers[] = {"iconUrl", "chatPicUrl", "cartoonUrl", "voiceUrl"};

std::string Query(const std::string& type) {
    return "/getgiftinfo?versionId=0&appId=100005&itemType=" + type + "&osType=PC&buyType=0";
}

// Every entry of a list, groups before their members (the client's order).
void Walk(const json::value& list, const std::function<void(const json::value&, int)>& fn,
          int depth = 1) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json::value e = list.at(i);
        fn(e, depth);
        if (e.get_string("node") == "1") Walk(e.get_array("sonGiftInfoList"), fn, depth + 1);
    }
}

class CatalogueService : public ::testing::Test {
protected:
    void SetUp() override {
        std::string err;
        {
            CServerDb db;  // brings the schema up to date
            ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        }
        {
            CCatalogueStore store;
            ASSERT_TRUE(store.Open(dir.file(kDatabaseFile), err)) << err;
            Fill(store);
        }
        srv = std::make_unique<CZeriServer>(srvtest::LocalServerOptions(dir.path()));
        ASSERT_TRUE(srv->Start(err)) << err;
        http = std::make_unique<httplib::Client>("127.0.0.1", srv->cataloguePort());
    }
    void TearDown() override {
        if (srv) srv->Stop();
    }
    virtual void Fill(CCatalogueStore& store) {
        std::string err;
        ASSERT_TRUE(SeedDemoCatalogue(store, err)) << err;
    }

    // The answer's JSON; the HTTP status and Content-Length are checked here.
    json::value Catalogue(const std::string& type, int status = 200,
                          const httplib::Headers& headers = {}) {
        const auto r = http->Get(Query(type).c_str(), headers);
        if (!r) {
            ADD_FAILURE() << "no answer";
            return {};
        }
        EXPECT_EQ(r->status, status);
        EXPECT_EQ(r->get_header_value("Content-Length"), std::to_string(r->body.size()));
        return json::value::parse(r->body);
    }

    srvtest::TempDir dir;
    std::unique_ptr<CZeriServer> srv;
    std::unique_ptr<httplib::Client> http;
};

TEST_F(CatalogueService, EveryCatalogueAnswersWithItsItems) {
    std::set<std::int64_t> ids;
    std::map<std::string, std::vector<json::value>> byType;
    for (const char* type : kTypes) {
        const json::value v = Catalogue(type);
        ASSERT_EQ(v.get_int("result"), 200) << type;
        EXPECT_GT(v.get_int("versionId"), 0);
        Walk(v.get_array("giftInfoList"), [&](const json::value& e, int) {
            const std::int64_t id = e.get_int("id");
            EXPECT_GT(id, 0);
            EXPECT_TRUE(ids.insert(id).second) << "id " << id << " twice";
            // buyRequest travels as decimal text.
            EXPECT_TRUE(e.get("buyRequest").is_string());
            EXPECT_FALSE(e.get_string("name").empty());
            EXPECT_FALSE(e.get_string("iconUrl").empty()) << id;
            byType[type].push_back(e);
        });
    }
    // Gifts: over twenty, each with an icon, a chat picture and an animation.
    std::size_t gifts = 0;
    for (const json::value& e : byType["1"]) {
        if (e.get_string("node") == "1") continue;
        ++gifts;
        EXPECT_FALSE(e.get_string("chatPicUrl").empty());
        EXPECT_NE(e.get_string("cartoonUrl").find(".gif"), std::string::npos);
    }
    EXPECT_GT(gifts, 20u);
    EXPECT_EQ(byType["4"].size(), 6u);
    // VIP: three levels of four durations; the level is in ext.
    std::map<std::string, int> levels;
    for (const json::value& e : byType["7"]) ++levels[e.get_string("ext")];
    EXPECT_EQ(levels, (std::map<std::string, int>{{"1", 4}, {"2", 4}, {"3", 4}}));
    std::set<std::int64_t> props;
    for (const json::value& e : byType["6"]) props.insert(e.get_int("id"));
    EXPECT_EQ(props, (std::set<std::int64_t>{kPropGagCard, kPropCancelGagCard, 1}));
}

TEST_F(CatalogueService, PricesFitWhatAClientMultiplies) {
    // Whole-unit prices (currency "2") are multiplied by 100 in 32 bits by
    // a reader; the demo has one, and it stays within range.
    int wholeUnits = 0;
    Walk(Catalogue("1").get_array("giftInfoList"), [&](const json::value& e, int) {
        const std::int64_t limit = e.get_string("currencyType") == "2" ? 21474836 : 2147483647;
        wholeUnits += e.get_string("currencyType") == "2";
        EXPECT_GE(e.get_int("price"), 0);
        EXPECT_LE(e.get_int("price"), limit);
        EXPECT_LE(e.get_int("initialPrice"), limit);
    });
    EXPECT_GE(wholeUnits, 1);
}

TEST_F(CatalogueService, UnknownItemTypeIsRefusedWithAMessage) {
    for (const char* type : {"2", "", "11", "1+", "1%00", "gift"}) {
        const json::value v = Catalogue(type);
        EXPECT_EQ(v.get_int("result"), 400) << "'" << type << "'";
        EXPECT_FALSE(v.get_string("msg").empty());
        EXPECT_FALSE(v.get("giftInfoList"));
    }
}

TEST_F(CatalogueService, DemoGroupHoldsANestedGroup) {
    const json::value list = Catalogue("1").get_array("giftInfoList");
    json::value box;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list.at(i).get_int("id") == demo_item::kGiftGroup) box = list.at(i);
    ASSERT_TRUE(box);
    EXPECT_EQ(box.get_string("node"), "1");
    const json::value members = box.get_array("sonGiftInfoList");
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < members.size(); ++i) ids.push_back(members.at(i).get_int("id"));
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1201, 1202, demo_item::kNestedGroup}));
    const json::value inner = members.at(2).get_array("sonGiftInfoList");
    ASSERT_EQ(inner.size(), 2u);
    EXPECT_EQ(inner.at(0).get_int("id"), 1211);
    EXPECT_EQ(inner.at(1).get_int("id"), 1212);
    // Members are not repeated at the top.
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_NE(list.at(i).get_int("id"), 1211);
}

TEST_F(CatalogueService, EveryLinkFetchesBytesNamedByTheirDigest) {
    const std::string base = "http://127.0.0.1:" + std::to_string(srv->cataloguePort()) + "/res/";
    std::set<std::string> fetched;
    int sounds = 0;
    for (const char* type : kTypes)
        Walk(Catalogue(type).get_array("giftInfoList"), [&](const json::value& e, int) {
            for (const char* member : kUrlMembers) {
                const std::string url = e.get_string(member);
                if (url.empty()) continue;
                sounds += std::string(member) == "voiceUrl";
                ASSERT_EQ(url.rfind(base + type + "/", 0), 0u) << url;
                if (!fetched.insert(url).second) continue;
                const std::string path = url.substr(url.find("/res/"));
                const auto r = http->Get(path.c_str());
                ASSERT_TRUE(r) << url;
                ASSERT_EQ(r->status, 200) << url;
                EXPECT_EQ(r->get_header_value("Content-Length"), std::to_string(r->body.size()));
                const std::string name = url.substr(url.rfind('/') + 1);
                EXPECT_EQ(name, ContentDigest(r->body) + name.substr(64)) << url;
                const std::string ext = name.substr(65);
                const std::string wantType = ext == "wav" ? "audio/wav" : "image/" + ext;
                EXPECT_EQ(r->get_header_value("Content-Type"), wantType);
            }
        });
    EXPECT_GT(fetched.size(), 60u);
    EXPECT_GT(sounds, 0);
}

TEST_F(CatalogueService, LinksPointWhereTheRequestCameTo) {
    json::value v = Catalogue("4", 200, {{"Host", "chat.example.test:1234"}});
    EXPECT_EQ(v.get_array("giftInfoList").at(0).get_string("iconUrl").rfind(
                  "http://chat.example.test:1234/res/4/", 0),
              0u);
    v = Catalogue("4", 200, {{"Host", "[::1]:99"}});
    EXPECT_EQ(v.get_array("giftInfoList").at(0).get_string("iconUrl").rfind("http://[::1]:99/res/4/", 0), 0u);
    // Without a port, the port the request reached.
    v = Catalogue("4", 200, {{"Host", "10.0.0.5"}});
    EXPECT_EQ(v.get_array("giftInfoList").at(0).get_string("iconUrl").rfind(
                  "http://10.0.0.5:" + std::to_string(srv->cataloguePort()) + "/", 0),
              0u);
    // A Host that is not a plain host never makes it into a link.
    for (const char* bad : {"a b", "evil.test/x", "h:0", "h:99999", "h:", "[zz]:1", "h:1:2", "a\"b"}) {
        v = Catalogue("4", 400, {{"Host", bad}});
        EXPECT_EQ(v.get_int("result"), 400) << bad;
    }
}

TEST_F(CatalogueService, OnlyExactFileNamesAreServed) {
    const std::string icon = Catalogue("1").get_array("giftInfoList").at(0).get_string("iconUrl");
    const std::string name = icon.substr(icon.rfind('/') + 1);
    const std::string digest = name.substr(0, 64);
    ASSERT_EQ(http->Get(("/res/1/" + name).c_str())->status, 200);
    std::string upper = digest;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    std::string other = digest;
    other[0] = other[0] == '0' ? '1' : '0';
    const std::string bad[] = {
        "/res/1/" + digest + ".gif",  "/res/2/" + name,          "/res/1/" + upper + ".png",
        "/res/1/../1/" + name,         "/res/1/" + name + "/x",   "/res/1/" + digest,
        "/res/1/" + digest + ".",      "/res/1/" + name.substr(1), "/res/" + name,
        "/res//" + name,               "/res/1//" + name,         "/res/1/" + other + ".png",
        "/res/1/%2e%2e/" + name,       "/res/1/" + digest + ".png%00", "/res/",
        "/res/1/" + digest + ".pngx",
    };
    for (const std::string& path : bad) {
        const auto r = http->Get(path.c_str());
        ASSERT_TRUE(r) << path;
        EXPECT_EQ(r->status, 404) << path;
        EXPECT_EQ(r->get_header_value("Content-Length"), std::to_string(r->body.size())) << path;
        EXPECT_EQ(json::value::parse(r->body).get_int("result"), 404) << path;
    }
    const auto post = http->Post("/getgiftinfo?itemType=1", "", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 404);
}

// A catalogue built by hand: a group inside a group, an item after them,
// and a chain deeper than a client follows.
class CatalogueShapes : public CatalogueService {
protected:
    void Fill(CCatalogueStore& store) override {
        std::string err;
        const auto item = [&](std::uint32_t id, std::uint32_t parent, bool group, std::int64_t order) {
            CatalogueItem it;
            it.id = id;
            it.itemType = "6";
            it.parent = parent;
            it.group = group;
            it.order = order;
            it.name = "item " + std::to_string(id);
            it.buyRequest = id % 4;
            ASSERT_TRUE(store.PutItem(it, false, err)) << err;
        };
        item(10, 0, true, 1);
        item(11, 10, false, 1);
        item(12, 10, true, 2);
        item(13, 12, false, 1);
        item(14, 12, false, 2);
        item(15, 0, false, 2);  // top level, after the groups
        // 20 > 21 > 22 > 23 > 24 > 25: levels 1 to 6.
        item(20, 0, true, 3);
        for (std::uint32_t id = 21; id <= 25; ++id) item(id, id - 1, id < 25, 1);
    }
};

TEST_F(CatalogueShapes, NestingRoundTripsAndStopsAtFourLevels) {
    std::vector<std::pair<std::int64_t, int>> seen;
    Walk(Catalogue("6").get_array("giftInfoList"),
         [&](const json::value& e, int depth) { seen.emplace_back(e.get_int("id"), depth); });
    const std::vector<std::pair<std::int64_t, int>> want = {
        {10, 1}, {11, 2}, {12, 2}, {13, 3}, {14, 3}, {15, 1}, {20, 1}, {21, 2}, {22, 3}, {23, 4}};
    EXPECT_EQ(seen, want);
}

TEST(CatalogueStore, RefusesWhatAClientCannotRead) {
    srvtest::TempDir dir;
    std::string err;
    CServerDb db;
    ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
    CCatalogueStore store;
    ASSERT_TRUE(store.Open(dir.file(kDatabaseFile), err)) << err;
    CatalogueItem group;
    group.id = 5;
    group.itemType = "1";
    group.group = true;
    group.name = "box";
    ASSERT_TRUE(store.PutItem(group, false, err)) << err;

    const auto refused = [&](const std::function<void(CatalogueItem&)>& change) {
        CatalogueItem it;
        it.id = 6;
        it.itemType = "1";
        it.name = "gift";
        change(it);
        std::string why;
        return !store.PutItem(it, false, why) && !why.empty();
    };
    EXPECT_FALSE(refused([](CatalogueItem&) {}));
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 0; }));
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 7, it.itemType = "2"; }));
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 8, it.name = std::string(50, 'n'); }));
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 9, it.name.clear(); }));
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 10, it.parent = 6; }));  // not a group
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 11, it.parent = 99; }));  // no such item
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 12, it.itemType = "4", it.parent = 5; }));
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 13, it.currencyType = "2", it.price = 21474837; }));
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 14, it.price = -1; }));
    EXPECT_TRUE(refused([](CatalogueItem& it) { it.id = 15, it.icon = {std::string(64, 'a'), "png"}; }));
    CatalogueItem member = group;
    member.id = 16;
    member.group = false;
    member.parent = 5;
    EXPECT_TRUE(store.PutItem(member, false, err)) << err;

    EXPECT_TRUE(store.PutFile("", "png", err).empty());
    EXPECT_TRUE(store.PutFile("x", "exe", err).empty());
    const CatalogueFileRef ref = store.PutFile("bytes", "png", err);
    ASSERT_FALSE(ref.empty());
    EXPECT_EQ(ref.digest, ContentDigest("bytes"));
    EXPECT_EQ(store.PutFile("bytes", "png", err).digest, ref.digest);  // stored once
    EXPECT_EQ(store.File(ref.digest)->bytes, "bytes");

    // Ids are shared by all catalogues: a car cannot take the box's id.
    CatalogueItem car = group;
    car.itemType = "4";
    car.group = false;
    EXPECT_TRUE(store.PutItem(car, false, err));
    EXPECT_TRUE(store.Items("4").empty());
    ASSERT_EQ(store.Items("1").size(), 3u);  // the box, 6 and 16
    EXPECT_TRUE(store.Items("1")[0].group);

    // The demo seed leaves a catalogue that has items alone.
    ASSERT_TRUE(SeedDemoCatalogue(store, err)) << err;
    EXPECT_EQ(store.ItemCount(), 3);
}

}  // namespace
