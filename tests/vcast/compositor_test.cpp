// The effects on composed pictures: adjustments, stretch, mirror, overlay
// text and pictures, the lyric line; the record's values are checked before
// use; the access-unit scan the important flag comes from.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/vcast/capture.h"
#include "platform/vcast/compositor.h"
#include "platform/vcast/effect_layout.h"
#include "platform/vcast/effect_settings.h"
#include "platform/vcast/nal_scan.h"

namespace {
namespace L = effect_layout;

constexpr std::uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kGrey = 0xFF606060u;

// Left half red, right half blue.
VcastPicture Halves(int w = 160, int h = 120) {
    VcastPicture p;
    p.width = w;
    p.height = h;
    p.argb.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.argb[static_cast<std::size_t>(y) * w + x] = x < w / 2 ? kRed : kBlue;
    return p;
}

VcastPicture Flat(std::uint32_t colour, int w = 160, int h = 120) {
    VcastPicture p;
    p.width = w;
    p.height = h;
    p.argb.assign(static_cast<std::size_t>(w) * h, colour);
    return p;
}

double MeanLuma(const VcastPicture& p) {
    double sum = 0;
    for (auto px : p.argb) sum += ((px >> 16) & 255) * 0.3 + ((px >> 8) & 255) * 0.59 + (px & 255) * 0.11;
    return sum / static_cast<double>(p.argb.size());
}

std::size_t Differences(const VcastPicture& a, const VcastPicture& b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.argb.size(); ++i) n += a.argb[i] != b.argb[i];
    return n;
}

struct Record {
    unsigned char bytes[L::kSize] = {};
    Record() {  // the dialog's defaults
        F32(L::kBrightness, 1.0f);
        F32(L::kContrast, 1.0f);
        U32(L::kStretch, 10);
        U32(L::kTextY, 60);
        U32(L::kTextSize1, 18);
        const unsigned char colours[6] = {255, 0, 0, 0, 255, 0};
        std::memcpy(bytes + L::kColours, colours, 6);
    }
    void U32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }
    void F32(std::size_t at, float f) {
        std::uint32_t v;
        std::memcpy(&v, &f, 4);
        U32(at, v);
    }
    void Text(std::size_t at, const std::string& s) { std::memcpy(bytes + at, s.data(), s.size()); }
};

EffectSettings WithText(const std::string& text) {
    EffectSettings e;
    e.text = text;
    e.face = "DejaVu Sans";
    e.textSize = 24;
    return e;
}
}  // namespace

TEST(EffectRecord, ValuesAreReadAtTheirOffsets) {
    Record r;
    r.F32(L::kBrightness, 1.5f);
    r.F32(L::kContrast, 0.5f);
    r.U32(L::kStretch, 20);
    r.U32(L::kWhiteBalance, 70);
    r.bytes[L::kMirror] = 1;
    r.Text(L::kText, "hello 你好");
    r.bytes[L::kTextBgTransparent] = 1;
    r.U32(L::kTextY, 10);
    r.U32(L::kTextSpeed, 4);
    r.U32(L::kRollMode, 2);
    r.U32(L::kTextSize1, 30);
    r.Text(L::kSticker, "effect\\sticker\\a.png");
    const char16_t face[] = u"黑体";
    for (int i = 0; i < 2; ++i) {
        r.bytes[L::kFace + 2 * i] = static_cast<unsigned char>(face[i] & 255);
        r.bytes[L::kFace + 2 * i + 1] = static_cast<unsigned char>(face[i] >> 8);
    }
    const EffectSettings e = ReadEffectRecord(r.bytes);
    EXPECT_FLOAT_EQ(e.brightness, 1.5f);
    EXPECT_FLOAT_EQ(e.contrast, 0.5f);
    EXPECT_EQ(e.stretch, 20u);
    EXPECT_EQ(e.whiteBalance, 70u);
    EXPECT_TRUE(e.mirror);
    EXPECT_EQ(e.text, "hello 你好");
    EXPECT_TRUE(e.backTransparent);
    EXPECT_EQ(e.textY, 10u);
    EXPECT_EQ(e.speed, 4u);
    EXPECT_EQ(e.rollMode, 2u);
    EXPECT_EQ(e.textSize, 30u);
    EXPECT_EQ(e.face, "黑体");
    EXPECT_EQ(e.pictures[0], "effect/sticker/a.png");
    EXPECT_EQ(e.textRgb[0], 255);
    EXPECT_EQ(e.backRgb[1], 255);
}

