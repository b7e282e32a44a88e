// Buying in the room window: each dialog posts its choice to the window,
// which hands it to the room's purchases with the right parameters; the
// gift count is read while the room handles it; a VIP tier with nothing
// chosen only says so; my cars, my pack and the video text work through
// their dialogs; the billboards fill from their item template and their
// tabs switch; the window's buttons reach the purchases.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>

#include <filesystem>
#include <tuple>

#include "core/paths.h"
#include "platform/dui/controls.h"
#include "platform/dui/inputs.h"
#include "room/purchases/purchase_actions.h"
#include "room/purchases/purchase_messages.h"
#include "tests/room/room_test_support.h"
#include "ui/billboard_list.h"
#include "ui/car_list.h"
#include "ui_test_util.h"

using uitest::Click;

namespace {

using Buy = std::tuple<std::uint32_t, std::uint32_t, std::optional<std::int64_t>>;

// The room's purchases as far as the window reaches them: every call kept.
class FakePurchases : public IPurchaseActions {
public:
    void ChooseItem(std::uint32_t kind, std::uint32_t itemId) override {
        chosen.emplace_back(kind, itemId);
    }
    void BuyOrGive(std::uint32_t kind, std::uint32_t itemId) override {
        // What the room reads when it handles the buy.
        buys.emplace_back(kind, itemId, view ? view->GiftDialogCount() : std::nullopt);
    }
    void ActivateCar(std::uint32_t carId) override { activated.push_back(carId); }
    void UseProp(std::uint32_t entryId) override { used.push_back(entryId); }
    void GiveFlower() override { ++flowers; }
    void FlowerAnimationWrapped() override { ++wraps; }
    void Recharge() override { ++recharges; }
    void OpenVipDialog() override { ++vipDialogs; }
    void OpenCarList() override { ++carLists; }
    void OpenPack() override {
        ++packs;
        if (view) view->OpenPack();
    }
    std::uint32_t Balance() const override { return 0; }
    std::uint32_t Pelto() const override { return 0; }
    std::uint32_t MyVipLevel() const override { return 0; }

    IPurchaseView* view = nullptr;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> chosen;
    std::vector<Buy> buys;
    std::vector<std::uint32_t> activated, used;
    int flowers = 0, wraps = 0, recharges = 0, vipDialogs = 0, carLists = 0, packs = 0;
};

class PurchaseActions : public uitest::FakeActions {
public:
    IPurchaseActions* Purchases() const override { return purchases; }
    IPurchaseActions* purchases = nullptr;
};

purchase::Offer Offer(std::uint32_t kind, std::uint32_t id, const std::string& name,
                      std::int64_t price) {
    purchase::Offer o;
    o.kind = kind;
    o.itemId = id;
    o.name = name;
    o.price = price;
    o.currency = "元";
    return o;
}

class PurchaseWindow : public ::testing::Test {
protected:
    void SetUp() override {
        actions.purchases = &purchases;
        purchases.view = &w.PurchaseView();
        ASSERT_TRUE(w.Create()) << w.SkinError();
        w.show();
        w.PurchaseView().SetCursorSource([] { return QPoint(640, 500); });
    }
    // Lets the posted messages reach the window.
    void Deliver() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    CRoomPurchasesView& view() { return w.PurchaseView(); }

    roomtest::ScopedDataFolder data{"purchaseui"};
    FakePurchases purchases;
    PurchaseActions actions;
    CRoomUI w{actions};
};

TEST_F(PurchaseWindow, TheGiftDialogOpensAboveTheCursorAndTheRoomReadsItsCount) {
    EXPECT_EQ(view().GiftDialogCount(), std::nullopt);
    view().OpenBuyDialog(Offer(purchase::kGift, 7, "玫瑰", 150), false);
    CGiftBuyDlg* dlg = view().GiftDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsSkinLoaded()) << dlg->SkinError();
    EXPECT_EQ(dlg->GetWindowClassName(), "GiftBuyUI");
    ASSERT_TRUE(dlg->isVisible());
    const QRect g = dlg->geometry();
    EXPECT_NEAR(g.center().x(), 640, 1);
    EXPECT_EQ(g.bottom() + 1, 500);
    EXPECT_EQ(dlg->GetControlText("Label_name"), "玫瑰");
    EXPECT_EQ(dlg->GetControlText("Label_price"), "1.50元");
    EXPECT_EQ(view().GiftDialogCount(), 1);

