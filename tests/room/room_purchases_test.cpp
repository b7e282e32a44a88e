// Buying and giving through the session and the headless view: the gift
// count and receiver checks, what each account answer shows, the props of
// my pack, flowers, wealth grades, my lists, the billboards and the typed
// commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "net/catalogue_moderation.h"
#include "net/json.h"
#include "platform/patron/patron_records.h"
#include "room/headless_view.h"
#include "room/purchases/billboards.h"
#include "room/purchases/purchase_messages.h"
#include "room/purchases/room_purchases.h"
#include "room/room_chat.h"
#include "room/room_moderation.h"
#include "tests/room/room_test_support.h"

using R = CRoomPurchases::Result;

namespace {

constexpr std::uint32_t kMe = 42, kBob = 7, kDave = 10004;
constexpr std::uint32_t kRose = 1101, kCrown = 1102, kGroup = 1200, kCar = 4101;
constexpr std::uint32_t kGagEntry = 501, kCancelEntry = 502, kTextEntry = 503;

// The room tests' account, plus the purchase calls it records.
class PurchaseAccount : public roomtest::FakeAccount {
public:
    bool taken = true;  // the library takes the calls
    std::vector<PurchaseOrder> orders;
    std::vector<std::uint32_t> activations;
    struct Flower {
        std::uint32_t anchor, room;
        std::string json;
    };
    std::vector<Flower> flowers;
    int carRequests = 0, vipRequests = 0, recharges = 0;
    bool GiveGift(const PurchaseOrder& o) override {
        orders.push_back(o);
        return taken;
    }
    bool ActivateCar(std::uint32_t id) override {
        activations.push_back(id);
        return taken;
    }
    void Recharge() override { ++recharges; }
    bool GiveFlower(std::uint32_t anchor, std::uint32_t room, const std::string& json) override {
        flowers.push_back({anchor, room, json});
        return taken;
    }
    void RequestCars() override { ++carRequests; }
    void RequestVips() override { ++vipRequests; }
};

// The room links no account library: fields filled the simple way.
template <std::size_t N>
void Put(char (&field)[N], const char* text) {
    std::snprintf(field, N, "%s", text);
}

catalogue::GiftRecord Item(std::uint32_t id, const std::string& name, std::int32_t price,
                           const std::string& icon = {}) {
    catalogue::GiftRecord r;
    r.id = id;
    r.name = name;
    r.price = price;
    r.checkCode = "code" + std::to_string(id);
    r.iconFile = icon;
    return r;
}

class RoomPurchases : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        account.me.userId = kMe;
        account.me.nickname = "ann";
        account.me.card.head_url = "http://h/ann.png";
        account.me.card.text4 = "t4";
        account.me.card.profile_byte = 3;
        account.me.card.medal_url = "http://h/m1.png";
        ASSERT_TRUE(session.Start());
        catalogues[purchase::kGift] = {Item(kRose, "玫瑰", 100, "res/globalgift/rose.png"),
                                       Item(kCrown, "皇冠", 99900)};
        catalogues[purchase::kGift][1].buyRequest = 2;
        catalogues[purchase::kGift].push_back(Item(kGroup, "组", 0));
        catalogues[purchase::kGift].back().node = "1";
        catalogues[purchase::kCar] = {Item(kCar, "跑车", 5000, "res/globalcar/car.png")};
        catalogues[purchase::kProp] = {Item(kPropVideoText, "视频字幕", 200, "res/globalpack/t.png")};
        chat = std::make_unique<CRoomChat>(session, account, transfers, faces, RoomChatSetup{});
        moderation = std::make_unique<CRoomModeration>(session, account);
        RoomPurchasesSetup setup;
        setup.dataFolder = "/data";
        setup.catalogue = [this](std::uint32_t kind) -> const catalogue::GiftRecords* {
            auto it = catalogues.find(kind);
            return it == catalogues.end() ? nullptr : &it->second;
        };
        setup.medalIcon = [this](const std::string& url) {
            medalAsks.push_back(url);
            auto it = medals.find(url);
            return it == medals.end() ? std::string() : it->second;
        };
        purchases = std::make_unique<CRoomPurchases>(session, account, *moderation, chat.get(),
                                                     std::move(setup));
    }
    void TearDown() override {
        purchases.reset();
        moderation.reset();
        chat.reset();
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }

    // In room 1001 with bob and 大卫; bob on the anchor microphone when `anchor`.
    void Enter(bool anchor = true) {
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = 20;
        r.room_mode = 2;
        roomtest::Deliver(session, r);
        roomtest::Deliver(session, roomtest::MemberList({{kBob, "bob", 20}, {kDave, "大卫", 7}}));
        if (!anchor) return;
        msg::Control_Anchor_Notify a;
        a.anchor.user_id = kBob;
        roomtest::Deliver(session, a);
    }
    // A message to the room window as the host hands it on; true when taken.
    bool Post(unsigned msg, std::uintptr_t a = 0, std::intptr_t b = 0,
              std::unique_ptr<CMessageData> data = nullptr) {
        WindowMessage m;
        m.msg = msg;
        m.wParam = a;
        m.lParam = b;
        m.data = data.get();
        return session.OnFeatureMessage(m);
    }
    template <class T>
    static std::unique_ptr<CMessageData> Data(T v) {
        return std::make_unique<TMessageData<T>>(std::move(v));
    }
    void Result(bool ok, const char* kind, const char* error = "") {
        PatronPurchaseResult r{};
        r.status = ok ? 1 : 0;
        Put(r.kindText, kind);
        Put(r.error, error);
        Post(UM_PURCHASE_RESULT, r.status, 0, Data(r));
    }
    void Pack(std::initializer_list<PatronPackEntry> entries) {
        PatronPackList list{};
        list.status = 1;
        for (const PatronPackEntry& e : entries) list.entries[list.count++] = e;
        Post(UM_PACK_LIST, 1, 0, Data(list));
    }
    void Grade(std::uint32_t user, std::uint32_t grade, const char* colour = "#FF0000") {
        PatronWealthGrade g{};
        g.status = 1;
        g.userId = user;
        g.grade = grade;
        Put(g.colour, colour);
        Put(g.gradeText, "富豪");
        Post(UM_WEALTH_GRADE, 1, 0, Data(g));
    }
    std::string Tip() const { return view.Text("text_tip"); }
    std::string Last() const { return view.Lines().empty() ? "" : view.Lines().back(); }
    bool Visible(const char* control) const {
        const auto* c = view.Find(control);
        return c && c->visible;
    }
    std::vector<std::uint32_t> ListOrder() const {
        std::vector<std::uint32_t> ids;
        for (const auto& item : session.userList().items()) ids.push_back(item.userId);
        return ids;
    }
    CHeadlessPurchaseView& shown() { return view.HeadlessPurchases(); }

    roomtest::ScopedDataFolder data{"rbuy"};
    CHeadlessView view{nullptr};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    PurchaseAccount account;
    CRoomSession session{view, link, timers, clock, account};
    CFaceTable faces;
    roomtest::NoHttp http;
    CSerialTransfers transfers{http};
    std::map<std::uint32_t, catalogue::GiftRecords> catalogues;
    std::map<std::string, std::string> medals;
    std::vector<std::string> medalAsks;
    std::unique_ptr<CRoomChat> chat;
    std::unique_ptr<CRoomModeration> moderation;
    std::unique_ptr<CRoomPurchases> purchases;
};

}  // namespace

