#include "ui/room_shows.h"

#include "ui/car_show_dlg.h"
#include "ui/gift_show_dlg.h"

CRoomShows::CRoomShows(Setup setup) : setup_(std::move(setup)) {}

CRoomShows::~CRoomShows() = default;

GiftShowDlg& CRoomShows::MakeBanner() {
    if (!banner_) banner_ = std::make_unique<GiftShowDlg>(*setup_.gift, setup_.skinFolder, setup_.timers);
    return *banner_;
}

CCarShowDlg& CRoomShows::MakeCarShow() {
    if (!carShow_) carShow_ = std::make_unique<CCarShowDlg>(*setup_.car, setup_.timers);
    return *carShow_;
}

void CRoomShows::QueueGift(const std::string& giver, const std::string& icon, int count,
                           ShowPictureKey pending) {
    MakeBanner().Enqueue(giver, icon, count, pending);
}

void CRoomShows::QueueCar(const std::string& nickname, const std::string& carName,
                          const std::string& picture, ShowPictureKey pending) {
    const std::uint32_t id = setup_.carId ? setup_.carId(picture) : 0;
    MakeCarShow().Enqueue(id, nickname, carName, picture, pending);
}

void CRoomShows::PictureDone(ShowPictureKey key, bool ok) {
    // Keys are unique across gifts and cars: only the one that waited acts.
    if (banner_) {
        if (ok) banner_->IconArrived(key, {});
        else banner_->IconFailed(key);
    }
    if (carShow_) {
        if (ok) carShow_->PictureArrived(key);
        else carShow_->PictureFailed(key);
    }
}

void CRoomShows::ScrollVideoText(const std::string& text) {
    if (setup_.videoText) setup_.videoText(text);
}

void CRoomShows::RoomShown() {
    if (carShow_) carShow_->TryShow();
}
