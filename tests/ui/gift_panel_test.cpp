// The gift, car and pack panels offscreen: paging, members kept out of the
// grid, the hover popup and its texts, the click that tells the room
// window, a panel too small for one cell, and damaged files. The first page
// with the popup is left in build/artifacts/gift_panel.png.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>

#include "core/paths.h"
#include "platform/dui/controls.h"
#include "platform/dui/small_controls.h"
#include "platform/winmsg/message_target.h"
#include "room/purchases/purchase_messages.h"
#include "ui/art/gif_writer.h"
#include "ui/gift_ctrl.h"
#include "ui/gift_item_dlg.h"
#include "ui_test_util.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSide = 18;  // the page buttons' column
const QColor kGrid(0x17, 0x3D, 0x6C);   // 0x6C3D17 as 0x00BBGGRR
const QColor kHover(0x78, 0xD1, 0xDD);  // 0xDDD178

bool Near(QRgb p, const QColor& c, int tolerance = 24) {
    return std::abs(qRed(p) - c.red()) < tolerance && std::abs(qGreen(p) - c.green()) < tolerance &&
           std::abs(qBlue(p) - c.blue()) < tolerance;
}

int Count(const QImage& img, const QRect& area, const QColor& c) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (Near(img.pixel(x, y), c)) ++n;
    return n;
}

QColor IconColour(int i) { return QColor::fromHsv((i * 37) % 360, 220, 240); }

void Disc(const fs::path& file, const QColor& colour) {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(2, 2, 28, 28);
    p.end();
    ASSERT_TRUE(img.save(QString::fromStdString(file.string())));
}

