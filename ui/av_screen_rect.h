#pragma once
// The screen-capture picker ("AvWindowUI.xml"), in one of two modes:
//  - follow: every 200 ms it finds the window under the cursor, sits over it
//    (topmost, a frame that lets the mouse through) and reports it when it
//    changed;
//  - region: a frame the user moves and sizes; its hollow middle
//    ("ContainerUI2") is the region, reported after every move and resize.
// "bnt_close" reports OnClose and closes it.

#include <QRect>

#include <cstdint>
#include <vector>

#include "platform/dui/window.h"
#include "ui/window_under_cursor.h"

// The owner of a picker. Slot order: window, rectangle, close.
class ICatchSlink {
public:
    virtual ~ICatchSlink() = default;
    virtual void OnWindow(const CaughtWindow& window) = 0;
    virtual void OnRect(const QRect& rect) = 0;
    virtual void OnClose() = 0;
};

class CAvScreenRect : public WindowImplBase {
public:
    enum class Mode { kFollow, kRegion };
    static constexpr unsigned kFollowTimer = 513;
    static constexpr unsigned kFollowPeriodMs = 200;
    // Smallest side the video library is handed.
    static constexpr int kMinSide = 16;

    CAvScreenRect(Mode mode, ICatchSlink* slink);
    ~CAvScreenRect() override;

    std::string GetWindowClassName() const override { return "AvWindow"; }
    std::string GetSkinFile() const override { return "AvWindowUI.xml"; }
    void Notify(TNotifyUI& msg) override;

    Mode GetMode() const { return mode_; }
    // Windows never followed besides the picker (its owner's dialog).
    void SkipWindow(const QWidget* w) { skip_.push_back(w); }
    // Region mode: shown centred on the screen, topmost.
    void ShowCentred();
    // One step of following with the cursor at `global` (the timer's work).
    void FollowTick(const QPoint& global);
    const CaughtWindow& Followed() const { return followed_; }
    // The region in screen coordinates as it is handed on: inside the
    // screen, even sides, at least kMinSide.
    QRect RegionRect() const;
    // No more reports (the owner is going away).
    void Detach() { slink_ = nullptr; }

    // `r` made fit for capture on `screen` (see RegionRect).
    static QRect FitToScreen(const QRect& r, const QRect& screen);

protected:
    void InitWindow() override;
    void OnTimer(unsigned id) override;
    void OnFinalMessage() override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QRect InnerLocalRect() const;
    void MakeHollow();
    void ReportRect();

    Mode mode_;
    ICatchSlink* slink_;
    std::vector<const QWidget*> skip_;
    CaughtWindow followed_;
    bool inited_ = false;
};
