// The second video source of the live settings: the screen (whole desktop,
// a followed window, or a region) and a movie file; and the preview's grid.
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QSlider>

#include <algorithm>
#include <cstdio>

#include "core/log.h"
#include "platform/dui/inputs.h"
#include "ui/live_setting_dlg.h"

namespace {

constexpr int kScreenKind = 1;
constexpr int kMovieKind = 2;
constexpr int kOwnMovieKind = 3;
constexpr const char* kOwnMovieExtension = "zvf";

constexpr const char* kCatchChoices[][2] = {
    {"OptionCatchFull1", "OptionCatchFull2"},
    {"OptionCatchWindows1", "OptionCatchWindows2"},
    {"OptionCatchRect1", "OptionCatchRect2"},
};
constexpr const char* kMouseSizes[] = {"OptionCatchMax", "OptionCatchMid", "OptionCatchMin"};

constexpr const char* kScreenStart = "bnt_screen_start";
constexpr const char* kScreenStop = "bnt_screen_stop";
constexpr const char* kMovieOpen = "bnt_movie_open";
constexpr const char* kMoviePause = "bnt_movie_pause";
constexpr const char* kMovieStop = "bnt_movie_stop";
constexpr const char* kMovieProgress = "slider_movie_progress";
constexpr const char* kMovieTimeText = "text_movie_time";
constexpr int kMovieStep = 10;
constexpr const char* kMovieTitle = "选择视频";
constexpr const char* kMovieFilter = "视频文件(*.zvf;*.avi;*.mp4;*.mkv;*.rmvb;*.mov;*.wmv)";
constexpr const char* kMovieSuffix = ".mp4";

VcastRect ToVcast(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

QRect ScreenUnder(const QWidget* w) {
    const QScreen* s = w && w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect();
}

}  // namespace

int CLiveSettingDlg::CatchType() const {
    for (int i = 0; i < 3; ++i)
        if (IsControlSelected(kCatchChoices[i][0])) return i;
    return 0;
}

bool CLiveSettingDlg::OnCaptureNotify(const TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kSelectChanged) {
        if (!msg.wParam && name != "OptionCatchEnabled") return false;
        for (int i = 0; i < 3; ++i)
            if (name == kCatchChoices[i][0]) video_.catch_type = static_cast<std::uint32_t>(i);
        for (int i = 0; i < 3; ++i)
            if (name == kMouseSizes[i]) video_.mouse_type = static_cast<std::uint32_t>(i);
        if (name == "OptionCatchEnabled") video_.mouse_enabled = msg.wParam ? 1 : 0;
        return true;
    }
    if (msg.sType == n::kValueChanged && name == kMovieProgress) {
        if (movieRunning_) engine_.MovieSeek(static_cast<int>(msg.wParam));
        return true;
    }
    if (msg.sType != n::kClick) return false;
    for (const auto& choice : kCatchChoices) {
        // The caption beside an option selects it.
        if (name == choice[1]) {
            if (auto* o = FindControl<COptionUI>(choice[0])) o->Selected(true);
            return true;
        }
    }
    if (name == kScreenStart) StartScreen();
    else if (name == kScreenStop) StopScreen();
    else if (name == kMovieOpen) OpenMovie();
    else if (name == kMoviePause) {
        engine_.MoviePause();
        moviePaused_ = !moviePaused_;
        SetControlText(kMoviePause, moviePaused_ ? "继续" : "暂停");
    } else if (name == kMovieStop) StopMovie();
    else if (name == "bnt_grid") ShowGrid();
    else return false;
    return true;
}

// ---- screen ----

void CLiveSettingDlg::StartScreen() {
    if (screenRunning_) return;
    if (movieRunning_) StopMovie();
    ClosePicker();
    const int mode = CatchType();
    const bool mouse = video_.mouse_enabled != 0;
    // The desktop (window 0) until a picker says otherwise.
    QRect rect = ScreenUnder(this);
    if (mode == 1) {
        // The picker reports the window to follow; until its first report
        // the whole screen is taken.
        picker_ = new CAvScreenRect(CAvScreenRect::Mode::kFollow, this);
        picker_->SkipWindow(this);
        picker_->Create();
    } else if (mode == 2) {
        picker_ = new CAvScreenRect(CAvScreenRect::Mode::kRegion, this);
        picker_->Create();
        picker_->ShowCentred();
        rect = picker_->RegionRect();
    }
    rect = CAvScreenRect::FitToScreen(rect, ScreenUnder(picker_ ? static_cast<QWidget*>(picker_) : this));
    engine_.SetScreen(0, ToVcast(rect), mouse);
    if (!engine_.StartChild(kScreenKind)) {
        log_msg("live settings: screen capture did not start\r\n");
        ShowTip("屏幕捕捉启动失败");
        ClosePicker();
        return;
    }
    screenRunning_ = true;
    SetScreenButtons(true);
}

void CLiveSettingDlg::StopScreen() {
    ClosePicker();
    if (screenRunning_) engine_.StopChild();
    screenRunning_ = false;
    SetScreenButtons(false);
}

