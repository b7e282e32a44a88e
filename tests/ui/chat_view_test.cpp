// The chat views: rich text with faces and pictures, placeholders that
// complete, the 200-line bound, voice links, saving a picture.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QAbstractTextDocumentLayout>

#include "platform/dui/menu.h"
#include "room/chat_entry.h"
#include "ui_test_util.h"

using uitest::FakeActions;

namespace {

class ChatViews : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.Create()) << w.SkinError();
        w.show();
        view = w.FindChat("Edit_RecvChat");
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(dir.isValid());
    }
    std::string Picture(const char* name, QSize size, QColor colour, const char* format = "PNG") {
        QImage img(size, QImage::Format_RGB32);
        img.fill(colour);
        const std::string path = dir.path().toStdString() + "/" + name;
        img.save(QString::fromStdString(path), format);
        return path;
    }

    FakeActions actions;
    CRoomUI w{actions};
    CChatView* view = nullptr;
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ChatViews, RenderedEntriesShowTextFacesAndPicturesInTheirFormats) {
    ChatEntry e;
    e.kind = 0;
    e.senderId = 7;
    e.senderName = "bob";
    e.textColour = 0x3366CC;
    e.text = "hi /f[\"001\"] there";
    ChatRenderContext c;
    c.time = 0;
    c.roomStyle = MakeFormat("宋体", 12, 0x112233);
    c.decode.faces = &actions.faces;
    c.decode.programFolder = uitest::SkinRoot();
    RenderChatEntry(*view, e, c);

    const std::string text = view->PlainText().toStdString();
    EXPECT_NE(text.find("bob(7)"), std::string::npos) << text;
    EXPECT_NE(text.find("hi "), std::string::npos);
    EXPECT_NE(text.find(" there"), std::string::npos);
    EXPECT_EQ(view->LineCount(), 2u) << "header line and body line";
    const auto images = view->ImageNames();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0], "face:" + actions.faces.FindById(1)->imagePath);

    // Runs keep their own colour and size.
    QTextCursor body(view->Editor()->document()->findBlockByNumber(1));
    body.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(body.charFormat().foreground().color(), QColor(0x33, 0x66, 0xCC));
    EXPECT_DOUBLE_EQ(body.charFormat().fontPointSize(), 12.0);

    // A large picture is shown scaled down to the view's picture width.
    const std::string big = Picture("big.png", QSize(800, 400), Qt::red);
    view->AppendImage(big);
    QTextCursor last(view->Editor()->document());
    last.movePosition(QTextCursor::End);
    last.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
    last.setPosition(last.anchor());
    last.setPosition(last.position() - 1);
    last.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    ASSERT_TRUE(last.charFormat().isImageFormat());
    EXPECT_DOUBLE_EQ(last.charFormat().toImageFormat().width(), CChatView::kMaxPictureWidth);
    EXPECT_DOUBLE_EQ(last.charFormat().toImageFormat().height(), CChatView::kMaxPictureWidth / 2.0);

    // A picture that cannot be read says so instead of vanishing.
    view->AppendImage(dir.path().toStdString() + "/missing.png");
    EXPECT_TRUE(view->PlainText().endsWith("[图片]"));
}

TEST_F(ChatViews, TheViewKeepsTheNewest200Lines) {
    for (int i = 0; i < 250; ++i) {
        view->AppendText("line " + std::to_string(i), {});
        view->AppendLineBreak();
        TrimChatView(*view, w.Minimised());
    }
    EXPECT_EQ(view->LineCount(), kChatViewMaxLines);
    EXPECT_EQ(view->Editor()->document()->firstBlock().text().toStdString(), "line 50");
    // A last line without its break counts too.
    view->AppendText("open", {});
    EXPECT_EQ(view->LineCount(), kChatViewMaxLines + 1);
    view->DeleteFirstLines(1000);
    EXPECT_EQ(view->LineCount(), 0u);
}

TEST_F(ChatViews, PlaceholdersAnimateAndAreCompletedOrMarkedFailed) {
    const std::string waiting = uitest::SkinFolder() + "wait_image.gif";
    view->AppendText("a ", {});
    view->AppendPlaceholder(11, waiting);
    view->AppendText(" b ", {});
    view->AppendPlaceholder(12, waiting);
    view->AppendLineBreak();
    EXPECT_EQ(view->ImageNames(), (std::vector<std::string>{"wait:" + waiting, "wait:" + waiting}));
    const int before = view->AnimationSteps();
    view->StepAnimations(1000);
    EXPECT_GT(view->AnimationSteps(), before) << "the waiting picture plays";

    const std::string pic = Picture("done.png", QSize(20, 10), Qt::green);
    view->ReplacePlaceholder(12, pic);
    EXPECT_EQ(view->ImageNames(), (std::vector<std::string>{"wait:" + waiting, "pic:" + pic}));
    view->FailPlaceholder(11);
    EXPECT_EQ(view->ImageNames(), (std::vector<std::string>{"pic:" + pic}));
    EXPECT_TRUE(view->PlainText().startsWith("a [图片加载失败] b "));
    // Keys already completed, or never given, change nothing.
    view->ReplacePlaceholder(11, pic);
    view->FailPlaceholder(99);
    EXPECT_EQ(view->ImageNames(), (std::vector<std::string>{"pic:" + pic}));
}

