// The room window's own gift banner and car show: placed over the window,
// hidden with it, and a car that waited for it drives when it comes back.

#include <gtest/gtest.h>

#include "tests/ui/show_test_util.h"
#include "tests/ui/ui_test_util.h"

namespace {

TEST(RoomWindowShows, BannerAndCarsFollowTheRoomWindow) {
    uitest::FakeActions actions;
    CRoomUI w(actions);
    ASSERT_TRUE(w.Create()) << w.SkinError();
    w.setGeometry(100, 80, 1000, 700);
    w.show();
    showtest::Pictures pictures;
    const std::string icon = pictures.Solid("rose.png", 40, 40);

    w.Shows().QueueGift("alice", icon, 3, 0);
    GiftShowDlg* banner = w.RoomShows().Banner();
    ASSERT_NE(banner, nullptr);
    ASSERT_TRUE(banner->Busy());
    const QRect room(w.mapToGlobal(QPoint(0, 0)), w.size());
    EXPECT_EQ(banner->Place().top(), room.top());
    EXPECT_EQ(banner->Place().right(), room.right());
    EXPECT_TRUE(banner->isVisible());

    w.showMinimized();
    banner->OnTimer(banner->RunningTimer());
    EXPECT_FALSE(banner->isVisible());
    // Cars wait while the window is down...
    const std::string car = pictures.Solid("car.png", 120, 60);
    w.Shows().QueueCar("bob", "火箭", car, 0);
    CCarShowDlg* cars = w.RoomShows().CarShow();
    ASSERT_NE(cars, nullptr);
    EXPECT_FALSE(cars->Busy());
    // ...and drive once it is back, from its top right towards its bottom left.
    w.showNormal();
    ASSERT_TRUE(cars->Busy());
    const QRect back(w.mapToGlobal(QPoint(0, 0)), w.size());
    EXPECT_EQ(cars->Place().topLeft(), QPoint(back.x() + back.width() - 400, back.y() + 20));
    EXPECT_EQ(cars->End(), QPoint(back.x() + 100, back.y() + back.height()));
    EXPECT_TRUE(cars->isVisible());
}

}  // namespace