// --- buying and giving ----------------------------------------------------------------

TEST_F(RoomPurchases, AGiftNeedsACountOfAtLeastOneAndAnAnchorOtherThanMe) {
    EXPECT_EQ(purchases->Purchase(purchase::kGift, kRose, 1), R::no_anchor);
    Enter(false);
    EXPECT_EQ(purchases->Purchase(purchase::kGift, kRose, 1), R::no_anchor);
    Enter(true);
    for (std::int64_t n : {0LL, -1LL, 4294967295LL * -1}) {
        EXPECT_EQ(purchases->Purchase(purchase::kGift, kRose, n), R::bad_count) << n;
        EXPECT_EQ(Tip(), "赠送礼物数量不能为小于0");
    }
    EXPECT_EQ(purchases->Purchase(purchase::kGift, kRose, 10000), R::bad_count);
    // The dialog's count; a count that is no number reads as 0.
    Post(purchase::UM_ITEM_CHOSEN, purchase::kGift, kRose);
    ASSERT_TRUE(shown().SetGiftCount(0));
    Post(purchase::UM_BUY_ITEM, purchase::kGift, kRose);
    EXPECT_EQ(Tip(), "赠送礼物数量不能为小于0");
    EXPECT_TRUE(account.orders.empty());

    // I am the anchor: no gift to myself.
    msg::Control_Anchor_Notify a;
    a.anchor.user_id = kMe;
    roomtest::Deliver(session, a);
    EXPECT_EQ(purchases->Purchase(purchase::kGift, kRose, 1), R::no_anchor);
    EXPECT_TRUE(account.orders.empty());
}