void TwoFrames(const fs::path& file) {
    std::vector<QImage> frames;
    for (const QColor c : {QColor(250, 60, 60), QColor(60, 60, 250)}) {
        QImage f(24, 24, QImage::Format_ARGB32);
        f.fill(c);
        frames.push_back(f);
    }
    const auto bytes = art::EncodeAnimation(frames, {200, 200});
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// Records what reaches the room window.
class RoomWindow : public CMessageTarget {
public:
    std::vector<WindowMessage> seen;

protected:
    std::intptr_t OnMessage(const WindowMessage& m) override {
        seen.push_back(m);
        return 0;
    }
};

// A panel as the room skin builds one: the grid area (with a loading note)
// and a column with the page buttons.
struct Panel {
    explicit Panel(const std::string& prefix, QSize grid = {5 * 40, 4 * 52}) {
        // A control shows only inside a parent, as it does in a window.
        host = std::make_unique<QWidget>();
        ctrl = new CGiftCtrl(host.get());
        area = new CContainerUI;
        area->SetName(prefix + "_ctrl");
        note = new CLabelUI;
        note->SetText("加载中");
        area->Add(note);
        ctrl->Add(area);
        auto* side = new CVerticalLayoutUI;
        side->SetFixedWidth(kSide);
        up = new CButtonUI;
        up->SetName(prefix + "_up");
        up->SetFixedHeight(16);
        down = new CButtonUI;
        down->SetName(prefix + "_down");
        down->SetFixedHeight(16);
        side->Add(up);
        side->Add(new CControlUI);
        side->Add(down);
        ctrl->Add(side);
        ctrl->SetColours(0x6C3D17, 0xDDD178);
        ctrl->SetBkColor(0xFF1B1E2B);
        ctrl->resize(grid.width() + kSide, grid.height());
        host->resize(1000, 1000);
        host->show();
    }
    QPoint Centre(QWidget* w) const { return w->mapTo(ctrl, w->rect().center()); }

    std::unique_ptr<QWidget> host;
    CGiftCtrl* ctrl = nullptr;
    CContainerUI* area = nullptr;
    CLabelUI* note = nullptr;
    CButtonUI *up = nullptr, *down = nullptr;
};

class GiftPanel : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
        data = fs::path(paths::DataFolder()) / "gift_panel" / t->name();
        fs::remove_all(data);
        fs::create_directories(data / "res/globalgift");
        fs::create_directories(data / "res/globalcar");
    }
    void TearDown() override { fs::remove_all(data); }

    // 20 plain gifts (ids 101…120, the 5th asks for VIP 3, the 6th for
    // VIP 2, the 2nd had a former price), then group 200 with no animation
    // of its own and two members: 21 cells.
    void WriteGifts(const std::string& folder = "res/globalgift/") {
        std::string xml = "<xml_root><giftconfig version=\"1\">";
        for (int i = 0; i < 20; ++i) {
            const std::string icon = folder + std::to_string(101 + i) + ".png";
            Disc(data / icon, IconColour(i));
            xml += "<gift id=\"" + std::to_string(101 + i) + "\" name=\"礼物" + std::to_string(i) + "\" price=\"" +
                   (i == 1 ? "800\" initialPrice=\"1000" : std::to_string(100 * (i + 1)) + "\" initialPrice=\"0") +
                   "\" pricename=\"金币\" file=\"" + icon + "\" buyRequest=\"" + (i == 4 ? "3" : i == 5 ? "2" : "0") +
                   "\"/>";
        }
        Disc(data / (folder + "200.png"), QColor(240, 240, 240));
        TwoFrames(data / (folder + "201.gif"));
        xml += "<gift id=\"200\" name=\"花束\" price=\"0\" pricename=\"金币\" file=\"" + folder + "200.png\">"
               "<gift id=\"201\" name=\"玫瑰\" price=\"520\" pricename=\"金币\" file=\"" + folder +
               "200.png\" gift=\"" + folder + "201.gif\"/>"
               "<gift id=\"202\" name=\"百合\" price=\"990\" pricename=\"金币\"/></gift>";
        xml += "</giftconfig></xml_root>";
        std::ofstream(data / (folder + "GiftConfig.xml")) << xml;
    }
    Panel& Gifts() {
        panel.ctrl->SetDataFolder(data.string() + "/");
        return panel;
    }
    GiftItemDlg* HoverCell(int cell, QPoint offset = {}) {
        panel.ctrl->MouseMove(panel.ctrl->CellRect(cell).center() + offset);
        return panel.ctrl->Popup();
    }

    fs::path data;
    Panel panel{"gift"};
};

std::vector<std::uint32_t> PageIds(const CGiftCtrl& c) {
    std::vector<std::uint32_t> ids;
    for (const catalogue::GiftItem* i : c.PageItems()) ids.push_back(i->id);
    return ids;
}

}  // namespace

TEST_F(GiftPanel, TwentyOneItemsInFourRowsOfFiveMakeTwoPagesWithoutTheMembers) {
    WriteGifts();
    CGiftCtrl& c = *Gifts().ctrl;
    ASSERT_TRUE(c.LoadItems(CGiftCtrl::kGifts));
    EXPECT_EQ(c.Items().size(), 23u);
    EXPECT_EQ(c.Rows(), 4);
    EXPECT_EQ(c.Columns(), 5);
    EXPECT_EQ(c.PageCount(), 2);
    EXPECT_EQ(c.Page(), 0);
    EXPECT_FALSE(panel.up->IsEnabled());
    EXPECT_TRUE(panel.down->IsEnabled());
    EXPECT_FALSE(panel.note->IsVisible());
    const auto first = PageIds(c);
    ASSERT_EQ(first.size(), 20u);
    EXPECT_EQ(first.front(), 101u);
    EXPECT_EQ(first.back(), 120u);

    c.MouseDown(panel.Centre(panel.down));
    EXPECT_EQ(c.Page(), 1);
    EXPECT_EQ(PageIds(c), std::vector<std::uint32_t>{200});
    EXPECT_TRUE(panel.up->IsEnabled());
    EXPECT_FALSE(panel.down->IsEnabled());
    c.MouseDown(panel.Centre(panel.down));  // disabled: stays
    EXPECT_EQ(c.Page(), 1);
    c.MouseDown(panel.Centre(panel.up));
    EXPECT_EQ(c.Page(), 0);

    c.SetPage(9);
    EXPECT_EQ(c.Page(), 1);
    c.SetPage(-4);
    EXPECT_EQ(c.Page(), 0);

    // The group lends its first animated member's animation and price.
    const catalogue::GiftItem& group = c.Items()[20];
    EXPECT_EQ(group.id, 200u);
    EXPECT_EQ(group.price, 520);
    EXPECT_EQ(group.animation, data.string() + "/res/globalgift/201.gif");

    // A taller panel holds them all on one page: neither button pages.
    c.resize(5 * 40 + kSide, 5 * 52);
    EXPECT_EQ(c.Rows(), 5);
    EXPECT_EQ(c.PageCount(), 1);
    EXPECT_FALSE(panel.up->IsEnabled());
    EXPECT_FALSE(panel.down->IsEnabled());
}