    dlg->SetControlText("Edit_count", "12");
    EXPECT_EQ(view().GiftDialogCount(), 12);
    Click(dlg->FindControl("bnt_ok"));
    EXPECT_FALSE(dlg->isVisible());
    Deliver();
    // Hidden, the dialog still gave its count to the room's handling.
    ASSERT_EQ(purchases.buys.size(), 1u);
    EXPECT_EQ(purchases.buys[0], Buy(purchase::kGift, 7, 12));
    EXPECT_EQ(view().GiftDialogCount(), std::nullopt);
}

TEST_F(PurchaseWindow, AGiftCountTheRoomRefusesReachesItAsZeroAndTheDialogStays) {
    view().OpenBuyDialog(Offer(purchase::kGift, 7, "玫瑰", 150), false);
    CGiftBuyDlg* dlg = view().GiftDialog();
    ASSERT_NE(dlg, nullptr);
    for (const char* typed : {"0", "x1", ""}) {
        dlg->SetControlText("Edit_count", typed);
        EXPECT_EQ(view().GiftDialogCount(), 0) << typed;
        EXPECT_EQ(dlg->GetControlText("Label_total"), "") << typed;
        EXPECT_FALSE(dlg->GetControlText("Label_hint").empty()) << typed;
    }
    dlg->Confirm();
    Deliver();
    ASSERT_EQ(purchases.buys.size(), 1u);
    EXPECT_EQ(purchases.buys[0], Buy(purchase::kGift, 7, 0));
    // Left open for the person to mend the count.
    EXPECT_TRUE(dlg->isVisible());
    dlg->SetControlText("Edit_count", "3");
    EXPECT_EQ(dlg->GetControlText("Label_total"), "4.50元");
    EXPECT_EQ(dlg->GetControlText("Label_hint"), "");
}

TEST_F(PurchaseWindow, TheCompactGiftDialogShowsWhatItRequiresAndCannotBuy) {
    purchase::Offer o = Offer(purchase::kGift, 9, "跑车", 99900);
    o.buyRequest = 3;
    view().OpenBuyDialog(o, true);
    CGiftBuyDlg* dlg = view().GiftDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->height(), CGiftBuyDlg::kCompactHeight);
    EXPECT_FALSE(dlg->IsControlVisible("Container_count"));
    EXPECT_FALSE(dlg->FindControl("bnt_ok")->isEnabled());
    EXPECT_EQ(dlg->GetControlText("Label_hint"), "需要VIP3及以上才能购买");
    dlg->Confirm();
    Deliver();
    EXPECT_TRUE(purchases.buys.empty());
    // The full dialog again for the next gift.
    view().OpenBuyDialog(Offer(purchase::kGift, 7, "玫瑰", 150), false);
    EXPECT_GT(dlg->height(), CGiftBuyDlg::kCompactHeight);
    EXPECT_TRUE(dlg->IsControlVisible("Container_count"));
    EXPECT_TRUE(dlg->FindControl("bnt_ok")->isEnabled());
}

