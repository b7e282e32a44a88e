#pragma once
// The face picker's grid ("FaceCtrl"): the faces of a face table as pages
// of rows x columns cells. Hovering a face frames its cell, shows its tip
// and an enlarged, animated preview in a corner away from the mouse; a
// press on a face sends "click" with the cell's index within the page.
//
// Colours are given as COLORREF values (0x00BBGGRR), as the face table's
// users have always written them.

#include <QColor>
#include <QRect>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dui/animated_picture.h"
#include "platform/dui/control.h"

class CFaceTable;
struct FaceEntry;

namespace face_ctrl {
// 0x00BBGGRR to an opaque colour.
QColor FromColorRef(std::uint32_t colorRef);
// The largest size of `picture`'s proportions that fits `box` without
// growing it; empty when either is empty.
QSize FitWithin(QSize picture, QSize box);
}  // namespace face_ctrl

class CFaceCtrl : public CControlUI {
public:
    static constexpr unsigned kFrameTimer = 1000;
    static constexpr int kDefaultRows = 8;
    static constexpr int kDefaultCols = 15;
    static constexpr int kDefaultCell = 28;
    static constexpr int kDefaultZoom = 84;
    // Pictures keep this much room to the cell's and the preview's edges.
    static constexpr int kPictureMargin = 8;
    static constexpr std::uint32_t kDefaultBk = 0xFFFFFF;
    static constexpr std::uint32_t kDefaultLine = 0xF6E6DF;
    static constexpr std::uint32_t kDefaultHover = 0xFF0000;
    static constexpr std::uint32_t kDefaultZoomFrame = 0xFF8A00;
    // A face without a picture shows its text in this colour.
    static constexpr std::uint32_t kTextColor = 0x59595B;

    explicit CFaceCtrl(QWidget* parent = nullptr);
    ~CFaceCtrl() override;
    std::string_view GetClass() const override { return "FaceCtrl"; }

    // Counts below 0 count as 0 (no pages); the current page is kept when
    // it still exists, else page 0 is shown.
    void SetRowCol(int rows, int cols);
    void SetItemSize(int width, int height);
    void SetZoomSize(int width, int height);
    // Not owned; must outlive the control or be replaced first. Null: no faces.
    void SetFaceTable(const CFaceTable* table);
    void SetColors(std::uint32_t bk, std::uint32_t line, std::uint32_t hover,
                   std::uint32_t zoomFrame);
    // Makes n current and loads its pictures; false (nothing changes) unless
    // 0 <= n < PageCount().
    bool SetPage(int n);

    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    QSize ItemSize() const { return item_; }
    QSize ZoomSize() const { return zoom_; }
    int Page() const { return page_; }
    int PageCount() const { return pageCount_; }
    int FacesPerPage() const { return rows_ * cols_; }
    // Faces on the current page.
    int PageFaceCount() const { return static_cast<int>(pictures_.size()); }
    // The face in a cell of the current page, or null.
    const FaceEntry* FaceAt(int cell) const;
    // Its place in the table (what a chooser keeps beside the id); -1 when none.
    int TableIndexOf(int cell) const;
    // Whether the cell's face has a picture; false when it shows its text.
    bool HasPicture(int cell) const;
    const AnimatedPicture* PictureAt(int cell) const;
    // The cell under a point (control coordinates), or -1 outside the grid.
    int CellAt(QPoint pos) const;
    QRect CellRect(int cell) const;
    // The size the control needs to show a whole page.
    QSize GridSize() const;

    int HoverCell() const { return hover_; }
    int CurrentFrame() const { return frame_; }
    QRect ZoomRect() const { return zoomRect_; }

    void DoTimer(unsigned id) override;

protected:
    void DoPaint(QPainter& p) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void SetHover(int cell, QPoint mouse);
    void ClearHover();
    void Repage();
    void LoadPage();
    void PaintCell(QPainter& p, int cell);
    void PaintPreview(QPainter& p);

    const CFaceTable* table_ = nullptr;
    int rows_ = kDefaultRows, cols_ = kDefaultCols;
    QSize item_{kDefaultCell, kDefaultCell};
    QSize zoom_{kDefaultZoom, kDefaultZoom};
    int page_ = 0;
    int pageCount_ = 0;
    int hover_ = -1;
    int frame_ = 0;
    QRect zoomRect_;
    QColor bk_, line_, hoverFrame_, zoomFrame_;
    // One per face of the current page; an unloaded one means "show the text".
    std::vector<AnimatedPicture> pictures_;
};
