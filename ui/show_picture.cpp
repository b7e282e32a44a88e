#include "ui/show_picture.h"

#include <QFileInfo>
#include <QImageReader>

#include "core/log.h"

QImage LoadShowPicture(const std::string& path, QSize box) {
    if (path.empty() || box.isEmpty()) return {};
    const QString file = QString::fromStdString(path);
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > kMaxShowPictureBytes) return {};
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    // The header's size decides before any pixel is decoded.
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.isEmpty() || declared.width() > kMaxShowPictureSide ||
        declared.height() > kMaxShowPictureSide) {
        log_msg("show picture %s refused: size %dx%d\r\n", path.c_str(), declared.width(),
                declared.height());
        return {};
    }
    if (declared.width() > box.width() || declared.height() > box.height())
        reader.setScaledSize(declared.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage picture = reader.read();
    if (picture.isNull()) return {};
    return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
