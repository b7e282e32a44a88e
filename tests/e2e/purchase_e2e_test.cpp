// Spending in a room with three headless clients against an in-process
// zeri-server with the demo catalogue: a gift to the anchor microphone's
// holder (Carol) moves exactly its price out of the giver's balance and reaches
// everyone as a gift line and a banner item; a gift beyond the balance
// changes nothing; a flower counts for everyone; a car bought and
// activated drives in on the next entry.
#include <gtest/gtest.h>

#include <string>

#include "room/catalogue/room_catalogue.h"
#include "room/purchases/purchase_view.h"
#include "room/room_account.h"
#include "server/catalogue_seed.h"
#include "server/catalogue_store.h"
#include "tests/e2e/e2e_client.h"
#include "tests/e2e/e2e_fixture.h"
#include "ui/gift_buy_dlg.h"
#include "ui/gift_ctrl.h"

using e2e::CTestClient;
using e2e::WaitFor;
using e2e::kAlice;
using e2e::kBob;
using e2e::kCarol;
using e2e::kHall;

namespace {

class PurchaseE2E : public e2e::RoomFixture {
protected:
    void SetUp() override {
        RoomFixture::SetUp();
        std::string err;
        server::CCatalogueStore store;
        ASSERT_TRUE(store.Open(srv.dir.path() + server::kDatabaseFile, err)) << err;
        ASSERT_TRUE(server::SeedDemoCatalogue(store, err)) << err;
    }

    static bool Synced(CTestClient& c) {
        return WaitFor([&] {
            CRoomCatalogue* k = c.stack().catalogues();
            return k && k->gifts().HasRecords() && k->cars().HasRecords();
        }, 60000);
    }

    // The balance the client last showed; -1 before the first.
    static long long Balance(CTestClient& c) {
        const std::string text = c.view().Text("Label_Balance");
        return text.empty() ? -1 : std::stoll(text);
    }

    // The first plain item of a catalogue that costs coins and asks for no VIP grade.
    static const catalogue::GiftRecord* PlainItem(catalogue::CGlobalGiftHttp& list) {
        for (const catalogue::GiftRecord& r : list.Records())
            if (!r.IsGroup() && r.parentId == 0 && r.currencyType != "2" && r.buyRequest == 0 &&
                r.price > 0)
                return &r;
        return nullptr;
    }
};

}  // namespace

TEST_F(PurchaseE2E, GiftsFlowersAndCarsReachTheWholeRoom) {
    CTestClient alice(srv, kAlice), bob(srv, kBob), carol(srv, kCarol);
    for (CTestClient* c : {&alice, &bob, &carol}) {
        c->ListenToAccount();
        GivePowers(*c);
        c->Enter(kHall);
    }
    for (CTestClient* c : {&alice, &bob, &carol}) ASSERT_TRUE(c->InRoom(kHall));
    for (CTestClient* c : {&alice, &bob, &carol}) ASSERT_TRUE(Synced(*c)) << Output(*c);

    // Carol, the room's anchor, takes the anchor microphone.
    Type(carol, "/anchor");
    for (CTestClient* c : {&alice, &bob, &carol})
        ASSERT_TRUE(WaitFor([&] { return c->session().anchor().userId == kCarol.id; })) << Output(carol);

    ASSERT_TRUE(WaitFor([&] { return Balance(alice) >= 0 && Balance(carol) >= 0; })) << Output(alice);
    const long long aliceBefore = Balance(alice);
    const long long carolBefore = Balance(carol);
    const catalogue::GiftRecord* gift = PlainItem(alice.stack().catalogues()->gifts());
    ASSERT_NE(gift, nullptr);
    ASSERT_GE(aliceBefore, gift->price * 3LL);

    // Three of a gift: exactly its price three times leaves Alice's balance.
    Type(alice, "/gift " + std::to_string(gift->id) + " 3");
    ASSERT_TRUE(WaitFor([&] { return Printed(alice, "送礼物成功！"); })) << Output(alice);
    ASSERT_TRUE(WaitFor([&] { return Balance(alice) == aliceBefore - gift->price * 3LL; }))
        << Output(alice);

    // The anchor and the third user get the line and a banner item of three
    // from Alice with the cached icon.
    for (CTestClient* c : {&bob, &carol}) {
        const std::string line = alice.session().me().nickname + "送出" + carol.session().me().nickname;
        ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(*c, line, "Edit_PrivateChat") > 0; })) << Output(*c);
        EXPECT_EQ(ChatLinesWith(*c, " X3", "Edit_PrivateChat"), 1) << Output(*c);
        ASSERT_TRUE(WaitFor([&] { return !c->view().HeadlessShows().gifts.empty(); }));
        const CHeadlessShows::Item& item = c->view().HeadlessShows().gifts.back();
        EXPECT_EQ(item.count, 3);
        EXPECT_EQ(item.who, alice.session().me().nickname);
        EXPECT_NE(item.picture.find("res/globalgift/"), std::string::npos) << item.picture;
    }
    EXPECT_EQ(Balance(carol), carolBefore);

    // The day billboard lists Alice.
    alice.session().account().RequestBillboards();
    const std::string aliceOnBoard = "(" + std::to_string(kAlice.id) + ")";
    ASSERT_TRUE(WaitFor([&] {
        const std::string line = LastPrinted(alice, "billboard: ListWealthDay:");
        return line.find(aliceOnBoard) != std::string::npos;
    })) << Output(alice);

    // A gift beyond the balance shows the service's reason and changes no balance.
    const long long aliceNow = Balance(alice);
    const long long tooMany = aliceNow / gift->price + 1;
    ASSERT_LE(tooMany, 9999) << "the demo balance outgrew the test";
    const int boxesBefore = PrintedTimes(alice, "余额不足");
    Type(alice, "/gift " + std::to_string(gift->id) + " " + std::to_string(tooMany));
    ASSERT_TRUE(WaitFor([&] { return PrintedTimes(alice, "余额不足") > boxesBefore; })) << Output(alice);
    // The refused purchase asks for the balance again: it comes back the same.
    alice.session().account().RequestBalance();
    EXPECT_FALSE(WaitFor([&] { return Balance(alice) != aliceNow; }, 1500));

    // Alice's flower for the anchor adds one to everyone's counter.
    std::string flowersBefore[3];
    {
        int i = 0;
        for (CTestClient* c : {&alice, &bob, &carol}) {
            ASSERT_TRUE(WaitFor([&] { return !c->view().Text("text_flower").empty(); }));
            flowersBefore[i++] = c->view().Text("text_flower");
        }
    }
    Type(alice, "/flower");
    int i = 0;
    for (CTestClient* c : {&alice, &bob, &carol}) {
        const long long expected = std::stoll(flowersBefore[i++]) + 1;
        ASSERT_TRUE(WaitFor([&] { return c->view().Text("text_flower") == std::to_string(expected); }))
            << Output(*c);
    }

    // Bob buys a car, makes it his, and comes back in it.
    const catalogue::GiftRecord* car = PlainItem(bob.stack().catalogues()->cars());
    ASSERT_NE(car, nullptr);
    Type(bob, "/buy 4 " + std::to_string(car->id));
    ASSERT_TRUE(WaitFor([&] { return Printed(bob, "购买座驾成功！"); })) << Output(bob);
    Type(bob, "/car " + std::to_string(car->id));
    const std::string active = std::to_string(car->id) + " " + car->name + " *";
    ASSERT_TRUE(WaitFor([&] { return LastPrinted(bob, "mycars:").find(active) != std::string::npos; }))
        << Output(bob);
    const std::size_t aliceCars = alice.view().HeadlessShows().cars.size();
    const std::size_t carolCars = carol.view().HeadlessShows().cars.size();
    bob.session().LeaveRoom();
    ASSERT_TRUE(WaitFor([&] { return alice.session().users().count(kBob.id) == 0; }));
    bob.Enter(kHall);
    ASSERT_TRUE(bob.InRoom(kHall));
    for (auto [c, before] : {std::pair{&alice, aliceCars}, std::pair{&carol, carolCars}}) {
        ASSERT_TRUE(WaitFor([&] { return ChatLinesWith(*c, "开着") > 0; })) << Output(*c);
        ASSERT_TRUE(WaitFor([&] { return c->view().HeadlessShows().cars.size() > before; }));
        const CHeadlessShows::Item& item = c->view().HeadlessShows().cars.back();
        EXPECT_EQ(item.what, car->name);
        EXPECT_EQ(item.who, bob.session().me().nickname);
    }
}

