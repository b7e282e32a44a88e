// The follower over another program's window, on a real X server (the
// test runs under its own Xvfb): the X server is asked which window lies at
// the point, and the follower lying over it does not hide it.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>

#include <vector>

#include "ui/av_screen_rect.h"

namespace {

class Owner : public ICatchSlink {
public:
    void OnWindow(const CaughtWindow& w) override { windows.push_back(w); }
    void OnRect(const QRect& r) override { rects.push_back(r); }
    void OnClose() override {}
    std::vector<CaughtWindow> windows;
    std::vector<QRect> rects;
};

}  // namespace

TEST(AvScreenRect, FollowsAnotherProgramsWindowOnX11) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run under an X server";
    // A second connection stands for another program.
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t foreign = xcb_generate_id(c);
    const std::uint32_t noWindowManager = 1;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, foreign, screen->root, 300, 200, 240, 160, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_OVERRIDE_REDIRECT,
                      &noWindowManager);
    xcb_map_window(c, foreign);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // mapped by now

    Owner owner;
    CAvScreenRect picker(CAvScreenRect::Mode::kFollow, &owner);
    ASSERT_TRUE(picker.Create());
    picker.FollowTick(QPoint(350, 250));
    ASSERT_EQ(owner.windows.size(), 1u);
    EXPECT_EQ(owner.windows[0].id, foreign);
    EXPECT_EQ(owner.windows[0].rect, QRect(300, 200, 240, 160));
    // Lying over it now, the follower lets the question through to it.
    QApplication::processEvents();
    picker.FollowTick(QPoint(360, 260));
    EXPECT_EQ(owner.windows.size(), 1u);

    xcb_destroy_window(c, foreign);
    xcb_disconnect(c);
}