TEST_F(RoomPurchases, AGiftCarriesTheDialogsCountTheAnchorAndMyCard) {
    Enter();
    Post(purchase::UM_ITEM_CHOSEN, purchase::kGift, kRose);
    ASSERT_TRUE(shown().buyItem());
    EXPECT_EQ(shown().buyItem()->icon, "/data/res/globalgift/rose.png");
    EXPECT_FALSE(shown().compact());
    ASSERT_TRUE(shown().SetGiftCount(3));
    Post(purchase::UM_BUY_ITEM, purchase::kGift, kRose);
    ASSERT_EQ(account.orders.size(), 1u);
    const PurchaseOrder& o = account.orders[0];
    EXPECT_EQ(o.kind, 1u);
    EXPECT_EQ(o.itemId, kRose);
    EXPECT_EQ(o.count, 3u);
    EXPECT_EQ(o.receiverId, kBob);
    EXPECT_EQ(o.receiverNick, "bob");
    EXPECT_EQ(o.giverId, kMe);
    EXPECT_EQ(o.giverNick, "ann");
    EXPECT_EQ(o.roomId, 1001u);
    EXPECT_EQ(o.code, "code1101");
    EXPECT_EQ(o.headUrl, "http://h/ann.png");
    EXPECT_EQ(o.text4, "t4");
    EXPECT_EQ(o.profileByte, 3u);
    // Without a dialog the count is 1; a car goes to me, whatever the dialog says.
    shown().CloseBuyDialog();
    Post(purchase::UM_BUY_ITEM, purchase::kGift, kRose);
    EXPECT_EQ(account.orders.back().count, 1u);
    Post(purchase::UM_BUY_ITEM, purchase::kCar, kCar);
    EXPECT_EQ(account.orders.back().receiverId, kMe);
    EXPECT_EQ(account.orders.back().count, 1u);
    // An item above my VIP level gets the smaller dialog.
    Post(purchase::UM_ITEM_CHOSEN, purchase::kGift, kCrown);
    EXPECT_TRUE(shown().compact());
}

TEST_F(RoomPurchases, UnknownItemsAndRefusedCallsSayWhy) {
    Enter();
    using KindId = std::pair<std::uint32_t, std::uint32_t>;
    for (auto [kind, id] : {KindId{purchase::kGift, 9999u}, KindId{purchase::kGift, kGroup},
                            KindId{purchase::kCar, kRose}, KindId{5u, kRose}}) {
        EXPECT_EQ(purchases->Purchase(kind, id, 1), R::not_found) << kind << " " << id;
        EXPECT_EQ(Tip(), "购买失败！");
    }
    EXPECT_TRUE(account.orders.empty());
    account.taken = false;
    EXPECT_EQ(purchases->Purchase(purchase::kGift, kRose, 1), R::not_sent);
    EXPECT_EQ(Tip(), "送礼物失败，网络连接异常");
    EXPECT_EQ(purchases->Purchase(purchase::kCar, kCar, 1), R::not_sent);
    EXPECT_EQ(Tip(), "购买道具失败，网络连接异常");
}

