// WAV files: what is written reads back sample for sample, a file being
// written is readable at every header update, a cut file reads as far as it
// goes, and damaged or unplayable files are refused with a reason, never a
// crash.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "platform/wavedev/wav_file.h"
#include "tests/wavedev/signal.h"

namespace {

using namespace wavedev;
using wavetest::CTempDir;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Save(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string Le(std::uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(char(v >> (8 * i)));
    return s;
}

std::string Chunk(const std::string& id, const std::string& body, std::uint32_t length) {
    std::string c = id + Le(length, 4) + body;
    if (body.size() % 2) c.push_back('\0');
    return c;
}
std::string Chunk(const std::string& id, const std::string& body) {
    return Chunk(id, body, std::uint32_t(body.size()));
}

std::string Fmt(int tag, int channels, std::uint32_t rate, int blockAlign, int bits) {
    return Le(std::uint32_t(tag), 2) + Le(std::uint32_t(channels), 2) + Le(rate, 4) +
           Le(rate * std::uint32_t(blockAlign), 4) + Le(std::uint32_t(blockAlign), 2) +
           Le(std::uint32_t(bits), 2);
}

std::string Riff(const std::string& chunks) { return "RIFF" + Le(std::uint32_t(4 + chunks.size()), 4) + "WAVE" + chunks; }

const std::string kSamples = Le(0x1234, 2) + Le(0xFEDC, 2) + Le(7, 2) + Le(0, 2);

TEST(WavFile, WrittenFilesReadBackExactly) {
    CTempDir dir;
    for (const int channels : {1, 2}) {
        const auto tone = wavetest::Tone(440, 20000, 1001, 44100, channels);
        std::string error;
        ASSERT_TRUE(WriteWav(dir / "t.wav", {44100, channels}, tone, error)) << error;
        WavFormat format;
        std::vector<std::int16_t> back;
        ASSERT_TRUE(ReadWav(dir / "t.wav", format, back, error)) << error;
        EXPECT_EQ(format.rate, 44100);
        EXPECT_EQ(format.channels, channels);
        EXPECT_EQ(back, tone);
    }
}

TEST(WavFile, FileBeingWrittenIsValidAtEachHeaderUpdate) {
    CTempDir dir;
    const std::string path = dir / "live.wav";
    const auto tone = wavetest::Tone(1000, 10000, 1500, 22050);
    CWavWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Create(path, 22050, 1, error)) << error;

    WavFormat format;
    std::vector<std::int16_t> back;
    ASSERT_TRUE(ReadWav(path, format, back, error)) << error;  // header only: no samples yet
    EXPECT_TRUE(back.empty());

    ASSERT_TRUE(writer.Write(tone.data(), 1000));
    ASSERT_TRUE(writer.UpdateHeader());
    ASSERT_TRUE(writer.Write(tone.data() + 1000, 500));  // not in the header yet
    ASSERT_TRUE(ReadWav(path, format, back, error)) << error;
    EXPECT_EQ(back, std::vector<std::int16_t>(tone.begin(), tone.begin() + 1000));

    ASSERT_TRUE(writer.Close());
    ASSERT_TRUE(ReadWav(path, format, back, error)) << error;
    EXPECT_EQ(back, tone);
    EXPECT_EQ(writer.frames(), 1500u);
}

TEST(WavFile, CutFileReadsAsFarAsItGoes) {
    CTempDir dir;
    const auto tone = wavetest::Tone(300, 9000, 2000, 16000, 2);
    std::string error;
    ASSERT_TRUE(WriteWav(dir / "cut.wav", {16000, 2}, tone, error));
    std::string bytes = Bytes(dir / "cut.wav");
    bytes.resize(bytes.size() - 101);  // half a frame and then some
    Save(dir / "cut.wav", bytes);

    CWavReader reader;
    ASSERT_TRUE(reader.Open(dir / "cut.wav", error)) << error;
    const std::size_t frames = (2000 * 4 - 101) / 4;
    EXPECT_EQ(reader.frames(), frames);
    std::vector<std::int16_t> back(2000 * 2);
    EXPECT_EQ(reader.Read(back.data(), 2000), frames);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + long(frames * 2), tone.begin()));
    EXPECT_EQ(reader.Read(back.data(), 10), 0u);
}

TEST(WavFile, OtherChunksAndExtensibleHeadersAreReadThrough) {
    CTempDir dir;
    std::string error;
    WavFormat format;
    std::vector<std::int16_t> samples;
    // An odd-length chunk with its pad byte, data before fmt.
    Save(dir / "a.wav", Riff(Chunk("LIST", "abc") + Chunk("data", kSamples) + Chunk("fmt ", Fmt(1, 2, 8000, 4, 16))));
    ASSERT_TRUE(ReadWav(dir / "a.wav", format, samples, error)) << error;
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.rate, 8000);
    EXPECT_EQ(samples, (std::vector<std::int16_t>{0x1234, std::int16_t(0xFEDC), 7, 0}));

    // WAVE_FORMAT_EXTENSIBLE whose sub-format is PCM.
    const std::string ext = Fmt(0xFFFE, 1, 48000, 2, 16) + Le(22, 2) + Le(16, 2) + Le(4, 4) + Le(1, 2) +
                            std::string(14, '\x01');
    Save(dir / "b.wav", Riff(Chunk("fmt ", ext) + Chunk("data", kSamples)));
    ASSERT_TRUE(ReadWav(dir / "b.wav", format, samples, error)) << error;
    EXPECT_EQ(samples.size(), 4u);
}

