// The voice message file: what the server keeps and what players walk.
#include "formats/amr_file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A frame of `type` with a zero payload: enough for the size rules.
std::string Frame(int type) {
    const std::size_t size = amr::FrameBytes(static_cast<std::uint8_t>(type << 3));
    std::string f(size == 0 ? 1 : size, '\0');
    f[0] = static_cast<char>((type << 3) | 0x04);
    return f;
}

std::string File(std::initializer_list<int> types) {
    std::string out(amr::kMagic);
    for (int t : types) out += Frame(t);
    return out;
}

TEST(AmrFile, FrameSizesFollowTheHeaderType) {
    const std::size_t expected[16] = {13, 14, 16, 18, 20, 21, 27, 32, 6, 0, 0, 0, 0, 0, 0, 1};
    for (int t = 0; t < 16; ++t) {
        // The bits outside the type (quality, padding) do not change the size.
        EXPECT_EQ(amr::FrameBytes(static_cast<std::uint8_t>(t << 3)), expected[t]) << t;
        EXPECT_EQ(amr::FrameBytes(static_cast<std::uint8_t>((t << 3) | 0x87)), expected[t]) << t;
    }
}

TEST(AmrFile, CheckAcceptsWholeNarrowBandFiles) {
    EXPECT_EQ(amr::CheckAmrFile(File({7})), amr::FileError::none);
    EXPECT_EQ(amr::CheckAmrFile(File({15, 8, 0, 1, 2, 3, 4, 5, 6, 7, 15})), amr::FileError::none);

    std::string longest(amr::kMagic);
    for (std::size_t i = 0; i < amr::kMaxFrames; ++i) longest += Frame(i == 0 ? 0 : 15);
    EXPECT_EQ(amr::CheckAmrFile(longest), amr::FileError::none);
    EXPECT_EQ(amr::CheckAmrFile(longest + Frame(15)), amr::FileError::too_many_frames);
}

TEST(AmrFile, CheckRefusesWhatIsNoKeepableVoiceMessage) {
    using E = amr::FileError;
    EXPECT_EQ(amr::CheckAmrFile(""), E::not_amr);
    EXPECT_EQ(amr::CheckAmrFile("#!AMR"), E::not_amr);
    EXPECT_EQ(amr::CheckAmrFile("\x89PNG\r\n\x1a\n...."), E::not_amr);
    EXPECT_EQ(amr::CheckAmrFile(std::string("#!AMR-WB\n") + Frame(7)), E::wide_band);
    // The magic alone, or only silence, is no message.
    EXPECT_EQ(amr::CheckAmrFile(File({})), E::no_speech);
    EXPECT_EQ(amr::CheckAmrFile(File({8, 15, 15})), E::no_speech);
    for (int bad = 9; bad <= 14; ++bad)
        EXPECT_EQ(amr::CheckAmrFile(File({7, bad})), E::bad_frame) << bad;
    std::string cut = File({7, 7});
    cut.pop_back();
    EXPECT_EQ(amr::CheckAmrFile(cut), E::truncated);
    EXPECT_EQ(amr::CheckAmrFile(File({7}) + std::string(amr::kMaxFileBytes, '\x7c')), E::too_large);
    // Every error has a text to show.
    for (E e : {E::none, E::too_large, E::wide_band, E::not_amr, E::bad_frame, E::truncated,
                E::no_speech, E::too_many_frames})
        EXPECT_NE(std::string(amr::FileErrorText(e)), "");
}

TEST(AmrFile, SplitterGivesWholeFramesAndStepsOverDamage) {
    const std::string file = File({7, 0, 8, 15});
    const amr::FrameWalk walk = amr::SplitAmrFrames(file);
    ASSERT_TRUE(walk.magic);
    ASSERT_EQ(walk.frames.size(), 4u);
    EXPECT_EQ(walk.frames[0].size(), 32u);
    EXPECT_EQ(walk.frames[1].size(), 13u);
    EXPECT_EQ(walk.frames[2].size(), 6u);
    EXPECT_EQ(walk.frames[3].size(), 1u);
    EXPECT_EQ(walk.frames[1].data(), file.data() + amr::kMagic.size() + 32);
    EXPECT_EQ(walk.invalid, 0u);
    EXPECT_FALSE(walk.truncated);

    // Two invalid header bytes between speech frames: counted, skipped, and
    // the frames after them still found.
    std::string damaged = File({7});
    damaged += static_cast<char>(9 << 3);
    damaged += static_cast<char>(14 << 3);
    damaged += Frame(1);
    const amr::FrameWalk d = amr::SplitAmrFrames(damaged);
    EXPECT_EQ(d.invalid, 2u);
    ASSERT_EQ(d.frames.size(), 2u);
    EXPECT_EQ(d.frames[1].size(), 14u);

    std::string cut = File({7, 7});
    cut.resize(cut.size() - 5);
    const amr::FrameWalk c = amr::SplitAmrFrames(cut);
    EXPECT_TRUE(c.truncated);
    EXPECT_EQ(c.frames.size(), 1u);

    EXPECT_FALSE(amr::SplitAmrFrames(std::string("#!AMR-WB\n") + Frame(7)).magic);
    EXPECT_TRUE(amr::SplitAmrFrames("garbage").frames.empty());
}

}  // namespace
