// The gift banner driven tick by tick: where it starts and stops, how it
// counts, which gift goes first, and what it does with bad input.

#include <gtest/gtest.h>

#include <vector>

#include "tests/ui/show_test_util.h"
#include "ui/show_picture.h"

namespace {

using showtest::FakeRoom;
using showtest::FakeTimers;

class GiftBanner : public ::testing::Test {
protected:
    GiftBanner() { icon = pictures.Solid("rose.png", 40, 40); }

    // Ticks the running timer until another one runs; how many ticks.
    int RunPhase(unsigned id, int limit = 1000) {
        int ticks = 0;
        while (dlg.RunningTimer() == id && ticks < limit) {
            dlg.OnTimer(id);
            ++ticks;
        }
        return ticks;
    }
    // Plays the banner on screen to its end (the next one may start then).
    void PlayToEnd() {
        for (int i = 0; i < 5000 && dlg.Busy(); ++i) {
            const bool leaving = dlg.RunningTimer() == GiftShowDlg::kSlideOutTimer;
            dlg.OnTimer(dlg.RunningTimer());
            if (leaving && dlg.RunningTimer() != GiftShowDlg::kSlideOutTimer) return;
        }
    }

    FakeRoom room;
    FakeTimers timers;
    showtest::Pictures pictures;
    std::string icon;
    GiftShowDlg dlg{room, showtest::SkinFolder(), &timers};
};

TEST_F(GiftBanner, SlidesInToTheMiddlePausesAndSlidesOutOfTheArea) {
    room.area = QRect(100, 50, 1000, 600);
    dlg.Enqueue("alice", icon, 1, 0);
    ASSERT_TRUE(dlg.Busy());
    const int w = dlg.Place().width();
    EXPECT_EQ(QSize(w, dlg.Place().height()), dlg.Frame().size());
    EXPECT_EQ(dlg.Place().topLeft(), QPoint(1100 - w, 50));
    EXPECT_EQ(timers.running, (std::map<unsigned, unsigned>{{101, 50}}));
    EXPECT_TRUE(dlg.isVisible());

    RunPhase(101);
    // Stopped on the first step whose centre reached the area's centre.
    const int centre2 = 2 * dlg.Place().x() + w;
    EXPECT_LE(centre2, 2 * 100 + 1000);
    EXPECT_GT(centre2 + 2 * 50, 2 * 100 + 1000);
    // A count of one has nothing to count: straight to the pause.
    EXPECT_EQ(timers.running, (std::map<unsigned, unsigned>{{104, 300}}));
    EXPECT_EQ(dlg.Displayed(), 1);
    EXPECT_EQ(dlg.geometry(), dlg.Place());

    EXPECT_EQ(RunPhase(104), 1);
    EXPECT_EQ(timers.running, (std::map<unsigned, unsigned>{{102, 50}}));
    int lastRight = 0;
    while (dlg.RunningTimer() == 102) {
        lastRight = dlg.Place().right() + 1;
        dlg.OnTimer(102);
    }
    // It left on the step that took its right edge to the area's left.
    EXPECT_GT(lastRight, 100);
    EXPECT_LE(lastRight - 50, 100);
    EXPECT_FALSE(dlg.Busy());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.Place().x(), -1000);
    EXPECT_TRUE(timers.running.empty());
}

TEST_F(GiftBanner, CountsUpInTwentiethsAndStopsExactlyOnTheCount) {
    for (int count : {100, 7, 21, 99999}) {
        SCOPED_TRACE(count);
        dlg.Enqueue("bob", icon, count, 0);
        RunPhase(101);
        ASSERT_EQ(dlg.RunningTimer(), 103u);
        EXPECT_EQ(timers.running[103], 100u);
        const int step = (count + 19) / 20;
        std::vector<int> shown{dlg.Displayed()};
        while (dlg.RunningTimer() == 103) {
            dlg.OnTimer(103);
            shown.push_back(dlg.Displayed());
            EXPECT_NE(dlg.Frame().size(), QSize());
        }
        std::vector<int> want{1};
        while (want.back() < count) want.push_back(std::min(count, want.back() + step));
        EXPECT_EQ(shown, want);
        EXPECT_EQ(dlg.RunningTimer(), 104u);
        PlayToEnd();
    }
    // 100 in steps of 5: 1, 6, 11, ... 96, 100.
    dlg.Enqueue("bob", icon, 100, 0);
    RunPhase(101);
    dlg.OnTimer(103);
    dlg.OnTimer(103);
    EXPECT_EQ(dlg.Displayed(), 11);
}

