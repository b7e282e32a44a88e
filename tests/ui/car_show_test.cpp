// The car show driven tick by tick: the drive, the order of arrivals, the
// room window going away, and the roads and pictures that would stall it.

#include <gtest/gtest.h>

#include "room/catalogue/picture_lookup.h"
#include "tests/ui/show_test_util.h"
#include "ui/room_shows.h"

namespace {

using showtest::FakeRoom;
using showtest::FakeTimers;

class CarShow : public ::testing::Test {
protected:
    CarShow() { picture = pictures.Solid("car.png", 200, 100, Qt::red); }

    // Ticks until the car has arrived (the next one may start then); how
    // many moves it made.
    int DriveToEnd() {
        int moves = 0;
        for (int i = 0; i < 5000 && dlg.Busy(); ++i) {
            const bool arrived = dlg.Place().left() <= dlg.End().x();
            dlg.OnTimer(CCarShowDlg::kDriveTimer);
            if (arrived) break;
            ++moves;
        }
        return moves;
    }

    FakeRoom room;
    FakeTimers timers;
    showtest::Pictures pictures;
    std::string picture;
    CCarShowDlg dlg{room, &timers};
};

TEST_F(CarShow, DrivesFromTheStartInTenMovesGrowingAsItComes) {
    dlg.Enqueue(12, "alice", "火箭", picture, 0);
    ASSERT_TRUE(dlg.Busy());
    EXPECT_EQ(room.askedFor, std::vector<std::uint32_t>{12});
    EXPECT_EQ(dlg.Step(), 110);
    EXPECT_EQ(timers.running, (std::map<unsigned, unsigned>{{101, 100}}));
    // The picture with a caption line under it, 400 wide.
    EXPECT_EQ(dlg.Frame().size(), QSize(400, 112));
    EXPECT_EQ(dlg.Place(), QRect(QPoint(1200, 20), QSize(400, 112)));
    EXPECT_TRUE(dlg.isVisible());

    dlg.OnTimer(101);
    EXPECT_EQ(dlg.Place(), QRect(1090, 50, 410, 122));
    EXPECT_EQ(dlg.geometry(), dlg.Place());
    EXPECT_EQ(DriveToEnd(), 9);
    EXPECT_FALSE(dlg.Busy());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.Frame().isNull());
    EXPECT_TRUE(timers.running.empty());
}

TEST_F(CarShow, CaptionNamesTheDriverAndTheCarInTheirColours) {
    dlg.Enqueue(1, "驾驶员驾驶员", "跑车跑车", picture, 0);
    const QImage& img = dlg.Frame();
    ASSERT_FALSE(img.isNull());
    // Colour values are blue-green-red: 0x0606F9 is a red, 0x37E8F6 a yellow.
    int red = 0, yellow = 0, grey = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            red += p == qRgb(0xF9, 0x06, 0x06);
            yellow += p == qRgb(0xF6, 0xE8, 0x37);
            grey += p == qRgb(0xEE, 0xEE, 0xEE);
        }
    EXPECT_GT(red, 0);
    EXPECT_GT(yellow, 0);
    EXPECT_GT(grey, 0);
    EXPECT_EQ(QColor(img.pixel(200, 10)), QColor(Qt::red));
}

TEST_F(CarShow, ArrivalWaitingForItsPictureLetsReadyOnesDriveFirst) {
    dlg.Enqueue(1, "late", "a", picture, 9);
    EXPECT_FALSE(dlg.Busy());
    dlg.Enqueue(2, "early", "b", picture, 0);
    ASSERT_TRUE(dlg.Busy());
    EXPECT_EQ(dlg.Current().nickname, "early");
    dlg.PictureArrived(9);
    EXPECT_EQ(dlg.Current().nickname, "early");
    DriveToEnd();
    ASSERT_TRUE(dlg.Busy());
    EXPECT_EQ(dlg.Current().nickname, "late");
    DriveToEnd();
    EXPECT_TRUE(dlg.Queue().empty());
}

TEST_F(CarShow, MinimisedRoomHidesTheDrivingCarAndHoldsTheQueue) {
    dlg.Enqueue(1, "a", "b", picture, 0);
    dlg.OnTimer(101);
    room.visible = false;
    dlg.OnTimer(101);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.Place().x(), 1200 - 2 * 110);
    DriveToEnd();
    // The next car waits for the room window to come back.
    dlg.Enqueue(2, "c", "d", picture, 0);
    EXPECT_FALSE(dlg.Busy());
    room.visible = true;
    dlg.TryShow();
    ASSERT_TRUE(dlg.Busy());
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(CarShow, ShortAndBackwardRoadsStillEnd) {
    room.givePoints = true;
    // Under ten pixels: a pixel a tick, never a standstill.
    room.startPoint = QPoint(105, 0);
    room.endPoint = QPoint(100, 0);
    dlg.Enqueue(1, "a", "b", picture, 0);
    EXPECT_EQ(dlg.Step(), 1);
    EXPECT_EQ(DriveToEnd(), 5);
    // A start left of the end has arrived: the next car drives at once.
    room.startPoint = QPoint(50, 0);
    dlg.Enqueue(2, "back", "b", picture, 0);
    EXPECT_FALSE(dlg.Busy());
    EXPECT_TRUE(dlg.Queue().empty());
    room.startPoint = QPoint(300, 0);
    dlg.Enqueue(3, "c", "b", picture, 0);
    EXPECT_TRUE(dlg.Busy());
    EXPECT_EQ(dlg.Step(), 20);
}

