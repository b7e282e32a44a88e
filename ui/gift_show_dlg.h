#pragma once
// The gift banner: a small translucent window that slides in from the
// right of the room's show area, counts the gift up, waits and slides out
// to the left; gifts that arrive meanwhile wait their turn. It paints
// itself (no skin) and takes no input.
//
// Phases, each a window timer: slide in (101) until the banner's centre
// reaches the area's centre, count (103) in twentieths of the target,
// pause (104), slide out (102) until the banner has left the area.

#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <functional>
#include <string>

#include "core/clock.h"
#include "room/chat_view.h"
#include "ui/show_queue.h"
#include "ui/show_window.h"

// What the banner asks of the room window.
class IGiftShowSlink {
public:
    virtual ~IGiftShowSlink() = default;
    // The show area, in screen coordinates.
    virtual void GetGiftShowArea(QRect& area) = 0;
    // The room window is on screen (not hidden, not minimised); the banner
    // is hidden otherwise.
    virtual bool RoomWindowVisible() const = 0;
};

struct GiftBannerItem {
    ShowPictureKey pending = 0;  // 0: the icon is there
    int count = 1;
    std::string text;
    std::string icon;
};

class GiftShowDlg : public CShowWindow {
public:
    static constexpr unsigned kSlideInTimer = 101;
    static constexpr unsigned kSlideOutTimer = 102;
    static constexpr unsigned kCountTimer = 103;
    static constexpr unsigned kPauseTimer = 104;
    static constexpr unsigned kSlideMs = 50, kCountMs = 100, kPauseMs = 300;
    static constexpr int kSlideStep = 50;
    static constexpr int kCountSteps = 20;
    static constexpr int kMaxTextUnits = 8;
    static constexpr int kIconWidth = 80, kIconHeight = 60;
    static constexpr const char* kBackgrounds[] = {"gift_bg_blue.png", "gift_bg_red.png",
                                                   "gift_bg_violet.png", "gift_bg_yellow.png"};
    static constexpr int kBackgroundCount = 4;

    // `skinFolder` holds the backgrounds and the waiting picture. Timers
    // go to `timers` when given (tests), else to the window's own.
    GiftShowDlg(IGiftShowSlink& slink, std::string skinFolder, ITimerHost* timers = nullptr);
    ~GiftShowDlg() override;

    // Queues a gift; `cookie` non-zero while its icon is being fetched.
    // Counts are shown within 1–99999.
    void Enqueue(const std::string& text, const std::string& icon, int count, ShowPictureKey cookie);
    // The icon a queued gift waited for is there (empty `icon`: the path it
    // was queued with).
    void IconArrived(ShowPictureKey cookie, const std::string& icon);
    // Its fetch failed: the gift is shown with the waiting picture.
    void IconFailed(ShowPictureKey cookie);
    void OnTimer(unsigned id) override;

    // Which of the backgrounds (0..count−1) the next banner takes; random
    // unless replaced.
    using PickFn = std::function<int(int count)>;
    void SetBackgroundPicker(PickFn pick) { pick_ = std::move(pick); }

    // A text longer than kMaxTextUnits UTF-16 units: its first ones and
    // "..." (a character is never cut in half).
    static QString CutText(const QString& text);

    // ---- state, for the room window and tests ----
    bool Busy() const { return busy_; }
    int Displayed() const { return displayed_; }
    int Target() const { return target_; }
    const QString& Text() const { return text_; }
    // The picture the banner shows (the waiting picture for a failed icon).
    const std::string& IconFile() const { return iconFile_; }
    int BackgroundIndex() const { return background_; }
    unsigned RunningTimer() const { return timer_; }
    QRect Place() const { return place_; }
    const CShowQueue<GiftBannerItem>& Queue() const { return queue_; }
    // The last frame drawn.
    const QImage& Frame() const override { return frame_; }

private:
    void TryShow();
    void Paint();
    void StartTimer(unsigned id, unsigned ms);
    void StopTimer();
    void Finish();
    QImage Compose() const;

    IGiftShowSlink& slink_;
    std::string skinFolder_;
    PickFn pick_;
    std::array<QImage, kBackgroundCount> backgrounds_;
    CShowQueue<GiftBannerItem> queue_;
    bool busy_ = false;
    int displayed_ = 0, target_ = 0;
    QString text_;
    QImage icon_;
    std::string iconFile_;
    int background_ = 0;
    QRect area_, place_;
    unsigned timer_ = 0;
    QImage frame_;
};