TEST_F(ChatViews, AVoiceClipIsALinkThatReachesTheRoom) {
    view->AppendVoiceClip(77, uitest::SkinFolder() + "chat_sound_normal.png");
    TNotifyUI link{"link", "Edit_RecvChat"};
    link.text = "voice:77";
    w.Notify(link);
    EXPECT_EQ(actions.voices, std::vector<ChatObjectKey>{77});
    link.text = "voice:7x";
    w.Notify(link);
    link.text = "http://elsewhere/";
    w.Notify(link);
    EXPECT_EQ(actions.voices.size(), 1u) << "only our own voice links play";
    // The icon carries the link.
    QTextCursor c(view->Editor()->document());
    c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    EXPECT_EQ(c.charFormat().anchorHref().toStdString(), "voice:77");
}

namespace {

// The voice clips of a view in document order, as "href picture width".
std::vector<std::string> Clips(CChatView& view) {
    std::vector<std::string> out;
    const QTextDocument* doc = view.Editor()->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isAnchor() || !f.anchorHref().startsWith(CChatView::kVoiceLinkPrefix)) continue;
            const QString name = f.isImageFormat() ? QFileInfo(f.toImageFormat().name()).fileName() : "text";
            const int width = f.isImageFormat() ? static_cast<int>(f.toImageFormat().width()) : 0;
            out.push_back(QString("%1 %2 %3").arg(f.anchorHref(), name).arg(width).toStdString());
        }
    return out;
}

}  // namespace

TEST_F(ChatViews, APlayingClipShowsItsAnimatedIconAndOnlyThatClipChanges) {
    using V = std::vector<std::string>;
    const std::string still = uitest::SkinFolder() + "chat_sound_normal.png";
    const std::string playing = uitest::SkinFolder() + "chat_sound_push.gif";
    const int size = QImage(QString::fromStdString(still)).width();
    ASSERT_GT(size, 0);
    const QString n = QString::number(size);
    // Two clips side by side on one line, a third on the next.
    view->AppendText("bob: ", {});
    view->AppendVoiceClip(5, still);
    view->AppendVoiceClip(6, still);
    view->AppendLineBreak();
    view->AppendText("amy: ", {});
    view->AppendVoiceClip(7, still);
    view->AppendLineBreak();

    w.SetVoiceClipIcon(6, playing);
    EXPECT_EQ(Clips(*view), (V{"voice:5 chat_sound_normal.png " + n.toStdString(),
                               "voice:6 chat_sound_push.gif " + n.toStdString(),
                               "voice:7 chat_sound_normal.png " + n.toStdString()}));
    const int before = view->AnimationSteps();
    view->StepAnimations(1000);
    EXPECT_GT(view->AnimationSteps(), before) << "the playing icon moves";

    // Zoomed, the playing icon scales like the others; swapped back under
    // the zoom it keeps the zoomed size.
    view->SetZoomQuarters(8);
    const std::string big = std::to_string(2 * size);
    EXPECT_EQ(Clips(*view)[1], "voice:6 chat_sound_push.gif " + big);
    w.SetVoiceClipIcon(6, still);
    EXPECT_EQ(Clips(*view), (V{"voice:5 chat_sound_normal.png " + big, "voice:6 chat_sound_normal.png " + big,
                               "voice:7 chat_sound_normal.png " + big}));
    view->SetZoomQuarters(4);

    // Unknown keys and pictures that cannot be read change nothing.
    const V rest = Clips(*view);
    w.SetVoiceClipIcon(99, playing);
    w.SetVoiceClipIcon(5, dir.path().toStdString() + "/missing.gif");
    EXPECT_EQ(Clips(*view), rest);

    // After the oldest line is trimmed away the clips left still swap.
    view->DeleteFirstLines(1);
    w.SetVoiceClipIcon(7, playing);
    EXPECT_EQ(Clips(*view), (V{"voice:7 chat_sound_push.gif " + n.toStdString()}));
    // A playing icon still plays its own clip when clicked.
    TNotifyUI link{"link", "Edit_RecvChat"};
    link.text = "voice:7";
    w.Notify(link);
    EXPECT_EQ(actions.voices, std::vector<ChatObjectKey>{7});
}

