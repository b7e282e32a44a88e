#pragma once
// Controls: each one a QWidget carrying the skin's attributes, placed by its
// container's layout and painting itself from colours and images. Controls
// that take input keep Qt's own editors inside (edits, combos, sliders).
//
// Sizes: width/height fix a size (0 = share what is left); min/max bound
// the shared size; padding is the space around a control in its parent's
// layout; a float control sits at pos="l,t,r,b" inside its parent instead.

#include <QWidget>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dui/manager.h"
#include "platform/dui/skin_model.h"

class CContainerUI;
class QPainter;

class CControlUI : public QWidget {
public:
    explicit CControlUI(QWidget* parent = nullptr);
    ~CControlUI() override;

    // Class name as the builder knows it ("Control", "Button", ...).
    virtual std::string_view GetClass() const { return "Control"; }
    // Takes mouse input itself: stays client area inside a window's caption.
    virtual bool IsInputControl() const { return false; }

    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    virtual std::string GetText() const { return text_; }
    virtual void SetText(const std::string& utf8);
    const std::string& GetUserData() const { return userData_; }
    void SetUserData(std::string data) { userData_ = std::move(data); }

    void SetVisible(bool visible) { setVisible(visible); }
    // Its own state, whether or not its window is shown.
    bool IsVisible() const { return parentWidget() ? !isHidden() : !skinHidden_; }
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return isEnabled(); }
    void SetToolTip(const std::string& utf8);

    // A child element of this one in the skin; false when it takes none
    // (the builder then drops the child).
    virtual bool AcceptChild(CControlUI*) { return false; }
    // Applies one skin attribute (name lower-case); false when unknown.
    virtual bool SetAttribute(std::string_view name, const std::string& value);
    // Applies "name="value" name2='value'..." lists.
    void ApplyAttributeList(const std::vector<dui::SkinAttr>& attrs);

    void SetManager(CSkinManager* m) { manager_ = m; }
    CSkinManager* GetManager() const { return manager_; }
    void Notify(std::string_view type, std::uintptr_t wParam = 0, std::intptr_t lParam = 0,
                QPoint ptMouse = {}, std::string text = {});

    // ---- geometry from the skin ----
    dui::Size2 FixedSize() const { return fixed_; }
    void SetFixedWidth(int w);
    void SetFixedHeight(int h);
    dui::Size2 MinSize() const { return min_; }
    dui::Size2 MaxSize() const { return max_; }
    dui::Rect4 Padding() const { return padding_; }
    bool IsFloat() const { return float_; }
    dui::Rect4 FloatPos() const { return floatPos_; }
    // Lays out what is inside (containers); the base has nothing inside.
    virtual void Relayout() {}
    void setVisible(bool visible) override;
    // Depth-first search of this control and everything inside it.
    virtual CControlUI* FindSubControl(std::string_view name);
    CContainerUI* Owner() const { return owner_; }

    // ---- appearance ----
    void SetBkColor(std::uint32_t argb);
    void SetBkImage(const std::string& image);
    const std::string& GetBkImage() const { return bkImage_; }
    // Draws an image description into the rectangle; false when the image
    // cannot be drawn (missing file).
    bool DrawImage(QPainter& p, const QRect& rc, const std::string& desc);

    // ---- timers: id -> period; a timer fires DoTimer until killed ----
    void SetTimer(unsigned id, unsigned periodMs);
    void KillTimer(unsigned id);
    bool HasTimer(unsigned id) const { return timers_.count(id) != 0; }
    unsigned TimerPeriod(unsigned id) const;
    // Runs a timer's work; public so that tests can step animations.
    virtual void DoTimer(unsigned id);

