// The face picker: its grid's pages, painting, hover preview and clicks,
// and the popup that sizes it from the face table and hands a face on.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "chat/face_ctrl.h"
#include "chat/face_table.h"
#include "platform/dui/controls.h"
#include "platform/winmsg/message_target.h"
#include "ui/art/gif_writer.h"
#include "ui/face_sel_dlg.h"
#include "ui_test_util.h"

namespace {

using uitest::SendMouse;

// A folder with skin/Face/ pictures: a still one, a two-frame animation
// (300 ms, then 500 ms) and none for "missing".
class FaceFolder {
public:
    FaceFolder() {
        QDir().mkpath(dir_.path() + "/skin/Face");
        QImage still(40, 40, QImage::Format_ARGB32);
        still.fill(QColor(0x20, 0xA0, 0x40));
        still.save(Path("still.png"));
        std::vector<QImage> frames;
        for (QColor c : {QColor(0xE0, 0x30, 0x30), QColor(0x30, 0x30, 0xE0)}) {
            QImage f(40, 40, QImage::Format_ARGB32);
            f.fill(c);
            frames.push_back(f);
        }
        const auto gif = art::EncodeAnimation(frames, {300, 500});
        QFile out(Path("moving.gif"));
        out.open(QIODevice::WriteOnly);
        out.write(reinterpret_cast<const char*>(gif.data()), static_cast<qint64>(gif.size()));
    }
    std::string Root() const { return dir_.path().toStdString(); }
    QString Path(const char* file) const { return dir_.path() + "/skin/Face/" + file; }

    // `count` faces, ids from 1; files picked per face.
    template <class FileFor>
    bool Fill(CFaceTable& table, int count, FileFor fileFor, const std::string& layout = "") const {
        std::string xml = "<faces><faceconfig " + layout + ">";
        for (int i = 1; i <= count; ++i) {
            const std::string n = std::to_string(i);
            xml += "<face id=\"" + n + "\" tip=\"tip" + n + "\" tag=\"/t" + n + "\" text=\"F" + n +
                   "\" file=\"Face/" + fileFor(i) + "\"/>";
        }
        xml += "</faceconfig></faces>";
        return table.LoadFromText(xml, Root());
    }

private:
    QTemporaryDir dir_;
};

class FaceGrid : public ::testing::Test, public INotifyUI {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.Fill(faces, 121, [](int i) {
            return i == 2 ? "missing.png" : i == 3 ? "moving.gif" : "still.png";
        }));
        manager.AddNotifier(this);
        grid.SetManager(&manager);
        grid.SetFaceTable(&faces);
        grid.resize(grid.GridSize());
    }
    void TearDown() override { manager.RemoveNotifier(this); }
    void Notify(TNotifyUI& msg) override {
        clicks.push_back(msg.sType == "click" ? msg.lParam : -100);
    }

    void Move(QPoint at) { SendMouse(&grid, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    QImage Paint() {
        QImage img(grid.size(), QImage::Format_ARGB32);
        img.fill(Qt::black);
        grid.render(&img);
        return img;
    }

    FaceFolder folder;
    CFaceTable faces;
    CSkinManager manager;
    CFaceCtrl grid;
    std::vector<std::intptr_t> clicks;
};

// The owner of a picker: what reaches it as window messages.
class Owner : public CMessageTarget {
public:
    std::vector<WindowMessage> got;

protected:
    std::intptr_t OnMessage(const WindowMessage& m) override {
        got.push_back(m);
        return 1;
    }
};

}  // namespace

TEST_F(FaceGrid, PagesHoldRowsTimesColumnsAndOnlyExistingPagesCanBeShown) {
    EXPECT_EQ(grid.Rows(), 8);
    EXPECT_EQ(grid.Cols(), 15);
    EXPECT_EQ(grid.ItemSize(), QSize(28, 28));
    EXPECT_EQ(grid.ZoomSize(), QSize(84, 84));
    ASSERT_EQ(grid.PageCount(), 2) << "121 faces at 120 a page";
    EXPECT_EQ(grid.PageFaceCount(), 120);

    ASSERT_TRUE(grid.SetPage(1));
    EXPECT_EQ(grid.PageFaceCount(), 1);
    ASSERT_NE(grid.FaceAt(0), nullptr);
    EXPECT_EQ(grid.FaceAt(0)->id, 121);
    EXPECT_EQ(grid.TableIndexOf(0), 120);
    EXPECT_EQ(grid.FaceAt(1), nullptr);

    EXPECT_FALSE(grid.SetPage(2));
    EXPECT_FALSE(grid.SetPage(-1));
    EXPECT_EQ(grid.Page(), 1) << "a page that does not exist changes nothing";
    EXPECT_EQ(grid.PageFaceCount(), 1);

    // Exactly one page full; no rows or no faces: no pages at all.
    grid.SetRowCol(11, 11);
    EXPECT_EQ(grid.PageCount(), 1);
    EXPECT_EQ(grid.Page(), 0) << "the page shown no longer exists";
    grid.SetRowCol(0, 15);
    EXPECT_EQ(grid.PageCount(), 0);
    EXPECT_FALSE(grid.SetPage(0));
    EXPECT_EQ(grid.FaceAt(0), nullptr);
    grid.SetRowCol(-4, -4);
    EXPECT_EQ(grid.PageCount(), 0);
    Move(QPoint(5, 5));
    EXPECT_EQ(grid.HoverCell(), -1);
    grid.SetRowCol(8, 15);
    grid.SetFaceTable(nullptr);
    EXPECT_EQ(grid.PageCount(), 0);
    EXPECT_NO_FATAL_FAILURE(Paint());
}