TEST_F(PurchaseWindow, TheItemDialogIsTitledByKindAndPostsTheKind) {
    purchase::Offer car = Offer(purchase::kCar, 31, "兰博基尼", 50000);
    car.validTime = 30;
    view().OpenBuyDialog(car, false);
    CPropBuyDlg* dlg = view().PropDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsSkinLoaded()) << dlg->SkinError();
    EXPECT_EQ(dlg->GetWindowClassName(), "PropBuyUI");
    EXPECT_EQ(dlg->GetControlText("text_title"), "座驾");
    EXPECT_EQ(dlg->GetControlText("Label_detail"), "有效期30天");
    Click(dlg->FindControl("bnt_ok"));
    Deliver();

    purchase::Offer prop = Offer(purchase::kProp, 61, "解禁卡", 500);
    prop.useTimes = 5;
    view().OpenBuyDialog(prop, false);
    EXPECT_EQ(dlg->GetControlText("text_title"), "道具");
    EXPECT_EQ(dlg->GetControlText("Label_detail"), "可使用5次");
    Click(dlg->FindControl("bnt_cancel"));
    Deliver();
    view().OpenBuyDialog(prop, false);
    dlg->Confirm();
    Deliver();

    ASSERT_EQ(purchases.buys.size(), 2u);
    EXPECT_EQ(std::get<0>(purchases.buys[0]), purchase::kCar);
    EXPECT_EQ(std::get<1>(purchases.buys[0]), 31u);
    EXPECT_EQ(std::get<0>(purchases.buys[1]), purchase::kProp);
    EXPECT_EQ(std::get<1>(purchases.buys[1]), 61u);
    // Opening one buy dialog puts the other away.
    view().OpenBuyDialog(Offer(purchase::kGift, 7, "玫瑰", 150), false);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(PurchaseWindow, AnItemPictureShowsOnlyFromTheDataFolder) {
    const std::string inside = paths::DataFolder() + "res/globalcar/car31.png";
    std::filesystem::create_directories(std::filesystem::path(inside).parent_path());
    QImage img(8, 8, QImage::Format_ARGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(QString::fromStdString(inside)));
    const std::string outside =
        (std::filesystem::temp_directory_path() / "zeri-purchaseui-outside.png").string();
    ASSERT_TRUE(img.save(QString::fromStdString(outside)));

    purchase::Offer car = Offer(purchase::kCar, 31, "兰博基尼", 50000);
    car.icon = inside;
    view().OpenBuyDialog(car, false);
    ASSERT_NE(view().PropDialog(), nullptr);
    EXPECT_EQ(view().PropDialog()->FindControl("icon")->GetBkImage(), inside);
    car.icon = outside;
    view().OpenBuyDialog(car, false);
    EXPECT_EQ(view().PropDialog()->FindControl("icon")->GetBkImage(), "");
    std::filesystem::remove(outside);
}

purchase::VipTier Tier(std::uint32_t level, const std::string& name,
                       std::vector<std::uint32_t> ids) {
    purchase::VipTier t;
    t.level = level;
    t.name = name;
    int days = 30;
    for (std::uint32_t id : ids) {
        purchase::Offer o = Offer(purchase::kVip, id, name, 1000 * days / 30);
        o.validTime = days;
        t.durations.push_back(o);
        days *= 3;
    }
    return t;
}

TEST_F(PurchaseWindow, AVipTierBuysItsChosenDurationOrSaysToChooseOne) {
    view().OpenVipDialog({Tier(1, "初级VIP", {101, 102, 103, 104}), Tier(2, "中级VIP", {201, 202}),
                          Tier(3, "高级VIP", {})});
    CVipBuyDlg* dlg = view().VipDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsSkinLoaded()) << dlg->SkinError();
    EXPECT_EQ(dlg->GetWindowClassName(), "VIPBuyUI");
    EXPECT_TRUE(dlg->IsControlVisible("Container_Primary"));
    EXPECT_FALSE(dlg->IsControlVisible("Container_Higher"));
    EXPECT_TRUE(dlg->IsControlVisible("Option_Medium_1"));
    EXPECT_FALSE(dlg->IsControlVisible("Option_Medium_2"));
    EXPECT_EQ(dlg->GetControlText("Option_Primary_0"), "30天 10.00元");

    Click(dlg->FindControl("bnt_buy_Medium"));
    EXPECT_EQ(dlg->GetControlText("Label_notice"), CVipBuyDlg::kChooseFirst);
    // Another tier's choice is not this tier's.
    Click(dlg->FindControl("Option_Primary_2"));
    EXPECT_EQ(dlg->GetControlText("Label_notice"), "");
    Click(dlg->FindControl("bnt_buy_Medium"));
    EXPECT_EQ(dlg->GetControlText("Label_notice"), CVipBuyDlg::kChooseFirst);
    Deliver();
    EXPECT_TRUE(purchases.buys.empty());
    EXPECT_TRUE(dlg->isVisible());

    Click(dlg->FindControl("bnt_buy_Primary"));
    Deliver();
    ASSERT_EQ(purchases.buys.size(), 1u);
    EXPECT_EQ(std::get<0>(purchases.buys[0]), purchase::kVip);
    EXPECT_EQ(std::get<1>(purchases.buys[0]), 103u);
    EXPECT_FALSE(dlg->isVisible());
    // Opened again, nothing is chosen.
    view().OpenVipDialog({Tier(1, "初级VIP", {101, 102})});
    EXPECT_FALSE(dlg->Buy(0));
    EXPECT_FALSE(dlg->IsControlVisible("Container_Medium"));
}