TEST(WavFile, UnplayableFilesAreRefusedWithTheReason) {
    CTempDir dir;
    const std::string pcm = Fmt(1, 1, 22050, 2, 16);
    const std::string data = Chunk("data", kSamples);
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "not a RIFF WAVE"},
        {"other form", "RIFF" + Le(4, 4) + "AVI ", "not a RIFF WAVE"},
        {"no chunks", Riff(""), "no fmt chunk"},
        {"float", Riff(Chunk("fmt ", Fmt(3, 1, 22050, 4, 32)) + data), "not PCM"},
        {"extensible float", Riff(Chunk("fmt ", Fmt(0xFFFE, 1, 22050, 2, 16) + Le(22, 2) + Le(16, 2) + Le(4, 4) + Le(3, 2) + std::string(14, '\0')) + data), "not PCM"},
        {"extensible short", Riff(Chunk("fmt ", Fmt(0xFFFE, 1, 22050, 2, 16) + Le(0, 2)) + data), "too short"},
        {"8-bit", Riff(Chunk("fmt ", Fmt(1, 1, 22050, 1, 8)) + data), "16-bit"},
        {"no channels", Riff(Chunk("fmt ", Fmt(1, 0, 22050, 0, 16)) + data), "channel count"},
        {"nine channels", Riff(Chunk("fmt ", Fmt(1, 9, 22050, 18, 16)) + data), "channel count"},
        {"rate 0", Riff(Chunk("fmt ", Fmt(1, 1, 0, 2, 16)) + data), "sample rate"},
        {"rate huge", Riff(Chunk("fmt ", Fmt(1, 1, 0xFFFFFFFF, 2, 16)) + data), "sample rate"},
        {"block", Riff(Chunk("fmt ", Fmt(1, 2, 22050, 2, 16)) + data), "block"},
        {"short fmt", Riff(Chunk("fmt ", pcm.substr(0, 10))), "too short"},
        {"cut fmt", Riff("fmt " + Le(16, 4) + pcm.substr(0, 9)), "truncated fmt"},
        {"no data", Riff(Chunk("fmt ", pcm)), "no data chunk"},
        {"huge chunk first", Riff(Chunk("junk", "xy", 0xFFFFFFFF) + Chunk("fmt ", pcm) + data), "no fmt chunk"},
        {"cut chunk header", Riff(Chunk("fmt ", pcm) + "dat"), "no data chunk"},
    };
    for (const auto& c : cases) {
        Save(dir / "bad.wav", c.bytes);
        CWavReader reader;
        std::string error;
        EXPECT_FALSE(reader.Open(dir / "bad.wav", error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        std::int16_t buffer[8];
        EXPECT_EQ(reader.Read(buffer, 4), 0u) << c.name;
    }
    std::string error;
    CWavReader reader;
    EXPECT_FALSE(reader.Open(dir / "missing.wav", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

// Any damage to a header gives a refusal or a file read within its size.
TEST(WavFile, DamagedHeadersNeverReadPastTheFile) {
    CTempDir dir;
    std::string error;
    ASSERT_TRUE(WriteWav(dir / "good.wav", {22050, 2}, wavetest::Tone(500, 5000, 64, 22050, 2), error));
    const std::string good = Bytes(dir / "good.wav");
    std::mt19937 rng(7);
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = good;
        const int flips = 1 + int(rng() % 4);
        for (int i = 0; i < flips; ++i) bytes[rng() % 48] = char(rng());
        if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
        Save(dir / "damaged.wav", bytes);
        WavFormat format;
        std::vector<std::int16_t> samples;
        if (ReadWav(dir / "damaged.wav", format, samples, error)) {
            EXPECT_LE(samples.size() * 2, bytes.size());
            EXPECT_GE(format.channels, 1);
            EXPECT_LE(format.channels, kWavMaxChannels);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(WavFile, WriterRefusesWhatItCannotWrite) {
    CTempDir dir;
    CWavWriter writer;
    std::string error;
    EXPECT_FALSE(writer.Create(dir / "x.wav", 22050, 0, error));
    EXPECT_FALSE(writer.Create(dir / "no-such-folder/x.wav", 22050, 1, error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    const std::int16_t s[2] = {1, 2};
    EXPECT_FALSE(writer.Write(s, 1));
    EXPECT_FALSE(writer.Close());
}

}  // namespace
