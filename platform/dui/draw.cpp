#include "platform/dui/draw.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <qdrawutil.h>

#include <algorithm>

#include "platform/dui/manager.h"

namespace dui {

namespace {

QRect ToQRect(const Rect4& r) { return QRect(QPoint(r.l, r.t), QPoint(r.r - 1, r.b - 1)); }

}  // namespace

bool DrawSkinImage(QPainter& p, CSkinManager& m, const QRect& rc, const ImageDesc& image) {
    if (image.empty()) return false;
    const QPixmap pm = m.Image(image.file);
    if (pm.isNull()) return false;
    QRect src = pm.rect();
    // Source cuts are in the picture's own pixels, a dense variant has twice as many.
    const qreal dpr = pm.devicePixelRatio();
    if (image.hasSource) {
        const QRect cut = ToQRect(image.source);
        src = QRect(cut.topLeft() * dpr, cut.size() * dpr).intersected(pm.rect());
    }
    if (src.isEmpty()) return false;
    QRect dst = rc;
    if (image.hasDest) dst = ToQRect(image.dest).translated(rc.topLeft()).intersected(rc);
    if (dst.isEmpty()) return true;  // nothing to show is not a failure
    p.save();
    if (image.fade < 255) p.setOpacity(p.opacity() * image.fade / 255.0);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (image.hasCorner) {
        const QMargins mg(image.corner.l, image.corner.t, image.corner.r, image.corner.b);
        qDrawBorderPixmap(&p, dst, mg, pm, src, mg);
    } else {
        p.drawPixmap(dst, pm, src);
    }
    p.restore();
    return true;
}

Qt::Alignment ToQtAlign(unsigned a) {
    Qt::Alignment q;
    if (a & kAlignHCenter) q |= Qt::AlignHCenter;
    else if (a & kAlignRight) q |= Qt::AlignRight;
    else q |= Qt::AlignLeft;
    if (a & kAlignTop) q |= Qt::AlignTop;
    else if (a & kAlignBottom) q |= Qt::AlignBottom;
    else q |= Qt::AlignVCenter;
    return q;
}

RunMetrics WindowRunMetrics(CSkinManager& m, const QFont& baseFont) {
    RunMetrics rm;
    rm.textWidth = [&m, baseFont](std::string_view text, int font) {
        const QFont f = font < 0 ? baseFont : m.Font(font);
        return QFontMetrics(f).horizontalAdvance(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    };
    rm.imageSize = [&m](const std::string& image) {
        // The room a picture takes on the line, whatever its density.
        const QSize size = m.Image(image).deviceIndependentSize().toSize();
        return std::pair<int, int>(size.width(), size.height());
    };
    return rm;
}

std::vector<PlacedRun> DrawMarkupLine(QPainter& p, CSkinManager& m, const QRect& rc, std::string_view markup,
                                      const QFont& font, const QColor& color, unsigned align) {
    const auto runs = ParseTextMarkup(markup);
    auto placed = LayoutTextRuns(runs, WindowRunMetrics(m, font));
    int width = 0;
    for (const auto& pr : placed) width = std::max(width, pr.x + pr.width);
    int x0 = rc.left();
    if (align & kAlignHCenter) x0 += std::max(0, (rc.width() - width) / 2);
    else if (align & kAlignRight) x0 += std::max(0, rc.width() - width);
    p.save();
    p.setClipRect(rc, Qt::IntersectClip);
    for (const auto& pr : placed) {
        const TextRun& r = runs[pr.run];
        if (r.kind == TextRun::kImage) {
            const QPixmap pm = m.Image(r.text);
            const int y = rc.top() + (rc.height() - pr.height) / 2;
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawPixmap(QRect(x0 + pr.x, y, pr.width, pr.height), pm);
        } else {
            const QFont f = r.font < 0 ? font : m.Font(r.font);
            p.setFont(f);
            p.setPen(r.hasColor ? ToQColor(r.color) : color);
            p.drawText(QRect(x0 + pr.x, rc.top(), pr.width + 1, rc.height()), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromStdString(r.text));
        }
    }
    p.restore();
    return placed;
}

void DrawPlainText(QPainter& p, const QRect& rc, const QString& text, const QFont& font, const QColor& color,
                   unsigned align, bool endEllipsis, bool wrap) {
    if (text.isEmpty() || rc.isEmpty()) return;
    p.save();
    p.setFont(font);
    p.setPen(color);
    QString shown = text;
    if (endEllipsis && !wrap) shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, rc.width());
    p.drawText(rc, ToQtAlign(align) | (wrap ? Qt::TextWordWrap : Qt::TextSingleLine), shown);
    p.restore();
}

}  // namespace dui
