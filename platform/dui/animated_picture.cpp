#include "platform/dui/animated_picture.h"

#include <QImageReader>
#include <QPainter>

#include <algorithm>

namespace {
// A decoded animation is kept whole; beyond this it is cut short rather
// than let one file take the memory.
constexpr int kMaxFrames = 1000;
}  // namespace

int AnimatedPicture::DelayFromStored(int hundredths) {
    const long long ms = static_cast<long long>(std::max(0, hundredths)) * 10;
    return static_cast<int>(std::clamp<long long>(ms, kMinDelayMs, 655350));
}

int AnimatedPicture::DelayFromReaderMs(int ms) { return DelayFromStored(std::max(0, ms) / 10); }

void AnimatedPicture::Release() {
    frames_.clear();
    delays_.clear();
    current_ = 0;
}

bool AnimatedPicture::Load(const std::string& path) {
    Release();
    if (path.empty()) return false;
    QImageReader reader(QString::fromStdString(path));
    reader.setDecideFormatFromContent(true);
    std::vector<int> delays;
    while (static_cast<int>(frames_.size()) < kMaxFrames) {
        QImage frame = reader.read();
        if (frame.isNull()) break;
        // The reader gives the delay of the frame it has just read.
        delays.push_back(DelayFromReaderMs(reader.nextImageDelay()));
        frames_.push_back(std::move(frame));
        if (!reader.supportsAnimation() || !reader.canRead()) break;
    }
    if (frames_.empty()) return false;
    if (frames_.size() > 1) delays_ = std::move(delays);
    return true;
}

int AnimatedPicture::FrameDelay(int n) const {
    if (n == -1) n = current_;
    if (!IsAnimated() || n < 0 || n >= static_cast<int>(delays_.size())) return 0;
    return delays_[static_cast<std::size_t>(n)];
}

int AnimatedPicture::Width() const { return frames_.empty() ? 0 : frames_.front().width(); }
int AnimatedPicture::Height() const { return frames_.empty() ? 0 : frames_.front().height(); }

const QImage& AnimatedPicture::Frame(int n) const {
    static const QImage none;
    return n >= 0 && n < FrameCount() ? frames_[static_cast<std::size_t>(n)] : none;
}

void AnimatedPicture::Draw(QPainter& p, const QRect& rc, int frame) {
    if (frame < 0 || frame >= FrameCount() || rc.isEmpty()) return;
    current_ = frame;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rc, frames_[static_cast<std::size_t>(frame)]);
    p.restore();
}
