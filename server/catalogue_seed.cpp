#include "server/catalogue_seed.h"

#include <functional>
#include <vector>

#include "server/art/chime.h"
#include "server/catalogue_art.h"
#include "server/catalogue_store.h"

namespace server {

namespace {

using catalogue_art::Shape;

constexpr const char* kCoins = "金币";

struct GiftLook {
    Shape shape;
    const char* name;
    std::int64_t price;  // hundredths
};

constexpr GiftLook kLooks[] = {
    {Shape::heart, "爱心", 100},   {Shape::star, "星星", 200},    {Shape::flower, "鲜花", 300},
    {Shape::gem, "钻石", 1000},    {Shape::balloon, "气球", 150}, {Shape::crown, "皇冠", 5000},
    {Shape::cake, "蛋糕", 800},    {Shape::lollipop, "棒棒糖", 50},
};

struct Tint {
    const char* name;
    std::uint32_t rgb;
    std::int64_t factor;
};

constexpr Tint kTints[] = {{"红", 0xE53935, 1}, {"蓝", 0x1E88E5, 2}, {"金", 0xFFB300, 5}};

// Stores a drawing; a failure ends the seed (the transaction rolls back).
class CSeeder {
public:
    CSeeder(CCatalogueStore& store, std::string& error) : store_(store), error_(error) {}

