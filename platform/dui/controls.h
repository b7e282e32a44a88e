#pragma once
// The plain controls: label, text, button, option, check box, progress.

#include <QPointer>

#include "platform/dui/control.h"

// One line of text (or several with wordbreak), plain or in the text markup
// (showhtml="true").
class CLabelUI : public CControlUI {
public:
    using CControlUI::CControlUI;
    std::string_view GetClass() const override { return "Label"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;

    void SetShowHtml(bool on);
    bool IsShowHtml() const { return showHtml_; }
    void SetTextColor(std::uint32_t argb);
    int GetFont() const { return font_; }
    // The colour text is drawn in now: the enabled or disabled colour, the
    // window's defaults where the skin gives none.
    QColor CurrentTextColor() const;
    QFont CurrentFont() const;
    QRect TextRect() const;  // the control less its text padding

protected:
    void PaintText(QPainter& p) override;
    // The colour for the current state (buttons add hot and pushed colours).
    virtual bool StateTextColor(std::uint32_t&) const { return false; }

    int font_ = -1;
    unsigned align_ = dui::kAlignLeft | dui::kAlignVCenter;
    bool hasTextColor_ = false, hasDisabledColor_ = false;
    std::uint32_t textColor_ = 0, disabledColor_ = 0;
    dui::Rect4 textPadding_;
    bool showHtml_ = false;
    bool endEllipsis_ = false;
    bool wordBreak_ = false;
};

// Text that wraps.
class CTextUI : public CLabelUI {
public:
    explicit CTextUI(QWidget* parent = nullptr) : CLabelUI(parent) { wordBreak_ = true; }
    std::string_view GetClass() const override { return "Text"; }
};

// Sends "click" when pressed and released over it with the left button.
// Images by state: normalimage, hotimage, pushedimage, focusedimage, disabledimage.
class CButtonUI : public CLabelUI {
public:
    explicit CButtonUI(QWidget* parent = nullptr);
    std::string_view GetClass() const override { return "Button"; }
    bool IsInputControl() const override { return true; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    bool IsHot() const { return hot_; }
    bool IsPushed() const { return pushed_; }
    void SetNormalImage(const std::string& img);
    const std::string& GetNormalImage() const { return normalImage_; }
    // What a click does: "click" (options and check boxes also select).
    virtual void Activate();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void PaintStatusImage(QPainter& p) override;
    void PaintBkColor(QPainter& p) override;
    bool StateTextColor(std::uint32_t& argb) const override;

    bool hot_ = false;
    bool pushed_ = false;
    bool pressing_ = false;
    std::string normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_, foreImage_;
    bool hasHotText_ = false, hasPushedText_ = false, hasHotBk_ = false;
    std::uint32_t hotText_ = 0, pushedText_ = 0, hotBk_ = 0;
};

// A button with a selected state. Options of one group (group="name") in a
// window exclude each other; clicking a selected group member keeps it
// selected. "selectchanged" goes out for every change of this control's
// state, with wParam 1 when selected.
class COptionUI : public CButtonUI {
public:
    using CButtonUI::CButtonUI;
    std::string_view GetClass() const override { return "Option"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    void Activate() override;
    const std::string& GetGroup() const { return group_; }
    void SetGroup(std::string group) { group_ = std::move(group); }
    bool IsSelected() const { return selected_; }
    // Deselects the rest of the group when selecting.
    void Selected(bool selected, bool notify = true);

protected:
    void PaintStatusImage(QPainter& p) override;
    void PaintBkColor(QPainter& p) override;
    bool StateTextColor(std::uint32_t& argb) const override;

    std::string group_;
    bool selected_ = false;
    std::string selectedImage_, selectedHotImage_;
    bool hasSelectedText_ = false, hasSelectedBk_ = false;
    std::uint32_t selectedText_ = 0, selectedBk_ = 0;
};

// An option that toggles on every click and belongs to no group.
class CCheckBoxUI : public COptionUI {
public:
    using COptionUI::COptionUI;
    std::string_view GetClass() const override { return "CheckBox"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    void SetCheck(bool check, bool notify = true) { Selected(check, notify); }
    bool GetCheck() const { return IsSelected(); }
};

// A bar filled by value between min and max (foreimage or forecolor);
// hor="false" fills from the bottom.
class CProgressUI : public CLabelUI {
public:
    using CLabelUI::CLabelUI;
    std::string_view GetClass() const override { return "Progress"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    void SetValue(int v);
    int GetValue() const { return value_; }
    int GetMinValue() const { return min_; }
    int GetMaxValue() const { return max_; }
    // The filled part of the control for the current value.
    QRect FilledRect() const;

protected:
    void PaintStatusImage(QPainter& p) override;

    int min_ = 0, max_ = 100, value_ = 0;
    bool horizontal_ = true;
    std::string foreImage_;
    bool hasForeColor_ = false;
    std::uint32_t foreColor_ = 0;
};
