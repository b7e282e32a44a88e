// The effect record: its bytes lie where the video library reads them, the
// derived flags follow the fields, anything read from "effect.dat" comes out
// terminated and in range, and a file of the wrong size is deleted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "video/effect_record.h"

namespace L = effect_layout;

namespace {

std::uint32_t U32(const EffectRecord::Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void PutU32(EffectRecord::Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
void PutF32(EffectRecord::Bytes& b, std::size_t at, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    PutU32(b, at, v);
}

class EffectFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("zeri-effect-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        path = (dir / "effect.dat").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void WriteBytes(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::filesystem::path dir;
    std::string path;
};

}  // namespace

TEST(EffectRecordBytes, DefaultsLieAtTheirOffsetsLittleEndian) {
    const EffectRecord::Bytes b = EffectRecord::Defaults().ToBytes();
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(b[i], 0) << "flag " << i;
    EXPECT_EQ(U32(b, L::kBrightness), 0x3F800000u);  // 1.0f
    EXPECT_EQ(U32(b, L::kContrast), 0x3F800000u);
    EXPECT_EQ(U32(b, L::kStretch), 10u);
    for (std::size_t i = 24; i < 36; ++i) EXPECT_EQ(b[i], 0) << i;
    const unsigned char colours[] = {255, 0, 0, 0, 255, 0};
    EXPECT_EQ(std::memcmp(b.data() + L::kColours, colours, 6), 0);
    EXPECT_EQ(U32(b, L::kTextY), 60u);
    EXPECT_EQ(U32(b, L::kTextSize1), 18u);
    EXPECT_EQ(U32(b, L::kTextSize2), 18u);
    EXPECT_EQ(U32(b, L::kValue108), 900u);
    // "宋体" as UTF-16LE: U+5B8B U+4F53, then a zero unit.
    const unsigned char face[] = {0x8B, 0x5B, 0x53, 0x4F, 0, 0};
    EXPECT_EQ(std::memcmp(b.data() + L::kFace, face, sizeof face), 0);
    const char character[] = "effect\\character\\character.bmp";
    EXPECT_EQ(std::memcmp(b.data() + L::kCharacter, character, sizeof character), 0);
    EXPECT_EQ(b[L::kSticker], 0);
}

TEST(EffectRecordBytes, FlagsAndRollBitFollowTheFields) {
    EffectRecord r;
    r.contrast = 1.5f;
    r.light = "effect\\light\\1.png";
    r.SetText("欢迎");
    r.rollMode = 2;
    r.stretch = 0x01020304;  // no meaning, only the byte order
    EffectRecord::Bytes b = r.ToBytes();
    EXPECT_EQ(b[L::kFlagAdjust], 1);
    EXPECT_EQ(b[L::kFlagSticker], 0);
    EXPECT_EQ(b[L::kFlagLight], 1);
    EXPECT_EQ(b[L::kFlagAnimation], 0);
    EXPECT_EQ(b[L::kFlagColour], 0);
    EXPECT_EQ(b[L::kFlagText], 1);
    EXPECT_EQ(U32(b, L::kRollBits) & 1u, 1u);
    EXPECT_EQ(U32(b, L::kRollMode), 2u);
    EXPECT_EQ(b[L::kStretch], 0x04);
    EXPECT_EQ(b[L::kStretch + 3], 0x01);
    EXPECT_STREQ(reinterpret_cast<const char*>(b.data() + L::kText), "欢迎");

    // Back to neutral: every derived flag clears again.
    r.contrast = 1.0f;
    r.light.clear();
    r.SetText("");
    r.rollMode = 0;
    b = r.ToBytes();
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(b[i], 0) << "flag " << i;
    EXPECT_EQ(U32(b, L::kRollBits), 0u);
    r.whiteBalance = 3;
    EXPECT_EQ(r.ToBytes()[L::kFlagAdjust], 1);
}

TEST(EffectRecordBytes, WhatIsWrittenReadsBackTheSame) {
    EffectRecord r;
    r.brightness = 0.5f;
    r.contrast = 2.0f;
    r.whiteBalance = 40;
    r.textBgTransparent = 1;
    r.SetText("直播间");
    r.colours = {1, 2, 3, 4, 5, 6};
    r.textRandom = 1;
    r.textY = 90;
    r.textSpeed = 4;
    r.mirror = 1;
    r.face = u"Noto Sans 𝒳";  // a surrogate pair survives
    r.rollMode = 1;
    r.sticker = "effect\\sticker\\a.png";
    r.animation = "/home/u/动画.gif";
    EXPECT_EQ(EffectRecord::FromBytes(r.ToBytes()), r);
}

TEST(EffectRecordBytes, DamagedBytesComeOutTerminatedAndInRange) {
    EffectRecord::Bytes b;
    b.fill(0xFF);  // nothing terminated, every number huge
    PutF32(b, L::kBrightness, std::numeric_limits<float>::quiet_NaN());
    PutF32(b, L::kContrast, std::numeric_limits<float>::infinity());
    EffectRecord r = EffectRecord::FromBytes(b);
    EXPECT_EQ(r.brightness, 1.0f);
    EXPECT_EQ(r.contrast, 1.0f);
    EXPECT_EQ(r.stretch, static_cast<std::uint32_t>(effect_range::kStretchMax));
    EXPECT_EQ(r.whiteBalance, static_cast<std::uint32_t>(effect_range::kWhiteBalanceMax));
    EXPECT_EQ(r.textY, static_cast<std::uint32_t>(effect_range::kTextYMax));
    EXPECT_EQ(r.textSize1, static_cast<std::uint32_t>(effect_range::kTextSizeMax));
    EXPECT_EQ(r.rollMode, 0u);
    EXPECT_EQ(r.mirror, 1);
    EXPECT_EQ(r.textBgTransparent, 1);
    EXPECT_EQ(r.text.size(), L::kTextWidth - 1);
    EXPECT_EQ(r.face.size(), L::kFaceUnits - 1);
    EXPECT_EQ(r.sticker.size(), L::kPathWidth - 1);
    EXPECT_EQ(r.character.size(), L::kPathWidth - 1);
    // Written again, each text has its terminating zero inside its field.
    const EffectRecord::Bytes again = r.ToBytes();
    EXPECT_EQ(again[L::kText + L::kTextWidth - 1], 0);
    EXPECT_EQ(again[L::kFace + 2 * (L::kFaceUnits - 1)], 0);
    EXPECT_EQ(again[L::kFace + 2 * (L::kFaceUnits - 1) + 1], 0);
    EXPECT_EQ(again[L::kCharacter + L::kPathWidth - 1], 0);
    EXPECT_EQ(EffectRecord::FromBytes(again), r);

    // Negative floats and small sizes meet the bottom of their ranges.
    b = EffectRecord::Defaults().ToBytes();
    PutF32(b, L::kBrightness, -3.0f);
    PutU32(b, L::kTextSize2, 1);
    r = EffectRecord::FromBytes(b);
    EXPECT_EQ(r.brightness, 0.0f);
    EXPECT_EQ(r.textSize2, static_cast<std::uint32_t>(effect_range::kTextSizeMin));
}

TEST(EffectRecordBytes, TextIsCutOnACharacterBoundary) {
    EffectRecord r;
    r.SetText(std::string(30, 'a') + "汉");  // 33 bytes; the 3-byte character does not fit
    EXPECT_EQ(r.text, std::string(30, 'a'));
    r.SetText(std::string("ab\0cd", 5));
    EXPECT_EQ(r.text, "ab");
}

TEST_F(EffectFile, SavedRecordLoadsAndDamagedSizesAreDeleted) {
    EffectRecord r;
    r.SetText("hello");
    r.brightness = 1.2f;
    ASSERT_TRUE(SaveEffect(path, r));
    EXPECT_EQ(std::filesystem::file_size(path), L::kSize);
    EffectRecord loaded;
    ASSERT_TRUE(LoadEffect(path, loaded));
    EXPECT_EQ(loaded, r);

    // Two records: the first one counts.
    EffectRecord second;
    second.SetText("second");
    const auto b1 = r.ToBytes(), b2 = second.ToBytes();
    WriteBytes(std::string(b1.begin(), b1.end()) + std::string(b2.begin(), b2.end()));
    EffectRecord fromTwo;
    ASSERT_TRUE(LoadEffect(path, fromTwo));
    EXPECT_EQ(fromTwo.text, "hello");
    EXPECT_TRUE(std::filesystem::exists(path));

    // One byte too many: deleted, and what the caller had stays.
    WriteBytes(std::string(b1.begin(), b1.end()) + "x");
    EffectRecord untouched;
    untouched.SetText("mine");
    EXPECT_FALSE(LoadEffect(path, untouched));
    EXPECT_EQ(untouched.text, "mine");
    EXPECT_FALSE(std::filesystem::exists(path));

    // No file, or an empty one: nothing loaded, nothing deleted.
    EXPECT_FALSE(LoadEffect(path, untouched));
    WriteBytes("");
    EXPECT_FALSE(LoadEffect(path, untouched));
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(EffectFile, AnUnwritableSaveSaysSo) {
    std::filesystem::create_directories(path + "/keep");
    EXPECT_FALSE(SaveEffect(path, EffectRecord{}));
    EXPECT_TRUE(std::filesystem::is_directory(path + "/keep"));
}