void CLiveSettingDlg::ClosePicker() {
    if (!picker_) return;
    CAvScreenRect* p = picker_;
    picker_ = nullptr;
    p->Detach();
    p->Close();
    p->deleteLater();
}

void CLiveSettingDlg::SetScreenButtons(bool running) {
    SetControlVisible(kScreenStart, !running);
    SetControlVisible(kScreenStop, running);
}

void CLiveSettingDlg::OnWindow(const CaughtWindow& window) {
    if (!screenRunning_) return;
    const QRect rect = CAvScreenRect::FitToScreen(window.rect, ScreenUnder(picker_));
    if (rect.isEmpty()) return;
    engine_.SetScreen(window.id, ToVcast(rect), video_.mouse_enabled != 0);
}

void CLiveSettingDlg::OnRect(const QRect& rect) {
    if (!screenRunning_ || rect.isEmpty()) return;
    engine_.SetScreen(0, ToVcast(rect), video_.mouse_enabled != 0);
}

void CLiveSettingDlg::OnClose() {
    // The picker closes itself after this returns.
    if (picker_) {
        picker_->Detach();
        picker_->deleteLater();
        picker_ = nullptr;
    }
    if (screenRunning_) engine_.StopChild();
    screenRunning_ = false;
    SetScreenButtons(false);
}

// ---- movie ----

int CLiveSettingDlg::MovieKind(const std::string& path) {
    const auto dot = path.rfind('.');
    const auto slash = path.find_last_of("/\\");
    const bool own = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                     path.compare(dot + 1, std::string::npos, kOwnMovieExtension) == 0;
    return own ? kOwnMovieKind : kMovieKind;
}

std::string CLiveSettingDlg::MovieTime(int now, int total) {
    now = std::max(0, now);
    char text[32];
    if (total > 0)
        std::snprintf(text, sizeof text, "%02d:%02d/%02d:%02d", now / 60, now % 60, total / 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%02d:%02d/--:--", now / 60, now % 60);
    return text;
}

void CLiveSettingDlg::OpenMovie() {
    const std::string path = ask_.openFile ? ask_.openFile(kMovieTitle, kMovieFilter, kMovieSuffix) : std::string();
    if (path.empty()) return;
    if (movieRunning_) StopMovie();
    if (screenRunning_) StopScreen();
    if (!engine_.MoviePlay(path)) {
        ShowTip("无法播放该视频");
        return;
    }
    if (!engine_.StartChild(MovieKind(path))) {
        engine_.MovieStop();
        ShowTip("视频源启动失败");
        return;
    }
    movieRunning_ = true;
    moviePaused_ = false;
    SetMovieControls(true);
    const int total = std::max(0, engine_.MovieTotal());
    if (auto* s = FindControl<CSliderUI>(kMovieProgress)) {
        s->Slider()->blockSignals(true);
        s->Slider()->setRange(0, total);
        s->Slider()->setSingleStep(kMovieStep);
        s->Slider()->setPageStep(kMovieStep);
        s->Slider()->setValue(0);
        s->Slider()->blockSignals(false);
        // An unknown length cannot be sought in.
        s->SetEnabled(total > 0);
    }
    SetControlText(kMovieTimeText, MovieTime(0, total));
    SetTimer(kMovieTimer, kMovieMs);
}

void CLiveSettingDlg::MovieTick() {
    if (!movieRunning_) return;
    const int total = std::max(0, engine_.MovieTotal());
    const int now = engine_.MovieNow();
    // Only a known length ends the movie; 0 is a length not known yet.
    if (total > 0 && now > total) {
        StopMovie();
        return;
    }
    SetControlText(kMovieTimeText, MovieTime(now, total));
    auto* s = FindControl<CSliderUI>(kMovieProgress);
    if (!s || s->Slider()->isSliderDown()) return;
    if (s->Slider()->maximum() != total) {
        s->Slider()->blockSignals(true);
        s->Slider()->setMaximum(total);
        s->Slider()->blockSignals(false);
        s->SetEnabled(total > 0);
    }
    s->SetValue(now);
}

void CLiveSettingDlg::StopMovie() {
    KillTimer(kMovieTimer);
    if (movieRunning_) {
        engine_.MovieStop();
        engine_.StopChild();
    }
    movieRunning_ = false;
    moviePaused_ = false;
    SetMovieControls(false);
}

void CLiveSettingDlg::SetMovieControls(bool running) {
    SetControlEnabled(kMoviePause, running);
    SetControlEnabled(kMovieStop, running);
    SetControlText(kMoviePause, "暂停");
    if (!running) {
        SetControlEnabled(kMovieProgress, false);
        SetControlText(kMovieTimeText, MovieTime(0, 0));
    }
}

// ---- grid ----

void CLiveSettingDlg::ShowGrid() {
    engine_.SetGrid(true);
    gridOn_ = true;
    SetTimer(kGridTimer, kGridMs);
}

void CLiveSettingDlg::OnTimer(unsigned id) {
    if (id == kGridTimer) {
        KillTimer(kGridTimer);
        if (!gridOn_) return;
        engine_.SetGrid(false);
        gridOn_ = false;
    } else if (id == kMovieTimer) {
        MovieTick();
    }
}
