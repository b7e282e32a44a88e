// Frameless window geometry: what a point is, where maximised windows and
// popups go, where windows open and what a remembered place may be.
#include <gtest/gtest.h>

#include "platform/dui/window_rules.h"

using namespace dui;

TEST(WindowRules, SizeBoxEdgesAndCornersComeBeforeTheCaption) {
    HitRules r;
    r.width = 400;
    r.height = 300;
    r.sizeBox = {4, 4, 6, 6};
    r.caption = {0, 0, 0, 32};
    EXPECT_EQ(HitTestWindow(r, 0, 0, false), Hit::kTopLeft);
    EXPECT_EQ(HitTestWindow(r, 399, 0, false), Hit::kTopRight);
    EXPECT_EQ(HitTestWindow(r, 0, 299, false), Hit::kBottomLeft);
    EXPECT_EQ(HitTestWindow(r, 394, 294, false), Hit::kBottomRight);
    EXPECT_EQ(HitTestWindow(r, 200, 2, true), Hit::kTop) << "edges win over controls";
    EXPECT_EQ(HitTestWindow(r, 200, 295, false), Hit::kBottom);
    EXPECT_EQ(HitTestWindow(r, 2, 150, false), Hit::kLeft);
    EXPECT_EQ(HitTestWindow(r, 395, 150, false), Hit::kRight);
    EXPECT_EQ(HitTestWindow(r, 393, 150, false), Hit::kClient);
    EXPECT_EQ(HitTestWindow(r, 200, 20, false), Hit::kCaption);
    EXPECT_EQ(HitTestWindow(r, 200, 20, true), Hit::kClient) << "buttons in the caption stay clickable";
    EXPECT_EQ(HitTestWindow(r, 200, 32, false), Hit::kClient) << "the caption ends above its bottom value";
}

TEST(WindowRules, CaptionInsetsAndMaximisedWindows) {
    HitRules r;
    r.width = 400;
    r.height = 300;
    r.caption = {10, 0, 50, 30};
    EXPECT_EQ(HitTestWindow(r, 5, 10, false), Hit::kClient);
    EXPECT_EQ(HitTestWindow(r, 10, 10, false), Hit::kCaption);
    EXPECT_EQ(HitTestWindow(r, 349, 10, false), Hit::kCaption);
    EXPECT_EQ(HitTestWindow(r, 350, 10, false), Hit::kClient);
    r.sizeBox = {4, 4, 4, 4};
    r.maximised = true;
    EXPECT_EQ(HitTestWindow(r, 0, 0, false), Hit::kClient);
    EXPECT_EQ(HitTestWindow(r, 100, 10, false), Hit::kClient);
}

TEST(WindowRules, MaximisedPlacementReachesPastTheWorkArea) {
    EXPECT_EQ(MaximisedPlacement({0, 0, 1920, 1040}), (Box{-5, -3, 1930, 1050}));
    EXPECT_EQ(MaximisedPlacement({1920, 24, 1280, 1000}), (Box{1915, 21, 1290, 1010}));
}

TEST(WindowRules, PopupsStayOnScreen) {
    const Box screen{0, 0, 1000, 800};
    EXPECT_EQ(PlacePopup(100, 100, 150, 200, screen), (Box{100, 100, 150, 200}));
    EXPECT_EQ(PlacePopup(950, 100, 150, 200, screen), (Box{800, 100, 150, 200})) << "opens to the left";
    EXPECT_EQ(PlacePopup(100, 700, 150, 200, screen), (Box{100, 500, 150, 200})) << "opens upward";
    EXPECT_EQ(PlacePopup(50, 50, 150, 2000, screen), (Box{50, 0, 150, 800})) << "never taller than the screen";
    EXPECT_EQ(PlacePopup(-300, 10, 150, 20, screen).x, 0);
}