TEST_F(ChatViews, TheWindowSwapsAClipInWhicheverViewShowsIt) {
    const std::string still = uitest::SkinFolder() + "chat_sound_normal.png";
    const std::string playing = uitest::SkinFolder() + "chat_sound_push.gif";
    CChatView* secret = w.FindChat("Edit_PrivateChat");
    ASSERT_NE(secret, nullptr);
    view->AppendVoiceClip(1, still);
    secret->AppendVoiceClip(2, still);
    // A clip whose icon could not be read is a text link, and stays one.
    secret->AppendVoiceClip(3, dir.path().toStdString() + "/missing.png");

    const std::string size = std::to_string(QImage(QString::fromStdString(still)).width());
    w.SetVoiceClipIcon(2, playing);
    EXPECT_EQ(Clips(*view), std::vector<std::string>{"voice:1 chat_sound_normal.png " + size});
    w.SetVoiceClipIcon(3, playing);
    EXPECT_EQ(Clips(*secret), (std::vector<std::string>{"voice:2 chat_sound_push.gif " + size, "voice:3 text 0"}));
    EXPECT_TRUE(secret->PlainText().endsWith("[语音]"));
}

TEST_F(ChatViews, SaveAsWritesThePictureUnderTheCursorInItsOwnFormat) {
    const std::string pic = Picture("photo.png", QSize(60, 40), QColor(10, 200, 30));
    view->AppendText("look: ", {});
    view->AppendImage(pic);
    view->AppendLineBreak();
    w.resize(1180, 740);
    uitest::Pump([] { return false; }, 30);

    // Find the picture on the screen through the layout.
    QTextEdit* e = view->Editor();
    QTextCursor c(e->document());
    c.setPosition(6);
    const QRect caret = e->cursorRect(c);
    const QPoint onPicture = caret.center() + QPoint(20, 0);
    ASSERT_EQ(view->PictureAt(onPicture), pic);
    EXPECT_EQ(view->PictureAt(QPoint(2, caret.center().y())), "") << "text is no picture";

    std::string suggested, filter;
    const std::string target = dir.path().toStdString() + "/saved.png";
    w.SetSavePictureDialog([&](const std::string& s, const std::string& f) {
        suggested = s;
        filter = f;
        return target;
    });
    w.OpenChatMenu("Edit_RecvChat", e->viewport()->mapToGlobal(onPicture));
    CMenuWnd* menu = w.OpenMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->FindElement("Menu_SaveAs")->IsEnabled());
    menu->Choose(menu->FindElement("Menu_SaveAs"));
    EXPECT_EQ(suggested, "photo.png");
    EXPECT_EQ(filter, "图像文件(*.png)");
    EXPECT_EQ(QImage(QString::fromStdString(target)).pixelColor(5, 5), QColor(10, 200, 30));

    // A JPEG is offered as one.
    const std::string jpg = Picture("shot.jpg", QSize(30, 30), Qt::blue, "JPEG");
    view->AppendImage(jpg);
    uitest::Pump([] { return false; }, 30);
    QTextCursor j(e->document()->findBlockByNumber(1));
    const QPoint onJpg = e->cursorRect(j).center() + QPoint(10, 0);
    ASSERT_EQ(view->PictureAt(onJpg), jpg);
    w.OpenChatMenu("Edit_RecvChat", e->viewport()->mapToGlobal(onJpg));
    w.OpenMenu()->Choose(w.OpenMenu()->FindElement("Menu_SaveAs"));
    EXPECT_EQ(suggested, "shot.jpg");
    EXPECT_EQ(filter, "图像文件(*.jpg)");
}

TEST(ChatInput, TheBoxReadsBackTextFacesAndPicturesInOrder) {
    FakeActions actions;
    CRoomUI w(actions);
    ASSERT_TRUE(w.Create());
    auto* box = w.FindControl<CRichEditUI>("Edit_SendChat");
    box->Edit()->setPlainText("one\ntwo ");
    QTextCursor end = box->Edit()->textCursor();
    end.movePosition(QTextCursor::End);
    box->Edit()->setTextCursor(end);
    ASSERT_TRUE(w.Input().InsertFace(*actions.faces.FindById(1)));
    ASSERT_TRUE(w.Input().InsertFace(*actions.faces.FindById(1)));
    ASSERT_TRUE(w.Input().InsertPicture(uitest::SkinFolder() + "room_logo.png"));
    EXPECT_FALSE(w.Input().InsertPicture("/nonexistent.png"));
    EXPECT_EQ(EncodeInput(w.Input()),
              "one\ntwo /f[\"001\"]/f[\"001\"]/c[\"" + uitest::SkinFolder() + "room_logo.png\"]");
    w.Input().Clear();
    EXPECT_TRUE(w.Input().Empty());
}