TEST_F(CarShow, CarWithoutAPictureIsDroppedNotWaitedFor) {
    dlg.Enqueue(1, "lost", "a", pictures.Path("never.png"), 4);
    dlg.PictureFailed(4);
    EXPECT_TRUE(dlg.Queue().empty());
    // A ready arrival whose picture cannot be read is passed over.
    dlg.Enqueue(2, "bad", "a", pictures.Garbage("bad.png"), 0);
    EXPECT_FALSE(dlg.Busy());
    EXPECT_TRUE(dlg.Queue().empty());
    dlg.Enqueue(3, "good", "a", picture, 0);
    ASSERT_TRUE(dlg.Busy());
    EXPECT_EQ(dlg.Current().nickname, "good");
    // A large picture is scaled down into the 400-wide image.
    DriveToEnd();
    dlg.Enqueue(4, "big", "a", pictures.Solid("big.png", 1600, 800), 0);
    EXPECT_EQ(dlg.Frame().size(), QSize(400, 212));
}

TEST_F(CarShow, QueueKeepsSixtyFour) {
    dlg.Enqueue(0, "driving", "a", picture, 0);
    dlg.Enqueue(0, "waiting", "a", picture, 5);
    for (int i = 0; i < 70; ++i) dlg.Enqueue(0, "r" + std::to_string(i), "a", picture, 0);
    ASSERT_EQ(dlg.Queue().size(), kMaxShowItems);
    EXPECT_EQ(dlg.Queue().items().front().nickname, "waiting");
    EXPECT_EQ(dlg.Queue().items()[1].nickname, "r7");
}

TEST(RoomShows, SendsGiftsAndCarsToTheirWindowsAndCompletesTheirPictures) {
    FakeRoom room;
    FakeTimers timers;
    showtest::Pictures pictures;
    std::vector<std::string> texts, looked;
    CRoomShows shows({&room, &room, showtest::SkinFolder(),
                      [&](const std::string& t) { texts.push_back(t); },
                      [&](const std::string& p) {
                          looked.push_back(p);
                          return 42u;
                      },
                      &timers});
    EXPECT_EQ(shows.Banner(), nullptr);
    EXPECT_EQ(shows.CarShow(), nullptr);
    // A completion before any item makes no window.
    shows.PictureDone(1, true);
    EXPECT_EQ(shows.Banner(), nullptr);

    const std::string icon = pictures.Path("rose.png");
    shows.QueueGift("alice", icon, 3, 1);
    ASSERT_NE(shows.Banner(), nullptr);
    EXPECT_FALSE(shows.Banner()->Busy());
    pictures.Solid("rose.png", 40, 40);
    shows.PictureDone(1, true);
    EXPECT_TRUE(shows.Banner()->Busy());
    EXPECT_EQ(shows.Banner()->IconFile(), icon);

    const std::string car = pictures.Path("car.png");
    shows.QueueCar("bob", "火箭", car, 2);
    ASSERT_NE(shows.CarShow(), nullptr);
    EXPECT_EQ(looked, std::vector<std::string>{car});
    shows.QueueCar("carol", "马车", car, 3);
    // Failed downloads: the car is dropped, the other still waits.
    shows.PictureDone(2, false);
    EXPECT_EQ(shows.CarShow()->Queue().size(), 1u);
    pictures.Solid("car.png", 100, 50);
    shows.PictureDone(3, true);
    ASSERT_TRUE(shows.CarShow()->Busy());
    EXPECT_EQ(shows.CarShow()->Current().carId, 42u);
    EXPECT_EQ(room.askedFor, std::vector<std::uint32_t>{42});

    shows.ScrollVideoText("上视频");
    EXPECT_EQ(texts, std::vector<std::string>{"上视频"});
}

TEST(CarCatalogue, FindsTheCarWhosePictureWasPushed) {
    catalogue::GiftRecords cars(3);
    cars[0].id = 7;
    cars[0].iconUrl = "http://h/pic/rocket.png";
    cars[1].id = 9;
    cars[1].iconUrl = "http://h/pic/coach.png?v=2";
    cars[2].id = 11;
    cars[2].iconUrl = "";
    EXPECT_EQ(catalogue::FindIdByPicture(cars, "/data/res/globalcar/coach.png"), 9u);
    EXPECT_EQ(catalogue::FindIdByPicture(cars, "res\\globalcar\\rocket.png"), 7u);
    EXPECT_EQ(catalogue::FindIdByPicture(cars, "/data/res/globalcar/boat.png"), 0u);
    EXPECT_EQ(catalogue::FindIdByPicture(cars, "/data/res/globalcar/"), 0u);
    EXPECT_EQ(catalogue::FindIdByPicture(cars, ""), 0u);
    EXPECT_EQ(catalogue::FindIdByPicture({}, "rocket.png"), 0u);
}

}  // namespace