TEST_F(RoomPurchases, EachPurchaseResultShowsItsTextReloadsItsListsAndAsksTheBalance) {
    Result(false, "1", "余额不足");
    EXPECT_EQ(Tip(), "余额不足");
    EXPECT_EQ(Last(), "box: 提示: 余额不足");
    EXPECT_EQ(account.balanceRequests, 1);
    Result(true, "1");
    EXPECT_EQ(Tip(), "送礼物成功！");
    Result(true, "4");
    EXPECT_EQ(Last(), "box: 提示: 购买座驾成功！");
    EXPECT_EQ(account.carRequests, 1);
    EXPECT_EQ(account.packRequests, 1);
    Result(true, "6");
    EXPECT_EQ(Last(), "box: 提示: 购买道具成功!");
    EXPECT_EQ(account.carRequests, 2);
    EXPECT_EQ(account.packRequests, 2);
    Result(true, "7");
    EXPECT_EQ(Last(), "box: 提示: 购买VIP成功！");
    EXPECT_EQ(account.vipRequests, 1);
    const std::size_t lines = view.Lines().size();
    Result(true, "9");
    EXPECT_EQ(view.Lines().size(), lines);
    EXPECT_EQ(account.balanceRequests, 6);
    // A result without its record is a failure, not a success.
    Post(UM_PURCHASE_RESULT, 1);
    EXPECT_EQ(Tip(), "购买失败！");
}

TEST_F(RoomPurchases, TheBalanceShowsBothAmountsAndAFailedQueryKeepsThem) {
    PatronBalance b{};
    b.status = 1;
    b.coins = 1234;
    b.pelto = 12345;
    Post(UM_BALANCE, 1, 0, Data(b));
    EXPECT_EQ(view.Text("Label_Balance"), "1234");
    EXPECT_EQ(view.Text("Label_Pelto"), "123.45");
    EXPECT_EQ(purchases->Balance(), 1234u);
    EXPECT_EQ(purchases->Pelto(), 12345u);
    EXPECT_NE(std::find(view.Lines().begin(), view.Lines().end(), "balance: 1234"), view.Lines().end());
    Post(UM_BALANCE, 0, 0, Data(std::string("timeout")));
    EXPECT_EQ(Tip(), "获取剩余金额失败");
    EXPECT_EQ(view.Text("Label_Balance"), "1234");
}

// --- flowers ----------------------------------------------------------------------------

TEST_F(RoomPurchases, AFailedFlowerCountKeepsTheCounter) {
    Post(UM_FLOWER_COUNT, 1, 5);
    EXPECT_EQ(view.Text("text_flower"), "5");
    Post(UM_FLOWER_COUNT, 0, 0);
    EXPECT_EQ(Tip(), "获取剩余鲜花数失败");
    EXPECT_EQ(view.Text("text_flower"), "5");
    EXPECT_EQ(chat->flowers(), 5u);
}

TEST_F(RoomPurchases, AFlowerGoesToTheAnchorAndTheButtonReturnsWhenTheAnimationWraps) {
    purchases->GiveFlower();
    EXPECT_EQ(Tip(), "请先进入房间");
    Enter();
    purchases->GiveFlower();
    ASSERT_EQ(account.flowers.size(), 1u);
    EXPECT_EQ(account.flowers[0].anchor, kBob);
    EXPECT_EQ(account.flowers[0].room, 1001u);
    const json::value j = json::value::parse(account.flowers[0].json);
    EXPECT_EQ(j.get_string("nickname"), "ann");
    EXPECT_EQ(j.get_string("headUrl"), "http://h/ann.png");
    EXPECT_EQ(j.get_string("medalIconUrl"), "http://h/m1.png");
    EXPECT_EQ(j.get_int("role"), 20);
    EXPECT_EQ(j.get_int("sex"), 2);
    EXPECT_TRUE(Visible("gif_flower"));
    EXPECT_FALSE(Visible("bnt_flower"));
    purchases->FlowerAnimationWrapped();
    EXPECT_FALSE(Visible("gif_flower"));
    EXPECT_TRUE(Visible("bnt_flower"));
    // The account's later refusal: the tip, and the button back.
    purchases->GiveFlower();
    Post(UM_FLOWER_FAILED);
    EXPECT_EQ(Tip(), "送花失败");
    EXPECT_TRUE(Visible("bnt_flower"));
    EXPECT_FALSE(Visible("gif_flower"));
    // Refused at once: the button never went.
    account.taken = false;
    purchases->GiveFlower();
    EXPECT_EQ(Tip(), "送花失败");
    EXPECT_TRUE(Visible("bnt_flower"));
}