TEST_F(GiftPanel, APanelSmallerThanACellHasNoCellsPagesOrButtons) {
    WriteGifts();
    RoomWindow room;
    CGiftCtrl& c = *Gifts().ctrl;
    c.SetMainWindow(room.Handle());
    c.resize(kSide + 39, 51);
    ASSERT_TRUE(c.LoadItems(CGiftCtrl::kGifts));
    EXPECT_EQ(c.Columns(), 0);
    EXPECT_EQ(c.Rows(), 0);
    EXPECT_EQ(c.PageCount(), 0);
    EXPECT_EQ(c.Page(), 0);
    EXPECT_TRUE(c.PageItems().empty());
    EXPECT_FALSE(panel.up->IsEnabled());
    EXPECT_FALSE(panel.down->IsEnabled());
    for (int page : {1, -1, 5}) {
        c.SetPage(page);
        EXPECT_EQ(c.Page(), 0);
    }
    c.MouseMove({5, 5});
    c.MouseDown({5, 5});
    EXPECT_EQ(c.HoverCell(), -1);
    EXPECT_FALSE(c.grab().isNull());
    // No cell size at all divides nothing either.
    c.SetCellSize(0, 0);
    c.resize(300, 300);
    EXPECT_EQ(c.PageCount(), 0);
    EXPECT_FALSE(panel.down->IsEnabled());
    uitest::Pump([] { return false; }, 50);
    EXPECT_TRUE(room.seen.empty());
}

