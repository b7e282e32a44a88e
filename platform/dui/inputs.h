#pragma once
// Controls that keep a Qt editor inside: edit, rich edit, combo, slider.
// The editor fills the control less its text padding; the control draws
// the skin's background and border around it.

#include "platform/dui/controls.h"

class QComboBox;
class QLineEdit;
class QSlider;
class QTextEdit;

// One-line edit: "textchanged" as the user types, "return" on Enter,
// "setfocus"/"killfocus". Attributes: readonly, password, maxchar,
// numberonly, tipvalue (grey prompt).
class CEditUI : public CLabelUI {
public:
    explicit CEditUI(QWidget* parent = nullptr);
    std::string_view GetClass() const override { return "Edit"; }
    bool IsInputControl() const override { return true; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    std::string GetText() const override;
    void SetText(const std::string& utf8) override;
    QLineEdit* Edit() const { return edit_; }
    void Relayout() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent*) override { Relayout(); }
    void PaintText(QPainter&) override {}

    QLineEdit* edit_;
};

// Multi-line rich text. wantreturn="false" turns Enter into "return"
// (Shift+Enter still breaks the line); menu="true" sends "menu" on a
// right-click; clicking a link sends "link" with its target in `text`.
// Attributes: readonly, wantreturn, rich (accept rich text), vscrollbar,
// hscrollbar, autovscroll, maxchar.
class CRichEditUI : public CLabelUI {
public:
    explicit CRichEditUI(QWidget* parent = nullptr);
    std::string_view GetClass() const override { return "RichEdit"; }
    bool IsInputControl() const override { return true; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    std::string GetText() const override;  // plain text
    void SetText(const std::string& utf8) override;
    void AppendText(const std::string& utf8);
    bool HasSelection() const;
    std::string GetSelText() const;
    void SelectAll();
    void Clear();
    bool IsReadOnly() const;
    int GetMaxChar() const { return maxChar_; }
    QTextEdit* Edit() const { return edit_; }
    void Relayout() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent*) override { Relayout(); }
    void PaintText(QPainter&) override {}

    QTextEdit* edit_;
    bool wantReturn_ = true;
    bool autoVScroll_ = false;
    int maxChar_ = 0;
};

// A drop-down list. Items come from ListLabelElement children in the skin
// or from AddItem; "dropdown" when it opens, "itemselect" when the user
// picks an item (wParam new index, lParam old).
class CComboUI : public CLabelUI {
public:
    explicit CComboUI(QWidget* parent = nullptr);
    std::string_view GetClass() const override { return "Combo"; }
    bool IsInputControl() const override { return true; }
    bool AcceptChild(CControlUI* child) override;
    bool SetAttribute(std::string_view name, const std::string& value) override;
    int AddItem(const std::string& text, const std::string& userData = {});
    void RemoveAll();
    int GetCount() const;
    int GetCurSel() const;
    // Selects without "itemselect" unless notify.
    bool SelectItem(int index, bool notify = false);
    std::string GetItemText(int index) const;
    std::string GetItemUserData(int index) const;
    std::string GetText() const override { return GetItemText(GetCurSel()); }
    QComboBox* Box() const { return box_; }
    void Relayout() override;

protected:
    void resizeEvent(QResizeEvent*) override { Relayout(); }
    void PaintText(QPainter&) override {}
    void Picked(int index);

    QComboBox* box_;
    int cur_ = -1;
    int pendingSel_ = -1;  // "selectedid" before the items exist
};

// Value between min and max; "valuechanged" (wParam value) when the user
// moves it. hor="false" stands it upright; forecolor colours the part up
// to the value, thumbcolor the handle.
class CSliderUI : public CControlUI {
public:
    explicit CSliderUI(QWidget* parent = nullptr);
    std::string_view GetClass() const override { return "Slider"; }
    bool IsInputControl() const override { return true; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    void SetValue(int v);  // no notification
    int GetValue() const;
    QSlider* Slider() const { return slider_; }
    void Relayout() override;

protected:
    void resizeEvent(QResizeEvent*) override { Relayout(); }
    void SetSliderColor(bool filled, const std::string& value);

    QSlider* slider_;
    bool quiet_ = false;
};
