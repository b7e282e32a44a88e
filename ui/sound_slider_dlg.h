#pragma once
// The small volume pop-up of the room window ("SoundSliderUI.xml"): an
// upright slider ("SliderUI1") over an icon, with the value above it. It
// opens beside what was right-clicked (a sound button, or the user menu's
// entry), hands every move to its owner and goes away when it loses the
// focus.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <string>

#include "platform/dui/window.h"

class CSliderUI;

class CSoundSliderDlg : public WindowImplBase {
public:
    using ChangeFn = std::function<void(int value)>;

    CSoundSliderDlg();

    std::string GetWindowClassName() const override { return "SoundSliderUI"; }
    std::string GetSkinFile() const override { return "SoundSliderUI.xml"; }
    void Notify(TNotifyUI& msg) override;

    // Range 0…max, the value it starts at (clamped into the range), the
    // picture beside the slider, and what a move by the person does.
    void Setup(int max, int value, const std::string& icon, ChangeFn onChange);
    // Top-left corner for a pop-up of `size` beside `anchor` (screen
    // coordinates): centred above it, below it when the screen has no room
    // above, and kept inside the screen sideways.
    static QPoint PlaceFor(const QRect& anchor, const QSize& size, const QRect& screen);
    void ShowBeside(const QRect& anchorOnScreen);
    // Hidden, and moves no longer reach the owner.
    void Dismiss();

    CSliderUI* Slider() const;
    int Value() const;
    int Maximum() const;

protected:
    bool event(QEvent* e) override;
    void OnEscape() override { Dismiss(); }

private:
    void ShowValue(int value);

    ChangeFn onChange_;
};
