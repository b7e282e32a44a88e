#include "platform/pictool/image_zoom.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include "core/files.h"
#include "core/log.h"

namespace {

constexpr int kMaxSide = 4096;

QByteArray FormatOf(const std::string& file) {
    const QString suffix = QFileInfo(QString::fromStdString(file)).suffix().toLower();
    if (suffix == "jpg" || suffix == "jpeg") return "JPG";
    if (suffix == "bmp") return "BMP";
    if (suffix == "png") return "PNG";
    return {};
}

}  // namespace

int PICTOOL_ImageZoom(const std::string& source, const std::string& destination, int width,
                      int height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return PICTOOL_ZOOM_BAD_SIZE;
    const QByteArray format = FormatOf(destination);
    if (format.isEmpty()) return PICTOOL_ZOOM_UNWRITABLE;
    QImageReader reader(QString::fromStdString(source));
    // The suffix may lie (a .jpg that is a PNG): the content decides.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        log_msg("image zoom: %s unreadable (%s)\r\n", source.c_str(),
                reader.errorString().toStdString().c_str());
        return PICTOOL_ZOOM_UNREADABLE;
    }
    // The middle of the picture with the wanted proportions, drawn over the
    // whole result: it covers the size without stretching the picture.
    const double want = static_cast<double>(width) / height;
    const double pw = picture.width(), ph = picture.height();
    QRectF middle(0, 0, pw, ph);
    if (pw / ph > want) middle = QRectF((pw - ph * want) / 2, 0, ph * want, ph);
    else middle = QRectF(0, (ph - pw / want) / 2, pw, pw / want);
    // JPEG and BMP keep no transparency: what was clear becomes white, not black.
    QImage out(width, height, format == "PNG" ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    out.fill(format == "PNG" ? Qt::transparent : Qt::white);
    {
        QPainter painter(&out);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(0, 0, width, height), picture, middle);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const int quality = format == "JPG" ? 90 : -1;
    if (!out.save(&buffer, format.constData(), quality)) return PICTOOL_ZOOM_UNWRITABLE;
    if (!files::WriteFileAtomic(destination, std::string_view(bytes.constData(), bytes.size())))
        return PICTOOL_ZOOM_UNWRITABLE;
    return PICTOOL_ZOOM_OK;
}
