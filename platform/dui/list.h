#pragma once
// A scrolling list of item controls. Every notification comes from the list
// itself (its name), with the item index in wParam: "itemselect" (lParam the
// old index), "itemclick", "itemrclick" (ptMouse the screen position),
// "itemactivate" (double-click), and "endpage" when scrolled to the end.
//
// Items: ListLabelElement (one line of text, markup when the list has
// itemshowhtml="true") and ListContainerElement (holds controls, laid out in
// a row). Item looks come from the list's item* attributes.

#include "platform/dui/control.h"

class QScrollArea;
class CListUI;

struct ListItemStyle {
    int font = -1;
    bool showHtml = false;
    bool endEllipsis = false;
    unsigned align = dui::kAlignLeft | dui::kAlignVCenter;
    dui::Rect4 textPadding;
    int height = 24;  // items without a height of their own
    bool hasText = false, hasSelText = false, hasHotText = false, hasDisabledText = false;
    std::uint32_t text = 0, selText = 0, hotText = 0, disabledText = 0;
    bool hasBk = false, hasSelBk = false, hasHotBk = false, hasLine = false;
    std::uint32_t bk = 0, selBk = 0, hotBk = 0, line = 0;
    std::string bkImage, selImage, hotImage;
};

// The list body inside the scroll area: items stacked top to bottom.
class CListBodyUI : public CVerticalLayoutUI {
public:
    explicit CListBodyUI(CListUI* list);
    std::string_view GetClass() const override { return "ListBody"; }
    void Relayout() override;
    // Total height the items need.
    int ContentHeight() const;
    CListUI* List() const { return list_; }

private:
    CListUI* list_;
};

class CListUI : public CContainerUI {
public:
    explicit CListUI(QWidget* parent = nullptr);
    std::string_view GetClass() const override { return "List"; }
    bool IsInputControl() const override { return true; }
    bool SetAttribute(std::string_view name, const std::string& value) override;

    bool Add(CControlUI* item) override;
    bool AddAt(CControlUI* item, int index) override;
    bool Remove(CControlUI* item) override;
    void RemoveAll() override;
    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* item) const override;
    CControlUI* FindSubControl(std::string_view name) override;

    int GetCurSel() const { return cur_; }
    // Sends "itemselect" when notify and the selection changes. -1 clears.
    bool SelectItem(int index, bool notify = true);
    void EnsureVisible(int index);
    void SetItemShowHtml(bool on);
    const ListItemStyle& ItemStyle() const { return style_; }
    int HotItem() const { return hot_; }

    void Relayout() override;

    // Mouse events of items (called by the item controls).
    void ItemPressed(CControlUI* item, QMouseEvent* e);
    void ItemDoubleClicked(CControlUI* item, QMouseEvent* e);
    void ItemHot(CControlUI* item, bool hot);
    void PaintItemBackground(CControlUI* item, QPainter& p);
    QColor ItemTextColor(CControlUI* item) const;

protected:
    CListBodyUI* body_;
    QScrollArea* scroll_;
    ListItemStyle style_;
    int cur_ = -1;
    int hot_ = -1;
};

// The list an item control belongs to (nullptr when it is in none).
CListUI* OwnerList(const CControlUI* item);

class CListLabelElementUI : public CControlUI {
public:
    using CControlUI::CControlUI;
    std::string_view GetClass() const override { return "ListLabelElement"; }
    bool IsSelected() const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void PaintBkColor(QPainter& p) override;
    void PaintText(QPainter& p) override;
};

class CListContainerElementUI : public CHorizontalLayoutUI {
public:
    using CHorizontalLayoutUI::CHorizontalLayoutUI;
    std::string_view GetClass() const override { return "ListContainerElement"; }
    bool IsSelected() const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void PaintBkColor(QPainter& p) override;
};