TEST(EffectRecord, DamagedValuesFallBackToNeutral) {
    Record r;
    r.F32(L::kBrightness, std::numeric_limits<float>::quiet_NaN());
    r.F32(L::kContrast, std::numeric_limits<float>::infinity());
    r.U32(L::kStretch, 0xFFFFFFFFu);
    r.U32(L::kWhiteBalance, 101);
    r.U32(L::kTextY, 1000);
    r.U32(L::kRollMode, 3);
    r.U32(L::kTextSize1, 100000);
    r.U32(L::kTextSpeed, 1u << 31);
    std::memset(r.bytes + L::kText, 'A', L::kTextWidth);  // unterminated, runs into the colours
    std::memset(r.bytes + L::kSticker, 'p', L::kPathWidth);
    // A lone high surrogate ends the face: the default stays.
    r.bytes[L::kFace] = 0x00;
    r.bytes[L::kFace + 1] = 0xD8;
    const EffectSettings e = ReadEffectRecord(r.bytes);
    EXPECT_FLOAT_EQ(e.brightness, 1.0f);
    EXPECT_FLOAT_EQ(e.contrast, 1.0f);
    EXPECT_EQ(e.stretch, 10u);
    EXPECT_EQ(e.whiteBalance, 0u);
    EXPECT_EQ(e.textY, 60u);
    EXPECT_EQ(e.rollMode, 0u);
    EXPECT_EQ(e.textSize, 18u);
    EXPECT_EQ(e.speed, 0u);
    EXPECT_EQ(e.text, std::string(L::kTextWidth, 'A'));
    EXPECT_EQ(e.pictures[0].size(), L::kPathWidth);
    EXPECT_EQ(e.face, "宋体");
    EXPECT_FALSE(ReadEffectRecord(Record().bytes).AdjustsPixels());
    // A text cut inside a character drops the broken character.
    Record cut;
    std::string chinese;
    for (int i = 0; i < 11; ++i) chinese += "你";  // 33 bytes: the 11th does not fit
    cut.Text(L::kText, chinese.substr(0, L::kTextWidth));
    EXPECT_EQ(ReadEffectRecord(cut.bytes).text, chinese.substr(0, 30));
}

TEST(Compositor, AdjustmentsChangeThePixelsAsTheyShould) {
    CCompositor compositor;
    VcastPicture neutral = Flat(kGrey);
    compositor.Apply(neutral);
    EXPECT_EQ(neutral.argb[0], kGrey);  // defaults leave pictures alone

    EffectSettings e;
    e.brightness = 1.5f;
    compositor.SetEffect(e);
    VcastPicture brighter = Flat(kGrey);
    compositor.Apply(brighter);
    EXPECT_GT(MeanLuma(brighter), MeanLuma(Flat(kGrey)) + 20);

    e = {};
    e.contrast = 2.0f;
    compositor.SetEffect(e);
    VcastPicture contrast = Flat(kGrey);  // 0x60 below mid grey: moves further down
    compositor.Apply(contrast);
    EXPECT_EQ(contrast.argb[0] & 255, 0x40u);

    e = {};
    e.whiteBalance = 100;  // warmest
    compositor.SetEffect(e);
    VcastPicture warm = Flat(kGrey);
    compositor.Apply(warm);
    EXPECT_GT((warm.argb[0] >> 16) & 255, 0x60u);
    EXPECT_LT(warm.argb[0] & 255, 0x60u);
    EXPECT_EQ((warm.argb[0] >> 8) & 255, 0x60u);
    e.whiteBalance = 50;  // neutral
    compositor.SetEffect(e);
    VcastPicture balanced = Flat(kGrey);
    compositor.Apply(balanced);
    EXPECT_EQ(balanced.argb[0], kGrey);
}

TEST(Compositor, MirrorAndStretchMoveColumns) {
    CCompositor compositor;
    EffectSettings e;
    e.mirror = true;
    compositor.SetEffect(e);
    VcastPicture mirrored = Halves();
    compositor.Apply(mirrored);
    EXPECT_EQ(mirrored.argb[5], kBlue);
    EXPECT_EQ(mirrored.argb[155], kRed);

    e = {};
    e.stretch = 20;  // twice as wide about the centre: the halves reach past x = 40 and 120
    compositor.SetEffect(e);
    VcastPicture wide = Halves();
    compositor.Apply(wide);
    EXPECT_EQ(wide.argb[10], kRed);
    EXPECT_EQ(wide.argb[70], kRed);
    EXPECT_EQ(wide.argb[90], kBlue);
    EXPECT_EQ(wide.argb[150], kBlue);
    e.stretch = 5;  // half as wide: black bars at both sides
    compositor.SetEffect(e);
    VcastPicture narrow = Halves();
    compositor.Apply(narrow);
    EXPECT_EQ(narrow.argb[10], 0xFF000000u);
    EXPECT_EQ(narrow.argb[150], 0xFF000000u);
    EXPECT_EQ(narrow.argb[60], kRed);
    EXPECT_EQ(narrow.argb[100], kBlue);
}

