// Renders the room window as a person sees it in a busy room, and leaves
// the picture in build/artifacts/room.png.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "room/chat_entry.h"
#include "room/markup_text.h"
#include "room/user_list_model.h"
#include "ui/room_user_list.h"
#include "ui_test_util.h"

TEST(RoomScreenshot, TheRoomWindowRendersToAPicture) {
    uitest::FakeActions actions;
    CRoomUI w(actions);
    ASSERT_TRUE(w.Create()) << w.SkinError();
    CRoomUserListModel model;
    model.SetObserver(&w.UserListView());
    IRoomView& v = w;

    v.SetText("Lable_RoomName", "周五音乐夜:小雨   ID:1001");
    v.SetText("Lable_RoomID", "1001");
    v.SetText("Lable_RoomPeople", "6");
    v.SetVisible("waitcontrol", false);
    v.ShowTip("登录频道成功！");
    v.SetText("Label_Balance", "12800");
    v.SetText("Label_Pelto", "36.50");
    v.SetText("text_flower", "27");
    v.SetText("text_net_upload", "3/41KB/S");
    v.SetImage("bnt_signal", "sign_2.png");
    v.ShowNotice(markup::EntryNotice("near_notify.png", "阿杰", 20031, "21:04:37"));

    const struct {
        std::uint32_t id;
        const char* nick;
        int grade;
        std::uint32_t role;
    } users[] = {{10001, "小雨", 12, 2}, {20031, "阿杰", 3, 5}, {20077, "星河漫步", 7, 4},
                 {20102, "Lemon", 5, 5}, {20200, "夜猫子", 1, 5}, {20311, "路人甲乙丙丁戊己庚辛", 1, 6}};
    for (const auto& u : users) {
        RoomUser r = uitest::User(u.id, u.nick, u.grade, u.role);
        r.gagged = u.id == 20200;
        model.AddUser(r);
        if (r.gagged) model.SetGag(r, true);
    }

    ChatRenderContext c;
    c.time = 1700000000;
    c.roomStyle = MakeFormat("宋体", 10, 0x2B3350);
    c.decode.faces = &actions.faces;
    c.decode.programFolder = uitest::SkinRoot();
    auto say = [&](std::uint32_t id, const char* name, const char* text, std::uint32_t colour) {
        ChatEntry e;
        e.senderId = id;
        e.senderName = name;
        e.text = text;
        e.textColour = colour;
        RenderChatEntry(v.ChatView("Edit_RecvChat"), e, c);
    };
    RenderAnnouncement(v.ChatView("Edit_Announcement"), "欢迎来到周五音乐夜，文明聊天，点歌请排麦。", c.roomStyle);
    say(10001, "小雨", "大家晚上好 /f[\"001\"] 今晚先来一首《晴天》", 0x292929);
    say(20031, "阿杰", "来了来了 /f[\"002\"]/f[\"002\"]", 0xC0306A);
    say(20077, "星河漫步", "主播声音好好听！", 0x2F6FB0);
    ChatEntry sys;
    sys.kind = 11;
    sys.text = "夜猫子 被管理员禁言";
    RenderChatEntry(v.ChatView("Edit_RecvChat"), sys, c);
    say(20102, "Lemon", "点一首《夜空中最亮的星》/f[\"005\"]", 0x292929);

    IChatView& gifts = v.ChatView("Edit_PrivateChat");
    const ChatTextFormat white = MakeFormat("宋体", 12, 0xFFFFFF, true);
    const ChatTextFormat gold = MakeFormat("宋体", 12, 0xF0F000, true);
    gifts.AppendText(" 21:03:12 ", white);
    gifts.AppendText("星河漫步", gold);
    gifts.AppendText("送出", white);
    gifts.AppendText("小雨 ", white);
    gifts.AppendFace(*actions.faces.FindById(5));
    gifts.AppendText(" X99", gold);
    gifts.AppendLineBreak();

    w.resize(1180, 740);
    w.ShowWindow(true);
    uitest::Pump([] { return false; }, 100);
    const QImage shot = w.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(1180, 740) * w.devicePixelRatio());
    // Not a blank window: the dark frame and the light chat card both show.
    EXPECT_NE(shot.pixelColor(5, 60), shot.pixelColor(1000, 400));

    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(shot.save(folder + "room.png")) << "cannot write " << folder.toStdString();
    model.SetObserver(nullptr);
}