CControlUI* TileButton(CPurchaseTiles* list, int tile, const char* name) {
    CControlUI* t = list ? list->GetItemAt(tile) : nullptr;
    return t ? t->FindSubControl(name) : nullptr;
}

TEST_F(PurchaseWindow, TheCarListBuysFromItsShopsAndActivatesMyCars) {
    purchase::OwnedCar inUse{501, "宝马", 0, true, {}}, parked{502, "奔驰", 1767225600, false, {}};
    // Known before the list opens: shown when it does.
    view().ShowMyCars({inUse, parked});
    view().OpenCarList(
        {Offer(purchase::kCar, 31, "兰博基尼", 50000), Offer(purchase::kCar, 32, "法拉利", 60000)},
        {Offer(purchase::kProp, 61, "解禁卡", 500)});
    CCarListDlg* dlg = view().CarList();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsSkinLoaded()) << dlg->SkinError();
    EXPECT_EQ(dlg->GetWindowClassName(), "CarListUI");
    ASSERT_NE(dlg->CarShop(), nullptr);
    ASSERT_EQ(dlg->CarShop()->GetCount(), 2);
    EXPECT_EQ(dlg->CurrentTab(), CCarListDlg::kCarShop);
    EXPECT_EQ(dlg->CarShop()->GetItemAt(1)->FindSubControl("Label_name")->GetText(), "法拉利");

    Click(TileButton(dlg->CarShop(), 1, "bnt_buy"));
    Click(dlg->FindControl("Option_pack_shop"));
    EXPECT_EQ(dlg->CurrentTab(), CCarListDlg::kPackShop);
    Click(TileButton(dlg->PackShop(), 0, "bnt_buy"));
    Deliver();
    ASSERT_EQ(purchases.buys.size(), 2u);
    EXPECT_EQ(std::get<0>(purchases.buys[0]), purchase::kCar);
    EXPECT_EQ(std::get<1>(purchases.buys[0]), 32u);
    EXPECT_EQ(std::get<0>(purchases.buys[1]), purchase::kProp);
    EXPECT_EQ(std::get<1>(purchases.buys[1]), 61u);

    Click(dlg->FindControl("Option_my_car"));
    EXPECT_EQ(dlg->CurrentTab(), CCarListDlg::kMyCars);
    CMyCarList* mine = dlg->MyCars();
    ASSERT_NE(mine, nullptr);
    ASSERT_EQ(mine->GetCount(), 2);
    EXPECT_FALSE(TileButton(mine, 0, "bnt_activate")->IsVisible());
    EXPECT_TRUE(TileButton(mine, 0, "Label_active")->IsVisible());
    EXPECT_EQ(TileButton(mine, 0, "Label_expiry")->GetText(), "永久");
    Click(TileButton(mine, 1, "bnt_activate"));
    Deliver();
    EXPECT_EQ(purchases.activated, std::vector<std::uint32_t>{502});

    // The account's answer refreshes the open list.
    parked.active = true;
    inUse.active = false;
    view().ShowMyCars({inUse, parked});
    ASSERT_EQ(mine->GetCount(), 2);
    EXPECT_TRUE(TileButton(mine, 0, "bnt_activate")->IsVisible());
    EXPECT_FALSE(TileButton(mine, 1, "bnt_activate")->IsVisible());
    view().ShowMyCars({});
    EXPECT_EQ(mine->GetCount(), 0);
    EXPECT_EQ(mine->GetText(), "您还没有座驾");
}

