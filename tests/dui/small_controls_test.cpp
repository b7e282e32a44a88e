// What the small controls and the markup labels actually draw.
#include <gtest/gtest.h>

#include <QFile>
#include <cstdlib>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "dui_test_util.h"
#include "platform/dui/controls.h"
#include "platform/dui/draw.h"
#include "platform/dui/small_controls.h"

using duitest::TestWindow;

namespace {

// A skin folder in a temporary directory with a few drawn pictures.
class DrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Solid("red16.png", 16, 16, Qt::red);
        Solid("blue8.png", 8, 8, Qt::blue);
        Solid("white.png", 64, 32, Qt::white);
        QFile f(dir.filePath("draw.xml"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(R"(<Window size="200,100" defaultfontcolor="#FF000000" disabledfontcolor="#FF808080">
          <Font id="0" name="DejaVu Sans" size="12"/>
          <VerticalLayout name="root" bkcolor="#FFFFFFFF">
            <Label name="lbl" height="20" showhtml="true"/>
            <ButtonEx name="bx" height="32" width="64" normalimage="white.png" iconimage="file='blue8.png' dest='4,4,12,12'"/>
            <TextTile name="tile" height="30" textcolor="FF00FF00" disabledtextcolor="#FF0000FF" textpadding="10,5,10,5" align="right"/>
            <TextTile name="tile2" height="10" textcolor="#FF00FF00"/>
          </VerticalLayout>
        </Window>)");
        f.close();
        ASSERT_TRUE(w.Create()) << w.SkinError();
        w.show();
    }
    void Solid(const char* name, int width, int height, Qt::GlobalColor c) {
        QImage img(width, height, QImage::Format_ARGB32);
        img.fill(c);
        ASSERT_TRUE(img.save(dir.filePath(name)));
    }
    QImage Render(CControlUI* c) {
        QImage img(c->size(), QImage::Format_ARGB32);
        img.fill(Qt::white);
        c->render(&img);
        return img;
    }
    // Columns that hold a pixel of (nearly) the colour; text edges are
    // smoothed, so exact matches would miss thin strokes.
    static std::vector<int> ColumnsOf(const QImage& img, QColor c) {
        auto near = [&](QColor p) {
            return std::abs(p.red() - c.red()) < 70 && std::abs(p.green() - c.green()) < 70 &&
                   std::abs(p.blue() - c.blue()) < 70;
        };
        std::vector<int> out;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (near(QColor(img.pixel(x, y)))) {
                    out.push_back(x);
                    break;
                }
        return out;
    }

    class Window : public TestWindow {
    public:
        using TestWindow::TestWindow;
        CControlUI* CreateControl(std::string_view name) override {
            if (name == "texttile") return new CTextTileUI;
            return TestWindow::CreateControl(name);
        }
    };
    QTemporaryDir dir;
    Window w{dir.path().toStdString() + "/", "draw.xml"};
};

}  // namespace

TEST_F(DrawTest, MarkupLabelsDrawTheirRunsWhereTheLayoutSays) {
    w.SetControlText("lbl", "<x 20><i red16.png><x 4><c #0000FF>II</c>");
    const QImage img = Render(w.FindControl("lbl"));
    const auto red = ColumnsOf(img, QColor(255, 0, 0));
    ASSERT_FALSE(red.empty());
    EXPECT_EQ(red.front(), 20);
    EXPECT_EQ(red.back(), 35);
    const auto blue = ColumnsOf(img, QColor(0, 0, 255));
    ASSERT_FALSE(blue.empty()) << "the coloured text is drawn in its colour";
    EXPECT_GE(blue.front(), 40);

    // The same runs, placed by the drawing helper itself.
    QImage canvas(200, 20, QImage::Format_ARGB32);
    QPainter p(&canvas);
    const auto placed = dui::DrawMarkupLine(p, w.Manager(), canvas.rect(), "<x 4><i red16.png><x 4>bob(1001)",
                                            w.Manager().Font(0), Qt::black, dui::kAlignLeft);
    p.end();
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].x, 4);
    EXPECT_EQ(placed[1].x, 24);

    // Plain labels show the tags as text: nothing red.
    auto* lbl = w.FindControl<CLabelUI>("lbl");
    lbl->SetShowHtml(false);
    EXPECT_TRUE(ColumnsOf(Render(lbl), QColor(255, 0, 0)).empty());
}