// --- props ----------------------------------------------------------------------------------

TEST_F(RoomPurchases, PropsOfMyPackEachDoTheirOwnThing) {
    Enter();
    Pack({{kGagEntry, kPropGagCard, 1, 11, "禁言卡"}, {kCancelEntry, kPropCancelGagCard, 1, 12, "解禁卡"},
          {kTextEntry, kPropVideoText, 2, 13, "视频字幕"}});
    ASSERT_EQ(shown().myPack().size(), 3u);
    EXPECT_EQ(shown().myPack()[2].icon, "/data/res/globalpack/t.png");
    EXPECT_EQ(shown().myPack()[0].icon, "");

    Post(purchase::UM_USE_PROP, kGagEntry);
    EXPECT_EQ(Last(), "box: 提示: 请在用户列表选中用户点击右键菜单使用禁言卡！");
    Post(purchase::UM_USE_PROP, kCancelEntry);
    EXPECT_EQ(Last(), "box: 提示: 您没有被禁言, 无法使用解禁卡");
    EXPECT_TRUE(account.props.empty());
    msg::Control_Gag_Notify gag;
    gag.user_id = kMe;
    roomtest::Deliver(session, gag);
    Post(purchase::UM_USE_PROP, kCancelEntry);
    ASSERT_EQ(account.props.size(), 1u);
    EXPECT_EQ(account.props[0].giverId, kMe);
    EXPECT_EQ(account.props[0].receiverId, kMe);
    EXPECT_EQ(account.props[0].entryId, kCancelEntry);

    // The video-text prop asks for its text; only a usable text is sent.
    Post(purchase::UM_USE_PROP, kTextEntry);
    EXPECT_EQ(Last(), "prompt: 上视频 (/use ENTRY TEXT)");
    ASSERT_TRUE(shown().AnswerVideoText("a\nb"));
    EXPECT_EQ(account.props.size(), 1u);
    purchases->UseProp(kTextEntry);
    ASSERT_TRUE(shown().AnswerVideoText("大家好"));
    ASSERT_EQ(account.props.size(), 2u);
    EXPECT_EQ(account.props[1].text, "大家好");
    EXPECT_EQ(account.props[1].entryId, kTextEntry);
    EXPECT_EQ(account.props[1].value, 13u);
    account.propCallTaken = false;
    EXPECT_EQ(purchases->UseEntry(kTextEntry, std::string("hi")), R::sent);
    EXPECT_EQ(Tip(), "使用上视频失败，网络连接异常");
    // No such entry: nothing.
    EXPECT_EQ(purchases->UseEntry(777, std::string("hi")), R::nothing);
    EXPECT_EQ(account.props.size(), 3u);
}

TEST_F(RoomPurchases, APromptAnsweredAfterTheRoomWentSendsNothing) {
    Enter();
    Pack({{kTextEntry, kPropVideoText, 1, 13, "视频字幕"}});
    purchases->UseProp(kTextEntry);
    purchases.reset();
    ASSERT_TRUE(shown().AnswerVideoText("late"));
    EXPECT_TRUE(account.props.empty());
}

TEST_F(RoomPurchases, AUsedPropReloadsMyCarsAndPack) {
    Post(UM_PROP_USED, 1, kTextEntry);
    EXPECT_EQ(Tip(), "使用道具成功!");
    EXPECT_EQ(account.carRequests, 1);
    EXPECT_EQ(account.packRequests, 1);
    Post(UM_PROP_USED, 0, kTextEntry);
    EXPECT_EQ(Tip(), "使用道具失败!");
    EXPECT_EQ(account.carRequests, 1);
}

// --- grades and lists ----------------------------------------------------------------------

