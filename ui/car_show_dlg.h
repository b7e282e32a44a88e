#pragma once
// The car show: when a user arrives in a car, its picture with a caption
// drives across the room window from the start point towards the end
// point, growing as it comes closer; one car at a time, the others queued.
// It paints itself (no skin) and takes no input.

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <string>

#include "core/clock.h"
#include "room/chat_view.h"
#include "ui/show_queue.h"
#include "ui/show_window.h"

// What the car show asks of the room window.
class ICarShowSlink {
public:
    virtual ~ICarShowSlink() = default;
    // Where the drive of this car starts and ends (screen coordinates);
    // left as they are, the window's defaults hold.
    virtual void GetCarShowPoints(std::uint32_t carId, QPoint& start, QPoint& end) = 0;
    // The room window is on screen; cars wait (and a driving one is
    // hidden) otherwise.
    virtual bool RoomWindowVisible() const = 0;
};

struct CarShowItem {
    ShowPictureKey pending = 0;  // 0: the picture is there
    std::uint32_t carId = 0;
    std::string nickname;
    std::string carName;
    std::string picture;
};

class CCarShowDlg : public CShowWindow {
public:
    static constexpr unsigned kDriveTimer = 101;
    static constexpr unsigned kDriveMs = 100;
    static constexpr QPoint kDefaultStart{1200, 20};
    static constexpr QPoint kDefaultEnd{100, 900};
    static constexpr int kMoves = 10;        // a drive is about this many ticks
    static constexpr int kDriveDown = 30;    // pixels down per tick
    static constexpr int kGrow = 10;         // pixels wider and taller per tick
    static constexpr int kImageWidth = 400;
    static constexpr int kCaptionHeight = 12;
    static constexpr int kMaxPictureHeight = 300;

    explicit CCarShowDlg(ICarShowSlink& slink, ITimerHost* timers = nullptr);
    ~CCarShowDlg() override;

    // Queues an arrival; `pending` non-zero while its picture is fetched.
    void Enqueue(std::uint32_t carId, const std::string& nickname, const std::string& carName,
                 const std::string& picture, ShowPictureKey pending);
    // The picture an arrival waited for is there.
    void PictureArrived(ShowPictureKey pending);
    // Its fetch failed: the arrival is dropped (it would wait forever).
    void PictureFailed(ShowPictureKey pending);
    // Starts the next car if none drives (the room window came back).
    void TryShow();
    void OnTimer(unsigned id) override;

    // ---- state, for the room window and tests ----
    bool Busy() const { return busy_; }
    int Step() const { return step_; }
    QRect Place() const { return place_; }
    QPoint End() const { return end_; }
    unsigned RunningTimer() const { return timer_; }
    const CShowQueue<CarShowItem>& Queue() const { return queue_; }
    // The arrival driving now.
    const CarShowItem& Current() const { return current_; }
    // The prepared picture with its caption (null when none drives); the
    // window grows as the car comes closer, and the picture with it.
    const QImage& Frame() const override { return image_; }

private:
    void Paint();
    void Done();
    static QImage Prepare(const QImage& picture, const CarShowItem& item);

    ICarShowSlink& slink_;
    CShowQueue<CarShowItem> queue_;
    CarShowItem current_;
    bool busy_ = false;
    int step_ = 0;
    QPoint end_;
    QRect place_;
    unsigned timer_ = 0;
    QImage image_;
};