TEST_F(DrawTest, MarkupImagesOutsideTheSkinFolderAreRefused) {
    QTemporaryDir other;
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(other.filePath("secret.png")));
    w.SetControlText("lbl", "<i file='" + other.filePath("secret.png").toStdString() + "'>");
    EXPECT_TRUE(ColumnsOf(Render(w.FindControl("lbl")), QColor(255, 0, 0)).empty());
    w.SetControlText("lbl", "<i ../" + QDir(dir.path()).dirName().toStdString() + "/red16.png>");
    EXPECT_FALSE(ColumnsOf(Render(w.FindControl("lbl")), QColor(255, 0, 0)).empty()) << "inside, however written";
    w.Manager().AddImageRoot(other.path().toStdString());
    w.SetControlText("lbl", "<i file='" + other.filePath("secret.png").toStdString() + "'>");
    EXPECT_FALSE(ColumnsOf(Render(w.FindControl("lbl")), QColor(255, 0, 0)).empty()) << "an added root is allowed";
}

TEST_F(DrawTest, ButtonExIconShiftsWhilePushedAndAMissingIconIsDropped) {
    auto* bx = w.FindControl<CButtonExUI>("bx");
    ASSERT_NE(bx, nullptr);
    const auto up = ColumnsOf(Render(bx), QColor(0, 0, 255));
    ASSERT_FALSE(up.empty());
    EXPECT_EQ(up.front(), 4);
    EXPECT_EQ(up.back(), 11);
    duitest::SendMouse(bx, QEvent::MouseButtonPress, QPoint(30, 10), Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(bx->IsPushed());
    const QImage pushed = Render(bx);
    const auto down = ColumnsOf(pushed, QColor(0, 0, 255));
    ASSERT_FALSE(down.empty());
    EXPECT_EQ(down.front(), 5);
    EXPECT_EQ(QColor(pushed.pixel(5, 4)), QColor(255, 255, 255)) << "and one pixel down";
    EXPECT_EQ(QColor(pushed.pixel(5, 5)), QColor(0, 0, 255));
    duitest::SendMouse(bx, QEvent::MouseButtonRelease, QPoint(30, 10), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w.Of("click").size(), 1u);

    bx->SetIconImage("gone.png");
    Render(bx);
    EXPECT_EQ(bx->GetIconImage(), "");
}

TEST_F(DrawTest, TextTileCaptionColourAndPadding) {
    auto* tile = dynamic_cast<CTextTileUI*>(w.FindControl("tile"));
    auto* tile2 = dynamic_cast<CTextTileUI*>(w.FindControl("tile2"));
    ASSERT_TRUE(tile && tile2);
    EXPECT_EQ(tile->TextColor(), tile2->TextColor()) << "with or without the number sign";
    EXPECT_EQ(tile->TextColor(), QColor(0, 255, 0));
    EXPECT_EQ(tile->CaptionRect(), QRect(10, 5, tile->width() - 20, 20));
    tile->SetText("Wide caption");
    const QImage img = Render(tile);
    const auto green = ColumnsOf(img, QColor(0, 255, 0));
    ASSERT_FALSE(green.empty());
    EXPECT_GE(green.front(), 10);
    EXPECT_LE(green.back(), tile->width() - 10) << "right-aligned inside the padding";
    EXPECT_GT(green.back(), tile->width() - 20);
    tile->SetEnabled(false);
    EXPECT_EQ(tile->TextColor(), QColor(0, 0, 255));
    tile2->SetEnabled(false);
    EXPECT_EQ(tile2->TextColor(), QColor(0x80, 0x80, 0x80)) << "the window's disabled colour when unset";
    EXPECT_TRUE(tile->SetAttribute("columns", "4")) << "other attributes go to the tile layout";
    EXPECT_EQ(tile->Columns(), 4);
}
