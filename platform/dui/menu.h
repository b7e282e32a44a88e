#pragma once
// Popup menus from menu skins:
//
//   <Menu width="160" itemheight="26" ...>
//     <MenuElement name="Menu_Copy" text="复制"/>
//     <MenuElement line="true"/>                      (a separator)
//     <MenuElement name="Menu_Zoom" text="缩放">        (a submenu)
//       <MenuElement name="Menu_ZoomRatio_100" text="100%" checked="true"/>
//     </MenuElement>
//   </Menu>
//
// Choosing an element sends "menu_msg" with the element's name to the
// window that opened the menu, then closes the menu (and its parents).
// Element texts are drawn in the text markup. Disabled elements and
// separators cannot be chosen.

#include <QPointer>
#include <QWidget>

#include <string>
#include <string_view>

#include "platform/dui/control.h"
#include "platform/dui/window.h"

class CMenuWnd;

// The menu body: elements stacked top to bottom.
class CMenuUI : public CVerticalLayoutUI {
public:
    using CVerticalLayoutUI::CVerticalLayoutUI;
    std::string_view GetClass() const override { return "Menu"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    int Width() const { return width_; }
    int ItemHeight() const { return itemHeight_; }
    int ItemFont() const { return itemFont_; }
    bool HasHotBk() const { return hasHotBk_; }
    std::uint32_t HotBk() const { return hotBk_; }
    bool HasItemText() const { return hasItemText_; }
    std::uint32_t ItemText() const { return itemText_; }
    // The height the visible elements need.
    int ContentHeight() const;

private:
    int width_ = 0;  // 0 = as wide as the widest text
    int itemHeight_ = 26;
    int itemFont_ = -1;
    bool hasHotBk_ = false, hasItemText_ = false;
    std::uint32_t hotBk_ = 0xFFE5F3FFu, itemText_ = 0;
};

class CMenuElementUI : public CControlUI {
public:
    explicit CMenuElementUI(CMenuWnd* menu);
    std::string_view GetClass() const override { return "MenuElement"; }
    bool IsInputControl() const override { return true; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    bool IsChecked() const { return checked_; }
    void SetChecked(bool checked);
    const std::string& GetCheckImage() const { return checkImage_; }
    bool IsSeparator() const { return line_; }
    bool HasSubmenu() const { return !sub_.children.empty(); }
    const dui::SkinNode& Submenu() const { return sub_; }
    dui::SkinNode& Submenu() { return sub_; }
    // Width its text, icon and check need.
    int WantedWidth() const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void DoPaint(QPainter& p) override;

private:
    CMenuWnd* menu_;
    bool hot_ = false;
    bool checked_ = false;
    bool line_ = false;
    std::string checkImage_;
    std::string icon_;
    dui::SkinNode sub_;  // the submenu's elements
};

class CMenuWnd : public QWidget, public INotifyUI {
public:
    // Reads the menu skin (a file name in the owner's skin folder, or an
    // absolute path). The menu is not shown until Popup; when the file
    // cannot be read the menu is empty, logged, and Popup shows nothing.
    CMenuWnd(WindowImplBase* owner, const std::string& menuFile);
    // A submenu from an element's children.
    CMenuWnd(WindowImplBase* owner, const dui::SkinNode& menu, CMenuWnd* parentMenu);
    ~CMenuWnd() override;

    bool IsLoaded() const { return body_ != nullptr; }
    const std::string& Error() const { return error_; }
    CMenuElementUI* FindElement(std::string_view name) const;
    bool SetElementEnabled(std::string_view name, bool enabled);
    bool SetElementChecked(std::string_view name, bool checked);
    bool SetElementVisible(std::string_view name, bool visible);
    // Any element attribute, "checkimg" for one.
    bool SetElementAttribute(std::string_view name, std::string_view attr, const std::string& value);
    // Adds an element at the end of the menu, or of the submenu of `parent`.
    bool AddElement(const std::string& name, const std::string& text, std::string_view parent = {});
    int ElementCount() const;

    // Shows the menu at a screen point, kept on the screen. The menu deletes
    // itself when it closes.
    void Popup(QPoint screenPos);
    // What a click on the element does: "menu_msg" to the owner, then close.
    void Choose(CMenuElementUI* element);
    CMenuWnd* OpenSubmenu() const { return sub_; }
    void ShowSubmenu(CMenuElementUI* element);
    CSkinManager& Manager() { return manager_; }
    CMenuUI* Body() const { return body_; }

    void Notify(TNotifyUI&) override {}

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Build(const dui::SkinNode& root);
    void Layout();
    CMenuWnd* TopMenu();

    QPointer<WindowImplBase> owner_;
    QPointer<CMenuWnd> parentMenu_;
    QPointer<CMenuWnd> sub_;
    CSkinManager manager_;
    CMenuUI* body_ = nullptr;
    std::string error_;
};