TEST_F(FaceGrid, PaintingShowsTheGridPicturesTextsAndTheHoverFrameInTheirColours) {
    // COLORREF is blue-green-red: 0xF6E6DF is a light blue-grey, 0xFF0000 blue.
    EXPECT_EQ(face_ctrl::FromColorRef(0xF6E6DF), QColor(0xDF, 0xE6, 0xF6));
    EXPECT_EQ(face_ctrl::FromColorRef(0xFF0000), QColor(0, 0, 0xFF));

    const QImage img = Paint();
    const QColor line(0xDF, 0xE6, 0xF6), white(Qt::white);
    EXPECT_EQ(img.pixelColor(0, 14), line) << "a column's left edge";
    EXPECT_EQ(img.pixelColor(14, 28), line) << "a row's top edge";
    // Face 1: the 40 px still picture shrunk into 20 x 20, centred.
    const QRect c0 = grid.CellRect(0);
    EXPECT_EQ(img.pixelColor(c0.center()), QColor(0x20, 0xA0, 0x40));
    EXPECT_EQ(img.pixelColor(c0.left() + 3, c0.top() + 3), white)
        << "the picture keeps 4 px from the edges";

    // Face 2 has no picture: its text, in the text colour, instead.
    EXPECT_FALSE(grid.HasPicture(1));
    EXPECT_TRUE(grid.HasPicture(0));
    const QRect c1 = grid.CellRect(1).adjusted(1, 1, 0, 0);
    int dark = 0;
    for (int y = c1.top(); y <= c1.bottom(); ++y)
        for (int x = c1.left(); x <= c1.right(); ++x)
            if (img.pixelColor(x, y).lightness() < 160) ++dark;
    EXPECT_GT(dark, 5) << "the face's text is drawn";

    // Hovering frames the cell one pixel inside its edges.
    Move(grid.CellRect(16).center());
    ASSERT_EQ(grid.HoverCell(), 16);
    const QImage hovered = Paint();
    const QRect c16 = grid.CellRect(16);
    EXPECT_EQ(hovered.pixelColor(c16.left() + 1, c16.center().y()), QColor(0, 0, 0xFF));
    EXPECT_EQ(hovered.pixelColor(c16.right() - 1, c16.top() + 1), QColor(0, 0, 0xFF));
    EXPECT_EQ(hovered.pixelColor(c16.left() + 2, c16.top() + 2), white);
}

