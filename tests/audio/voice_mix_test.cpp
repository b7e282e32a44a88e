// Mixing speakers and the listener's volume per user: levels, saturation,
// and the volumes file surviving a restart, damage and odd values.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "audio/user_volumes.h"
#include "audio/voice_mix.h"

TEST(VoiceMix, SpeakersAddAtTheirVolumesAndLoudSumsClipInsteadOfWrapping) {
    std::int16_t out[4] = {0, 0, 1000, -1000};
    const std::int16_t a[4] = {1000, -1000, 30000, -30000};
    voice_mix::AddInto(out, a, 4, 100);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[1], -1000);
    EXPECT_EQ(out[2], 31000);
    EXPECT_EQ(out[3], -31000);
    voice_mix::AddInto(out, a, 4, 50);  // the same voice again at half its level
    EXPECT_EQ(out[0], 1500);
    EXPECT_EQ(out[2], 32767);   // not wrapped to a negative sample
    EXPECT_EQ(out[3], -32768);
    std::int16_t quiet[2] = {0, 0};
    voice_mix::AddInto(quiet, a, 2, -20);  // below 0: silent
    EXPECT_EQ(quiet[0], 0);
    voice_mix::AddInto(quiet, a, 2, 900);  // above 200: 200
    EXPECT_EQ(quiet[0], 2000);
}

TEST(UserVolumes, AChosenVolumeOutlivesARestartAndADamagedFileMeansFullVolume) {
    const auto dir = std::filesystem::temp_directory_path() / ("zeri-vol-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "volumes.xml").string();
    {
        CUserVolumes v(path);
        EXPECT_FALSE(v.Load());  // none yet
        EXPECT_EQ(v.Volume(10003), 100);
        EXPECT_TRUE(v.Set(10003, 150));
        EXPECT_TRUE(v.Set(10004, 500));  // clamped
        EXPECT_TRUE(v.Set(10005, 0));
        EXPECT_TRUE(v.Set(10005, 100));  // back to the default: forgotten
    }
    CUserVolumes again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Volume(10003), 150);
    EXPECT_EQ(again.Volume(10004), 200);
    EXPECT_EQ(again.Volume(10005), 100);

    // Entries that make no sense are skipped; the rest still count.
    std::ofstream(path) << "<volumes><user id=\"x\" volume=\"50\"/><user id=\"7\" volume=\"-3\"/>"
                           "<user id=\"8\" volume=\"70\"/><user id=\"9\" volume=\"7a\"/></volumes>";
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Volume(7), 0);
    EXPECT_EQ(again.Volume(8), 70);
    EXPECT_EQ(again.Volume(9), 100);
    std::ofstream(path) << "<volu";
    EXPECT_FALSE(again.Load());
    EXPECT_EQ(again.Volume(8), 100);
    std::filesystem::remove_all(dir);
}
