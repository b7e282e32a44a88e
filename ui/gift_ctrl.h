#pragma once
// An item panel of the room window (gifts, cars or packs): the items of
// one cached catalogue file as a paged grid, with an up and a down button.
// Hovering an item shows GiftItemDlg beside the cursor; clicking one posts
// UM_ITEM_CHOSEN (kind, item id) to the room window.
//
// The skin element "GiftCtrl" is this horizontal layout; inside it, found
// by name when items are loaded, the grid area ("gift_ctrl", "car_ctrl",
// "prop_ctrl") and the page buttons ("gift_up"/"gift_down", ...). What the
// grid area holds (a loading note) shows only while there is no item.

#include <QImage>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/message.h"
#include "platform/dui/control.h"
#include "room/catalogue/gift_items.h"

class GiftItemDlg;

class CGiftCtrl : public CHorizontalLayoutUI {
public:
    enum Kind : int { kGifts = 1, kCars = 4, kPacks = 6 };
    // Steps the hovered item's animation, by each frame's delay.
    static constexpr unsigned kFrameTimer = 1000;
    // Keeps the pop-up with the cursor, and ends the hover once the cursor
    // has left the panel.
    static constexpr unsigned kFollowTimer = 1001;
    static constexpr unsigned kFollowPeriodMs = 100;
    static constexpr std::int64_t kFollowAfterMs = 301;

    explicit CGiftCtrl(QWidget* parent = nullptr);
    ~CGiftCtrl() override;
    std::string_view GetClass() const override { return "GiftCtrl"; }

    // ---- set-up by the room window ----
    // Colours as 0x00BBGGRR, the room's own notation.
    void SetColours(std::uint32_t gridColorRef, std::uint32_t hoverColorRef);
    void SetCellSize(int width, int height);
    // Where a chosen item is posted.
    void SetMainWindow(HWND window) { mainWindow_ = window; }
    // My VIP level, asked at each hover (0 without).
    void SetMyVipLevel(std::function<std::uint32_t()> level) { vipLevel_ = std::move(level); }
    // Where the cached catalogues are; the program's data folder unless set.
    void SetDataFolder(std::string folder) { dataFolder_ = std::move(folder); }
    // The cursor and the time in ms; replaceable for tests.
    void SetCursorSource(std::function<QPoint()> f) { cursor_ = std::move(f); }
    void SetClock(std::function<std::int64_t()> f) { now_ = std::move(f); }

    // The items of a kind's cached file, shown from page 0. False (and no
    // items) for another kind or a file that cannot be read.
    bool LoadItems(int kind);
    // Clamped to the pages there are; page 0 when there are none.
    void SetPage(int page);

    int Kind() const { return kind_; }
    int Page() const { return page_; }
    int PageCount() const { return pageCount_; }
    int Rows() const { return rows_; }
    int Columns() const { return columns_; }
    const std::vector<catalogue::GiftItem>& Items() const { return items_; }
    // The items in the cells of this page, in cell order.
    std::vector<const catalogue::GiftItem*> PageItems() const;
    // A cell of the grid in this control's coordinates (empty without cells).
    QRect CellRect(int cell) const;
    int HoverCell() const { return hover_; }
    int ClickedCell() const { return clicked_; }
    // The hover pop-up, once one was shown.
    GiftItemDlg* Popup() const;

    // What the mouse does, at a point of this control; public so that tests
    // and the event handlers share one path.
    void MouseMove(QPoint local);
    void MouseDown(QPoint local);
    void DoTimer(unsigned id) override;
    void Relayout() override;

protected:
    void DoPaint(QPainter& p) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    // A panel taken away (another tab, the window hidden) ends its hover.
    void hideEvent(QHideEvent* e) override;

private:
    QRect GridRect() const;
    // The cell under a point holding an item of this page, or -1.
    int ItemCellAt(QPoint local) const;
    bool OnButton(const QPointer<CControlUI>& button, QPoint local) const;
    // The page's items and buttons; a hover ends when the cells now hold
    // other items.
    void ShowPage();
    void StartHover(int cell, QPoint global);
    void EndHover();
    const QImage& Icon(const std::string& path);
    std::int64_t Now() const;

    int kind_ = 0;
    std::uint32_t gridColour_ = 0, hoverColour_ = 0;  // 0x00BBGGRR
    int cellWidth_ = 40, cellHeight_ = 52;
    int rows_ = 4, columns_ = 5;
    int page_ = 0, pageCount_ = 0;
    int hover_ = -1, clicked_ = -1;
    int shownFirst_ = -1;  // index of the first visible item in the cells
    int frame_ = 0;
    std::int64_t lastChange_ = 0;
    HWND mainWindow_ = 0;
    std::string dataFolder_;
    QPointer<CControlUI> grid_, up_, down_;
    std::vector<catalogue::GiftItem> items_;
    std::vector<std::size_t> visible_;  // indices of the top-level items
    std::map<std::string, QImage> icons_;
    QPointer<GiftItemDlg> popup_;
    std::function<std::uint32_t()> vipLevel_;
    std::function<QPoint()> cursor_;
    std::function<std::int64_t()> now_;
};