protected:
    friend class CContainerUI;
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    // Painting in the order background, images, text, border.
    virtual void DoPaint(QPainter& p);
    virtual void PaintBkColor(QPainter& p);
    virtual void PaintBkImage(QPainter& p);
    virtual void PaintStatusImage(QPainter&) {}
    virtual void PaintText(QPainter&) {}
    virtual void PaintBorder(QPainter& p);
    // The container should lay out again (size or visibility changed).
    void NeedParentUpdate();

    CSkinManager* manager_ = nullptr;
    CContainerUI* owner_ = nullptr;
    std::string name_;
    std::string text_;
    std::string userData_;
    dui::Size2 fixed_, min_, max_{dui::kMaxCoord, dui::kMaxCoord};
    dui::Rect4 padding_;
    bool float_ = false;
    dui::Rect4 floatPos_;
    bool hasBkColor_ = false;
    std::uint32_t bkColor_ = 0;
    bool hasBorderColor_ = false;
    std::uint32_t borderColor_ = 0;
    int borderSize_ = 0;
    dui::Size2 borderRound_;
    std::string bkImage_;
    bool contextMenu_ = false;
    bool skinHidden_ = false;  // visibility asked for before it had a parent
    std::map<unsigned, std::pair<int, unsigned>> timers_;  // id -> (Qt timer id, period)
};

// A control holding others. Children are placed on top of each other over
// the inset area (float children at their own pos); the layouts below place
// them in rows, columns, tiles or tabs.
class CContainerUI : public CControlUI {
public:
    explicit CContainerUI(QWidget* parent = nullptr);
    ~CContainerUI() override;
    std::string_view GetClass() const override { return "Container"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;

    bool AcceptChild(CControlUI* child) override { return Add(child); }
    // Takes ownership; the child is shown unless it was hidden on purpose.
    virtual bool Add(CControlUI* child);
    virtual bool AddAt(CControlUI* child, int index);
    // Deletes the child.
    virtual bool Remove(CControlUI* child);
    virtual void RemoveAll();
    virtual int GetCount() const { return static_cast<int>(items_.size()); }
    virtual CControlUI* GetItemAt(int index) const;
    virtual int GetItemIndex(CControlUI* child) const;

    void Relayout() override;
    CControlUI* FindSubControl(std::string_view name) override;
    dui::Rect4 Inset() const { return inset_; }
    int ChildPadding() const { return childPadding_; }
    // Gives a child its rectangle and lays out inside it at once.
    static void Place(CControlUI* child, const QRect& rc);

protected:
    friend class CControlUI;
    void resizeEvent(QResizeEvent*) override;
    void Forget(CControlUI* child);
    // The area children are laid out in (the rectangle less the inset).
    QRect InnerRect() const;
    // Places a float child, then lays out inside it.
    void PlaceFloat(CControlUI* child);
    std::vector<CControlUI*> VisibleFlowItems() const;

    std::vector<CControlUI*> items_;
    dui::Rect4 inset_;
    int childPadding_ = 0;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    using CContainerUI::CContainerUI;
    std::string_view GetClass() const override { return "VerticalLayout"; }
    void Relayout() override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    using CContainerUI::CContainerUI;
    std::string_view GetClass() const override { return "HorizontalLayout"; }
    void Relayout() override;
};

// Cells row by row: "columns" per row, or as many "itemsize" cells as fit.
class CTileLayoutUI : public CContainerUI {
public:
    using CContainerUI::CContainerUI;
    std::string_view GetClass() const override { return "TileLayout"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    void Relayout() override;
    int Columns() const { return columns_; }

protected:
    int columns_ = 1;
    dui::Size2 itemSize_;
};

// Shows one child at a time over the whole area.
class CTabLayoutUI : public CContainerUI {
public:
    using CContainerUI::CContainerUI;
    std::string_view GetClass() const override { return "TabLayout"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    bool Add(CControlUI* child) override;
    bool AddAt(CControlUI* child, int index) override;
    bool Remove(CControlUI* child) override;
    void Relayout() override;
    // Sends "tabselect" when the selection changes.
    bool SelectItem(int index);
    bool SelectItem(CControlUI* child) { return SelectItem(GetItemIndex(child)); }
    int GetCurSel() const { return cur_; }

private:
    void ShowCurrent();
    int cur_ = 0;
};

namespace dui {
// How a row (or column) of `count` items shares `avail` pixels: fixed sizes
// keep theirs, the rest split what is left, bounded by their min and max.
// Each item: fixed (0 = shares), min, max, and the padding before and after it.
struct FlowItem {
    int fixed = 0, min = 0, max = kMaxCoord, before = 0, after = 0;
};
// Returns each item's start offset and size along the flow.
std::vector<std::pair<int, int>> FlowLayout(const std::vector<FlowItem>& items, int avail, int gap);
}  // namespace dui
