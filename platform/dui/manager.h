#pragma once
// What the controls of one window share: the skin folder and its images,
// the font list and default colours, class defaults, the name table and the
// notification targets. Every control of a window points to its manager.

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointer>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dui/notify.h"
#include "platform/dui/skin_model.h"

class CControlUI;
class QWidget;

class CSkinManager {
public:
    CSkinManager();
    ~CSkinManager();
    CSkinManager(const CSkinManager&) = delete;
    CSkinManager& operator=(const CSkinManager&) = delete;

    // Absolute folder relative image names are found in.
    void SetSkinFolder(const std::string& folder);
    const std::string& SkinFolder() const { return folder_; }
    // Further folders absolute image paths may point into (the data folder
    // with downloaded badges). Paths elsewhere are refused, so markup built
    // from user text cannot make the window read arbitrary files.
    void AddImageRoot(const std::string& folder);

    // Same folder, image roots, fonts, colours and defaults as another
    // window's (menus take their owner's).
    void CopyStyle(const CSkinManager& other);
    // Takes the fonts, default colours and class defaults of a window skin.
    void ApplyWindowSkin(const dui::SkinDoc& doc);
    // Font n of the list; -1, or a number not in the list, is the default font.
    QFont Font(int index) const;
    bool HasFont(int index) const { return fonts_.count(index) != 0; }
    QColor DefaultTextColor() const { return textColor_; }
    QColor DisabledTextColor() const { return disabledColor_; }
    const std::vector<dui::SkinAttr>* DefaultAttrs(std::string_view lowerTag) const;

    // The image of a file name; a null pixmap when it cannot be read (logged
    // once). On a dense screen "name@2x.ext" is taken where there is one,
    // with a device pixel ratio of 2: it covers the same logical size, pixel
    // for pixel.
    QPixmap Image(const std::string& file);
    // The screen density images are chosen for; 0 (the default) follows the
    // application's densest screen.
    void SetImageDensity(qreal density) { density_ = density; }
    std::string ResolveImagePath(const std::string& file) const;

    // ---- notifications ----
    void AddNotifier(INotifyUI* n);
    void RemoveNotifier(INotifyUI* n);
    // Delivers to every notifier; the sender may be gone when it returns.
    void SendNotify(CControlUI* sender, std::string_view type, std::uintptr_t wParam = 0,
                    std::intptr_t lParam = 0, QPoint ptMouse = {}, std::string text = {});

    // ---- controls ----
    void SetRoot(CControlUI* root);
    CControlUI* Root() const;
    // The first control of that name under the root (nullptr when none).
    CControlUI* FindControl(std::string_view name) const;

private:
    std::string folder_;
    std::vector<std::string> roots_;
    std::map<int, QFont> fonts_;
    int defaultFont_ = -1;
    QColor textColor_{0, 0, 0};
    QColor disabledColor_{0xA7, 0xA6, 0xAA};
    std::map<std::string, std::vector<dui::SkinAttr>, std::less<>> defaults_;
    std::map<std::string, QPixmap> images_;
    qreal density_ = 0;
    std::vector<INotifyUI*> notifiers_;
    QPointer<QWidget> root_;  // QWidget: the control class is not complete here
};

namespace dui {
QColor ToQColor(std::uint32_t argb);
// A font for a skin font entry; the family list falls back to installed CJK
// and sans fonts, so "宋体" draws with whatever Chinese font the system has.
QFont MakeFont(const SkinFont& f);
}  // namespace dui