TEST_F(GiftPanel, DamagedOrMissingFilesGiveAnEmptyPanel) {
    CGiftCtrl& c = *Gifts().ctrl;
    EXPECT_FALSE(c.LoadItems(CGiftCtrl::kGifts));  // no file yet
    WriteGifts();
    ASSERT_TRUE(c.LoadItems(CGiftCtrl::kGifts));
    ASSERT_EQ(c.PageCount(), 2);
    // A sync that left half a file behind.
    std::string text;
    {
        std::ifstream in(data / "res/globalgift/GiftConfig.xml");
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(data / "res/globalgift/GiftConfig.xml", std::ios::trunc) << text.substr(0, text.size() / 2);
    EXPECT_FALSE(c.LoadItems(CGiftCtrl::kGifts));
    EXPECT_TRUE(c.Items().empty());
    EXPECT_EQ(c.PageCount(), 0);
    EXPECT_FALSE(panel.up->IsEnabled());
    EXPECT_FALSE(panel.down->IsEnabled());
    EXPECT_TRUE(panel.note->IsVisible());
    // No grid is drawn over the note.
    EXPECT_EQ(Count(c.grab().toImage(), c.rect(), kGrid), 0);
    // A kind without a panel loads nothing.
    EXPECT_FALSE(c.LoadItems(7));
    EXPECT_TRUE(c.Items().empty());
}

TEST_F(GiftPanel, HoverShowsThePopupBesideTheCursorWithPriceAndLevel) {
    WriteGifts();
    std::uint32_t myVip = 2;
    CGiftCtrl& c = *Gifts().ctrl;
    c.SetMyVipLevel([&] { return myVip; });
    ASSERT_TRUE(c.LoadItems(CGiftCtrl::kGifts));

    GiftItemDlg* popup = HoverCell(1);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(c.HoverCell(), 1);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->pos(), c.mapToGlobal(c.CellRect(1).center()) + QPoint(5, 5));
    EXPECT_EQ(popup->GetControlText("LabelName"), "礼物1");
    EXPECT_EQ(popup->GetControlText("LabelPrice"), "原价:10.00/现价:8.00金币");
    EXPECT_FALSE(popup->IsControlVisible("LabelLevel"));

    HoverCell(4);  // asks for VIP 3, I have 2
    EXPECT_EQ(popup->GetControlText("LabelPrice"), "5.00金币");
    EXPECT_TRUE(popup->IsControlVisible("LabelLevel"));
    EXPECT_EQ(popup->GetControlText("LabelLevel"), "需要VIP3及以上才能购买");
    HoverCell(5);  // asks for VIP 2: mine is enough
    EXPECT_FALSE(popup->IsControlVisible("LabelLevel"));
    myVip = 0;
    HoverCell(5, {1, 1});  // the same cell: nothing changes
    EXPECT_FALSE(popup->IsControlVisible("LabelLevel"));
    HoverCell(4);
    EXPECT_TRUE(popup->IsControlVisible("LabelLevel"));

    // Outside every cell (the button column): the hover ends.
    c.MouseMove(QPoint(c.width() - 2, c.height() / 2));
    EXPECT_EQ(c.HoverCell(), -1);
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(GiftPanel, ThePopupFollowsTheCursorAfterAPauseAndGoesWhenItLeaves) {
    WriteGifts();
    CGiftCtrl& c = *Gifts().ctrl;
    std::int64_t now = 10000;
    QPoint cursor;
    c.SetClock([&] { return now; });
    c.SetCursorSource([&] { return cursor; });
    ASSERT_TRUE(c.LoadItems(CGiftCtrl::kGifts));
    GiftItemDlg* popup = HoverCell(7);
    ASSERT_TRUE(c.HasTimer(CGiftCtrl::kFollowTimer));
    const QPoint shown = popup->pos();

    cursor = c.mapToGlobal(c.CellRect(7).center() + QPoint(6, 3));
    now += 300;
    c.DoTimer(CGiftCtrl::kFollowTimer);
    EXPECT_EQ(popup->pos(), shown);
    now += 1;
    c.DoTimer(CGiftCtrl::kFollowTimer);
    EXPECT_EQ(popup->pos(), cursor + QPoint(5, 5));
    EXPECT_TRUE(popup->isVisible());

    cursor = c.mapToGlobal(QPoint(c.width() + 10, 5));
    c.DoTimer(CGiftCtrl::kFollowTimer);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(c.HoverCell(), -1);
    EXPECT_FALSE(c.HasTimer(CGiftCtrl::kFollowTimer));

    // Another tab taking the panel's place takes the popup too.
    HoverCell(3);
    ASSERT_TRUE(popup->isVisible());
    c.SetVisible(false);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(c.HoverCell(), -1);
}

TEST_F(GiftPanel, TheHoveredAnimationStepsByItsFrameDelays) {
    WriteGifts();
    CGiftCtrl& c = *Gifts().ctrl;
    ASSERT_TRUE(c.LoadItems(CGiftCtrl::kGifts));
    GiftItemDlg* popup = HoverCell(0);
    EXPECT_FALSE(c.HasTimer(CGiftCtrl::kFrameTimer));  // a still icon
    c.SetPage(1);
    popup = HoverCell(0);  // the group, with its member's animation
    CGifControl* gif = popup->Picture();
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->GetFile(), data.string() + "/res/globalgift/201.gif");
    ASSERT_EQ(gif->Picture().FrameCount(), 2);
    ASSERT_TRUE(c.HasTimer(CGiftCtrl::kFrameTimer));
    EXPECT_EQ(c.TimerPeriod(CGiftCtrl::kFrameTimer), 200u);
    c.DoTimer(CGiftCtrl::kFrameTimer);
    EXPECT_EQ(gif->CurrentFrame(), 1);
    c.DoTimer(CGiftCtrl::kFrameTimer);
    EXPECT_EQ(gif->CurrentFrame(), 0);
    EXPECT_TRUE(c.HasTimer(CGiftCtrl::kFrameTimer));
    c.MouseMove({-5, -5});
    EXPECT_FALSE(c.HasTimer(CGiftCtrl::kFrameTimer));
}