TEST_F(PurchaseWindow, AShopLargerThanItsAreaPagesSoEveryItemCanBeBought) {
    std::vector<purchase::Offer> cars;
    for (std::uint32_t i = 0; i < 11; ++i)
        cars.push_back(Offer(purchase::kCar, 40 + i, "车" + std::to_string(i), 1000));
    view().OpenCarList(cars, {});
    CCarListDlg* dlg = view().CarList();
    ASSERT_NE(dlg, nullptr);
    CCarList* shop = dlg->CarShop();
    ASSERT_NE(shop, nullptr);
    const int per = shop->PerPage();
    ASSERT_GE(per, 2);
    ASSERT_LT(per, 11) << "the skin's area should not hold eleven tiles";
    const int pages = (11 + per - 1) / per;
    EXPECT_EQ(shop->PageCount(), pages);
    EXPECT_TRUE(shop->GetItemAt(0)->IsVisible());
    EXPECT_FALSE(shop->GetItemAt(per)->IsVisible());
    EXPECT_TRUE(dlg->IsControlVisible("bnt_page_next"));
    EXPECT_FALSE(dlg->FindControl("bnt_page_prev")->isEnabled());
    EXPECT_EQ(dlg->GetControlText("Label_page"), "1/" + std::to_string(pages));

    for (int p = 1; p < pages; ++p) Click(dlg->FindControl("bnt_page_next"));
    EXPECT_EQ(shop->Page(), pages - 1);
    EXPECT_FALSE(dlg->FindControl("bnt_page_next")->isEnabled());
    EXPECT_FALSE(shop->GetItemAt(0)->IsVisible());
    ASSERT_TRUE(shop->GetItemAt(10)->IsVisible());
    Click(TileButton(shop, 10, "bnt_buy"));
    Deliver();
    ASSERT_EQ(purchases.buys.size(), 1u);
    EXPECT_EQ(std::get<1>(purchases.buys[0]), 50u);
    // A page past the last is the last; my cars, one page, need no pager.
    shop->SetPage(99);
    EXPECT_EQ(shop->Page(), pages - 1);
    Click(dlg->FindControl("Option_my_car"));
    EXPECT_FALSE(dlg->IsControlVisible("bnt_page_next"));
    // Opened again, the shop starts on its first page.
    view().OpenCarList(cars, {});
    EXPECT_EQ(shop->Page(), 0);
    EXPECT_TRUE(shop->GetItemAt(0)->IsVisible());
}

TEST_F(PurchaseWindow, MyPackFromThePackButtonUsesAnEntryThatHasSomeLeft) {
    view().ShowMyPack({{11, 1, 2, "上视频卡", {}}, {12, 10, 0, "解禁卡", {}}});
    Click(w.FindControl("bnt_prop"));
    EXPECT_EQ(purchases.packs, 1);
    CMyPackDlg* dlg = view().PackDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsSkinLoaded()) << dlg->SkinError();
    ASSERT_TRUE(dlg->isVisible());
    ASSERT_NE(dlg->List(), nullptr);
    ASSERT_EQ(dlg->List()->GetCount(), 2);
    EXPECT_EQ(TileButton(dlg->List(), 0, "Label_count")->GetText(), "x2");

    Click(TileButton(dlg->List(), 0, "bnt_use"));
    Click(TileButton(dlg->List(), 1, "bnt_use"));
    EXPECT_FALSE(dlg->Use(TileButton(dlg->List(), 1, "bnt_use")));
    Deliver();
    EXPECT_EQ(purchases.used, std::vector<std::uint32_t>{11});

    // A later list replaces the open one.
    view().ShowMyPack({{12, 10, 1, "解禁卡", {}}});
    ASSERT_EQ(dlg->List()->GetCount(), 1);
    EXPECT_TRUE(TileButton(dlg->List(), 0, "bnt_use")->isEnabled());
}

