// The item catalogues of a headless client against an in-process
// zeri-server with the demo catalogue: my VIP answer starts the four syncs,
// every file the lists name is there, and the headless output tells how
// far each sync got.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/paths.h"
#include "room/catalogue/cached_file.h"
#include "room/catalogue/gift_config.h"
#include "server/catalogue_seed.h"
#include "server/catalogue_store.h"
#include "tests/e2e/e2e_client.h"
#include "tests/e2e/e2e_fixture.h"

using e2e::CTestClient;
using e2e::WaitFor;
using e2e::kAlice;

namespace {

class CatalogueE2E : public e2e::RoomFixture {
protected:
    void SetUp() override {
        RoomFixture::SetUp();
        std::string err;
        server::CCatalogueStore store;
        ASSERT_TRUE(store.Open(srv.dir.path() + server::kDatabaseFile, err)) << err;
        ASSERT_TRUE(server::SeedDemoCatalogue(store, err)) << err;
    }
};

}  // namespace

TEST_F(CatalogueE2E, MyVipAnswerStartsTheFourSyncsAndEveryNamedFileArrives) {
    CTestClient alice(srv, kAlice);
    CRoomCatalogue* catalogues = alice.stack().catalogues();
    ASSERT_NE(catalogues, nullptr);
    // The test client has no account callback: the VIP answer is posted as
    // the program's callback would post a failed one (buy type 0).
    ASSERT_TRUE(PostMessage(alice.stack().host().Handle(), UM_VIP_LIST, 0, 0));
    ASSERT_TRUE(WaitFor([&] {
        return catalogues->gifts().HasRecords() && catalogues->cars().HasRecords() &&
               catalogues->vips().HasRecords() && catalogues->packs().HasRecords();
    }, 60000));
    const std::string data = paths::DataFolder();
    for (const catalogue::CatalogueKind* kind : catalogue::kKinds) {
        const auto panels = catalogue::LoadGiftConfig(data + kind->folder + "GiftConfig.xml");
        ASSERT_TRUE(panels.loaded) << kind->folder;
        EXPECT_FALSE(panels.items.empty()) << kind->folder;
        for (const catalogue::PanelItem& item : panels.items)
            for (const std::string* f : {&item.file, &item.pic, &item.gift, &item.sound})
                if (!f->empty())
                    EXPECT_TRUE(catalogue::CachedFileGood(
                        data + *f, std::filesystem::path(*f).filename().string()))
                        << *f;
    }
    // The headless lines end at each catalogue's total.
    const auto& lines = alice.stack().headless()->Lines();
    for (const char* word : {"gifts", "cars", "vip", "props"}) {
        std::string last;
        for (const std::string& l : lines)
            if (l.rfind(std::string("progress: ") + word + " ", 0) == 0) last = l;
        ASSERT_FALSE(last.empty()) << word;
        const std::string counts = last.substr(last.rfind(' ') + 1);
        const std::size_t slash = counts.find('/');
        ASSERT_NE(slash, std::string::npos) << last;
        EXPECT_EQ(counts.substr(0, slash), counts.substr(slash + 1)) << last;
    }
    // A VIP grade's badge is its chat picture.
    EXPECT_NE(catalogues->VipIcon(1), "");
}