TEST_F(GiftPanel, AClickTellsTheRoomWindowTheKindAndItemAndHidesThePopup) {
    WriteGifts();
    WriteGifts("res/globalcar/");
    RoomWindow room;
    CGiftCtrl& c = *Gifts().ctrl;
    c.SetMainWindow(room.Handle());
    ASSERT_TRUE(c.LoadItems(CGiftCtrl::kGifts));
    GiftItemDlg* popup = HoverCell(2);
    uitest::Click(&c, Qt::LeftButton, c.CellRect(2).center());
    EXPECT_EQ(c.ClickedCell(), 2);
    EXPECT_FALSE(popup->isVisible());
    c.SetPage(1);
    c.MouseDown(c.CellRect(0).center());
    c.MouseDown(c.CellRect(1).center());  // an empty cell
    ASSERT_TRUE(uitest::Pump([&] { return room.seen.size() >= 2; }));
    uitest::Pump([] { return false; }, 50);
    ASSERT_EQ(room.seen.size(), 2u);
    EXPECT_EQ(room.seen[0].msg, purchase::UM_ITEM_CHOSEN);
    EXPECT_EQ(room.seen[0].wParam, 1u);
    EXPECT_EQ(room.seen[0].lParam, 103);
    EXPECT_EQ(room.seen[1].lParam, 200);

    // The car panel: its own file, its own names, kind 4.
    Panel cars("car", {2 * 73, 52});
    cars.ctrl->SetDataFolder(data.string());
    cars.ctrl->SetCellSize(73, 52);
    cars.ctrl->SetMainWindow(room.Handle());
    ASSERT_TRUE(cars.ctrl->LoadItems(CGiftCtrl::kCars));
    EXPECT_EQ(cars.ctrl->PageCount(), 11);
    cars.ctrl->MouseDown(cars.ctrl->CellRect(1).center());
    ASSERT_TRUE(uitest::Pump([&] { return room.seen.size() == 3; }));
    EXPECT_EQ(room.seen[2].wParam, 4u);
    EXPECT_EQ(room.seen[2].lParam, 102);
}

