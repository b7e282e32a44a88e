// The room window as the gift banner's and the car show's listener.

#include "platform/dui/skin_model.h"
#include "ui/room_ui.h"
#include "ui/video_wnd.h"

namespace {
// A car starts this far below the window's top and stops this far right of
// its left edge, at its bottom.
constexpr int kCarStartTop = 20;
constexpr int kCarEndLeft = 100;
}  // namespace

CRoomShows::Setup CRoomUI::ShowsSetup() {
    CRoomShows::Setup setup;
    setup.gift = this;
    setup.car = this;
    setup.skinFolder = dui::JoinSkinPath(dui::ResourceRoot(), "skin/");
    setup.videoText = [this](const std::string& text) {
        if (CVideoContainer* area = VideoArea()) area->VideoText().ScrollText(text);
    };
    return setup;
}

void CRoomUI::GetGiftShowArea(QRect& area) { area = QRect(mapToGlobal(QPoint(0, 0)), size()); }

void CRoomUI::GetCarShowPoints(std::uint32_t carId, QPoint& start, QPoint& end) {
    (void)carId;  // every car takes the same road for now
    const QRect room(mapToGlobal(QPoint(0, 0)), size());
    start = QPoint(room.x() + room.width() - CCarShowDlg::kImageWidth, room.y() + kCarStartTop);
    end = QPoint(room.x() + kCarEndLeft, room.y() + room.height());
}

bool CRoomUI::RoomWindowVisible() const { return isVisible() && !isMinimized(); }