TEST_F(GiftBanner, GiftWaitingForItsIconLetsReadyGiftsGoFirst) {
    dlg.Enqueue("late", icon, 2, 7);
    EXPECT_FALSE(dlg.Busy());
    dlg.Enqueue("early", icon, 3, 0);
    ASSERT_TRUE(dlg.Busy());
    EXPECT_EQ(dlg.Text(), "early");
    // Another download's completion leaves it waiting.
    dlg.IconArrived(8, icon);
    EXPECT_EQ(dlg.Queue().items().front().pending, 7u);
    // Its icon arrives while another gift is on screen: it waits its turn.
    const std::string arrived = pictures.Solid("late.png", 30, 30, Qt::blue);
    dlg.IconArrived(7, arrived);
    EXPECT_EQ(dlg.Text(), "early");
    PlayToEnd();
    ASSERT_TRUE(dlg.Busy());
    EXPECT_EQ(dlg.Text(), "late");
    EXPECT_EQ(dlg.IconFile(), arrived);
    EXPECT_EQ(dlg.Target(), 2);
    PlayToEnd();
    EXPECT_FALSE(dlg.Busy());
    EXPECT_TRUE(dlg.Queue().empty());
}

TEST_F(GiftBanner, LongTextsAreCutToEightUnitsWithoutSplittingACharacter) {
    dlg.Enqueue("一二三四五六七八九十", icon, 1, 0);
    EXPECT_EQ(dlg.Text(), QString("一二三四五六七八..."));
    EXPECT_EQ(GiftShowDlg::CutText("12345678"), "12345678");
    EXPECT_EQ(GiftShowDlg::CutText("123456789"), "12345678...");
    // The eighth unit begins a surrogate pair: the pair goes whole.
    EXPECT_EQ(GiftShowDlg::CutText(QString::fromUtf8("1234567\xF0\x9F\x8C\xB9xy")), "1234567...");
    EXPECT_EQ(GiftShowDlg::CutText(""), "");
}

TEST_F(GiftBanner, GiftWhoseIconCannotBeHadIsShownWithTheWaitingPicture) {
    const std::string waiting = showtest::SkinFolder() + "wait_image.gif";
    // The download failed: the gift does not wait forever.
    dlg.Enqueue("carol", pictures.Path("never.png"), 5, 3);
    EXPECT_FALSE(dlg.Busy());
    dlg.IconFailed(3);
    ASSERT_TRUE(dlg.Busy());
    EXPECT_EQ(dlg.IconFile(), waiting);
    EXPECT_EQ(dlg.Target(), 5);
    PlayToEnd();
    // A ready gift whose file is damaged, too large or missing is still
    // announced.
    for (const std::string& bad :
         {pictures.Garbage("bad.png"), pictures.Solid("huge.png", kMaxShowPictureSide + 1, 2),
          pictures.Path("gone.png")}) {
        dlg.Enqueue("dave", bad, 1, 0);
        ASSERT_TRUE(dlg.Busy());
        EXPECT_EQ(dlg.IconFile(), waiting);
        PlayToEnd();
    }
}

TEST_F(GiftBanner, QueueKeepsSixtyFourAndCountsStayInRange) {
    dlg.Enqueue("showing", icon, 1, 0);
    dlg.Enqueue("waiting", icon, 1, 9);
    for (int i = 0; i < 70; ++i) dlg.Enqueue("r" + std::to_string(i), icon, 1, 0);
    const auto& items = dlg.Queue().items();
    ASSERT_EQ(items.size(), kMaxShowItems);
    // The oldest ready gifts made room; the one waiting for its icon stays.
    EXPECT_EQ(items.front().text, "waiting");
    EXPECT_EQ(items[1].text, "r7");
    EXPECT_EQ(items.back().text, "r69");
    // Only waiting gifts left: the oldest of them goes.
    GiftShowDlg full(room, showtest::SkinFolder(), &timers);
    full.Enqueue("showing", icon, 1, 0);
    for (int i = 0; i < 65; ++i) full.Enqueue("w" + std::to_string(i), icon, 1, 100 + i);
    EXPECT_EQ(full.Queue().items().size(), kMaxShowItems);
    EXPECT_EQ(full.Queue().items().front().text, "w1");

    const struct {
        int given, shown;
    } counts[] = {{0, 1}, {-1, 1}, {-2147483647 - 1, 1}, {99999, 99999}, {100000, 99999},
                  {2147483647, 99999}};
    for (const auto& c : counts) {
        GiftShowDlg one(room, showtest::SkinFolder(), &timers);
        one.Enqueue("x", icon, c.given, 0);
        EXPECT_EQ(one.Target(), c.shown) << c.given;
    }
    EXPECT_EQ(ClampShowCount(4294967295LL), 99999);
    EXPECT_EQ(ClampShowCount(-4294967295LL), 1);
}

