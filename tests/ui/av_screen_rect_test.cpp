// The screen-capture picker: a region frame that is hollow and reports its
// inside, fit for capture, after every move and resize; a follower that
// lies over the window under the cursor and reports it once per change; a
// close button that tells its owner.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <vector>

#include "ui/av_screen_rect.h"
#include "ui_test_util.h"

namespace {

class Owner : public ICatchSlink {
public:
    void OnWindow(const CaughtWindow& w) override { windows.push_back(w); }
    void OnRect(const QRect& r) override { rects.push_back(r); }
    void OnClose() override { ++closes; }
    std::vector<CaughtWindow> windows;
    std::vector<QRect> rects;
    int closes = 0;
};

QRect Screen() { return QGuiApplication::primaryScreen()->geometry(); }

}  // namespace

TEST(AvScreenRect, RegionIsHollowAndReportsFitRectsAfterEveryMoveAndResize) {
    Owner owner;
    CAvScreenRect picker(CAvScreenRect::Mode::kRegion, &owner);
    ASSERT_TRUE(picker.Create()) << picker.SkinError();
    EXPECT_EQ(picker.GetWindowClassName(), "AvWindow");
    picker.ShowCentred();
    EXPECT_TRUE(picker.IsControlVisible("panle_title"));

    owner.rects.clear();
    picker.resize(301, 205);  // odd sides
    ASSERT_FALSE(owner.rects.empty());
    QRect r = owner.rects.back();
    EXPECT_EQ(r.width() % 2, 0);
    EXPECT_EQ(r.height() % 2, 0);
    EXPECT_EQ(r, picker.RegionRect());
    // The region is the hollow middle: inside the window, not its frame.
    const CControlUI* hollow = picker.FindControl("ContainerUI2");
    ASSERT_NE(hollow, nullptr);
    EXPECT_EQ(r.topLeft(), hollow->mapToGlobal(QPoint(0, 0)));
    EXPECT_LE(r.width(), hollow->width());
    const QRegion mask = picker.mask();
    EXPECT_FALSE(mask.contains(hollow->mapTo(&picker, hollow->rect().center())));
    EXPECT_TRUE(mask.contains(QPoint(1, picker.height() / 2)));

    // Moved half off the screen: what is reported stays on it.
    const std::size_t before = owner.rects.size();
    picker.move(Screen().right() - 100, Screen().top() + 10);
    ASSERT_GT(owner.rects.size(), before);
    r = owner.rects.back();
    EXPECT_TRUE(Screen().contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    EXPECT_GE(r.width(), CAvScreenRect::kMinSide);
    EXPECT_EQ(r.width() % 2, 0);

    // Sized below the minimum: still at least 16×16.
    picker.move(Screen().topLeft() + QPoint(50, 50));
    picker.resize(20, 20);
    r = owner.rects.back();
    EXPECT_GE(r.width(), CAvScreenRect::kMinSide);
    EXPECT_GE(r.height(), CAvScreenRect::kMinSide);
}

TEST(AvScreenRect, CloseButtonTellsTheOwnerAndCloses) {
    Owner owner;
    CAvScreenRect picker(CAvScreenRect::Mode::kRegion, &owner);
    ASSERT_TRUE(picker.Create());
    picker.ShowCentred();
    uitest::Click(picker.FindControl("bnt_close"));
    EXPECT_EQ(owner.closes, 1);
    EXPECT_FALSE(picker.isVisible());
}

TEST(AvScreenRect, FollowerLiesOverTheWindowUnderTheCursorAndReportsChangesOnly) {
    Owner owner;
    QWidget a, b, mine;
    for (QWidget* w : {&a, &b, &mine}) w->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    a.setGeometry(100, 100, 200, 120);
    b.setGeometry(400, 300, 160, 90);
    mine.setGeometry(700, 100, 100, 100);
    a.show();
    b.show();
    mine.show();
    CAvScreenRect picker(CAvScreenRect::Mode::kFollow, &owner);
    picker.SkipWindow(&mine);
    ASSERT_TRUE(picker.Create());
    EXPECT_FALSE(picker.IsControlVisible("panle_title"));
    EXPECT_TRUE(picker.windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(picker.windowFlags() & Qt::WindowStaysOnTopHint);

    picker.FollowTick(QPoint(150, 150));
    ASSERT_EQ(owner.windows.size(), 1u);
    EXPECT_EQ(owner.windows[0].id, static_cast<std::uintptr_t>(a.winId()));
    EXPECT_EQ(owner.windows[0].rect, a.frameGeometry());
    EXPECT_TRUE(picker.isVisible());
    EXPECT_EQ(picker.geometry(), a.frameGeometry());
    // The follower now covers that window: still the same one, no report.
    picker.FollowTick(QPoint(160, 160));
    EXPECT_EQ(owner.windows.size(), 1u);
    // Over the owner's own window: nothing changes.
    picker.FollowTick(QPoint(750, 150));
    EXPECT_EQ(owner.windows.size(), 1u);
    picker.FollowTick(QPoint(450, 320));
    ASSERT_EQ(owner.windows.size(), 2u);
    EXPECT_EQ(owner.windows[1].id, static_cast<std::uintptr_t>(b.winId()));
    EXPECT_EQ(picker.geometry(), b.frameGeometry());
    // Over no window of ours (and no X server to ask): the screen there.
    picker.FollowTick(QPoint(Screen().right() - 5, Screen().bottom() - 5));
    ASSERT_EQ(owner.windows.size(), 3u);
    EXPECT_EQ(owner.windows[2].id, 0u);
    EXPECT_EQ(owner.windows[2].rect, Screen());
    EXPECT_TRUE(owner.rects.empty());  // a follower reports windows only
}


TEST(AvScreenRect, FollowerLooksByItselfEvery200Ms) {
    QWidget target;
    target.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    target.setGeometry(200, 200, 120, 80);
    target.show();
    QCursor::setPos(250, 240);
    if (QCursor::pos() != QPoint(250, 240)) GTEST_SKIP() << "this platform cannot place the cursor";
    Owner owner;
    CAvScreenRect picker(CAvScreenRect::Mode::kFollow, &owner);
    ASSERT_TRUE(picker.Create());
    EXPECT_EQ(CAvScreenRect::kFollowTimer, 513u);
    ASSERT_TRUE(uitest::Pump([&] { return !owner.windows.empty(); }, 2000));
    EXPECT_EQ(owner.windows[0].id, static_cast<std::uintptr_t>(target.winId()));
}

TEST(AvScreenRect, RectanglesAreFitForCapture) {
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(CAvScreenRect::FitToScreen(QRect(10, 10, 301, 201), screen), QRect(10, 10, 300, 200));
    EXPECT_EQ(CAvScreenRect::FitToScreen(QRect(-50, -50, 200, 100), screen), QRect(0, 0, 150, 50));
    EXPECT_EQ(CAvScreenRect::FitToScreen(QRect(1915, 1075, 40, 40), screen), QRect(1904, 1064, 16, 16));
    EXPECT_EQ(CAvScreenRect::FitToScreen(QRect(5000, 5000, 10, 10), screen), QRect(0, 0, 16, 16));
    EXPECT_EQ(CAvScreenRect::FitToScreen(QRect(0, 0, 9999, 9999), screen), screen);
    EXPECT_EQ(CAvScreenRect::FitToScreen(QRect(0, 0, 100, 100), QRect(0, 0, 8, 8)), QRect());
}