TEST(WindowRules, CentredWindowsFitTheWorkAreaAndKeepTheirCaptionOnIt) {
    EXPECT_EQ(CentredPlacement(1180, 740, 980, 620, {0, 0, 1920, 1040}), (Box{370, 150, 1180, 740}));
    EXPECT_EQ(CentredPlacement(1180, 740, 980, 620, {1920, 30, 1280, 994}), (Box{1970, 157, 1180, 740}))
        << "the work area's own origin";
    EXPECT_EQ(CentredPlacement(1180, 740, 980, 620, {0, 0, 1024, 700}), (Box{0, 0, 1024, 700}))
        << "cut to a small screen";
    EXPECT_EQ(CentredPlacement(1180, 740, 980, 620, {0, 0, 800, 600}), (Box{0, 0, 980, 620}))
        << "never below the minimum; the top-left corner stays on the screen";
}

TEST(WindowRules, ARememberedPlaceIsTakenOnlyWhileItsCaptionCanBeGrabbed) {
    const std::vector<Box> two = {{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
    EXPECT_EQ(RestoredPlacement({100, 80, 1180, 740}, 40, 980, 620, two), (Box{100, 80, 1180, 740}));
    EXPECT_EQ(RestoredPlacement({2000, 50, 1000, 700}, 40, 980, 620, two), (Box{2000, 50, 1000, 700}))
        << "on the second screen";
    // Only a corner of the caption on a screen still lets it be dragged back.
    EXPECT_TRUE(RestoredPlacement({1920 - 64, 100, 1180, 740}, 40, 980, 620, {{0, 0, 1920, 1040}}));
    EXPECT_FALSE(RestoredPlacement({1920 - 63, 100, 1180, 740}, 40, 980, 620, {{0, 0, 1920, 1040}}));
    // A screen that is gone, the caption below every screen or above them.
    EXPECT_FALSE(RestoredPlacement({3500, 100, 1180, 740}, 40, 980, 620, two));
    EXPECT_FALSE(RestoredPlacement({100, 1030, 1180, 740}, 40, 980, 620, two));
    EXPECT_FALSE(RestoredPlacement({100, -30, 1180, 740}, 40, 980, 620, two));
    EXPECT_FALSE(RestoredPlacement({100, 80, 1180, 740}, 40, 980, 620, {}));
    // Partly above the top: moved down onto it; larger than the screen: cut.
    EXPECT_EQ(RestoredPlacement({100, -20, 1180, 740}, 40, 980, 620, two), (Box{100, 0, 1180, 740}));
    EXPECT_EQ(RestoredPlacement({10, 10, 3000, 2000}, 40, 980, 620, two), (Box{10, 10, 1920, 1040}));
    EXPECT_FALSE(RestoredPlacement({10, 10, 0, 740}, 40, 980, 620, two));
}

TEST(WindowRules, APlaceReadsBackAsWrittenAndADamagedOneReadsAsNone) {
    const WindowPlace place{{-1200, 35, 1180, 740}, true};
    EXPECT_EQ(ParseWindowPlace(FormatWindowPlace(place)), place);
    EXPECT_EQ(ParseWindowPlace("width=800\r\nheight=600\r\nx=3\r\ny=4\r\nmaximised=0\r\n"),
              (WindowPlace{{3, 4, 800, 600}, false}))
        << "any order, either line end";
    for (const char* damaged : {"", "garbage", "x=1\ny=2\nwidth=800\nheight=600",  // a key missing
                                "x=1\ny=2\nwidth=800\nheight=600\nmaximised=2",
                                "x=1\ny=2\nwidth=0\nheight=600\nmaximised=0",
                                "x=1\ny=2\nwidth=-5\nheight=600\nmaximised=0",
                                "x=1.5\ny=2\nwidth=800\nheight=600\nmaximised=0",
                                "x=1\ny=2 \nwidth=800\nheight=600\nmaximised=0",
                                "x=1\ny=\nwidth=800\nheight=600\nmaximised=0",
                                "x=99999999999999\ny=2\nwidth=800\nheight=600\nmaximised=0",
                                "x=1\ny=2\nwidth=800\nheight=2000000\nmaximised=0",
                                "x=1\ny=2\nwidth=800\nheight=600\nmaximised=0\n\x01\x02\xff"})
        EXPECT_FALSE(ParseWindowPlace(damaged)) << damaged;
}
