// The art programs' GIF encoder, read back through Qt's decoder.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>

#include <cstdlib>
#include <vector>

#include "ui/art/gif_writer.h"

namespace {

std::vector<QImage> Decode(const std::vector<std::uint8_t>& bytes, std::vector<int>* delays = nullptr) {
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    std::vector<QImage> out;
    for (;;) {
        QImage img = reader.read();
        if (img.isNull()) break;
        out.push_back(img.convertToFormat(QImage::Format_ARGB32));
        // The reader gives the delay of the frame it has just read.
        if (delays) delays->push_back(reader.nextImageDelay());
    }
    return out;
}

// Noise over `colours` colours with holes, so that the coder's table fills
// up and starts again within a frame.
QImage Noise(int w, int h, int colours, unsigned seed) {
    QImage img(w, h, QImage::Format_ARGB32);
    std::srand(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int c = std::rand() % (colours + 1);
            img.setPixel(x, y, c == colours ? qRgba(0, 0, 0, 0) : qRgb((c * 37) % 256, (c * 91) % 256, c));
        }
    return img;
}

}  // namespace

TEST(GifWriter, FramesWithFewColoursComeBackExactly) {
    const std::vector<QImage> frames = {Noise(120, 90, 200, 1), Noise(120, 90, 200, 2), Noise(120, 90, 3, 3)};
    std::vector<int> delays;
    const std::vector<QImage> back = Decode(art::EncodeAnimation(frames, {120, 1000, 250}), &delays);
    ASSERT_EQ(back.size(), frames.size());
    EXPECT_EQ(delays, (std::vector<int>{120, 1000, 250}));
    for (std::size_t f = 0; f < frames.size(); ++f) {
        int wrong = 0;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x) {
                const QRgb want = frames[f].pixel(x, y), got = back[f].pixel(x, y);
                if (qAlpha(want) == 0 ? qAlpha(got) != 0 : got != want) ++wrong;
            }
        EXPECT_EQ(wrong, 0) << "frame " << f;
    }
}

TEST(GifWriter, ManyColoursAreApproximatedAndHalfCoverageDecidesTransparency) {
    // 4096 colours in a smooth ramp, and a column of rising coverage.
    QImage img(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) img.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2));
    for (int y = 0; y < 64; ++y) img.setPixel(0, y, qRgba(200, 40, 40, y * 4));

    const std::vector<QRgb> palette = art::BuildPalette({img}, 255);
    EXPECT_EQ(palette.size(), 255u);
    EXPECT_EQ(art::BuildPalette({img}, 255), palette) << "the palette depends only on the pixels";

    const std::vector<QImage> back = Decode(art::EncodeAnimation({img}, {100}));
    ASSERT_EQ(back.size(), 1u);
    int worst = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 1; x < 64; ++x) {
            const QRgb a = img.pixel(x, y), b = back[0].pixel(x, y);
            ASSERT_EQ(qAlpha(b), 255);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    EXPECT_LE(worst, 24);
    for (int y = 0; y < 64; ++y) EXPECT_EQ(qAlpha(back[0].pixel(0, y)), y * 4 >= 128 ? 255 : 0) << y;
}

TEST(GifWriter, PalettesAndMismatchedInput) {
    QImage two(4, 1, QImage::Format_ARGB32);
    two.setPixel(0, 0, qRgb(1, 2, 3));
    two.setPixel(1, 0, qRgb(9, 9, 9));
    two.setPixel(2, 0, qRgb(1, 2, 3));
    two.setPixel(3, 0, qRgba(50, 50, 50, 10));  // barely covered: not a colour of the picture
    EXPECT_EQ(art::BuildPalette({two}, 255), (std::vector<QRgb>{qRgb(1, 2, 3), qRgb(9, 9, 9)}));
    // One colour left: the mean weighted by how often each appears.
    EXPECT_EQ(art::BuildPalette({two}, 1), (std::vector<QRgb>{qRgb(4, 4, 5)}));

    EXPECT_TRUE(art::EncodeAnimation({}, {}).empty());
    EXPECT_TRUE(art::EncodeAnimation({two}, {100, 100}).empty());
    EXPECT_TRUE(art::EncodeAnimation({two, QImage(3, 1, QImage::Format_ARGB32)}, {100, 100}).empty());
}
