// Glass-to-glass latency of the video path: an anchor and a viewer over
// real TCP through an in-process zeri-server. The anchor's capture instance
// films the test-pattern camera, whose frame counter is drawn into each
// picture; the composed picture's counter notes the capture time. The
// viewer joins the relayed pieces into a play instance; each shown
// picture's counter gives shown time − capture time.
//
// Two runs on the same connections: video alone (shown on arrival), then
// with the audio clock as the viewer's playback thread would report it:
// every 20 ms the stamp of the anchor's voice handed to the output, which is
// the voice captured 100 ms earlier (the jitter buffer and device), on the
// same stamp base as the video. Pictures then wait for their voice.
//
//   bench_video_latency [seconds per run]   (default 30)
#include <cstdlib>
#include <ctime>
#include <map>

#include "bench/video/video_bench_room.h"

using namespace vbench;

namespace {

constexpr std::uint32_t kViewer = 10002;  // bob
constexpr std::uint32_t kAudioDelayMs = 100;
constexpr std::uint32_t kAudioReportMs = 20;

void PrintRun(const char* title, CTimeline& timeline, std::uint32_t from, std::uint32_t to) {
    std::size_t lost = 0;
    const auto ms = timeline.Latencies(from, to, lost);
    std::printf("%s: %zu pictures shown of %u captured, %zu lost\n", title, ms.size(), to - from,
                lost);
    std::printf("  p50 %.1f ms   p95 %.1f ms   max %.1f ms   (goal: p50 <= 150)\n",
                Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0));
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;
    std::map<std::uint32_t, std::string> tokens;
    benchsrv::Server srv(1000, [&](server::CServerDb& db) {
        for (std::uint32_t id : {kAnchor, kViewer})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 86400);
    });
    if (!VCAST_Init()) Fail("the video library does not start");
    PrintMachine();

    const Clock::time_point t0 = Clock::now();
    CTimeline timeline;
    asio::io_context io;
    auto work = asio::make_work_guard(io);
    std::thread ioThread([&] { io.run(); });
    const std::uint16_t port = srv.get().port();

    CMember anchor, viewer;
    CViewer screen(viewer, t0, [&](std::uint32_t c, double ms) { timeline.Shown(c, ms); });
    if (!anchor.Connect(io, port) || !anchor.ChatLogin(kAnchor, tokens[kAnchor]) ||
        !anchor.VideoLogin() || !anchor.TakeAnchorMic())
        Fail("the anchor could not take the room's microphone");
    if (!viewer.Connect(io, port) || !viewer.ChatLogin(kViewer, tokens[kViewer]) ||
        !screen.Open() || !viewer.VideoLogin())
        Fail("the viewer could not enter the room's video");
    CPatternSender camera(anchor, timeline, t0);
    if (!camera.Start()) Fail("the test-pattern camera does not start");

    // Run 1: video alone, after the encoder and decoder have settled.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::uint32_t alone0 = timeline.NextCounter();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::uint32_t alone1 = timeline.NextCounter();

    // Run 2: the simulated audio clock, started a second before counting.
    std::atomic<bool> audio{true};
    std::thread playback([&] {
        auto next = Clock::now();
        while (audio) {
            screen.SignStamp(GetTickCount() - camera.baseTick() - kAudioDelayMs);
            next += std::chrono::milliseconds(kAudioReportMs);
            std::this_thread::sleep_until(next);
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::uint32_t synced0 = timeline.NextCounter();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::uint32_t synced1 = timeline.NextCounter();
    // What is on its way still arrives; later pictures are not counted.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    audio = false;
    playback.join();
    camera.Stop();

    std::printf("video latency, capture to shown, 640x360 at 15 fps (%u cores)\n",
                std::thread::hardware_concurrency());
    PrintRun("video alone", timeline, alone0, alone1);
    char title[96];
    std::snprintf(title, sizeof title, "with the audio clock (voice %u ms behind, every %u ms)",
                  kAudioDelayMs, kAudioReportMs);
    PrintRun(title, timeline, synced0, synced1);
    const auto counts = screen.counts();
    std::printf("  frames sent %llu, thinned %llu; joined %llu whole %llu lost %llu;"
                " unreadable counters: sender %llu viewer %llu\n",
                (unsigned long long)camera.sent(), (unsigned long long)camera.dropped(),
                (unsigned long long)counts.joined, (unsigned long long)counts.whole,
                (unsigned long long)counts.dropped, (unsigned long long)camera.unread(),
                (unsigned long long)screen.unread());

    anchor.Stop();
    viewer.Stop();
    work.reset();
    io.stop();
    ioThread.join();
    screen.Release();
    VCAST_Release();
    std::size_t lost = 0;
    return timeline.Latencies(alone0, alone1, lost).empty() ? 1 : 0;
}