TEST_F(PurchaseE2E, AGiftChosenOnTheRoomWindowsPanelIsGivenThroughItsDialog) {
    CTestClient alice(srv, kAlice, CRoomStack::Mode::window);
    CRoomUI* window = alice.stack().window();
    ASSERT_NE(window, nullptr);
    std::vector<std::string> boxes;
    window->SetMessageBoxHandler(
        [&](const std::string& text, const std::string&, BoxIcon) { boxes.push_back(text); });
    CTestClient carol(srv, kCarol);
    for (CTestClient* c : {&alice, &carol}) {
        c->ListenToAccount();
        GivePowers(*c);
        c->Enter(kHall);
    }
    for (CTestClient* c : {&alice, &carol}) ASSERT_TRUE(c->InRoom(kHall));
    Type(carol, "/anchor");
    ASSERT_TRUE(WaitFor([&] { return alice.session().anchor().userId == kCarol.id; }));
    ASSERT_TRUE(Synced(alice));

    window->resize(1180, 740);
    WaitFor([] { return false; }, 200);  // lay out
    CGiftCtrl* panel = window->ItemPanel(purchase::kGift);
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !panel->PageItems().empty(); }));
    const catalogue::GiftRecord* gift = nullptr;
    int cell = 0;
    for (const catalogue::GiftItem* item : panel->PageItems()) {
        const catalogue::GiftRecord* r = alice.stack().catalogues()->gifts().Find(item->id);
        if (r && r->currencyType != "2" && r->buyRequest == 0 && r->price > 0) {
            gift = r;
            break;
        }
        ++cell;
    }
    ASSERT_NE(gift, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !window->GetControlText("Label_Balance").empty(); }));
    const long long before = std::stoll(window->GetControlText("Label_Balance"));

    // The cell's click opens the gift dialog; two of it are given.
    panel->MouseDown(panel->CellRect(cell).center());
    ASSERT_TRUE(WaitFor([&] {
        CGiftBuyDlg* d = window->PurchaseView().GiftDialog();
        return d && d->isVisible();
    }));
    CGiftBuyDlg* dialog = window->PurchaseView().GiftDialog();
    EXPECT_EQ(dialog->Item().itemId, gift->id);
    dialog->SetControlText("Edit_count", "2");
    dialog->Confirm();
    ASSERT_TRUE(WaitFor([&] { return window->GetControlText("text_tip") == "送礼物成功！"; }))
        << window->GetControlText("text_tip");
    ASSERT_TRUE(WaitFor([&] {
        return window->GetControlText("Label_Balance") == std::to_string(before - gift->price * 2LL);
    })) << window->GetControlText("Label_Balance");
    CChatView* record = window->FindChat("Edit_PrivateChat");
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(WaitFor([&] { return record->PlainText().contains(" X2"); }))
        << record->PlainText().toStdString();
    EXPECT_TRUE(boxes.empty());
}