TEST_F(RoomPurchases, AGradeChangeMovesTheUserAndMineFeedsMyCard) {
    Enter();
    Grade(kDave, 9);
    EXPECT_EQ(ListOrder().front(), kDave);
    EXPECT_EQ(session.users().at(kDave).nameColour & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(session.users().at(kDave).gradeText, "富豪");
    // The same grade again leaves the line alone, even with another colour.
    const auto lines = view.UserLines();
    Grade(kDave, 9, "#00FF00");
    EXPECT_EQ(view.UserLines(), lines);
    EXPECT_EQ(session.users().at(kDave).nameColour & 0xFFFFFF, 0xFF0000u);

    Grade(kMe, 12);
    EXPECT_EQ(ListOrder().front(), kMe);
    EXPECT_EQ(session.me().card.wealth_grade, 12u);
    EXPECT_EQ(session.me().card.wealth_colour, "#FF0000");
    EXPECT_EQ(session.me().card.wealth_text, "富豪");
    // My next login carries it.
    session.EnterRoom(1002);
    EXPECT_EQ(link.Last<msg::Control_Login_Req>().card.wealth_grade, 12u);

    Post(UM_WEALTH_GRADE, 0, 0, Data(std::string("no")));
    EXPECT_EQ(Tip(), "获取财富等级失败");
}

TEST_F(RoomPurchases, MyListsReachTheirViewsAndFailuresSayWhich) {
    PatronCarList cars{};
    cars.status = 1;
    cars.count = 200;  // more than the record holds
    cars.cars[0] = {kCar, 0, 1, "跑车"};
    Post(UM_CAR_LIST, 1, 0, Data(cars));
    ASSERT_EQ(shown().myCars().size(), 8u);
    EXPECT_EQ(shown().myCars()[0].icon, "/data/res/globalcar/car.png");
    EXPECT_TRUE(shown().myCars()[0].active);
    Post(UM_CAR_LIST, 0, 0, Data(std::string("x")));
    EXPECT_EQ(Tip(), "获取自己座驾列表失败");

    PatronVipList vips{};
    vips.status = 1;
    vips.count = 1;
    vips.level = 2;
    vips.vips[0] = {7201, 2, 0, "VIP2"};
    // The catalogues hear of my VIP list too.
    EXPECT_FALSE(Post(UM_VIP_LIST, 1, 0, Data(vips)));
    EXPECT_EQ(shown().vipLevel(), 2u);
    EXPECT_EQ(purchases->MyVipLevel(), 2u);
    Post(purchase::UM_ITEM_CHOSEN, purchase::kGift, kCrown);
    EXPECT_FALSE(shown().compact());
    Post(UM_VIP_LIST, 0, 0, Data(std::string("x")));
    EXPECT_EQ(Tip(), "获取自己VIP列表失败");
    Post(UM_PACK_LIST, 0, 0, Data(std::string("x")));
    EXPECT_EQ(Tip(), "获取自己包裹列表失败");

    Post(UM_CAR_ACTIVATED, 0, kCar);
    EXPECT_EQ(Last(), "box: 提示: 激活使用座驾失败");
    Post(UM_CAR_ACTIVATED, 1, kCar);
    EXPECT_EQ(account.carRequests, 1);
    Post(purchase::UM_ACTIVATE_CAR, kCar);
    EXPECT_EQ(account.activations, std::vector<std::uint32_t>{kCar});
}

TEST_F(RoomPurchases, TheVipDialogHasThreeTiersOfDurationsAndTheShopsListNoGroups) {
    purchases->OpenVipDialog();
    EXPECT_EQ(Tip(), "商品列表尚未获取，请稍后再试");
    catalogue::GiftRecords& vips = catalogues[purchase::kVip];
    // Shuffled durations, a fifth one, a group and a level nobody sells.
    const std::int32_t days[] = {365, 30, 180, 90, 720};
    for (std::uint32_t level = 1; level <= 3; ++level)
        for (int d = 0; d < (level == 2 ? 5 : 4); ++d) {
            vips.push_back(Item(7000 + level * 100 + d, "v", 100));
            vips.back().ext = std::to_string(level);
            vips.back().validTime = days[d];
        }
    vips.push_back(Item(7999, "g", 0));
    vips.back().ext = "1";
    vips.back().node = "1";
    vips.push_back(Item(7998, "x", 0));
    vips.back().ext = "9";
    purchases->OpenVipDialog();
    const auto& tiers = shown().vipTiers();
    ASSERT_EQ(tiers.size(), 3u);
    EXPECT_EQ(tiers[0].name, "Primary");
    EXPECT_EQ(tiers[1].name, "Medium");
    EXPECT_EQ(tiers[2].name, "Higher");
    for (const auto& t : tiers) {
        ASSERT_EQ(t.durations.size(), 4u) << t.name;
        EXPECT_EQ(t.durations[0].validTime, 30);
        EXPECT_EQ(t.durations[3].validTime, 365);
        for (const auto& d : t.durations) EXPECT_EQ(d.kind, purchase::kVip);
    }
    purchases->OpenCarList();
    ASSERT_EQ(shown().carShop().size(), 1u);
    EXPECT_EQ(shown().packShop().size(), 1u);
}

// --- billboards ---------------------------------------------------------------------------

namespace {

std::string Item16(unsigned char tag, const std::string& value) {
    std::string out(1, static_cast<char>(tag));
    out.push_back(static_cast<char>(value.size() >> 8));
    out.push_back(static_cast<char>(value.size() & 0xFF));
    return out + value;
}
std::string U32(unsigned char tag, std::uint32_t v) {
    return Item16(tag, std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                                   static_cast<char>(v >> 8), static_cast<char>(v)});
}
std::string Text(unsigned char tag, const std::string& t) { return Item16(tag, t + '\0'); }
std::string Entry(std::uint32_t id, const std::string& nick, std::uint32_t grade,
                  const std::string& medal) {
    return Item16(2, U32(3, id) + U32(9, grade) + U32(6, 500) + Text(4, nick) + Text(5, "富豪") +
                         Text(7, "#FF0000") + Text(8, "http://h/head") + Text(10, medal));
}
AccountBillboard Board(const std::string& body) {
    return AccountBillboard{std::vector<unsigned char>(body.begin(), body.end())};
}

}  // namespace