    CatalogueFileRef File(const std::string& bytes, const char* ext) {
        if (!ok_) return {};
        CatalogueFileRef ref = store_.PutFile(bytes, ext, error_);
        if (ref.empty()) ok_ = false;
        return ref;
    }
    void Item(const CatalogueItem& item) {
        if (ok_ && !store_.PutItem(item, false, error_)) ok_ = false;
    }
    bool ok() const { return ok_; }

private:
    CCatalogueStore& store_;
    std::string& error_;
    bool ok_ = true;
};

CatalogueItem Gift(CSeeder& s, std::uint32_t id, std::string name, Shape shape, std::uint32_t rgb,
                   std::int64_t price, bool animated = true) {
    CatalogueItem it;
    it.id = id;
    it.itemType = item_type::kGift;
    it.order = id;
    it.name = std::move(name);
    it.price = price;
    it.currencyName = kCoins;
    it.type = "1";
    it.cartoonType = "1";
    it.describe = "送给喜欢的人：" + it.name;
    it.chatMsg = "送出了" + it.name;
    it.charmValue = static_cast<std::uint32_t>(price / 10);
    it.icon = s.File(catalogue_art::GiftIcon(shape, rgb), "png");
    it.chatPic = s.File(catalogue_art::GiftChatPicture(shape, rgb), "png");
    if (animated) it.cartoon = s.File(catalogue_art::GiftAnimation(shape, rgb), "gif");
    return it;
}

void SeedGifts(CSeeder& s) {
    std::uint32_t id = demo_item::kFirstGift;
    for (const Tint& tint : kTints)
        for (const GiftLook& look : kLooks) {
            CatalogueItem it = Gift(s, id, std::string(tint.name) + look.name, look.shape, tint.rgb,
                                    look.price * tint.factor);
            // Golden gifts: some ask for a VIP level, some are on offer,
            // and the gem is priced in whole coins.
            if (tint.factor == 5) {
                if (look.shape == Shape::crown) it.buyRequest = 3;
                if (look.shape == Shape::heart) it.buyRequest = 1;
                if (look.shape == Shape::cake) it.initialPrice = it.price * 5 / 4;
                if (look.shape == Shape::gem) {
                    it.currencyType = "2";
                    it.price = 520;
                }
            }
            if (look.shape == Shape::heart || look.shape == Shape::flower)
                it.voice = s.File(art::EncodeChime({523.25 * tint.factor / 2 + 400, 659.25, 783.99}, 120),
                                  "wav");
            s.Item(it);
            ++id;
        }

    // A gift box (a group) holding two gifts and a smaller box of its own.
    // Boxes have no animation of their own: the panel shows a box with its
    // first member's price and animation.
    CatalogueItem box = Gift(s, demo_item::kGiftGroup, "礼物盒", Shape::star, 0x8E24AA, 0, false);
    box.group = true;
    box.describe = "打开看看里面有什么";
    s.Item(box);
    CatalogueItem a = Gift(s, 1201, "紫色爱心", Shape::heart, 0x8E24AA, 300);
    a.parent = demo_item::kGiftGroup;
    s.Item(a);
    CatalogueItem b = Gift(s, 1202, "紫色鲜花", Shape::flower, 0x8E24AA, 600);
    b.parent = demo_item::kGiftGroup;
    s.Item(b);
    CatalogueItem inner = Gift(s, demo_item::kNestedGroup, "小礼物盒", Shape::gem, 0x00897B, 0, false);
    inner.group = true;
    inner.parent = demo_item::kGiftGroup;
    s.Item(inner);
    CatalogueItem c = Gift(s, 1211, "青色气球", Shape::balloon, 0x00897B, 400);
    c.parent = demo_item::kNestedGroup;
    s.Item(c);
    CatalogueItem d = Gift(s, 1212, "青色棒棒糖", Shape::lollipop, 0x00897B, 200);
    d.parent = demo_item::kNestedGroup;
    s.Item(d);
}

void SeedCars(CSeeder& s) {
    struct Car {
        const char* name;
        std::uint32_t rgb;
        int style;
        std::int64_t price;
    };
    static const Car cars[] = {
        {"红色轿车", 0xD32F2F, 0, 50000},  {"蓝色轿车", 0x1976D2, 0, 50000},
        {"黄色跑车", 0xFBC02D, 1, 200000}, {"黑色跑车", 0x424242, 1, 300000},
        {"绿色面包车", 0x388E3C, 2, 80000}, {"白色面包车", 0xECEFF1, 2, 90000},
    };
    std::uint32_t id = demo_item::kFirstCar;
    for (const Car& car : cars) {
        CatalogueItem it;
        it.id = id;
        it.itemType = item_type::kCar;
        it.order = id;
        it.name = car.name;
        it.price = car.price;
        it.currencyName = kCoins;
        it.validTime = 30;  // days
        it.describe = std::string("进入房间时开着") + car.name + "入场";
        it.icon = s.File(catalogue_art::CarIcon(car.rgb, car.style), "png");
        it.chatPic = it.icon;
        it.cartoon = s.File(catalogue_art::CarAnimation(car.rgb, car.style), "gif");
        s.Item(it);
        ++id;
    }
}

void SeedVips(CSeeder& s) {
    struct Duration {
        const char* name;
        std::uint32_t days;
        std::int64_t months;
    };
    static const Duration durations[] = {
        {"一个月", 30, 1}, {"三个月", 90, 3}, {"半年", 180, 6}, {"一年", 365, 12}};
    for (unsigned level = 1; level <= 3; ++level) {
        const CatalogueFileRef icon = s.File(catalogue_art::VipIcon(level), "png");
        const CatalogueFileRef badge = s.File(catalogue_art::VipBadge(level), "png");
        for (unsigned d = 0; d < 4; ++d) {
            CatalogueItem it;
            it.id = demo_item::VipItem(level, d);
            it.itemType = item_type::kVip;
            it.order = it.id;
            it.name = "VIP" + std::to_string(level) + " " + durations[d].name;
            // Longer memberships cost less a month.
            const std::int64_t month = 3000 * level;
            it.price = month * durations[d].months * (20 - static_cast<std::int64_t>(d)) / 20;
            it.initialPrice = d ? month * durations[d].months : 0;
            it.currencyName = kCoins;
            it.validTime = durations[d].days;
            it.ext = std::to_string(level);
            it.describe = "VIP" + std::to_string(level) + "会员，有效期" + durations[d].name;
            it.icon = icon;
            it.chatPic = badge;  // the badge beside a member's name
            s.Item(it);
        }
    }
}

void SeedProps(CSeeder& s) {
    struct Prop {
        std::uint32_t id;
        const char* name;
        int sign;
        std::uint32_t rgb;
        std::int64_t price;
        const char* describe;
    };
    static const Prop props[] = {
        {demo_item::kGagCard, "禁言卡", 0, 0x5D4037, 1000, "让一位游客暂时不能说话"},
        {demo_item::kUngagCard, "解禁卡", 1, 0x2E7D32, 500, "解除一位成员的禁言"},
        {demo_item::kVideoText, "视频字幕", 2, 0x0277BD, 200, "在视频上显示一行文字"},
    };
    std::int64_t order = 0;
    for (const Prop& p : props) {
        CatalogueItem it;
        it.id = p.id;
        it.itemType = item_type::kPack;
        it.order = ++order;
        it.name = p.name;
        it.price = p.price;
        it.currencyName = kCoins;
        it.useTimes = 1;
        it.describe = p.describe;
        it.icon = s.File(catalogue_art::PropIcon(p.sign, p.rgb), "png");
        it.chatPic = it.icon;
        s.Item(it);
    }
}

}  // namespace

bool SeedDemoCatalogue(CCatalogueStore& store, std::string& error) {
    const std::int64_t have = store.ItemCount();
    if (have < 0) {
        error = "catalogue: cannot count the items";
        return false;
    }
    if (have > 0) return true;
    bool ok = false;
    const bool committed = store.InTransaction([&] {
        CSeeder s(store, error);
        SeedGifts(s);
        SeedCars(s);
        SeedVips(s);
        SeedProps(s);
        ok = s.ok();
        return ok;
    });
    if (!committed && error.empty()) error = "catalogue: the seed was not stored";
    return committed && ok;
}

}  // namespace server