TEST_F(PurchaseWindow, TheVideoTextPromptHandsOnItsTextOnlyOnOk) {
    std::vector<std::string> sent;
    view().OpenVideoTextDialog([&](const std::string& t) { sent.push_back(t); });
    CPropVideoText* dlg = view().VideoTextDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsSkinLoaded()) << dlg->SkinError();
    EXPECT_EQ(dlg->GetWindowClassName(), "PropVideoUI");
    EXPECT_EQ(dlg->GetControlText("text_title"), "上视频");

    // Nothing typed: OK says so and stays.
    Click(dlg->FindControl("bnt_ok"));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->GetControlText("Label_hint"), CPropVideoText::kEmpty);
    // What is typed beyond 128 bytes never stays in the box.
    std::string cjk;
    for (int i = 0; i < 60; ++i) cjk += "好";
    auto* edit = dlg->FindControl<CEditUI>("Edit_text");
    ASSERT_NE(edit, nullptr);
    edit->Edit()->setText(QString::fromStdString(cjk));
    EXPECT_EQ(dlg->GetControlText("Edit_text"), cjk.substr(0, 126));
    EXPECT_EQ(dlg->GetControlText("Label_count"), "126/128");
    Click(dlg->FindControl("bnt_ok"));
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(sent, std::vector<std::string>{cjk.substr(0, 126)});

    // Cancel hands nothing on, and the next prompt starts empty.
    view().OpenVideoTextDialog([&](const std::string& t) { sent.push_back(t); });
    EXPECT_EQ(dlg->GetControlText("Edit_text"), "");
    dlg->SetControlText("Edit_text", "hello");
    Click(dlg->FindControl("bnt_cancel"));
    EXPECT_FALSE(dlg->isVisible());
    dlg->Confirm();
    EXPECT_EQ(sent.size(), 1u);
}

purchase::BillboardLine Line(std::uint32_t place, const std::string& nick, const std::string& grade,
                             const std::string& colour) {
    purchase::BillboardLine l;
    l.place = place;
    l.userId = 1000 + place;
    l.nickname = nick;
    l.gradeText = grade;
    l.colour = colour;
    return l;
}

