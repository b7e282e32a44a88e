#include "ui/gift_show_dlg.h"

#include <QFont>
#include <QPainter>

#include <random>

#include "platform/dui/skin_model.h"
#include "ui/show_picture.h"

namespace {

// Backgrounds larger than this are cut down on load; a missing one is
// replaced by a plain plate of the default size.
constexpr int kMaxBannerWidth = 600, kMaxBannerHeight = 200;
constexpr int kDefaultWidth = 360, kDefaultHeight = 72;
// Layout on the background: the giver's text ends at kTextRight, the icon
// box follows it, the count after the icon.
constexpr int kTextRight = 185;
constexpr int kIconLeft = 190;
constexpr int kCountLeft = kIconLeft + GiftShowDlg::kIconWidth + 6;

QImage PlainPlate() {
    QImage img(kDefaultWidth, kDefaultHeight, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x24, 0x38, 210));
    p.drawRoundedRect(QRectF(0, 0, kDefaultWidth, kDefaultHeight), 14, 14);
    return img;
}

int RandomPick(int count) {
    static std::mt19937 engine{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, count - 1)(engine);
}

std::string WaitingPicture(const std::string& skinFolder) {
    return dui::JoinSkinPath(skinFolder, "wait_image.gif");
}

}  // namespace

GiftShowDlg::GiftShowDlg(IGiftShowSlink& slink, std::string skinFolder, ITimerHost* timers)
    : CShowWindow("GiftShowUI", timers), slink_(slink), skinFolder_(std::move(skinFolder)),
      pick_(RandomPick) {
    for (int i = 0; i < kBackgroundCount; ++i) {
        QImage bg = LoadShowPicture(dui::JoinSkinPath(skinFolder_, kBackgrounds[i]),
                                    QSize(kMaxBannerWidth, kMaxBannerHeight));
        backgrounds_[static_cast<std::size_t>(i)] = bg.isNull() ? PlainPlate() : std::move(bg);
    }
}

GiftShowDlg::~GiftShowDlg() { StopTimer(); }

QString GiftShowDlg::CutText(const QString& text) {
    if (text.size() <= kMaxTextUnits) return text;
    qsizetype keep = kMaxTextUnits;
    // A pair of surrogates stays whole: the cut goes before it.
    if (text.at(keep - 1).isHighSurrogate()) --keep;
    return text.left(keep) + QStringLiteral("...");
}

void GiftShowDlg::Enqueue(const std::string& text, const std::string& icon, int count,
                          ShowPictureKey cookie) {
    queue_.Push({cookie, ClampShowCount(count), text, icon});
    TryShow();
}

void GiftShowDlg::IconArrived(ShowPictureKey cookie, const std::string& icon) {
    GiftBannerItem* item = queue_.FindPending(cookie);
    if (!item) return;
    if (!icon.empty()) item->icon = icon;
    item->pending = 0;
    TryShow();
}

void GiftShowDlg::IconFailed(ShowPictureKey cookie) {
    GiftBannerItem* item = queue_.FindPending(cookie);
    if (!item) return;
    item->icon = WaitingPicture(skinFolder_);
    item->pending = 0;
    TryShow();
}

void GiftShowDlg::TryShow() {
    if (busy_) return;
    std::optional<GiftBannerItem> item = queue_.TakeFirstReady();
    if (!item) return;
    const QSize box(kIconWidth, kIconHeight);
    iconFile_ = item->icon;
    icon_ = LoadShowPicture(iconFile_, box);
    // A gift whose icon cannot be read is still announced, with the
    // waiting picture (or none when even that is missing).
    if (icon_.isNull()) {
        iconFile_ = WaitingPicture(skinFolder_);
        icon_ = LoadShowPicture(iconFile_, box);
    }
    target_ = item->count;
    displayed_ = 1;
    text_ = CutText(QString::fromStdString(item->text));
    busy_ = true;
    area_ = QRect();
    slink_.GetGiftShowArea(area_);
    const int pick = pick_ ? pick_(kBackgroundCount) : 0;
    background_ = pick >= 0 && pick < kBackgroundCount ? pick : 0;
    const QImage& bg = backgrounds_[static_cast<std::size_t>(background_)];
    place_ = QRect(area_.x() + area_.width() - bg.width(), area_.y(), bg.width(), bg.height());
    StartTimer(kSlideInTimer, kSlideMs);
    Paint();
}

void GiftShowDlg::OnTimer(unsigned id) {
    if (id != timer_ || !busy_) return;
    switch (id) {
        case kSlideInTimer:
            place_.translate(-kSlideStep, 0);
            Paint();
            // Centres compared doubled, so odd widths need no rounding.
            if (2 * place_.x() + place_.width() <= 2 * area_.x() + area_.width()) {
                // Nothing to count up when the target is where it starts.
                if (displayed_ >= target_) StartTimer(kPauseTimer, kPauseMs);
                else StartTimer(kCountTimer, kCountMs);
            }
            break;
        case kCountTimer: {
            const int step = (target_ + kCountSteps - 1) / kCountSteps;
            displayed_ = target_ - displayed_ <= step ? target_ : displayed_ + step;
            Paint();
            if (displayed_ == target_) StartTimer(kPauseTimer, kPauseMs);
            break;
        }
        case kPauseTimer:
            StartTimer(kSlideOutTimer, kSlideMs);
            break;
        case kSlideOutTimer:
            place_.translate(-kSlideStep, 0);
            if (place_.x() + place_.width() <= area_.x()) Finish();
            else Paint();
            break;
        default:
            break;
    }
}

void GiftShowDlg::Finish() {
    place_.moveLeft(-1000);
    StopTimer();
    hide();
    busy_ = false;
    TryShow();
}

void GiftShowDlg::StartTimer(unsigned id, unsigned ms) {
    StopTimer();
    Timers().SetTimer(id, ms);
    timer_ = id;
}

void GiftShowDlg::StopTimer() {
    if (timer_ != 0) Timers().KillTimer(timer_);
    timer_ = 0;
}

void GiftShowDlg::Paint() {
    const bool visible = slink_.RoomWindowVisible();
    if (visible) frame_ = Compose();
    Present(place_, visible);
}

QImage GiftShowDlg::Compose() const {
    const QImage& bg = backgrounds_[static_cast<std::size_t>(background_)];
    QImage img(bg.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(0, 0, bg);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(Qt::white);
    const int mid = img.height() / 2;
    p.drawText(QRect(0, 0, kTextRight, img.height()), Qt::AlignRight | Qt::AlignVCenter, text_);
    if (!icon_.isNull()) {
        // The icon was scaled down on load; a smaller one is centred in its box.
        const QRect box(kIconLeft, mid - kIconHeight / 2, kIconWidth, kIconHeight);
        const QSize size = icon_.size().scaled(box.size(), Qt::KeepAspectRatio);
        QRect at(QPoint(0, 0), size);
        at.moveCenter(box.center());
        p.drawImage(at, icon_);
    }
    p.drawText(QRect(kCountLeft, 0, std::max(0, img.width() - kCountLeft), img.height()),
               Qt::AlignLeft | Qt::AlignVCenter, QString::asprintf("%d个", displayed_));
    return img;
}
