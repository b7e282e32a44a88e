// Voice messages as files: 8000 Hz PCM becomes "#!AMR\n" and 12.2 kbit/s
// frames that decode back to the same length and pitch, the capture's
// 22050 Hz is converted on the way, a message stops at 60 s, and files are
// written whole under a temporary name and removed on discard.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/voice_message/voice_writer.h"
#include "core/files.h"
#include "platform/sonic/sonic.h"
#include "tests/wavedev/signal.h"

namespace {

namespace fs = std::filesystem;
using wavetest::Pitch;
using wavetest::Tone;

// Decodes an AMR file as the player does: skip the magic, feed the rest.
std::vector<std::int16_t> DecodeFile(const std::string& file) {
    std::vector<std::int16_t> pcm;
    sonic_damr_t* d = sonic_damr();
    EXPECT_NE(d, nullptr);
    if (!d) return pcm;
    const auto* data = reinterpret_cast<const unsigned char*>(file.data());
    std::size_t at = 6;
    while (at < file.size()) {
        const int n = std::min<int>(sonic_damr_size(d), int(file.size() - at));
        unsigned char* out = nullptr;
        int outLength = 0;
        const int used = sonic_damr_decode(d, data + at, n, &out, &outLength);
        if (used <= 0) break;
        if (out) {
            const auto* s = reinterpret_cast<const std::int16_t*>(out);
            pcm.insert(pcm.end(), s, s + outLength / 2);
        }
        at += std::size_t(used);
    }
    sonic_damr_release(d);
    return pcm;
}

std::size_t Count(const std::string& folder) {
    return std::size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(VoiceWriter, ThreeSecondsAreTheMagicAndOneHundredFiftyFramesThatDecodeBackWhole) {
    voice::CVoiceWriter writer;
    ASSERT_TRUE(writer.Start());
    const auto tone = Tone(1000, 23197, 3 * 8000, 8000);
    // Pieces that never line up with a frame.
    for (std::size_t at = 0; at < tone.size(); at += 333)
        ASSERT_TRUE(writer.Push8k(tone.data() + at, std::min<std::size_t>(333, tone.size() - at)));
    EXPECT_EQ(writer.DurationMs(), 3000);
    const std::string file = writer.Finish();
    EXPECT_FALSE(writer.started());

    ASSERT_EQ(file.size(), 6u + 150u * 32u);
    EXPECT_EQ(file.substr(0, 6), "#!AMR\n");
    for (std::size_t at = 6; at < file.size(); at += 32) EXPECT_EQ(std::uint8_t(file[at]), 0x3C);
    const auto back = DecodeFile(file);
    ASSERT_EQ(back.size(), tone.size());  // the last frame too
    EXPECT_NEAR(Pitch(back.data() + 1600, back.size() - 1600, 8000), 1000.0, 20.0);
}

TEST(VoiceWriter, ThePartialLastFrameIsKeptAndSixtySecondsIsTheEnd) {
    voice::CVoiceWriter writer;
    EXPECT_FALSE(writer.Push8k(nullptr, 0));  // not started
    EXPECT_TRUE(writer.Finish().empty());

    ASSERT_TRUE(writer.Start());
    const auto tone = Tone(440, 10362, 100, 8000);
    ASSERT_TRUE(writer.Push8k(tone.data(), tone.size()));
    EXPECT_EQ(writer.DurationMs(), 12);
    EXPECT_EQ(DecodeFile(writer.Finish()).size(), 160u);  // padded, not dropped

    ASSERT_TRUE(writer.Start());
    const std::vector<std::int16_t> second(8000, 100);
    bool refused = false;
    for (int s = 0; s < 61 && !refused; ++s) refused = !writer.Push8k(second.data(), second.size());
    EXPECT_TRUE(refused);
    EXPECT_TRUE(writer.full());
    EXPECT_EQ(writer.DurationMs(), 60000);
    EXPECT_EQ(writer.Finish().size(), 6u + 3000u * 32u);
}

TEST(VoiceWriter, TheCapturesRateIsConvertedKeepingPitchAndDuration) {
    voice::CVoiceWriter writer;
    ASSERT_TRUE(writer.Start());
    const auto tone = Tone(1000, 23197, 2 * 22050, 22050);
    for (std::size_t at = 0; at < tone.size(); at += 2048)
        ASSERT_TRUE(writer.Push22k(tone.data() + at, std::min<std::size_t>(2048, tone.size() - at)));
    EXPECT_NEAR(double(writer.DurationMs()), 2000.0, 20.0);
    const auto back = DecodeFile(writer.Finish());
    ASSERT_GT(back.size(), 15000u);
    EXPECT_NEAR(Pitch(back.data() + 1600, back.size() - 1600, 8000), 1000.0, 20.0);
}

TEST(VoiceWriter, FilesAreWrittenWholeUnderATemporaryNameAndDiscardRemovesThem) {
    wavetest::CTempDir folder;
    ASSERT_FALSE(folder.path().empty());
    voice::CVoiceWriter writer;
    ASSERT_TRUE(writer.Start());
    const auto tone = Tone(700, 16422, 8000, 8000);
    ASSERT_TRUE(writer.Push8k(tone.data(), tone.size()));
    std::string error;
    const std::string path = writer.FinishInto(folder.path(), error);
    ASSERT_FALSE(path.empty()) << error;
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(folder.path()));
    EXPECT_NE(fs::path(path).filename().string().find(".tmp"), std::string::npos);
    std::string bytes;
    ASSERT_TRUE(files::ReadFile(path, bytes));
    EXPECT_EQ(bytes.size(), 6u + 50u * 32u);
    EXPECT_EQ(Count(folder.path()), 1u);  // nothing half-written beside it

    // A second recording gets a name of its own.
    voice::CVoiceWriter other;
    ASSERT_TRUE(other.Start());
    ASSERT_TRUE(other.Push8k(tone.data(), tone.size()));
    const std::string second = other.FinishInto(folder.path(), error);
    EXPECT_NE(second, path);
    EXPECT_EQ(Count(folder.path()), 2u);

    writer.Discard();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(second));
    writer.Discard();  // twice is harmless

    // An unfinished recording is dropped without a file.
    ASSERT_TRUE(writer.Start());
    ASSERT_TRUE(writer.Push8k(tone.data(), tone.size()));
    writer.Discard();
    EXPECT_FALSE(writer.started());
    EXPECT_TRUE(writer.Finish().empty());

    // A folder that does not exist: an error, nothing written.
    ASSERT_TRUE(writer.Start());
    ASSERT_TRUE(writer.Push8k(tone.data(), tone.size()));
    EXPECT_TRUE(writer.FinishInto(folder.path() + "/missing", error).empty());
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(folder.path() + "/missing"));
}

}  // namespace
