// The three badges of the user list in the real room window: the VIP icon
// from the VIP catalogue, the vest of the user's role and the wealth medal.
// The picture is left in build/artifacts/badges.png.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>

#include <filesystem>

#include "core/paths.h"
#include "net/catalogue_room.h"
#include "platform/dui/list.h"
#include "room/room_badges.h"
#include "tests/room/room_test_support.h"
#include "ui_test_util.h"

namespace {

constexpr QRgb kVip = qRgb(250, 200, 0);
constexpr QRgb kVest = qRgb(0, 200, 90);
constexpr QRgb kMedal = qRgb(230, 0, 230);

// A badge picture: a disc of one colour, as the catalogues' art is small
// and round.
std::string Badge(const std::string& path, QRgb colour) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(colour));
    p.drawEllipse(1, 1, 14, 14);
    p.end();
    EXPECT_TRUE(img.save(QString::fromStdString(path)));
    return path;
}

class NoHttp : public IHttpStarter {
public:
    bool Download(unsigned, const std::string&, const std::string&) override { return false; }
    bool Post(unsigned, const std::string&, const std::vector<std::uint8_t>&) override {
        return false;
    }
    std::string Host() override { return {}; }
};

// The role table's part: the vest of role 5 only.
class VestOfRoleFive : public IRoomFeature {
public:
    explicit VestOfRoleFive(std::string icon) : icon_(std::move(icon)) {}
    void DecorateUser(RoomUser& u) override { u.vestIcon = u.role == 5 ? icon_ : std::string(); }
    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }

private:
    std::string icon_;
};

// Pixels of the picture within a few steps of `c`.
int Count(const QImage& img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - qRed(c)) < 24 && std::abs(qGreen(p) - qGreen(c)) < 24 &&
                std::abs(qBlue(p) - qBlue(c)) < 24)
                ++n;
        }
    return n;
}

class RoomWindowBadges : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.Create()) << w.SkinError();
        account.me.userId = 10002;
        account.me.nickname = "小雨";
        ASSERT_TRUE(session.Start());
        const std::string data = paths::DataFolder();
        vip = Badge(data + "res/globalvip/vip2.png", kVip);
        vest = std::make_unique<VestOfRoleFive>(Badge(data + "res/vestpic/5_w.png", kVest));
        Badge(data + "res/wealth/7.png", kMedal);
        RoomBadgesSetup setup;
        setup.vipIcon = [this](std::uint32_t level) { return level == 2 ? vip : std::string(); };
        session.AddFeature(vest.get());
        badges = std::make_unique<CRoomBadges>(session, transfers, setup);
    }
    void TearDown() override {
        badges.reset();
        session.RemoveFeature(vest.get());
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }

    roomtest::ScopedDataFolder data{"badgeui"};
    uitest::FakeActions actions;
    CRoomUI w{actions};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSession session{w, link, timers, clock, account};
    NoHttp http;
    CSerialTransfers transfers{http};
    std::string vip;
    std::unique_ptr<VestOfRoleFive> vest;
    std::unique_ptr<CRoomBadges> badges;
};

msg::user_block Member(std::uint32_t id, const std::string& name, std::uint8_t role,
                       std::uint32_t vip, bool medal) {
    msg::user_block b;
    b.user_id = id;
    b.nickname = name;
    b.role = role;
    b.card.vip_level = vip;
    b.card.wealth_grade = medal ? 7 : 0;
    b.card.wealth_text = "g";
    if (medal) b.card.medal_url = "http://127.0.0.1:5000/wealth/7.png";
    return b;
}

}  // namespace

TEST_F(RoomWindowBadges, TheUserListShowsVipVestAndMedal) {
    session.EnterRoom(1001);
    msg::Control_Login_Resp r;
    r.room_id = 1001;
    r.role = 20;
    r.room_name = "周五音乐夜";
    roomtest::Deliver(session, r);
    msg::Control_Room_UserList_Notify list;
    list.users = {Member(20031, "阿杰", 5, 2, true), Member(20077, "星河漫步", 20, 2, false),
                  Member(20102, "Lemon", 5, 0, true), Member(20200, "夜猫子", 20, 0, false)};
    roomtest::Deliver(session, list);
    auto* users = w.FindControl<CListUI>("List_User");
    ASSERT_NE(users, nullptr);
    ASSERT_GE(users->GetCount(), 4);

    w.resize(1180, 740);
    w.show();
    uitest::Pump([] { return false; }, 100);
    const QImage shot = w.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    // Each badge is drawn, once per user wearing it (a 14-pixel disc is
    // about 150 pixels).
    EXPECT_GT(Count(shot, kVip), 2 * 100);
    EXPECT_GT(Count(shot, kVest), 2 * 100);
    EXPECT_GT(Count(shot, kMedal), 2 * 100);
    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(shot.save(folder + "badges.png")) << "cannot write " << folder.toStdString();
}
