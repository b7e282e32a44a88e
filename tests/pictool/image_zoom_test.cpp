// Scaling a picture file to a fixed size: the exact size in the
// destination's format, the middle of the picture kept, and files that are
// no pictures refused without touching the destination.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <string>

#include "core/files.h"
#include "platform/pictool/image_zoom.h"

namespace {

class ImageZoom : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    // Three bands from top to bottom: red, green, blue.
    std::string Bands(const char* name, int w, int h) const {
        QImage img(w, h, QImage::Format_RGB32);
        QPainter p(&img);
        p.fillRect(0, 0, w, h / 3, Qt::red);
        p.fillRect(0, h / 3, w, h - 2 * (h / 3), Qt::green);
        p.fillRect(0, h - h / 3, w, h / 3, Qt::blue);
        p.end();
        const std::string path = Path(name);
        EXPECT_TRUE(img.save(QString::fromStdString(path)));
        return path;
    }
    static bool Near(QColor a, QColor b) {
        return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
               std::abs(a.blue() - b.blue()) < 40;
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ImageZoom, MakesExactlyTheSizeAskedInTheDestinationsFormat) {
    const std::string wide = Bands("wide.png", 1000, 300);
    for (const char* out : {"out.jpg", "out.bmp", "out.png"}) {
        ASSERT_EQ(PICTOOL_ImageZoom(wide, Path(out), 320, 240), PICTOOL_ZOOM_OK) << out;
        const QImage z(QString::fromStdString(Path(out)));
        ASSERT_FALSE(z.isNull()) << out;
        EXPECT_EQ(z.size(), QSize(320, 240)) << out;
    }
    std::string head;
    ASSERT_TRUE(files::ReadFile(Path("out.jpg"), head));
    EXPECT_EQ(head.substr(0, 2), "\xFF\xD8");
    ASSERT_TRUE(files::ReadFile(Path("out.bmp"), head));
    EXPECT_EQ(head.substr(0, 2), "BM");

    // A clear picture comes out white, not black, where no transparency is kept.
    QImage clear(40, 30, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    ASSERT_TRUE(clear.save(QString::fromStdString(Path("clear.png"))));
    ASSERT_EQ(PICTOOL_ImageZoom(Path("clear.png"), Path("clear.jpg"), 320, 240), PICTOOL_ZOOM_OK);
    EXPECT_TRUE(Near(QImage(QString::fromStdString(Path("clear.jpg"))).pixelColor(160, 120), Qt::white));
}

TEST_F(ImageZoom, ATallPictureKeepsItsMiddleUndistorted) {
    // 300 × 1200 into 320 × 240: only the green middle band fits.
    const std::string tall = Bands("tall.png", 300, 1200);
    ASSERT_EQ(PICTOOL_ImageZoom(tall, Path("tall.jpg"), 320, 240), PICTOOL_ZOOM_OK);
    const QImage z(QString::fromStdString(Path("tall.jpg")));
    for (QPoint p : {QPoint(5, 5), QPoint(160, 120), QPoint(315, 235)})
        EXPECT_TRUE(Near(z.pixelColor(p), Qt::green)) << p.x() << "," << p.y();
    // Scaled in place, a picture of the wanted size stays what it was.
    const std::string again = Bands("again.bmp", 640, 480);
    ASSERT_EQ(PICTOOL_ImageZoom(again, again, 320, 240), PICTOOL_ZOOM_OK);
    const QImage a(QString::fromStdString(again));
    EXPECT_EQ(a.size(), QSize(320, 240));
    EXPECT_TRUE(Near(a.pixelColor(160, 10), Qt::red));
    EXPECT_TRUE(Near(a.pixelColor(160, 230), Qt::blue));
}

TEST_F(ImageZoom, RefusesWhatItCannotReadOrWriteAndLeavesTheDestination) {
    const std::string dest = Path("kept.jpg");
    ASSERT_TRUE(files::WriteFileAtomic(dest, "old"));
    ASSERT_TRUE(files::WriteFileAtomic(Path("fake.jpg"), "this is no picture"));
    EXPECT_EQ(PICTOOL_ImageZoom(Path("fake.jpg"), dest, 320, 240), PICTOOL_ZOOM_UNREADABLE);
    EXPECT_EQ(PICTOOL_ImageZoom(Path("missing.jpg"), dest, 320, 240), PICTOOL_ZOOM_UNREADABLE);
    const std::string good = Bands("good.png", 64, 64);
    EXPECT_EQ(PICTOOL_ImageZoom(good, dest, 0, 240), PICTOOL_ZOOM_BAD_SIZE);
    EXPECT_EQ(PICTOOL_ImageZoom(good, dest, 320, 100000), PICTOOL_ZOOM_BAD_SIZE);
    EXPECT_EQ(PICTOOL_ImageZoom(good, Path("out.xyz"), 320, 240), PICTOOL_ZOOM_UNWRITABLE);
    EXPECT_EQ(PICTOOL_ImageZoom(good, Path("no/such/folder/out.jpg"), 320, 240),
              PICTOOL_ZOOM_UNWRITABLE);
    std::string kept;
    ASSERT_TRUE(files::ReadFile(dest, kept));
    EXPECT_EQ(kept, "old");
    // A picture whose suffix lies is read by its content.
    std::string bytes;
    ASSERT_TRUE(files::ReadFile(Path("good.png"), bytes));
    ASSERT_TRUE(files::WriteFileAtomic(Path("liar.jpg"), bytes));
    EXPECT_EQ(PICTOOL_ImageZoom(Path("liar.jpg"), dest, 32, 24), PICTOOL_ZOOM_OK);
}
