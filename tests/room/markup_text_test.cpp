// The notice and list texts in label markup.
#include <gtest/gtest.h>

#include "room/headless_view.h"
#include "room/markup_text.h"
#include "room/room_user.h"

TEST(MarkupText, NoticesAndQueueEntriesFillTheirTemplatesUnescaped) {
    EXPECT_EQ(markup::EntryNotice("near_notify.png", "a<b", 42, " 10:05:00"),
              "<x 4><i near_notify.png><x 4>a<b(42) 进入了房间  10:05:00");
    EXPECT_EQ(markup::LeaveNotice("near_notify.png", "ann", " 10:05:01"),
              "<x 4><i near_notify.png><x 4>ann  离开了房间  10:05:01");
    EXPECT_EQ(markup::MicQueueEntry("spk.png", 2, "v.png", "bob"),
              "<c #FFFFFF><f 0><i spk.png><x 4>2.<x 4><i v.png><x 4>bob</f></c>");
    EXPECT_EQ(markup::RoomListName("Hall", ""), "Hall");
    EXPECT_EQ(markup::RoomListName("Hall", "B"), "Hall(B)");
    EXPECT_EQ(markup::RoomListOperation(1001, "Im/people.png", 12),
              "<x 2><c #3899a7>1001</c> <x 10><i Im/people.png><x 5><c #3899a7>12</c>");
    EXPECT_EQ(markup::PowerGrantPrompt("ann", 7, "禁言"),
              "您将给用户 <c #6464E0>ann(7)</c> 授予 禁言 权限;");
}

TEST(MarkupText, TimeTailAndPlainText) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(markup::NoticeTime(1796472000 + 3723), " 13:02:03");
    EXPECT_EQ(markup::ToPlain("<x 4><i a.png><x 4>ann(1) 进入了房间 <c #fff>x</c>"),
              "ann(1) 进入了房间 x");
}

TEST(Colour, ReadsHashedAndBareHexOnly) {
    EXPECT_EQ(ParseColour("#FF8000"), 0xFF8000u);
    EXPECT_EQ(ParseColour("00ff00"), 0x00FF00u);
    EXPECT_EQ(ParseColour("#FF80"), 0u);
    EXPECT_EQ(ParseColour("#GG0000"), 0u);
    EXPECT_EQ(ParseColour(""), 0u);
}
