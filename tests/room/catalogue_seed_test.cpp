// The four catalogues synced against an in-process zeri-server with its
// demo catalogue: every file the lists name is there and whole, a second
// start fetches nothing, and a damaged picture alone is fetched again.
#include <gtest/gtest.h>

#include <filesystem>
#include <condition_variable>
#include <map>
#include <mutex>
#include <memory>

#include "core/files.h"
#include "room/catalogue/cached_file.h"
#include "room/catalogue/gift_config.h"
#include "room/catalogue/global_gift_http.h"
#include "server/catalogue_seed.h"
#include "server/database.h"
#include "server/catalogue_store.h"
#include "server/server_app.h"
#include "tests/server/server_fixture.h"

using namespace std::chrono_literals;
using catalogue::CGlobalGiftHttp;
namespace fs = std::filesystem;

namespace {

constexpr HWND kWindow = 78;

class DoneRouter : public IMessageRouter {
public:
    bool Post(HWND, WindowMessage m, std::unique_ptr<CMessageData>) override {
        std::lock_guard<std::mutex> g(mutex);
        ++count[m.msg];
        cv.notify_all();
        return true;
    }
    std::intptr_t Send(HWND, const WindowMessage&) override { return 0; }
    bool IsWindow(HWND) override { return true; }
    std::mutex mutex;
    std::condition_variable cv;
    std::map<unsigned, int> count;
};

class SeedCatalogue : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRouter(&router);
        std::string err;
        {
            server::CServerDb db;
            ASSERT_TRUE(db.Open(serverDir.file(server::kDatabaseFile), err)) << err;
        }
        {
            server::CCatalogueStore store;
            ASSERT_TRUE(store.Open(serverDir.file(server::kDatabaseFile), err)) << err;
            ASSERT_TRUE(server::SeedDemoCatalogue(store, err)) << err;
        }
        srv = std::make_unique<server::CZeriServer>(srvtest::LocalServerOptions(serverDir.path()));
        ASSERT_TRUE(srv->Start(err)) << err;
    }
    void TearDown() override {
        if (srv) srv->Stop();
        SetMessageRouter(nullptr);
    }
    // All four synced, as a room start does; false when one never finished.
    bool SyncAll() {
        std::map<unsigned, int> before;
        {
            std::lock_guard<std::mutex> g(router.mutex);
            before = router.count;
        }
        std::vector<std::unique_ptr<CGlobalGiftHttp>> all;
        for (const catalogue::CatalogueKind* kind : catalogue::kKinds) {
            auto c = std::make_unique<CGlobalGiftHttp>("", clientDir.path());
            c->SetWindow(kWindow);
            if (!c->Init("127.0.0.1", srv->cataloguePort(), kind->itemType, kind->doneMessage, 0)) return false;
            c->Request();
            all.push_back(std::move(c));
        }
        std::unique_lock<std::mutex> l(router.mutex);
        return router.cv.wait_for(l, 60s, [&] {
            for (const catalogue::CatalogueKind* kind : catalogue::kKinds)
                if (router.count[kind->doneMessage] == before[kind->doneMessage]) return false;
            return true;
        });
    }
    // Every file the four lists name, relative to the data folder.
    std::vector<std::string> NamedFiles(std::size_t* items = nullptr) {
        std::vector<std::string> out;
        for (const catalogue::CatalogueKind* kind : catalogue::kKinds) {
            const auto panels = catalogue::LoadGiftConfig(clientDir.file(std::string(kind->folder) + "GiftConfig.xml"));
            EXPECT_TRUE(panels.loaded) << kind->folder;
            EXPECT_FALSE(panels.items.empty()) << kind->folder;
            std::vector<const catalogue::PanelItem*> all;
            for (const auto& item : panels.items) {
                all.push_back(&item);
                for (const auto& m : item.members) all.push_back(&m);
            }
            if (items) *items += all.size();
            for (const catalogue::PanelItem* i : all)
                for (const std::string* f : {&i->file, &i->pic, &i->gift, &i->sound})
                    if (!f->empty()) out.push_back(*f);
        }
        return out;
    }

    srvtest::TempDir serverDir, clientDir;
    std::unique_ptr<server::CZeriServer> srv;
    DoneRouter router;
};

}  // namespace

TEST_F(SeedCatalogue, EveryNamedFileIsThereAndASecondStartFetchesOnlyWhatWasDamaged) {
    ASSERT_TRUE(SyncAll());
    std::size_t items = 0;
    const std::vector<std::string> named = NamedFiles(&items);
    EXPECT_GT(items, 20u);
    ASSERT_FALSE(named.empty());
    const auto old = fs::file_time_type::clock::now() - 24h;
    for (const std::string& f : named) {
        const std::string path = clientDir.file(f);
        ASSERT_TRUE(catalogue::CachedFileGood(path, fs::path(f).filename().string())) << f;
        fs::last_write_time(path, old);
    }
    // A picture cut short between two starts.
    const std::string damaged = clientDir.file(named.front());
    std::string whole;
    ASSERT_TRUE(files::ReadFile(damaged, whole));
    ASSERT_TRUE(files::WriteFileAtomic(damaged, whole.substr(0, whole.size() / 2)));
    fs::last_write_time(damaged, old);

    ASSERT_TRUE(SyncAll());
    std::string again;
    ASSERT_TRUE(files::ReadFile(damaged, again));
    EXPECT_EQ(again, whole);
    for (const std::string& f : NamedFiles()) {
        const std::string path = clientDir.file(f);
        if (path == damaged) continue;
        EXPECT_EQ(fs::last_write_time(path), old) << f << " was fetched again";
    }
}
