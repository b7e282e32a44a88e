// The file backend as the audio path sees it: a WAV microphone that speaks
// in real time and in the format asked for, speaker files whose timeline is
// the wall clock (so onsets in them are ear times), device-like buffers and
// underruns, this program's own level, the simulated echo, and streams that
// stay quiet once closed.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "platform/wavedev/file_backend.h"
#include "platform/wavedev/wav_file.h"
#include "tests/wavedev/signal.h"

namespace {

using namespace wavedev;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using wavetest::CTempDir;

// What an input stream delivered, and when.
struct Capture {
    std::mutex lock;
    std::condition_variable more;
    std::vector<std::int16_t> samples;
    std::vector<std::size_t> counts;
    std::vector<Clock::time_point> times;

    PcmCallback Callback() {
        return [this](const std::int16_t* s, std::size_t n) {
            std::lock_guard<std::mutex> l(lock);
            samples.insert(samples.end(), s, s + n);
            counts.push_back(n);
            times.push_back(Clock::now());
            more.notify_all();
        };
    }
    // Waits until `n` samples came (or a generous time passed).
    void WaitFor(std::size_t n) {
        std::unique_lock<std::mutex> l(lock);
        more.wait_for(l, 10s, [&] { return samples.size() >= n; });
    }
    std::size_t Calls() {
        std::lock_guard<std::mutex> l(lock);
        return counts.size();
    }
};

// Writes `pcm` into `out` as fast as the device takes it.
void Play(IWaveOutStream& out, const std::vector<std::int16_t>& pcm) {
    std::size_t at = 0;
    while (at < pcm.size()) {
        const long n = out.Write(pcm.data() + at, (pcm.size() - at) * 2);
        ASSERT_GE(n, 0);
        at += std::size_t(n) / 2;
        if (n == 0) std::this_thread::sleep_for(5ms);
    }
}

std::vector<std::int16_t> ReadOutput(const std::string& path) {
    WavFormat format;
    std::vector<std::int16_t> samples;
    std::string error;
    EXPECT_TRUE(ReadWav(path, format, samples, error)) << error;
    return samples;
}

TEST(FileInput, WavSpeaksInRealTimeInTheFormatAsked) {
    CTempDir dir;
    std::string error;
    // 0.3 s of 1 kHz in stereo at 16 kHz, asked for as 22050 Hz mono.
    ASSERT_TRUE(WriteWav(dir / "mouth.wav", {16000, 2}, wavetest::Tone(1000, 8000, 4800, 16000, 2), error));
    CFileBackend backend(Options{dir / "mouth.wav", "", "", 0, 0});
    Capture got;
    int result = -1;
    auto in = backend.OpenIn(-1, 22050, 1, 2048, got.Callback(), result);
    ASSERT_EQ(result, ok);
    ASSERT_TRUE(in);
    got.WaitFor(22050 / 2);
    in->Close();
    const auto start = backend.InputStart();
    ASSERT_TRUE(start);

    std::lock_guard<std::mutex> l(got.lock);
    std::size_t delivered = 0;
    for (std::size_t i = 0; i < got.counts.size(); ++i) {
        EXPECT_EQ(got.counts[i], 1024u);  // fragments of the size asked
        delivered += got.counts[i];
        // A fragment comes once its last sample has been spoken, not before.
        EXPECT_GE(got.times[i], *start + std::chrono::microseconds(delivered * 1000000 / 22050));
    }
    const auto& s = got.samples;
    EXPECT_NEAR(wavetest::Pitch(s.data() + 200, 6000, 22050), 1000, 20);
    EXPECT_NEAR(wavetest::Rms(s.data() + 200, 6000), 8000 / std::sqrt(2.0), 600);
    // After the file: silence (allowing for the converter's filter tail).
    EXPECT_EQ(wavetest::Peak(s.data() + 6615 + 64, s.size() - 6615 - 64), 0);
    EXPECT_GT(wavetest::Peak(s.data() + 6400, 150), 4000);
}

TEST(FileInput, NoFileIsSilenceAtTheSamePaceAndCloseEndsDelivery) {
    CFileBackend backend(Options{});
    Capture got;
    int result = -1;
    auto in = backend.OpenIn(0, 8000, 2, 640, got.Callback(), result);
    ASSERT_TRUE(in);
    const auto opened = Clock::now();
    got.WaitFor(8000 * 2 / 2);  // half a second of stereo
    in->Close();
    const double elapsed = wavetest::Seconds(Clock::now() - opened);
    const std::size_t calls = got.Calls();
    in->Close();  // idempotent
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(got.Calls(), calls) << "a callback after Close";

    std::lock_guard<std::mutex> l(got.lock);
    EXPECT_EQ(wavetest::Peak(got.samples.data(), got.samples.size()), 0);
    for (std::size_t n : got.counts) EXPECT_EQ(n, 320u);
    // Paced, not flooded: no more than real time allows.
    EXPECT_LE(double(got.samples.size()) / 2 / 8000, elapsed + 0.05);
    EXPECT_EQ(in->Overruns(), 0u);
}

TEST(FileInput, SlowCallbackLosesSamplesAsOverruns) {
    CFileBackend backend(Options{});
    std::atomic<int> calls{0};
    int result = -1;
    auto in = backend.OpenIn(-1, 22050, 1, 441 * 2,
                             [&](const std::int16_t*, std::size_t) {
                                 if (calls++ == 0) std::this_thread::sleep_for(900ms);
                             },
                             result);
    ASSERT_TRUE(in);
    while (calls.load() < 3) std::this_thread::sleep_for(10ms);
    in->Close();
    EXPECT_GT(in->Overruns(), 22050u / 10);  // the stall was over the device's 0.5 s
    EXPECT_EQ(in->Overruns() % 441, 0u);     // whole fragments
}

TEST(FileInput, BadRequestsAreRefused) {
    CTempDir dir;
    std::ofstream(dir / "junk.wav") << "not a wave file at all";
    CFileBackend backend(Options{dir / "junk.wav", "", "", 0, 0});
    int result = -1;
    EXPECT_FALSE(backend.OpenIn(-1, 22050, 1, 2048, nullptr, result));
    EXPECT_EQ(result, bad_device);
    CFileBackend silent(Options{});
    EXPECT_FALSE(silent.OpenIn(1, 22050, 1, 2048, nullptr, result));
    EXPECT_EQ(result, bad_device);
    EXPECT_FALSE(silent.OpenIn(-1, 0, 1, 2048, nullptr, result));
    EXPECT_EQ(result, bad_format);
    EXPECT_FALSE(silent.OpenIn(-1, 22050, 9, 2048, nullptr, result));
    EXPECT_EQ(result, bad_format);
    // A zero fragment is a hint like any other.
    Capture got;
    auto in = silent.OpenIn(-1, 22050, 1, 0, got.Callback(), result);
    ASSERT_TRUE(in);
    got.WaitFor(1);
    in->Close();
    EXPECT_GT(got.Calls(), 0u);
}

TEST(FileOutput, SpeakerFileRunsOnTheWallClock) {
    CTempDir dir;
    EXPECT_EQ(OutputFileName(22050), "speaker-22050.wav");
    double written = 0, closed = 0;
    Clock::time_point start;
    {
        CFileBackend backend(Options{"", dir.path(), "", 0, 0});
        int result = -1;
        auto out = backend.OpenOut(-1, 22050, 1, 8192, nullptr, result);
        ASSERT_TRUE(out);
        start = *backend.OutputStart(22050);
        EXPECT_EQ(out->Writable(), 8192u);
        std::this_thread::sleep_for(200ms);  // the device plays silence meanwhile
        written = wavetest::Seconds(Clock::now() - start);
        Play(*out, wavetest::Tone(1000, 10000, 22050 / 4, 22050));
        std::this_thread::sleep_for(300ms);
        out->Close();
        closed = wavetest::Seconds(Clock::now() - start);
    }
    const double stopped = wavetest::Seconds(Clock::now() - start);
    const auto s = ReadOutput(dir / "speaker-22050.wav");
    // The file is as long as the device ran: past Close, until the backend went.
    const double seconds = double(s.size()) / 22050;
    EXPECT_GE(seconds, closed - 1.0 / 22050);  // whole samples
    EXPECT_LE(seconds, stopped);
    // The tone is heard when it was written (the device was idle), never before.
    const long onset = wavetest::Onset(s, 1000);
    ASSERT_GE(onset, 0);
    const double heard = double(onset) / 22050;
    EXPECT_GE(heard, written - 1.0 / 22050);
    EXPECT_LT(heard, written + 0.1);
    EXPECT_NEAR(wavetest::Pitch(s.data() + onset, 22050 / 4 - 100, 22050), 1000, 10);
    EXPECT_EQ(wavetest::Peak(s.data(), std::size_t(onset)), 0);
}

TEST(FileOutput, BufferIsBoundedAndRunningDryCountsOnce) {
    CFileBackend backend(Options{});  // played into nowhere, at the same pace
    int result = -1;
    std::atomic<int> calls{0};
    auto out = backend.OpenOut(0, 16000, 2, 4003, [&] { ++calls; }, result);
    ASSERT_TRUE(out);
    const auto tone = wavetest::Tone(440, 5000, 16000, 16000, 2);
    EXPECT_EQ(out->Write(tone.data(), 3), 0);  // less than a frame
    EXPECT_EQ(out->Write(tone.data(), 10000), 4000);  // the buffer, in whole frames
    const std::uint64_t queued = out->QueuedUs();
    EXPECT_GT(queued, 30000u);
    EXPECT_LE(queued, 62500u);
    std::this_thread::sleep_for(300ms);  // 62.5 ms of sound: played, then dry
    EXPECT_EQ(out->QueuedUs(), 0u);
    EXPECT_EQ(out->Writable(), 4000u);
    EXPECT_EQ(out->Underruns(), 1u);
    EXPECT_GT(calls.load(), 1);  // at open and as space freed
    Play(*out, std::vector<std::int16_t>(tone.begin(), tone.begin() + 1000));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(out->Underruns(), 2u);
    out->Close();
    EXPECT_EQ(out->Write(tone.data(), 4), -1);
    EXPECT_EQ(out->Writable(), 0u);
    out->Close();
}

TEST(FileOutput, StreamsOfOneRateAreMixedAndOwnLevelScalesThem) {
    CTempDir dir;
    const auto Level = [](std::size_t n, std::int16_t v) { return std::vector<std::int16_t>(n, v); };
    {
        CFileBackend backend(Options{"", dir.path(), "", 0, 0});
        int result = -1;
        auto a = backend.OpenOut(-1, 8000, 1, 16000, nullptr, result);
        auto b = backend.OpenOut(-1, 8000, 2, 32000, nullptr, result);  // into the mono file
        ASSERT_TRUE(a && b);
        Play(*a, Level(800, 1000));
        Play(*b, Level(1600, 2000));
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(backend.SetMute(mixer_own_playback, true, -1));
        Play(*a, Level(800, 2500));
        std::this_thread::sleep_for(150ms);
        EXPECT_TRUE(backend.SetMute(mixer_own_playback, false, -1));
        EXPECT_TRUE(backend.SetVolume(mixer_own_playback, 50, -1));
        Play(*a, Level(800, 3000));
        std::this_thread::sleep_for(150ms);
    }
    const auto s = ReadOutput(dir / "speaker-8000.wav");
    std::map<int, std::size_t> counts;
    for (const std::int16_t v : s) ++counts[v];
    for (const auto& [value, n] : counts)  // silence and the levels below, nothing else
        EXPECT_TRUE(value == 0 || value == 1000 || value == 2000 || value == 3000 || value == 1500)
            << value << " x" << n;
    // The two streams overlap (summed), each alone where they do not.
    EXPECT_GT(counts[3000], 600u);
    EXPECT_EQ(counts[1000] + counts[3000], 800u);
    EXPECT_EQ(counts[2000] + counts[3000], 800u);
    // Muted: nothing heard; at 50 %: half.
    EXPECT_EQ(counts[2500], 0u);
    EXPECT_EQ(counts[1500], 800u);
}

TEST(FileOutput, CloseWaitsForRunningCallbacksAndWorksFromOne) {
    CFileBackend backend(Options{});
    int result = -1;
    std::atomic<int> calls{0};
    std::unique_ptr<IWaveOutStream> self;
    std::atomic<bool> ready{false}, closedInside{false};
    self = backend.OpenOut(-1, 22050, 1, 4096,
                           [&] {
                               if (ready && calls++ == 2) {
                                   self->Close();  // from the pacing thread itself
                                   closedInside = true;
                               }
                           },
                           result);
    ASSERT_TRUE(self);
    ready = true;
    const std::vector<std::int16_t> block(512, 100);
    while (!closedInside) {
        self->Write(block.data(), block.size() * 2);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(self->Write(block.data(), 2), -1);
    const int after = calls.load();
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(calls.load(), after);

    std::atomic<bool> inside{false};
    auto slow = backend.OpenOut(-1, 22050, 1, 4096,
                                [&] {
                                    inside = true;
                                    std::this_thread::sleep_for(50ms);
                                    inside = false;
                                },
                                result);
    ASSERT_TRUE(slow);
    while (!inside) std::this_thread::sleep_for(1ms);
    slow->Close();  // returns only after the running callback did
    EXPECT_FALSE(inside.load());
}

TEST(FileOutput, BadRequestsAndUnwritableFolders) {
    CTempDir dir;
    std::ofstream(dir / "file") << "x";
    CFileBackend backend(Options{"", dir / "file", "", 0, 0});  // a file, not a folder
    int result = -1;
    EXPECT_FALSE(backend.OpenOut(-1, 22050, 1, 4096, nullptr, result));
    EXPECT_EQ(result, other);
    EXPECT_FALSE(backend.OpenOut(3, 22050, 1, 4096, nullptr, result));
    EXPECT_EQ(result, bad_device);
    EXPECT_FALSE(backend.OpenOut(-1, 999, 1, 4096, nullptr, result));
    EXPECT_EQ(result, bad_format);
    EXPECT_FALSE(backend.OutputStart(22050));
}

TEST(FileEcho, InputHearsTheOutputLateAndQuieter) {
    CTempDir dir;
    auto backend = std::make_unique<CFileBackend>(Options{"", dir.path(), "", 120, 0.5});
    int result = -1;
    auto out = backend->OpenOut(-1, 22050, 1, 4096, nullptr, result);
    ASSERT_TRUE(out);
    Capture got;
    auto in = backend->OpenIn(-1, 22050, 1, 512, got.Callback(), result);
    ASSERT_TRUE(in);
    std::this_thread::sleep_for(100ms);
    Play(*out, wavetest::Tone(1000, 8000, 22050 / 5, 22050));
    got.WaitFor(std::size_t(22050 * 0.8));
    in->Close();
    out->Close();
    const auto inStart = backend->InputStart();
    const auto outStart = backend->OutputStart(22050);
    ASSERT_TRUE(inStart && outStart);
    backend.reset();  // closes the speaker file

    const auto played = ReadOutput(dir / "speaker-22050.wav");
    const long heard = wavetest::Onset(played, 1000);
    std::lock_guard<std::mutex> l(got.lock);
    const long echoed = wavetest::Onset(got.samples, 1000);
    ASSERT_GE(heard, 0);
    ASSERT_GE(echoed, 0);
    const double heardAt = wavetest::Seconds(*outStart - *inStart) + heard / 22050.0;
    const double echoAt = echoed / 22050.0;
    EXPECT_NEAR(echoAt - heardAt, 0.120, 0.002);
    EXPECT_NEAR(wavetest::Peak(got.samples.data() + echoed, 2000), 4000, 80);
}

TEST(FileMixer, ValuesRoundTripPerKindAndKindTwoIsNeutral) {
    CFileBackend backend(Options{});
    for (const int kind : {mixer_own_playback, mixer_capture, mixer_output}) {
        EXPECT_EQ(backend.GetVolume(kind, -1), 100) << kind;
        EXPECT_TRUE(backend.SetVolume(kind, 37, -1)) << kind;
        EXPECT_EQ(backend.GetVolume(kind, 0), 37) << kind;
        EXPECT_TRUE(backend.SetMute(kind, true, 0)) << kind;
        EXPECT_TRUE(backend.GetMute(kind, -1)) << kind;
        EXPECT_TRUE(backend.SetMute(kind, false, -1)) << kind;
        EXPECT_FALSE(backend.GetMute(kind, -1)) << kind;
    }
    EXPECT_EQ(backend.GetVolume(mixer_capture, -1), 37);
    EXPECT_TRUE(backend.SetVolume(7, 60, -1));  // any other kind is the output device
    EXPECT_EQ(backend.GetVolume(mixer_output, -1), 60);
    EXPECT_TRUE(backend.SetVolume(mixer_capture, 250, -1));
    EXPECT_EQ(backend.GetVolume(mixer_capture, -1), 100);
    EXPECT_EQ(backend.GetVolume(mixer_none, -1), 0);
    EXPECT_FALSE(backend.SetVolume(mixer_none, 50, -1));
    EXPECT_FALSE(backend.SetMute(mixer_none, true, -1));
    EXPECT_FALSE(backend.GetMute(mixer_none, -1));
    EXPECT_FALSE(backend.SetVolume(mixer_capture, 50, 4));
    EXPECT_EQ(backend.GetVolume(mixer_output, 4), 0);
}

}  // namespace
