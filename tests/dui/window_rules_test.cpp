// Frameless window geometry: what a point is, where maximised windows and
// popups go.
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
