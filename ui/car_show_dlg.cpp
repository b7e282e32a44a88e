#include "ui/car_show_dlg.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "room/chat_entry.h"
#include "ui/show_picture.h"

namespace {

QColor FromColorRef(std::uint32_t bgr) { return QColor::fromRgb(FromBgr(bgr)); }

}  // namespace

CCarShowDlg::CCarShowDlg(ICarShowSlink& slink, ITimerHost* timers)
    : CShowWindow("CarShowUI", timers), slink_(slink) {}

CCarShowDlg::~CCarShowDlg() {
    if (timer_ != 0) Timers().KillTimer(timer_);
}

void CCarShowDlg::Enqueue(std::uint32_t carId, const std::string& nickname,
                          const std::string& carName, const std::string& picture,
                          ShowPictureKey pending) {
    queue_.Push({pending, carId, nickname, carName, picture});
    TryShow();
}

void CCarShowDlg::PictureArrived(ShowPictureKey pending) {
    CarShowItem* item = queue_.FindPending(pending);
    if (!item) return;
    item->pending = 0;
    TryShow();
}

void CCarShowDlg::PictureFailed(ShowPictureKey pending) { queue_.DropPending(pending); }

void CCarShowDlg::TryShow() {
    if (busy_) return;
    if (!slink_.RoomWindowVisible()) {
        hide();
        return;
    }
    while (std::optional<CarShowItem> item = queue_.TakeFirstReady()) {
        // An arrival whose picture cannot be read is passed over for good.
        const QImage picture = LoadShowPicture(item->picture, QSize(kImageWidth, kMaxPictureHeight));
        if (picture.isNull()) continue;
        QPoint start = kDefaultStart, end = kDefaultEnd;
        slink_.GetCarShowPoints(item->carId, start, end);
        // A start at or left of the end has arrived already: no drive.
        if (start.x() <= end.x()) continue;
        // At least a pixel a tick, or a short drive would never end.
        step_ = std::max(1, (start.x() - end.x()) / kMoves);
        end_ = end;
        current_ = std::move(*item);
        image_ = Prepare(picture, current_);
        place_ = QRect(start, image_.size());
        busy_ = true;
        Timers().SetTimer(kDriveTimer, kDriveMs);
        timer_ = kDriveTimer;
        Paint();
        return;
    }
}

void CCarShowDlg::OnTimer(unsigned id) {
    if (id != kDriveTimer || timer_ != kDriveTimer || !busy_) return;
    if (place_.left() <= end_.x()) {
        Done();
        return;
    }
    place_ = QRect(place_.x() - step_, place_.y() + kDriveDown, place_.width() + kGrow,
                   place_.height() + kGrow);
    Paint();
}

void CCarShowDlg::Done() {
    busy_ = false;
    Timers().KillTimer(kDriveTimer);
    timer_ = 0;
    hide();
    image_ = QImage();
    current_ = {};
    TryShow();
}

void CCarShowDlg::Paint() { Present(place_, slink_.RoomWindowVisible()); }

QImage CCarShowDlg::Prepare(const QImage& picture, const CarShowItem& item) {
    QImage img(kImageWidth, picture.height() + kCaptionHeight, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage((kImageWidth - picture.width()) / 2, 0, picture);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(16);
    font.setWeight(QFont::Medium);
    p.setFont(font);
    const QFontMetrics fm(font);
    const struct {
        QString text;
        std::uint32_t colour;
    } runs[] = {{QString::fromStdString(item.nickname), 0x0606F9},
                {QStringLiteral("开着"), 0xEEEEEE},
                {QString::fromStdString(item.carName), 0x37E8F6},
                {QStringLiteral("进入了频道"), 0xEEEEEE}};
    int width = 0;
    for (const auto& run : runs) width += fm.horizontalAdvance(run.text);
    // The caption sits on the bottom of the picture, centred while it fits.
    int x = std::max(0, (kImageWidth - width) / 2);
    const int baseline = img.height() - fm.descent() - 1;
    for (const auto& run : runs) {
        p.setPen(FromColorRef(run.colour));
        p.drawText(x, baseline, run.text);
        x += fm.horizontalAdvance(run.text);
    }
    return img;
}
