#pragma once
// The face picker the room's face button opens ("FaceSelDlg.xml"): the
// grid "FaceCtrl1" sized by the face table, and page buttons below it. A
// face clicked is kept and announced to the owner with UM_FACE_CHOSEN; the
// picker then hides. Like a menu, it goes when it loses the focus.

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <string>

#include "chat/face_table.h"
#include "core/message.h"
#include "platform/dui/window.h"

class CFaceCtrl;

// Posted to the owner window, wParam = the picker's context value, lParam 0.
// A window message: the room's timer of the same number (the talk key's
// poll) runs on the room host's timers and never meets it.
inline constexpr unsigned UM_FACE_CHOSEN = 1281;

struct ChosenFace {
    std::int32_t id = -1;
    int tableIndex = -1;  // its place in the face table (ids may repeat there)
    std::string imagePath;
    bool Valid() const { return tableIndex >= 0; }
};

class CFaceSelDlg : public WindowImplBase {
public:
    // What the face table may ask for; anything beyond is clamped.
    static constexpr int kMinCount = 1, kMaxCount = 64;
    static constexpr int kMinPixels = 8, kMaxPixels = 256;
    static constexpr const char* kGrid = "FaceCtrl1";
    static constexpr const char* kPrev = "bnt_face_prev";
    static constexpr const char* kNext = "bnt_face_next";
    static constexpr const char* kPageText = "text_face_page";

    // The table's layout as the grid takes it: a value the table left out
    // (0) takes the grid's default, others are clamped to the bounds above.
    static FaceLayout ClampLayout(const FaceLayout& asked);

    // `faces` is not owned and must outlive the picker.
    CFaceSelDlg(HWND owner, const CFaceTable* faces, std::uintptr_t context = 0);

    std::string GetWindowClassName() const override { return "DUI_WINDOW"; }
    std::string GetSkinFolder() const override { return "skin"; }
    std::string GetSkinFile() const override { return "FaceSelDlg.xml"; }
    CControlUI* CreateControl(std::string_view name) override;
    void Notify(TNotifyUI& msg) override;

    CFaceCtrl* Grid() const;
    const ChosenFace& Chosen() const { return chosen_; }
    std::uintptr_t Context() const { return context_; }
    // Page 0, nothing chosen, shown above the anchor (screen coordinates),
    // or below it when the screen has no room above.
    void ShowAbove(const QRect& anchorOnScreen);
    void Dismiss();

protected:
    void InitWindow() override;
    bool event(QEvent* e) override;
    void OnEscape() override { Dismiss(); }
    // Closing (a click elsewhere, the window manager) only hides it.
    bool OnSystemClose() override { return true; }

private:
    void ShowPage(int page);
    void Choose(int cell);

    HWND owner_;
    const CFaceTable* faces_;
    std::uintptr_t context_;
    ChosenFace chosen_;
};