TEST_F(FaceGrid, ThePreviewSitsAwayFromTheMouseAndAnimatesOnlyAnimatedFaces) {
    const int w = grid.width();
    // Rightmost column: the preview at the left edge.
    Move(grid.CellRect(14).center());
    ASSERT_EQ(grid.HoverCell(), 14);
    EXPECT_EQ(grid.ZoomRect(), QRect(1, 1, 84, 84));
    EXPECT_EQ(grid.toolTip(), "tip15");
    EXPECT_FALSE(grid.HasTimer(CFaceCtrl::kFrameTimer)) << "a still picture starts no frame timer";
    QImage img = Paint();
    EXPECT_EQ(img.pixelColor(1, 40), QColor(0x00, 0x8A, 0xFF)) << "the preview's frame";
    EXPECT_EQ(img.pixelColor(43, 43), QColor(0x20, 0xA0, 0x40)) << "the face inside it";

    // Left half: the preview at the right edge.
    Move(grid.CellRect(2).center());
    ASSERT_EQ(grid.HoverCell(), 2);
    EXPECT_EQ(grid.ZoomRect(), QRect(w - 84, 1, 84, 84));
    // Face 3 moves: its first frame's delay, then the next, round again.
    ASSERT_TRUE(grid.HasTimer(CFaceCtrl::kFrameTimer));
    EXPECT_EQ(grid.TimerPeriod(CFaceCtrl::kFrameTimer), 300u);
    img = Paint();
    EXPECT_EQ(img.pixelColor(grid.ZoomRect().center()), QColor(0xE0, 0x30, 0x30));
    grid.DoTimer(CFaceCtrl::kFrameTimer);
    EXPECT_EQ(grid.CurrentFrame(), 1);
    EXPECT_EQ(grid.TimerPeriod(CFaceCtrl::kFrameTimer), 500u);
    img = Paint();
    EXPECT_EQ(img.pixelColor(grid.ZoomRect().center()), QColor(0x30, 0x30, 0xE0));
    EXPECT_EQ(img.pixelColor(grid.CellRect(2).center()), QColor(0xE0, 0x30, 0x30))
        << "the cell keeps frame 0";
    grid.DoTimer(CFaceCtrl::kFrameTimer);
    EXPECT_EQ(grid.CurrentFrame(), 0);

    // A face without picture has its tip and an empty preview; no timer.
    Move(grid.CellRect(1).center());
    EXPECT_EQ(grid.toolTip(), "tip2");
    EXPECT_FALSE(grid.HasTimer(CFaceCtrl::kFrameTimer));
    EXPECT_EQ(grid.CurrentFrame(), 0);

    // Leaving the grid, or a cell without a face, clears it all.
    Move(grid.CellRect(2).center());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&grid, &leave);
    EXPECT_EQ(grid.HoverCell(), -1);
    EXPECT_FALSE(grid.HasTimer(CFaceCtrl::kFrameTimer));
    EXPECT_TRUE(grid.toolTip().isEmpty());
    ASSERT_TRUE(grid.SetPage(1));
    Move(grid.CellRect(3).center());
    EXPECT_EQ(grid.HoverCell(), 3);
    EXPECT_TRUE(grid.ZoomRect().isNull()) << "no face, no preview";
    EXPECT_TRUE(grid.toolTip().isEmpty());
}

TEST_F(FaceGrid, APressOnAFaceReportsItsCellAndNothingElseDoes) {
    uitest::Click(&grid, Qt::LeftButton, grid.CellRect(17).center());
    uitest::Click(&grid, Qt::RightButton, grid.CellRect(18).center());
    ASSERT_TRUE(grid.SetPage(1));
    uitest::Click(&grid, Qt::LeftButton, grid.CellRect(0).center());
    uitest::Click(&grid, Qt::LeftButton, grid.CellRect(1).center());  // no face there
    EXPECT_EQ(clicks, (std::vector<std::intptr_t>{17, 0}));
}

TEST(FacePicker, HostileTableSizesAreClampedAndMissingOnesTakeTheDefaults) {
    FaceLayout hostile;
    hostile.rows = -3;
    hostile.cols = 100000;
    hostile.itemWidth = 1;
    hostile.itemHeight = 0;
    hostile.zoomWidth = 2147483647;
    hostile.zoomHeight = -2147483647 - 1;
    const FaceLayout l = CFaceSelDlg::ClampLayout(hostile);
    EXPECT_EQ(l.rows, 1);
    EXPECT_EQ(l.cols, 64);
    EXPECT_EQ(l.itemWidth, 8);
    EXPECT_EQ(l.itemHeight, 28) << "left out: the grid's own size";
    EXPECT_EQ(l.zoomWidth, 256);
    EXPECT_EQ(l.zoomHeight, 8);

    // The same through a table file: the picker's grid and window stay sane.
    FaceFolder folder;
    CFaceTable faces;
    ASSERT_TRUE(folder.Fill(
        faces, 70, [](int) { return "still.png"; },
        "row=\"-3\" col=\"99999\" item_width=\"1\" item_height=\"9999999999\" "
        "zoom_width=\"x\" zoom_height=\"300\""));
    Owner owner;
    CFaceSelDlg dlg(owner.Handle(), &faces);
    ASSERT_TRUE(dlg.Create()) << dlg.SkinError();
    CFaceCtrl* grid = dlg.Grid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->Rows(), 1);
    EXPECT_EQ(grid->Cols(), 64);
    EXPECT_EQ(grid->ItemSize(), QSize(8, 28)) << "an unreadable number counts as left out";
    EXPECT_EQ(grid->ZoomSize(), QSize(84, 256));
    EXPECT_EQ(grid->PageCount(), 2);
    EXPECT_LE(dlg.width(), 64 * 8 + 220);
    EXPECT_LE(dlg.height(), 28 + 60);
}

