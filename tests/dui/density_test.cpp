// Pictures on dense screens: where a skin has "name@2x.ext" the window takes
// it, lays it out at the 1x size and draws it pixel for pixel; without one
// the 1x picture stays.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "platform/dui/draw.h"
#include "platform/dui/manager.h"

namespace {

const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255);

// One-pixel checks: any smoothing or scaling of it would mix the colours.
QImage Checkers(int px) {
    QImage img(px, px, QImage::Format_RGB32);
    for (int y = 0; y < px; ++y)
        for (int x = 0; x < px; ++x) img.setPixelColor(x, y, (x + y) % 2 ? kGreen : kRed);
    return img;
}

class Density : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QImage plain(16, 16, QImage::Format_RGB32);
        plain.fill(kBlue);
        ASSERT_TRUE(plain.save(dir.filePath("dot.png")));
        ASSERT_TRUE(plain.save(dir.filePath("plain.png")));
        ASSERT_TRUE(Checkers(32).save(dir.filePath("dot@2x.png")));
        m.SetSkinFolder(dir.path().toStdString() + "/");
    }
    // A canvas of w x h logical pixels at density 2.
    static QImage Canvas(int w, int h) {
        QImage img(2 * w, 2 * h, QImage::Format_RGB32);
        img.setDevicePixelRatio(2);
        img.fill(Qt::black);
        return img;
    }
    static bool IsCheckers(const QImage& img, QRect device) {
        for (int y = device.top(); y <= device.bottom(); ++y)
            for (int x = device.left(); x <= device.right(); ++x)
                if (img.pixelColor(x, y) != ((x - device.left() + y - device.top()) % 2 ? kGreen : kRed))
                    return false;
        return true;
    }

    QTemporaryDir dir;
    CSkinManager m;
};

}  // namespace

TEST_F(Density, ADenseScreenTakesTheTwiceVariantAtTheSameLogicalSize) {
    m.SetImageDensity(1);
    QPixmap one = m.Image("dot.png");
    EXPECT_EQ(one.size(), QSize(16, 16));
    EXPECT_EQ(one.devicePixelRatio(), 1.0);

    CSkinManager dense;
    dense.SetSkinFolder(dir.path().toStdString() + "/");
    dense.SetImageDensity(2);
    const QPixmap two = dense.Image("dot.png");
    EXPECT_EQ(two.size(), QSize(32, 32)) << "device pixels";
    EXPECT_EQ(two.devicePixelRatio(), 2.0);
    EXPECT_EQ(two.deviceIndependentSize(), QSizeF(16, 16));
    EXPECT_EQ(dense.Image("plain.png").size(), QSize(16, 16)) << "no variant: the picture itself";
    EXPECT_EQ(dense.Image("plain.png").devicePixelRatio(), 1.0);
    // The line keeps the room the picture takes at 1x.
    const auto size = dui::WindowRunMetrics(dense, QFont()).imageSize("dot.png");
    EXPECT_EQ(size, (std::pair<int, int>(16, 16)));
}

TEST_F(Density, InlineAndSkinPicturesAreDrawnPixelForPixel) {
    m.SetImageDensity(2);
    QImage line = Canvas(40, 20);
    {
        QPainter p(&line);
        const auto placed = dui::DrawMarkupLine(p, m, QRect(0, 0, 40, 20), "<i dot.png>", QFont(), Qt::white,
                                                dui::kAlignLeft | dui::kAlignVCenter);
        ASSERT_EQ(placed.size(), 1u);
        EXPECT_EQ(placed[0].width, 16);
    }
    // Centred on the 20 px line: logical (0, 2), device (0, 4), 32 x 32.
    EXPECT_TRUE(IsCheckers(line, QRect(0, 4, 32, 32)));

    // A source cut names the 1x picture's pixels: its top-left quarter.
    QImage cut = Canvas(8, 8);
    {
        QPainter p(&cut);
        ASSERT_TRUE(dui::DrawSkinImage(p, m, QRect(0, 0, 8, 8), dui::ParseImage("file='dot.png' source='0,0,8,8'")));
    }
    EXPECT_TRUE(IsCheckers(cut, QRect(0, 0, 16, 16)));
}