TEST(Compositor, OverlayTextIsPaintedWhereAndHowTheRecordSays) {
    ASSERT_TRUE(COverlayPainter::CanPaintText());
    CCompositor compositor;
    EffectSettings e = WithText("Hello 你好");
    e.textY = 0;  // at the top
    compositor.SetEffect(e);
    VcastPicture top = Flat(kGrey);
    compositor.Apply(top);
    // The green background box and red letters in the top band, nothing below the middle.
    std::size_t green = 0, red = 0, changedBelow = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            const std::uint32_t p = top.argb[static_cast<std::size_t>(y) * 160 + x];
            if (y >= 60) changedBelow += p != kGrey;
            else if (p == 0xFF00FF00u) ++green;
            else if (((p >> 16) & 255) > 200 && ((p >> 8) & 255) < 80) ++red;
        }
    EXPECT_GT(green, 200u);
    EXPECT_GT(red, 20u);
    EXPECT_EQ(changedBelow, 0u);

    // A transparent background leaves the grey around the letters.
    e.backTransparent = true;
    compositor.SetEffect(e);
    VcastPicture clear = Flat(kGrey);
    compositor.Apply(clear);
    std::size_t greenClear = 0;
    for (auto p : clear.argb) greenClear += p == 0xFF00FF00u;
    EXPECT_EQ(greenClear, 0u);
    EXPECT_GT(Differences(clear, Flat(kGrey)), 20u);

    // Rolling to the left moves the text between pictures.
    e.rollMode = 1;
    e.speed = 10;
    compositor.SetEffect(e);
    VcastPicture first = Flat(kGrey), second = Flat(kGrey);
    compositor.Apply(first);
    compositor.Apply(second);
    EXPECT_GT(Differences(first, second), 20u);
}

TEST(Compositor, LyricLinesShowNearTheBottomUntilCleared) {
    CCompositor compositor;
    compositor.SetLyric("la la la");
    VcastPicture sung = Flat(kGrey);
    compositor.Apply(sung);
    std::size_t top = 0, bottom = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            (y < 60 ? top : bottom) += sung.argb[static_cast<std::size_t>(y) * 160 + x] != kGrey;
    EXPECT_EQ(top, 0u);
    EXPECT_GT(bottom, 20u);
    compositor.SetLyric("");
    VcastPicture silent = Flat(kGrey);
    compositor.Apply(silent);
    EXPECT_EQ(Differences(silent, Flat(kGrey)), 0u);
}

TEST(Compositor, EffectPicturesAreDrawnAndMissingOnesIgnored) {
    const auto dir = std::filesystem::temp_directory_path() / ("vcast_fx_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string sticker = (dir / "sticker.png").string();
    QImage yellow(20, 20, QImage::Format_ARGB32);
    yellow.fill(QColor(255, 255, 0));
    ASSERT_TRUE(yellow.save(QString::fromStdString(sticker)));

    CCompositor compositor;
    EffectSettings e;
    e.pictures[0] = sticker;
    e.pictures[4] = (dir / "missing.bmp").string();
    compositor.SetEffect(e);
    VcastPicture p = Flat(kGrey);
    compositor.Apply(p);
    EXPECT_EQ(p.argb[5 * 160 + 5], 0xFFFFFF00u);      // top left: the sticker
    EXPECT_EQ(p.argb[115 * 160 + 5], kGrey);         // bottom left: nothing for the missing file
    EXPECT_EQ(p.argb[60 * 160 + 80], kGrey);
    std::filesystem::remove_all(dir);
}

TEST(Compositor, TheGridLinesTheThirds) {
    VcastPicture p = Flat(0xFF000000u, 90, 60);
    vcast_capture::DrawGrid(p);
    EXPECT_NE(p.argb[10 * 90 + 30], 0xFF000000u);
    EXPECT_NE(p.argb[20 * 90 + 5], 0xFF000000u);
    EXPECT_EQ(p.argb[10 * 90 + 5], 0xFF000000u);
}

TEST(NalScan, TheImportantFlagFollowsTheSlicesReferenceBits) {
    // SPS, PPS, IDR slice (ref_idc 3).
    const std::uint8_t key[] = {0, 0, 0, 1, 0x67, 1, 0, 0, 1, 0x68, 2, 0, 0, 1, 0x65, 9};
    EXPECT_TRUE(vcast_nal::IsReferenced(key, sizeof key));
    EXPECT_TRUE(vcast_nal::IsSelfContainedKey(key, sizeof key));
    // A non-reference slice (ref_idc 0) after an access unit delimiter.
    const std::uint8_t disposable[] = {0, 0, 0, 1, 0x09, 0xF0, 0, 0, 1, 0x01, 7};
    EXPECT_FALSE(vcast_nal::IsReferenced(disposable, sizeof disposable));
    EXPECT_FALSE(vcast_nal::IsSelfContainedKey(disposable, sizeof disposable));
    // Two slices, one referenced: the frame is.
    const std::uint8_t mixed[] = {0, 0, 1, 0x01, 7, 0, 0, 1, 0x41, 7};
    EXPECT_TRUE(vcast_nal::IsReferenced(mixed, sizeof mixed));
    // An IDR without headers in front does not decode alone.
    const std::uint8_t bare[] = {0, 0, 1, 0x65, 1};
    EXPECT_FALSE(vcast_nal::IsSelfContainedKey(bare, sizeof bare));
    EXPECT_TRUE(vcast_nal::IsReferenced(nullptr, 0));
    const std::uint8_t truncated[] = {0, 0, 1};
    EXPECT_TRUE(vcast_nal::IsReferenced(truncated, sizeof truncated));
}
