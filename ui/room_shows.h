#pragma once
// The room window's shows: gifts go to the banner, car arrivals to the car
// show (each window made on its first item), the video text to the video
// area. Picture downloads the room reports complete the item that waited.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/clock.h"
#include "room/chat_view.h"

class CCarShowDlg;
class GiftShowDlg;
class ICarShowSlink;
class IGiftShowSlink;

class CRoomShows : public IRoomShows {
public:
    struct Setup {
        IGiftShowSlink* gift = nullptr;
        ICarShowSlink* car = nullptr;
        // The skin folder: the banner's backgrounds and the waiting picture.
        std::string skinFolder;
        std::function<void(const std::string&)> videoText;
        // The car catalogue's id of a car picture (0 when unknown).
        std::function<std::uint32_t(const std::string& picture)> carId;
        ITimerHost* timers = nullptr;  // tests: the windows' timers
    };
    explicit CRoomShows(Setup setup);
    ~CRoomShows() override;

    void QueueGift(const std::string& giver, const std::string& icon, int count,
                   ShowPictureKey pending) override;
    void QueueCar(const std::string& nickname, const std::string& carName,
                  const std::string& picture, ShowPictureKey pending) override;
    void PictureDone(ShowPictureKey key, bool ok) override;
    void ScrollVideoText(const std::string& text) override;

    void SetCarIdLookup(std::function<std::uint32_t(const std::string&)> lookup) {
        setup_.carId = std::move(lookup);
    }
    // The room window is back on screen: a car that waited for it drives.
    void RoomShown();

    // The windows, once made (null before their first item).
    GiftShowDlg* Banner() const { return banner_.get(); }
    CCarShowDlg* CarShow() const { return carShow_.get(); }

private:
    GiftShowDlg& MakeBanner();
    CCarShowDlg& MakeCarShow();

    Setup setup_;
    std::unique_ptr<GiftShowDlg> banner_;
    std::unique_ptr<CCarShowDlg> carShow_;
};
