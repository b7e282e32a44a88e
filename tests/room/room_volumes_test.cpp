// The listener's volume per user through the headless "/vol": checked,
// reported, stored in my folder and read again by the next room.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/paths.h"
#include "room/headless_view.h"
#include "room/room_volumes.h"
#include "tests/room/room_test_support.h"

namespace {

class RoomVolumes : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        account.me.userId = 42;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    std::string Last() const { return view.Lines().empty() ? "" : view.Lines().back(); }

    roomtest::ScopedDataFolder data{"rvol"};
    CHeadlessView view{nullptr};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
};

}  // namespace

TEST_F(RoomVolumes, AVolumeIsCheckedReportedAndKeptForTheNextRoom) {
    {
        CRoomVolumes volumes(session);
        session.EnterRoom(1001);
        roomtest::Deliver(session, roomtest::MemberList({{7, "bob", 20}}));
        EXPECT_TRUE(session.OnTypedCommand("/vol 7 150"));
        EXPECT_EQ(volumes.Volume(7), 150);
        EXPECT_EQ(Last(), "volume: bob(7) 150%");
        for (const char* bad : {"/vol", "/vol 7 201", "/vol 7 -1", "/vol x 50", "/vol 7 50 60"}) {
            EXPECT_TRUE(session.OnTypedCommand(bad)) << bad;
            EXPECT_EQ(view.Text("text_tip"), "usage: /vol ID [PERCENT]") << bad;
        }
        EXPECT_EQ(volumes.Volume(7), 150);
        EXPECT_TRUE(session.OnTypedCommand("/vol 9"));
        EXPECT_EQ(Last(), "volume: (9) 100%");
        EXPECT_FALSE(session.OnTypedCommand("/volume 7 50"));
    }
    CRoomVolumes again(session);
    EXPECT_EQ(again.Volume(7), 150);
    EXPECT_TRUE(std::filesystem::exists(paths::UserFolder(42) + "volumes.xml"));
}