TEST_F(GiftPanel, PaintsGridIconsAndTheHoveredFrame) {
    WriteGifts();
    CGiftCtrl& c = *Gifts().ctrl;
    ASSERT_TRUE(c.LoadItems(CGiftCtrl::kGifts));
    HoverCell(6);
    GiftItemDlg* popup = c.Popup();
    ASSERT_TRUE(popup && popup->isVisible());
    const QImage img = c.grab().toImage();

    // Columns + 1 upright lines, rows − 1 level ones, in the grid colour.
    const QRect first = c.CellRect(0);
    for (int col = 0; col <= 5; ++col) {
        const int x = std::min(first.left() + col * 40, first.left() + 5 * 40 - 1);
        EXPECT_TRUE(Near(img.pixel(x, first.top() + 10), kGrid)) << "column line " << col;
    }
    for (int row = 1; row < 4; ++row)
        EXPECT_TRUE(Near(img.pixel(first.left() + 20, first.top() + row * 52), kGrid)) << "row line " << row;
    EXPECT_FALSE(Near(img.pixel(first.left() + 20, first.top()), kGrid));  // no line above the first row
    // Every cell of the page shows its own icon.
    for (int i = 0; i < 20; ++i)
        EXPECT_GT(Count(img, c.CellRect(i).adjusted(4, 4, -4, -4), IconColour(i)), 100) << "cell " << i;
    // The hovered cell is framed, the others not.
    EXPECT_GT(Count(img, c.CellRect(6), kHover), 100);
    EXPECT_EQ(Count(img, c.CellRect(7), kHover), 0);

    // The picture: the panel with the popup where it stands.
    const QImage pop = popup->grab().toImage();
    const QPoint at = popup->pos() - c.mapToGlobal(QPoint(0, 0));
    QImage shot(std::max(img.width(), at.x() + pop.width()), std::max(img.height(), at.y() + pop.height()),
                QImage::Format_ARGB32);
    shot.fill(QColor(0x23, 0x27, 0x38));
    QPainter p(&shot);
    p.drawImage(0, 0, img);
    p.drawImage(at, pop);
    p.end();
    // The popup shows the hovered item's icon and its frame colour.
    EXPECT_GT(Count(shot, QRect(at, pop.size()), IconColour(6)), 100);
    EXPECT_GT(Count(shot, QRect(at, pop.size()), kHover), 100);
    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    QDir().mkpath(folder);
    EXPECT_TRUE(shot.save(folder + "gift_panel.png"));
}

TEST(GiftPanelsOfTheRoomWindow, EachKindHasItsPanelCellsAndReloadsWhenItsCatalogueIsReady) {
    uitest::FakeActions actions;
    CRoomUI w(actions);
    ASSERT_TRUE(w.Create()) << w.SkinError();
    w.resize(1200, 800);
    const fs::path file = fs::path(paths::DataFolder()) / "res/globalpack/GiftConfig.xml";
    fs::create_directories(file.parent_path());
    fs::remove(file);
    struct Expect {
        int kind;
        QSize cell;
    };
    for (const Expect e : {Expect{1, {40, 52}}, Expect{4, {73, 52}}, Expect{6, {55, 52}}}) {
        CGiftCtrl* panel = w.ItemPanel(e.kind);
        ASSERT_NE(panel, nullptr) << e.kind;
        EXPECT_EQ(panel->Kind(), e.kind);
        ASSERT_GT(panel->Columns(), 0) << e.kind;
        EXPECT_EQ(panel->CellRect(0).size(), e.cell) << e.kind;
    }
    EXPECT_EQ(w.ItemPanel(7), nullptr);
    CGiftCtrl* packs = w.ItemPanel(6);
    EXPECT_TRUE(packs->Items().empty());
    EXPECT_FALSE(w.FindControl<CButtonUI>("prop_down")->IsEnabled());
    std::ofstream(file) << "<xml_root><giftconfig version=\"1\"><gift id=\"100\" name=\"禁言卡\"/>"
                           "<gift id=\"10\" name=\"解禁卡\"/></giftconfig></xml_root>";
    w.ItemsReady(6);
    EXPECT_EQ(packs->Items().size(), 2u);
    // A chosen pack item goes where the room's features listen.
    RoomWindow host;
    w.SetItemChoiceTarget(host.Handle());
    packs->MouseDown(packs->CellRect(1).center());
    ASSERT_TRUE(uitest::Pump([&] { return !host.seen.empty(); }));
    EXPECT_EQ(host.seen[0].msg, purchase::UM_ITEM_CHOSEN);
    EXPECT_EQ(host.seen[0].wParam, 6u);
    EXPECT_EQ(host.seen[0].lParam, 10);
    fs::remove(file);
}