TEST(FacePicker, AClickStoresTheFacePostsItToTheOwnerAndHides) {
    FaceFolder folder;
    CFaceTable faces;
    ASSERT_TRUE(folder.Fill(
        faces, 30, [](int i) { return i == 25 ? "moving.gif" : "still.png"; },
        "row=\"2\" col=\"10\" item_width=\"30\" item_height=\"30\" zoom_width=\"70\" "
        "zoom_height=\"70\""));
    Owner owner;
    CFaceSelDlg dlg(owner.Handle(), &faces, 77);
    ASSERT_TRUE(dlg.Create()) << dlg.SkinError();
    CFaceCtrl* grid = dlg.Grid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->size(), QSize(301, 61)) << "the grid as the table sizes it";
    EXPECT_FALSE(dlg.Chosen().Valid());

    dlg.ShowAbove(QRect(300, 500, 30, 30));
    ASSERT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.GetControlText(CFaceSelDlg::kPageText), "1/2");
    EXPECT_FALSE(dlg.FindControl(CFaceSelDlg::kPrev)->IsEnabled());
    uitest::Click(dlg.FindControl(CFaceSelDlg::kNext));
    EXPECT_EQ(grid->Page(), 1);
    EXPECT_EQ(dlg.GetControlText(CFaceSelDlg::kPageText), "2/2");
    EXPECT_FALSE(dlg.FindControl(CFaceSelDlg::kNext)->IsEnabled());

    SendMouse(grid, QEvent::MouseMove, grid->CellRect(4).center(), Qt::NoButton, Qt::NoButton);
    ASSERT_TRUE(grid->HasTimer(CFaceCtrl::kFrameTimer));
    uitest::Click(grid, Qt::LeftButton, grid->CellRect(4).center());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(grid->HasTimer(CFaceCtrl::kFrameTimer)) << "hidden, the preview stops";
    EXPECT_EQ(dlg.Chosen().id, 25);
    EXPECT_EQ(dlg.Chosen().tableIndex, 24);
    EXPECT_EQ(dlg.Chosen().imagePath, faces.Entries()[24].imagePath);
    ASSERT_TRUE(uitest::Pump([&] { return !owner.got.empty(); }));
    ASSERT_EQ(owner.got.size(), 1u);
    EXPECT_EQ(owner.got[0].msg, 1281u);
    EXPECT_EQ(owner.got[0].wParam, 77u);
    EXPECT_EQ(owner.got[0].lParam, 0);

    // Opened again: the first page, nothing chosen yet.
    dlg.ShowAbove(QRect(300, 500, 30, 30));
    EXPECT_EQ(grid->Page(), 0);
    EXPECT_FALSE(dlg.Chosen().Valid());
    dlg.Dismiss();
}

TEST(FacePicker, ScreenshotWithAHoveredFaceAndItsPreview) {
    CFaceTable faces;
    ASSERT_TRUE(faces.Load(uitest::SkinRoot()));
    Owner owner;
    CFaceSelDlg dlg(owner.Handle(), &faces);
    ASSERT_TRUE(dlg.Create()) << dlg.SkinError();
    CFaceCtrl* grid = dlg.Grid();
    ASSERT_NE(grid, nullptr);
    dlg.ShowAbove(QRect(400, 600, 30, 30));
    uitest::Pump([] { return false; }, 50);
    // A face in the right half: the preview opens at the left.
    const int cell = grid->Cols() - 2;
    SendMouse(grid, QEvent::MouseMove, grid->CellRect(cell).center(), Qt::NoButton, Qt::NoButton);
    ASSERT_EQ(grid->HoverCell(), cell);
    ASSERT_TRUE(grid->HasPicture(cell));
    ASSERT_EQ(grid->ZoomRect().left(), 1);

    const QImage shot = dlg.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const qreal dpr = shot.devicePixelRatio();
    const QPoint g = grid->mapTo(&dlg, QPoint(0, 0));
    const QRect zoom = grid->ZoomRect().translated(g);
    auto at = [&](QPoint p) { return shot.pixelColor(QPoint(int(p.x() * dpr), int(p.y() * dpr))); };
    EXPECT_EQ(at(QPoint(zoom.left(), zoom.center().y())), QColor(0x00, 0x8A, 0xFF))
        << "the preview's frame";
    // The preview and the hovered cell both hold a picture, not the background.
    auto coloured = [&](QRect r) {
        int n = 0;
        for (int y = r.top() + 2; y < r.bottom() - 1; ++y)
            for (int x = r.left() + 2; x < r.right() - 1; ++x)
                if (at(QPoint(x, y)) != QColor(Qt::white)) ++n;
        return n;
    };
    EXPECT_GT(coloured(zoom), 100);
    EXPECT_GT(coloured(grid->CellRect(cell).translated(g)), 40);
    const int below = 3 * grid->Cols();  // a face clear of the preview
    ASSERT_TRUE(grid->HasPicture(below));
    EXPECT_GT(coloured(grid->CellRect(below).translated(g)), 40);

    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(shot.save(folder + "face_picker.png"));
    dlg.Dismiss();
}
