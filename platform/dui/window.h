#pragma once
// The base of every skinned window: a frameless top-level window built from
// a skin file, with the skin's caption and size box doing what a title bar
// and a frame would, and every control notification handed to Notify.
//
// A concrete window answers its class name, skin folder and skin file,
// handles notifications and makes the custom controls its skin names. It
// also receives window messages (by its handle) and window timers.
//
// Keys: Escape closes, Enter does nothing. The window manager's close
// request (Alt+F4, the task bar) is refused: windows close through their
// own buttons (Close()).

#include <QWidget>

#include <memory>
#include <string>
#include <string_view>

#include "core/message.h"
#include "platform/dui/control.h"
#include "platform/dui/manager.h"
#include "platform/dui/notify.h"
#include "platform/dui/window_rules.h"

namespace dui {
// Folder relative skin folders are taken from; the executable's folder
// unless set (tests, or a data folder that holds the skins).
void SetResourceRoot(const std::string& folder);
std::string ResourceRoot();
// The rounded window shape: a rounded rectangle one pixel larger than the
// window in each direction, with the given corner ellipse.
QRegion RoundCornerRegion(int width, int height, int cornerW, int cornerH);
}  // namespace dui

class WindowImplBase : public QWidget, public INotifyUI, public IDialogBuilderCallback {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    virtual std::string GetWindowClassName() const = 0;
    // "skin/" under the resource root; a folder without a trailing separator
    // works the same.
    virtual std::string GetSkinFolder() const { return "skin/"; }
    virtual std::string GetSkinFile() const = 0;
    void Notify(TNotifyUI&) override {}
    CControlUI* CreateControl(std::string_view) override { return nullptr; }

    // Builds the window from its skin (not shown yet). When the skin cannot
    // be loaded the window stays empty, the reason is logged and false comes
    // back; the window still works as a window.
    bool Create(QWidget* parent = nullptr);
    bool IsSkinLoaded() const { return loaded_; }
    const std::string& SkinError() const { return skinError_; }
    CSkinManager& Manager() { return manager_; }
    CControlUI* Root() const { return manager_.Root(); }

    // ---- controls by name: a missing name does nothing and reads empty ----
    CControlUI* FindControl(std::string_view name) const;
    template <class T>
    T* FindControl(std::string_view name) const {
        return dynamic_cast<T*>(FindControl(name));
    }
    bool SetControlText(std::string_view name, const std::string& utf8);
    std::string GetControlText(std::string_view name) const;
    bool SetControlVisible(std::string_view name, bool visible);
    bool IsControlVisible(std::string_view name) const;
    bool SetControlEnabled(std::string_view name, bool enabled);
    // Any skin attribute ("normalimage", "textcolor", ...).
    bool SetControlAttribute(std::string_view name, std::string_view attr, const std::string& value);
    // Options and check boxes; no notification.
    bool SetControlSelected(std::string_view name, bool selected);
    bool IsControlSelected(std::string_view name) const;

    // ---- window ----
    void ShowWindow(bool show = true);
    void Close();
    // Centred on the parent, or on the screen's work area (cut to it, the
    // caption kept on it).
    void CenterWindow();
    void Maximize();
    void Restore();
    bool IsMaximised() const { return maximised_; }
    // The size and position the window has, or returns to, when not maximised.
    QRect NormalGeometry() const;

    // Keeps the window's place (position, size, maximised) in `file`. The
    // remembered place is taken now when a screen still shows its caption;
    // otherwise (no file, a damaged one, a place off every screen) the
    // window is centred. Written when the window hides and when it goes.
    // True when the remembered place was taken.
    bool RememberPlace(const std::string& file);
    // Writes the place now; false when the file cannot be written.
    bool SavePlace() const;
    dui::Rect4 Caption() const { return caption_; }
    dui::Rect4 SizeBox() const { return sizeBox_; }
    dui::Size2 RoundCorner() const { return roundCorner_; }
    // What a point (window coordinates) is, given the control under it.
    dui::Hit HitTest(QPoint pos) const;

    // ---- window messages and timers ----
    HWND GetHWND() const;
    void SetTimer(unsigned id, unsigned periodMs);
    void KillTimer(unsigned id);

protected:
    // After the controls exist, before "windowinit".
    virtual void InitWindow() {}
    virtual std::intptr_t HandleMessage(const WindowMessage&) { return 0; }
    virtual void OnTimer(unsigned) {}
    // Escape; closes unless overridden.
    virtual void OnEscape() { Close(); }
    // The window manager asks the window to close: refused unless this says
    // yes.
    virtual bool OnSystemClose() { return false; }
    // The window has closed (hidden; deleted later when WA_DeleteOnClose).
    virtual void OnFinalMessage() {}

    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    class Messages;
    bool StartDrag(QWidget* source, QPoint windowPos, QPoint globalPos);
    void DragTo(QPoint globalPos);
    void UpdateCursor(QWidget* source, QPoint windowPos);
    void ApplyWindowAttributes(const dui::SkinNode& w);
    void WatchControls();

    CSkinManager manager_;
    std::unique_ptr<Messages> messages_;
    bool loaded_ = false;
    std::string skinError_;
    dui::Rect4 caption_, sizeBox_;
    dui::Size2 roundCorner_;
    bool maximised_ = false;
    QRect normalGeometry_;
    bool closing_ = false;
    std::string placeFile_;
    // A move or resize done by hand when the platform cannot do it.
    dui::Hit dragHit_ = dui::Hit::kClient;
    QPoint dragStart_;
    QRect dragGeometry_;
};