TEST_F(PurchaseWindow, BillboardsFillFromTheirTemplateAndTheTabsSwitch) {
    auto* week = w.FindControl<CUserBillboardList>("ListWealthWeek");
    ASSERT_NE(week, nullptr);
    for (const char* list : {"ListWealthDay", "ListWealthMonth", "ListWealthAll"})
        EXPECT_NE(w.FindControl<CUserBillboardList>(list), nullptr) << list;

    w.Purchases().ShowBillboard(
        "ListWealthWeek",
        {Line(1, "alice", "富豪", "#112233"), Line(2, "<i file='/etc/passwd'>bob", "土豪", "junk"),
         Line(3, "carol", "平民", "")});
    ASSERT_EQ(week->GetCount(), 3);
    CControlUI* first = week->GetItemAt(0);
    EXPECT_EQ(first->FindSubControl("bntvip")->GetText(), "1");
    EXPECT_EQ(first->FindSubControl("labelname")->GetText(), "alice");
    auto* grade = dynamic_cast<CLabelUI*>(first->FindSubControl("labelgrade"));
    ASSERT_NE(grade, nullptr);
    EXPECT_EQ(grade->GetText(), "富豪");
    EXPECT_EQ(grade->CurrentTextColor(), QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(first->FindSubControl("bntgrade")->toolTip(), "富豪");
    // A nickname is text, never markup.
    auto* name = dynamic_cast<CLabelUI*>(week->GetItemAt(1)->FindSubControl("labelname"));
    ASSERT_NE(name, nullptr);
    EXPECT_FALSE(name->IsShowHtml());
    EXPECT_EQ(name->GetText(), "<i file='/etc/passwd'>bob");
    EXPECT_EQ(week->GetItemAt(2)->FindSubControl("bntvip")->GetText(), "3");
    EXPECT_EQ(week->LineAt(1)->userId, 1002u);
    EXPECT_EQ(w.FindControl<CUserBillboardList>("ListWealthDay")->GetCount(), 0);

    // A new result replaces the lines; an unknown list changes nothing.
    w.Purchases().ShowBillboard("ListWealthWeek", {Line(1, "dave", "富豪", "#112233")});
    ASSERT_EQ(week->GetCount(), 1);
    EXPECT_EQ(week->GetItemAt(0)->FindSubControl("labelname")->GetText(), "dave");
    w.Purchases().ShowBillboard("text_tip", {Line(1, "eve", "", "")});
    EXPECT_NE(w.GetControlText("text_tip"), "1");

    auto* tabs = w.FindControl<CTabLayoutUI>("tabwealth");
    ASSERT_NE(tabs, nullptr);
    const char* options[] = {"Option_wealth_day", "Option_wealth_week", "Option_wealth_month",
                             "Option_wealth_all"};
    for (int i : {1, 3, 2, 0}) {
        Click(w.FindControl(options[i]));
        EXPECT_EQ(tabs->GetCurSel(), i) << options[i];
    }
}

TEST_F(PurchaseWindow, TheWindowsButtonsReachThePurchases) {
    for (const char* b : {"bnt_flower", "bnt_recharge2", "bnt_vip", "bnt_carlist", "bnt_prop"}) {
        ASSERT_NE(w.FindControl(b), nullptr) << b;
        EXPECT_TRUE(w.FindControl(b)->isEnabled()) << b;
        Click(w.FindControl(b));
    }
    EXPECT_EQ(purchases.flowers, 1);
    EXPECT_EQ(purchases.recharges, 1);
    EXPECT_EQ(purchases.vipDialogs, 1);
    EXPECT_EQ(purchases.carLists, 1);
    EXPECT_EQ(purchases.packs, 1);

    // A panel's item, posted to the window, reaches the room as a choice.
    ASSERT_TRUE(PostMessage(w.GetHWND(), purchase::UM_ITEM_CHOSEN, purchase::kCar, 31));
    Deliver();
    EXPECT_EQ(purchases.chosen,
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{purchase::kCar, 31}}));

    // Without purchases (before the room starts) the buttons do nothing.
    actions.purchases = nullptr;
    Click(w.FindControl("bnt_flower"));
    ASSERT_TRUE(PostMessage(w.GetHWND(), purchase::UM_BUY_ITEM, purchase::kGift, 7));
    Deliver();
    EXPECT_EQ(purchases.flowers, 1);
    EXPECT_TRUE(purchases.buys.empty());
}

TEST_F(PurchaseWindow, TheFlowerAnimationWrappingShowsTheButtonAgain) {
    auto* gif = w.FindControl<CGifControl>("gif_flower");
    ASSERT_NE(gif, nullptr);
    ASSERT_TRUE(gif->Picture().IsAnimated()) << gif->GetFile();
    EXPECT_FALSE(gif->HasTimer(CGifControl::kFrameTimer));
    w.SetVisible("gif_flower", true);
    EXPECT_TRUE(gif->HasTimer(CGifControl::kFrameTimer));
    ASSERT_TRUE(uitest::Pump([&] { return purchases.wraps > 0; }, 5000));
    // Hidden, it stops: no more wraps for nobody.
    w.SetVisible("gif_flower", false);
    EXPECT_FALSE(gif->HasTimer(CGifControl::kFrameTimer));
}

TEST_F(PurchaseWindow, MyVipsShowOnTheVipButton) {
    EXPECT_EQ(w.GetControlText("bnt_vip"), "开通VIP");
    w.Purchases().ShowMyVips({{1, 2, "中级VIP", 0}}, 2);
    EXPECT_EQ(w.GetControlText("bnt_vip"), "VIP2");
    EXPECT_EQ(w.FindControl("bnt_vip")->toolTip().toStdString(), "中级VIP 永久");
    w.Purchases().ShowMyVips({}, 0);
    EXPECT_EQ(w.GetControlText("bnt_vip"), "开通VIP");
    EXPECT_EQ(w.FindControl("bnt_vip")->toolTip().toStdString(), "尚未开通VIP");
}

}  // namespace
