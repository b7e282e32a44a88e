// Animated pictures: frame counts, the delay rule, and the looping player.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "dui_test_util.h"
#include "gif_writer.h"
#include "platform/dui/animated_picture.h"
#include "platform/dui/small_controls.h"

using duitest::GifFrame;

namespace {

class Loops : public IGifSlink {
public:
    void OnGifEnd(CGifControl* gif) override {
        ++count;
        last = gif;
    }
    int count = 0;
    CGifControl* last = nullptr;
};

}  // namespace

TEST(AnimationDelay, StoredHundredthsTimesTenButNeverUnder100Ms) {
    EXPECT_EQ(AnimatedPicture::DelayFromStored(2), 100);
    EXPECT_EQ(AnimatedPicture::DelayFromStored(0), 100);
    EXPECT_EQ(AnimatedPicture::DelayFromStored(10), 100);
    EXPECT_EQ(AnimatedPicture::DelayFromStored(11), 110);
    EXPECT_EQ(AnimatedPicture::DelayFromStored(50), 500);
    EXPECT_EQ(AnimatedPicture::DelayFromStored(-3), 100);
    // The reader already multiplied by ten.
    EXPECT_EQ(AnimatedPicture::DelayFromReaderMs(20), 100);
    EXPECT_EQ(AnimatedPicture::DelayFromReaderMs(500), 500);
    EXPECT_EQ(AnimatedPicture::DelayFromReaderMs(0), 100);
}

TEST(AnimatedPicture, GifFramesCarryTheirOwnDelays) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("a.gif").toStdString();
    ASSERT_TRUE(duitest::WriteGif(path, 4, 3, {{0, 2}, {1, 50}, {2, 7}}));
    AnimatedPicture pic;
    ASSERT_TRUE(pic.Load(path));
    EXPECT_TRUE(pic.IsAnimated());
    EXPECT_EQ(pic.FrameCount(), 3);
    EXPECT_EQ(pic.Width(), 4);
    EXPECT_EQ(pic.Height(), 3);
    EXPECT_EQ(pic.FrameDelay(0), 100) << "2 -> 20 ms, raised to 100";
    EXPECT_EQ(pic.FrameDelay(1), 500);
    EXPECT_EQ(pic.FrameDelay(2), 100);
    EXPECT_EQ(pic.FrameDelay(3), 0);
    EXPECT_EQ(pic.FrameDelay(-1), 100) << "the current frame";

    QImage canvas(20, 20, QImage::Format_ARGB32);
    canvas.fill(Qt::black);
    QPainter p(&canvas);
    pic.Draw(p, QRect(0, 0, 20, 20), 1);
    p.end();
    EXPECT_EQ(pic.CurrentFrame(), 1);
    EXPECT_EQ(QColor(canvas.pixel(10, 10)), QColor(0, 255, 0)) << "frame 1 is green, scaled over the rectangle";
    EXPECT_EQ(QColor(canvas.pixel(19, 19)), QColor(0, 255, 0));
}

TEST(AnimatedPicture, StillPicturesAndBadFiles) {
    QTemporaryDir dir;
    const QString png = dir.filePath("still.png");
    QImage img(8, 8, QImage::Format_ARGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(png));
    AnimatedPicture pic;
    ASSERT_TRUE(pic.Load(png.toStdString()));
    EXPECT_FALSE(pic.IsAnimated());
    EXPECT_EQ(pic.FrameCount(), 1);
    EXPECT_EQ(pic.FrameDelay(0), 0);

    EXPECT_FALSE(pic.Load(""));
    EXPECT_FALSE(pic.IsLoaded()) << "loading releases the previous picture";
    QFile junk(dir.filePath("junk.gif"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("GIF89a\x01\x00garbage");
    junk.close();
    EXPECT_FALSE(pic.Load(junk.fileName().toStdString()));
    EXPECT_FALSE(pic.Load(dir.filePath("none.gif").toStdString()));
}

TEST(GifControl, PlaysOnTimer1008AndTellsEachLoop) {
    QTemporaryDir dir;
    const std::string gif = dir.filePath("b.gif").toStdString();
    ASSERT_TRUE(duitest::WriteGif(gif, 2, 2, {{0, 30}, {1, 2}, {2, 40}}));
    CGifControl ctl;
    Loops loops;
    ctl.SetListener(&loops);
    ASSERT_TRUE(ctl.SetFile(gif));
    EXPECT_FALSE(ctl.HasTimer(CGifControl::kFrameTimer)) << "loading does not start it";
    ctl.Play();
    ASSERT_TRUE(ctl.HasTimer(1008));
    EXPECT_EQ(ctl.TimerPeriod(1008), 300u);
    ctl.DoTimer(1008);
    EXPECT_EQ(ctl.CurrentFrame(), 1);
    EXPECT_EQ(ctl.TimerPeriod(1008), 100u);
    ctl.DoTimer(1008);
    EXPECT_EQ(ctl.TimerPeriod(1008), 400u);
    EXPECT_EQ(loops.count, 0);
    ctl.DoTimer(1008);
    EXPECT_EQ(ctl.CurrentFrame(), 0);
    EXPECT_EQ(loops.count, 1);
    EXPECT_EQ(loops.last, &ctl);
    EXPECT_EQ(ctl.TimerPeriod(1008), 300u);
    for (int i = 0; i < 6; ++i) ctl.DoTimer(1008);
    EXPECT_EQ(loops.count, 3);

    // The real timer drives it too.
    const int before = loops.count;
    ASSERT_TRUE(duitest::WriteGif(gif, 2, 2, {{0, 0}, {1, 0}}));
    ASSERT_TRUE(ctl.SetFile(gif));
    EXPECT_FALSE(ctl.HasTimer(1008)) << "a new file stops the old animation";
    ctl.Play();
    ASSERT_TRUE(duitest::Pump([&] { return loops.count > before; }));

    ctl.Stop();
    EXPECT_FALSE(ctl.HasTimer(1008));
}

TEST(GifControl, StillPicturesNeverStartTheFrameTimer) {
    QTemporaryDir dir;
    const QString png = dir.filePath("s.png");
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(Qt::blue);
    ASSERT_TRUE(img.save(png));
    CGifControl ctl;
    ASSERT_TRUE(ctl.SetFile(png.toStdString()));
    ctl.Play();
    EXPECT_FALSE(ctl.HasTimer(1008));
    ctl.DoTimer(1008);  // a stray tick changes nothing
    EXPECT_EQ(ctl.CurrentFrame(), 0);
    EXPECT_FALSE(ctl.SetFile(dir.filePath("missing.gif").toStdString()));
    ctl.Play();
    EXPECT_FALSE(ctl.HasTimer(1008));
}
