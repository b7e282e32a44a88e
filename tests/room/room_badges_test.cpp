// The badges of the user list: VIP icons from the catalogue, and wealth
// medals fetched once into the shared cache and drawn when they arrive.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/paths.h"
#include "net/catalogue_room.h"
#include "platform/kitlib/kitlib.h"
#include "room/headless_view.h"
#include "room/room_badges.h"
#include "tests/room/room_test_support.h"

namespace fs = std::filesystem;

namespace {

class Starter : public IHttpStarter {
public:
    std::vector<std::pair<std::string, std::string>> downloads;  // url, destination
    bool refuse = false;
    bool Download(unsigned, const std::string& url, const std::string& dest) override {
        if (refuse) return false;
        downloads.emplace_back(url, dest);
        return true;
    }
    bool Post(unsigned, const std::string&, const std::vector<std::uint8_t>&) override {
        return false;
    }
    std::string Host() override { return "pics:8080"; }
};

msg::user_block Member(std::uint32_t id, const std::string& name, std::uint32_t vip,
                       const std::string& medal) {
    msg::user_block b;
    b.user_id = id;
    b.nickname = name;
    b.role = 20;
    b.card.vip_level = vip;
    b.card.medal_url = medal;
    b.card.wealth_text = "g";
    return b;
}

class RoomBadges : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("zeri-badges-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        paths::SetDataFolderOverride((dir / "data").string());
        account.me.userId = 42;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
        RoomBadgesSetup setup;
        setup.dataFolder = Data();
        setup.vipIcon = [this](std::uint32_t level) {
            return vipReady ? "vip" + std::to_string(level) + ".png" : std::string();
        };
        badges = std::make_unique<CRoomBadges>(session, transfers, setup);
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = 20;
        roomtest::Deliver(session, r);
    }
    void TearDown() override {
        badges.reset();
        paths::SetDataFolderOverride("");
        fs::remove_all(dir);
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    std::string Data() const { return (dir / "data").string() + "/"; }
    void List(std::vector<msg::user_block> users) {
        msg::Control_Room_UserList_Notify n;
        n.users = std::move(users);
        roomtest::Deliver(session, n);
    }
    // The helper library wrote the file and answers.
    void Arrive(const std::string& dest, const std::string& bytes) {
        fs::create_directories(fs::path(dest).parent_path());
        std::ofstream(dest, std::ios::binary) << bytes;
        KitlibAnswer a;
        a.status = 200;
        a.file = dest;
        WindowMessage m;
        m.msg = UM_MEDAL_ICON_DONE;
        TMessageData<KitlibAnswer> data(a);
        m.data = &data;
        EXPECT_TRUE(session.OnFeatureMessage(m));
    }
    const RoomUser& User(std::uint32_t id) { return session.users().at(id); }
    std::string Line(std::uint32_t id) {
        const int i = session.userList().IndexOf(id);
        return i < 0 ? std::string() : session.userList().at(static_cast<std::size_t>(i)).text;
    }

    fs::path dir;
    bool vipReady = false;
    CHeadlessView view{nullptr};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
    Starter starter;
    CSerialTransfers transfers{starter};
    std::unique_ptr<CRoomBadges> badges;
};

}  // namespace

TEST_F(RoomBadges, AMedalIsFetchedOnceForEveryoneAndDrawnWhenItArrives) {
    const std::string url = "http://h:5000/wealth/3.png";
    List({Member(7, "bob", 0, url), Member(8, "cy", 0, url), Member(9, "di", 0, "")});
    ASSERT_EQ(starter.downloads.size(), 1u);  // two users, one picture
    const std::string dest = Data() + "res/wealth/3.png";
    EXPECT_EQ(starter.downloads[0].second, dest);
    EXPECT_TRUE(User(7).medalIcon.empty());
    EXPECT_EQ(Line(7).find("3.png"), std::string::npos);

    Arrive(dest, "PNG");
    EXPECT_EQ(User(7).medalIcon, dest);
    EXPECT_EQ(User(8).medalIcon, dest);
    EXPECT_TRUE(User(9).medalIcon.empty());
    EXPECT_NE(Line(8).find(dest), std::string::npos);

    // A later arrival finds the cached picture: nothing is fetched again.
    List({Member(10, "ed", 0, url)});
    EXPECT_EQ(starter.downloads.size(), 1u);
    EXPECT_EQ(User(10).medalIcon, dest);
}

TEST_F(RoomBadges, DamagedOrUnsafeMedalsAreNeverDrawn) {
    // An empty cached file is fetched again rather than drawn.
    const std::string dest = Data() + "res/wealth/5.png";
    fs::create_directories(fs::path(dest).parent_path());
    std::ofstream(dest, std::ios::binary).flush();
    List({Member(7, "bob", 0, "http://h/wealth/5.png"),
          // No file name, another scheme, a name that climbs out: no fetch.
          Member(8, "cy", 0, "http://h/wealth/"), Member(9, "di", 0, "file:///etc/passwd"),
          Member(11, "fa", 0, "http://h/..")});
    ASSERT_EQ(starter.downloads.size(), 1u);
    EXPECT_EQ(starter.downloads[0].second, dest);
    EXPECT_TRUE(User(7).medalIcon.empty());

    // A failed download leaves the line without a medal and is not retried
    // for every newcomer wearing it.
    WindowMessage failed;
    failed.msg = UM_MEDAL_ICON_DONE;
    EXPECT_TRUE(session.OnFeatureMessage(failed));
    EXPECT_TRUE(User(7).medalIcon.empty());
    List({Member(12, "gu", 0, "http://h/wealth/5.png")});
    EXPECT_EQ(starter.downloads.size(), 1u);
}

TEST_F(RoomBadges, VipIconsFollowTheCatalogue) {
    List({Member(7, "bob", 2, ""), Member(8, "cy", 0, "")});
    EXPECT_TRUE(User(7).vipIcon.empty());  // the VIP catalogue is not there yet
    vipReady = true;
    badges->VipIconsChanged();
    EXPECT_EQ(User(7).vipIcon, "vip2.png");
    EXPECT_NE(Line(7).find("vip2.png"), std::string::npos);
    EXPECT_TRUE(User(8).vipIcon.empty());  // no VIP, no badge
}