TEST_F(RoomPurchases, EveryPeriodFillsItsListAndMedalsFollowWhenCached) {
    medals["http://h/m9.png"] = "/data/res/wealth/m9.png";
    const char* periods[][2] = {{"DAY", "ListWealthDay"}, {"WEEK", "ListWealthWeek"},
                                {"MONTH", "ListWealthMonth"}, {"ALL", "ListWealthAll"}};
    for (auto& [period, list] : periods) {
        Post(UM_BILLBOARD, 0, 0,
             Data(Board(U32(200, 0) + Text(1, period) + Entry(5, "eve", 9, "http://h/m9.png") +
                        Entry(6, "fay", 3, "http://h/m3.png"))));
        ASSERT_EQ(shown().billboards().count(list), 1u) << list;
        const auto& lines = shown().billboards().at(list);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].place, 1u);
        EXPECT_EQ(lines[0].userId, 5u);
        EXPECT_EQ(lines[0].grade, 9u);
        EXPECT_EQ(lines[0].amount, 500u);
        EXPECT_EQ(lines[0].nickname, "eve");
        EXPECT_EQ(lines[0].icon, "/data/res/wealth/m9.png");
        EXPECT_EQ(lines[1].place, 2u);
        EXPECT_EQ(lines[1].icon, "");
    }
    // The missing medal arrives: the lists are drawn again with it.
    medals["http://h/m3.png"] = "/data/res/wealth/m3.png";
    purchases->MedalsArrived();
    EXPECT_EQ(shown().billboards().at("ListWealthAll")[1].icon, "/data/res/wealth/m3.png");
    // The session asks at start and on timer 213.
    const int asked = account.billboardRequests;
    EXPECT_GE(asked, 1);
    session.OnTimer(room_timer::kBillboards);
    EXPECT_EQ(account.billboardRequests, asked + 1);
}

