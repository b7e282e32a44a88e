// Choosing a backend and the small pieces around it: with no sound server
// the files take over after exactly one log line, the latency clocks are
// found through whatever backend was made, device names match without
// regard to case, volume percents survive the trip through pulse volumes,
// and the loopback refuses to start without a server.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/tapout/tapout.h"
#include "platform/wavedev/pulse_session.h"
#include "platform/wavedev/wav_file.h"
#include "platform/wavedev/wavedev.h"
#include "tests/wavedev/signal.h"

namespace {

using namespace wavedev;
using wavetest::CTempDir;

const char* kNoServer = "unix:/nonexistent/zeri-test/native";

int LinesWith(const std::string& text, const std::string& word) {
    std::istringstream in(text);
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.find(word) != std::string::npos;
    return n;
}

TEST(MakeBackend, WithoutASoundServerFilesTakeOverAfterOneLine) {
    CTempDir dir;
    std::string error;
    ASSERT_TRUE(WriteWav(dir / "in.wav", {22050, 1}, wavetest::Tone(440, 1000, 2205, 22050), error));
    testing::internal::CaptureStderr();
    auto backend = MakeBackend(Options{dir / "in.wav", "", kNoServer, 0, 0});
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Name(), "file");
    EXPECT_EQ(LinesWith(log, "wavedev:"), 1) << log;
    EXPECT_EQ(LinesWith(log, "no sound server"), 1) << log;
    EXPECT_EQ(backend->InputNames(), std::vector<std::string>{"WAV file in.wav"});
    EXPECT_EQ(backend->OutputNames(), std::vector<std::string>{"Nowhere"});

    // Both sides named: the server is not even asked.
    testing::internal::CaptureStderr();
    auto files = MakeBackend(Options{dir / "in.wav", dir.path(), kNoServer, 0, 0});
    EXPECT_EQ(LinesWith(testing::internal::GetCapturedStderr(), "no sound server"), 0);
    EXPECT_EQ(files->Name(), "file");
}

TEST(MakeBackend, LatencyClocksAreFoundThroughTheBackend) {
    CTempDir dir;
    auto backend = MakeBackend(Options{"", dir.path(), kNoServer, 0, 0});
    std::chrono::steady_clock::time_point at{};
    EXPECT_FALSE(FileInputStart(*backend, at));
    EXPECT_FALSE(FileOutputStart(*backend, 22050, at));
    int result = -1;
    const auto before = std::chrono::steady_clock::now();
    auto out = backend->OpenOut(-1, 22050, 1, 4096, nullptr, result);
    auto in = backend->OpenIn(-1, 16000, 1, 640, nullptr, result);
    ASSERT_TRUE(out && in);
    ASSERT_TRUE(FileOutputStart(*backend, 22050, at));
    EXPECT_GE(at, before);
    EXPECT_FALSE(FileOutputStart(*backend, 44100, at));
    ASSERT_TRUE(FileInputStart(*backend, at));
    EXPECT_GE(at, before);
}

TEST(FindDevice, MatchesNamesIgnoringCase) {
    const std::vector<std::string> names{"Built-in Audio", "USB Headset", "usb headset"};
    EXPECT_EQ(FindDevice(names, "usb HEADSET"), 1);
    EXPECT_EQ(FindDevice(names, "Built-in Audio"), 0);
    EXPECT_EQ(FindDevice(names, "USB"), -1);
    EXPECT_EQ(FindDevice(names, ""), -1);
    EXPECT_EQ(FindDevice({}, "USB Headset"), -1);
}

TEST(PulseVolume, EveryPercentReadsBackAsSet) {
    for (int p = 0; p <= 100; ++p) EXPECT_EQ(PercentOfPulseVolume(PulseVolumeOfPercent(p)), p);
    EXPECT_EQ(PulseVolumeOfPercent(100), PA_VOLUME_NORM);
    EXPECT_EQ(PulseVolumeOfPercent(250), PA_VOLUME_NORM);
    EXPECT_EQ(PulseVolumeOfPercent(-5), PA_VOLUME_MUTED);
    EXPECT_EQ(PercentOfPulseVolume(PA_VOLUME_NORM * 3 / 2), 100);  // boosted: shown as full
}

TEST(PulseErrors, MapOntoResultCodes) {
    EXPECT_EQ(ResultOfPulseError(PA_ERR_NOENTITY), bad_device);
    EXPECT_EQ(ResultOfPulseError(PA_ERR_ACCESS), allocated);
    EXPECT_EQ(ResultOfPulseError(PA_ERR_BUSY), allocated);
    EXPECT_EQ(ResultOfPulseError(PA_ERR_CONNECTIONREFUSED), no_driver);
    EXPECT_EQ(ResultOfPulseError(PA_ERR_INVALID), bad_format);
    EXPECT_EQ(ResultOfPulseError(PA_ERR_NOTSUPPORTED), bad_format);
    EXPECT_EQ(ResultOfPulseError(PA_ERR_PROTOCOL), other);
}

TEST(PulseSession, NoServerIsReportedNotWaitedFor) {
    std::string error;
    int result = ok;
    EXPECT_FALSE(CPulseSession::Connect(kNoServer, "zeri test", 2000, error, result));
    EXPECT_EQ(result, no_driver);
    EXPECT_FALSE(error.empty());
}

TEST(Tapout, RefusesWithoutAServerAndBadHandles) {
    TAPOUT_SetServer(kNoServer);
    int calls = 0;
    tapout_t* h = TAPOUT_Init([](const void*, int, void* c) { ++*static_cast<int*>(c); }, &calls);
    ASSERT_TRUE(h);
    int rate = 0, channels = 0, bits = 0;
    EXPECT_EQ(TAPOUT_Open(h, 0, &rate, &channels, &bits), no_driver);
    EXPECT_EQ(TAPOUT_Open(h, 1, &rate, &channels, &bits), bad_device);
    EXPECT_NE(TAPOUT_Close(h), 0);  // nothing open
    TAPOUT_Release(h);
    EXPECT_NE(TAPOUT_Open(nullptr, 0, &rate, &channels, &bits), 0);
    EXPECT_NE(TAPOUT_Close(nullptr), 0);
    TAPOUT_Release(nullptr);
    TAPOUT_SetServer(nullptr);
    EXPECT_EQ(calls, 0);
}

}  // namespace
