#include "ui/sound_slider_dlg.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSlider>

#include <algorithm>

#include "platform/dui/inputs.h"

namespace {
constexpr const char* kSlider = "SliderUI1";
constexpr const char* kIcon = "icon";
constexpr const char* kValueText = "text_value";
// Between the pop-up and what it opened beside.
constexpr int kGap = 4;
}  // namespace

CSoundSliderDlg::CSoundSliderDlg() {
    // A pop-up: no task-bar entry, above its owner.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

CSliderUI* CSoundSliderDlg::Slider() const { return FindControl<CSliderUI>(kSlider); }

int CSoundSliderDlg::Value() const {
    const CSliderUI* s = Slider();
    return s ? s->GetValue() : 0;
}

int CSoundSliderDlg::Maximum() const {
    const CSliderUI* s = Slider();
    return s ? s->Slider()->maximum() : 0;
}

void CSoundSliderDlg::Setup(int max, int value, const std::string& icon, ChangeFn onChange) {
    onChange_ = std::move(onChange);
    max = std::max(1, max);
    value = std::clamp(value, 0, max);
    if (CSliderUI* s = Slider()) {
        // The range is set quietly too: narrowing it must not pass for a move.
        s->SetAttribute("min", "0");
        s->SetAttribute("max", std::to_string(max));
        s->SetAttribute("step", "1");
        s->SetValue(value);
    }
    if (CControlUI* c = FindControl(kIcon); c && !icon.empty()) c->SetBkImage(icon);
    ShowValue(value);
}

void CSoundSliderDlg::ShowValue(int value) {
    SetControlText(kValueText, std::to_string(value) + "%");
}

QPoint CSoundSliderDlg::PlaceFor(const QRect& anchor, const QSize& size, const QRect& screen) {
    int x = anchor.left() + (anchor.width() - size.width()) / 2;
    int y = anchor.top() - kGap - size.height();
    if (!screen.isEmpty()) {
        if (y < screen.top()) y = anchor.bottom() + 1 + kGap;
        x = std::clamp(x, screen.left(),
                       std::max(screen.left(), screen.right() + 1 - size.width()));
    }
    return {x, y};
}

void CSoundSliderDlg::ShowBeside(const QRect& anchorOnScreen) {
    const QScreen* s = QGuiApplication::screenAt(anchorOnScreen.center());
    if (!s) s = QGuiApplication::primaryScreen();
    move(PlaceFor(anchorOnScreen, size(), s ? s->availableGeometry() : QRect()));
    ShowWindow(true);
}

void CSoundSliderDlg::Dismiss() {
    onChange_ = nullptr;
    ShowWindow(false);
}

void CSoundSliderDlg::Notify(TNotifyUI& msg) {
    if (msg.sType != dui::notify::kValueChanged || msg.senderName != kSlider) return;
    const int value = static_cast<int>(msg.lParam);
    ShowValue(value);
    // A copy: the owner may set up or dismiss the pop-up from inside.
    if (ChangeFn f = onChange_) f(value);
}

bool CSoundSliderDlg::event(QEvent* e) {
    // Another window took the focus: gone. A deactivation while the mouse is
    // still over it (a tool tip, say) keeps it.
    if (e->type() == QEvent::WindowDeactivate && isVisible() &&
        !frameGeometry().contains(QCursor::pos()))
        Dismiss();
    return WindowImplBase::event(e);
}