TEST_F(GiftBanner, HiddenWhileTheRoomWindowIsNotOnScreen) {
    room.visible = false;
    dlg.Enqueue("eve", icon, 40, 0);
    ASSERT_TRUE(dlg.Busy());
    EXPECT_FALSE(dlg.isVisible());
    const int x = dlg.Place().x();
    dlg.OnTimer(101);
    // The banner keeps its course while hidden.
    EXPECT_EQ(dlg.Place().x(), x - 50);
    EXPECT_FALSE(dlg.isVisible());
    room.visible = true;
    dlg.OnTimer(101);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.geometry(), dlg.Place());
    room.visible = false;
    dlg.OnTimer(dlg.RunningTimer());
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(GiftBanner, DrawsTheChosenBackgroundWithTheIconInItsBox) {
    std::vector<int> picked;
    dlg.SetBackgroundPicker([&](int n) {
        picked.push_back(n);
        return 2;
    });
    dlg.Enqueue("frank", icon, 1, 0);
    EXPECT_EQ(picked, std::vector<int>{GiftShowDlg::kBackgroundCount});
    EXPECT_EQ(dlg.BackgroundIndex(), 2);
    const QImage violet(QString::fromStdString(showtest::SkinFolder() + "gift_bg_violet.png"));
    ASSERT_FALSE(violet.isNull());
    EXPECT_EQ(dlg.Frame().size(), violet.size());
    // The green icon fills the middle of its 80 x 60 box.
    const QRect box(190, dlg.Frame().height() / 2 - 30, 80, 60);
    EXPECT_EQ(QColor(dlg.Frame().pixel(box.center())), QColor(Qt::green));
    EXPECT_NE(QColor(dlg.Frame().pixel(box.left() + 2, box.center().y())), QColor(Qt::green));
    // The window shows that frame.
    const QImage shown = dlg.grab().toImage();
    EXPECT_EQ(shown.size(), dlg.Frame().size());
    EXPECT_EQ(QColor(shown.pixel(box.center())), QColor(Qt::green));
    // A picker out of range falls back to the first background.
    PlayToEnd();
    dlg.SetBackgroundPicker([](int) { return 9; });
    dlg.Enqueue("frank", icon, 1, 0);
    EXPECT_EQ(dlg.BackgroundIndex(), 0);
}

TEST(ShowPicture, DecodesWithinABoundAndScalesDownToTheBox) {
    showtest::Pictures pictures;
    const QImage big = LoadShowPicture(pictures.Solid("big.png", 800, 600), QSize(80, 60));
    EXPECT_EQ(big.size(), QSize(80, 60));
    const QImage tall = LoadShowPicture(pictures.Solid("tall.png", 100, 400), QSize(80, 60));
    EXPECT_EQ(tall.size(), QSize(15, 60));
    EXPECT_EQ(LoadShowPicture(pictures.Solid("small.png", 20, 10), QSize(80, 60)).size(), QSize(20, 10));
    EXPECT_TRUE(LoadShowPicture(pictures.Solid("wide.png", kMaxShowPictureSide + 1, 1), QSize(80, 60)).isNull());
    EXPECT_TRUE(LoadShowPicture(pictures.Garbage("junk.png"), QSize(80, 60)).isNull());
    EXPECT_TRUE(LoadShowPicture(pictures.Path("none.png"), QSize(80, 60)).isNull());
    EXPECT_TRUE(LoadShowPicture("", QSize(80, 60)).isNull());
}

}  // namespace