TEST(Billboards, HostileBodiesGiveWhatTheyHoldAndNeverMore) {
    auto parse = [](const std::string& s) {
        return billboard::Parse(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    };
    // A failure, and a body without its result.
    auto a = parse(U32(200, 1) + Text(201, "busy") + Text(1, "DAY"));
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.error, "busy");
    EXPECT_FALSE(parse(Text(1, "DAY") + Entry(1, "x", 1, "")).ok);
    EXPECT_FALSE(parse("").ok);
    // An unknown period names no list.
    a = parse(U32(200, 0) + Text(1, "YEAR") + Entry(1, "x", 1, ""));
    EXPECT_TRUE(a.ok);
    EXPECT_TRUE(a.list.empty());
    EXPECT_TRUE(a.lines.empty());
    // Cut in the middle of the second entry: the first stays.
    const std::string whole = U32(200, 0) + Text(1, "WEEK") + Entry(1, "a", 1, "") + Entry(2, "b", 2, "");
    a = parse(whole.substr(0, whole.size() - 5));
    ASSERT_EQ(a.lines.size(), 1u);
    EXPECT_EQ(a.lines[0].nickname, "a");
    // An entry without its tags: zeros and empty texts; a text without its
    // NUL reads as empty; a number of the wrong width as 0.
    a = parse(U32(200, 0) + Text(1, "DAY") + Item16(2, Item16(4, "nonul") + Item16(3, "abc")));
    ASSERT_EQ(a.lines.size(), 1u);
    EXPECT_EQ(a.lines[0].nickname, "");
    EXPECT_EQ(a.lines[0].userId, 0u);
    // Too many entries: at most the list's bound.
    std::string many = U32(200, 0) + Text(1, "ALL");
    for (std::uint32_t i = 0; i < 300; ++i) many += Entry(i, "n", 1, "");
    a = parse(many);
    ASSERT_EQ(a.lines.size(), billboard::kMaxLines);
    EXPECT_EQ(a.lines.back().place, billboard::kMaxLines);
    EXPECT_EQ(a.lines.back().userId, billboard::kMaxLines - 1);
}

TEST_F(RoomPurchases, AFailedBillboardChangesNoList) {
    Post(UM_BILLBOARD, 0, 0, Data(Board(U32(200, 0) + Text(1, "DAY") + Entry(5, "eve", 9, ""))));
    Post(UM_BILLBOARD, 0, 0, Data(Board(U32(200, 2) + Text(201, "down") + Text(1, "DAY"))));
    ASSERT_EQ(shown().billboards().at("ListWealthDay").size(), 1u);
    Post(UM_BILLBOARD);  // no body at all
    EXPECT_EQ(shown().billboards().size(), 1u);
}

// --- typed commands -------------------------------------------------------------------------

TEST_F(RoomPurchases, TypedCommandsBuyGiveActivateUseAndPrint) {
    Enter();
    EXPECT_TRUE(session.OnTypedCommand("/gift 1101 3"));
    ASSERT_EQ(account.orders.size(), 1u);
    EXPECT_EQ(account.orders[0].count, 3u);
    EXPECT_TRUE(session.OnTypedCommand("/gift 1101 lots"));
    EXPECT_EQ(Tip(), "赠送礼物数量不能为小于0");
    EXPECT_TRUE(session.OnTypedCommand("/gift"));
    EXPECT_EQ(Tip(), "usage: /gift ID [N]");
    EXPECT_TRUE(session.OnTypedCommand("/buy 4 4101"));
    EXPECT_EQ(account.orders.back().kind, 4u);
    EXPECT_TRUE(session.OnTypedCommand("/buy car 4101"));
    EXPECT_EQ(Tip(), "usage: /buy KIND ID");
    EXPECT_EQ(account.orders.size(), 2u);
    EXPECT_TRUE(session.OnTypedCommand("/car 4101"));
    EXPECT_EQ(account.activations.back(), kCar);
    Pack({{kTextEntry, kPropVideoText, 1, 13, "视频字幕"}});
    EXPECT_TRUE(session.OnTypedCommand("/use 503 大家 好"));
    ASSERT_EQ(account.props.size(), 1u);
    EXPECT_EQ(account.props[0].text, "大家 好");
    EXPECT_TRUE(session.OnTypedCommand("/flower"));
    EXPECT_EQ(account.flowers.size(), 1u);
    EXPECT_TRUE(session.OnTypedCommand("/recharge"));
    EXPECT_EQ(account.recharges, 1);
    EXPECT_TRUE(session.OnTypedCommand("/balance"));
    EXPECT_EQ(Last(), "balance: 0 pelto 0.00");
    EXPECT_FALSE(session.OnTypedCommand("/giftx 1"));
}
