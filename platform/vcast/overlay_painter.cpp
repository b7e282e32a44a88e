#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

#include "core/log.h"
#include "platform/vcast/overlay.h"
#include "platform/vcast/picture_fit.h"

namespace {
enum Picture { kSticker, kLight, kAnimation, kColour, kCharacter };
// A randomly placed text moves to a new place this often (composed pictures).
constexpr std::uint32_t kRandomPeriod = 75;

QImage LoadPicture(const std::string& path) {
    if (path.empty()) return {};
    QImageReader reader(QString::fromStdString(path));
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || size.width() > vcast_limits::kMaxSourceSide ||
        size.height() > vcast_limits::kMaxSourceSide) {
        log_msg("vcast: effect picture %s not used\r\n", path.c_str());
        return {};
    }
    QImage image = reader.read();  // an animation shows its first frame
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Where a picture of `size` goes on a canvas of w×h.
QRect Place(int kind, QSize size, int w, int h) {
    switch (kind) {
        case kLight:
        case kColour:
            return QRect(0, 0, w, h);
        case kSticker:
            return QRect(QPoint(0, 0), size.scaled(w / 2, h / 2, Qt::KeepAspectRatio).boundedTo(size));
        case kAnimation: {
            const QSize s = size.scaled(w / 3, h / 3, Qt::KeepAspectRatio).boundedTo(size);
            return QRect(QPoint(w - s.width(), 0), s);
        }
        default: {
            const QSize s = size.scaled(w / 3, h / 2, Qt::KeepAspectRatio).boundedTo(size);
            return QRect(QPoint(0, h - s.height()), s);
        }
    }
}
}  // namespace

struct COverlayPainter::Impl {
    std::array<std::string, 5> paths;
    std::array<QImage, 5> images;
    int scroll = 0;  // pixels the rolling text has moved
    QPoint randomAt{-1, -1};
    std::uint32_t seed = 12345;

    std::uint32_t Next() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    }
};

COverlayPainter::COverlayPainter() : impl_(std::make_unique<Impl>()) {}
COverlayPainter::~COverlayPainter() = default;

bool COverlayPainter::CanPaintText() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

void COverlayPainter::Paint(VcastPicture& picture, const EffectSettings& effect, const std::string& face,
                            const std::string& lyric, std::uint32_t frame) {
    Impl& m = *impl_;
    for (int i = 0; i < 5; ++i) {
        if (m.paths[i] != effect.pictures[i]) {
            m.paths[i] = effect.pictures[i];
            m.images[i] = LoadPicture(m.paths[i]);
        }
    }
    const bool anyPicture = std::any_of(m.images.begin(), m.images.end(), [](const QImage& i) { return !i.isNull(); });
    // Fonts exist only inside a QGuiApplication; without one the text is left out.
    const bool text = CanPaintText() && (!effect.text.empty() || !lyric.empty());
    if (!anyPicture && !text) return;

    const int w = picture.width, h = picture.height;
    QImage canvas(reinterpret_cast<uchar*>(picture.argb.data()), w, h, w * 4, QImage::Format_ARGB32);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < 5; ++i)
        if (!m.images[i].isNull()) painter.drawImage(Place(i, m.images[i].size(), w, h), m.images[i]);
    if (!text) return;

    if (!effect.text.empty()) {
        QFont font(QString::fromStdString(face));
        font.setPixelSize(static_cast<int>(effect.textSize));
        painter.setFont(font);
        const QString line = QString::fromStdString(effect.text);
        const QFontMetrics metrics(font);
        const int tw = metrics.horizontalAdvance(line) + 8, th = metrics.height() + 4;
        int x = (w - tw) / 2;
        int y = static_cast<int>(effect.textY) * std::max(0, h - th) / 100;
        if (effect.randomPlace) {
            if (m.randomAt.x() < 0 || frame % kRandomPeriod == 0)
                m.randomAt = QPoint(static_cast<int>(m.Next() % std::max(1, w - tw)),
                                    static_cast<int>(m.Next() % std::max(1, h - th)));
            x = m.randomAt.x();
            y = m.randomAt.y();
        } else if (effect.rollMode != 0) {
            m.scroll += static_cast<int>(effect.speed);
            if (m.scroll > w + tw) m.scroll = 0;  // gone past the far edge: enter again
            x = effect.rollMode == 1 ? w - m.scroll : m.scroll - tw;
        }
        const QRect box(x, y, tw, th);
        if (!effect.backTransparent)
            painter.fillRect(box, QColor(effect.backRgb[0], effect.backRgb[1], effect.backRgb[2]));
        painter.setPen(QColor(effect.textRgb[0], effect.textRgb[1], effect.textRgb[2]));
        painter.drawText(box, Qt::AlignCenter, line);
    }
    if (!lyric.empty()) {
        QFont font(QString::fromStdString(face));
        font.setPixelSize(std::max(12, h / 14));
        QPainterPath path;
        const QString line = QString::fromStdString(lyric);
        const QFontMetrics metrics(font);
        const int x = (w - metrics.horizontalAdvance(line)) / 2;
        path.addText(x, h - h / 12, font, line);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.strokePath(path, QPen(Qt::black, 3));  // readable on any background
        painter.fillPath(path, Qt::white);
    }
}
