// A newcomer's first picture: while the anchor broadcasts the test pattern
// in her room, a new viewer enters again and again (chat login, then video
// login on its audio/video connection) and the time from its chat login's
// answer to its first shown picture is taken.
//
// Two orders of the viewer's play instance are measured, interleaved:
//   as the room does it: the play instance is made when the video login's
//     answer reaches the thread that handles answers; pieces that arrive
//     before it are dropped, as the video engine drops them;
//   ready beforehand: the play instance exists before the video login, so
//     the room's cached keyframe that follows the answer is used at once.
//
//   bench_video_join [joins per order]   (default 20)
#include <cstdlib>
#include <ctime>
#include <map>

#include "bench/video/video_bench_room.h"

using namespace vbench;

namespace {

// One newcomer: its connections, its picture, its first shown picture.
struct CNewcomer {
    explicit CNewcomer(Clock::time_point t0)
        : screen(member, t0, [this](std::uint32_t, double ms) {
              std::lock_guard<std::mutex> g(lock);
              if (std::isnan(firstShownMs)) firstShownMs = ms;
              cv.notify_all();
          }) {}
    // Any picture shown within 5 s; its time or NaN.
    double WaitFirst() {
        std::unique_lock<std::mutex> l(lock);
        cv.wait_for(l, std::chrono::seconds(5), [&] { return !std::isnan(firstShownMs); });
        return firstShownMs;
    }
    CMember member;
    CViewer screen;
    std::mutex lock;
    std::condition_variable cv;
    double firstShownMs = kNotYet;
};

struct COrder {
    const char* name;
    bool playFirst;
    std::vector<double> ms;
    int none = 0;                    // no picture within 5 s
    std::uint64_t piecesDropped = 0; // pieces that came before the play instance
};

}  // namespace

int main(int argc, char** argv) {
    const int joins = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::map<std::uint32_t, std::string> tokens;
    benchsrv::Server srv(1000, [&](server::CServerDb& db) {
        tokens[kAnchor] = db.IssueToken(kAnchor, std::time(nullptr), 86400);
        for (std::uint32_t id : kViewers) tokens[id] = db.IssueToken(id, std::time(nullptr), 86400);
    });
    if (!VCAST_Init()) Fail("the video library does not start");
    PrintMachine();

    const Clock::time_point t0 = Clock::now();
    CTimeline timeline;
    asio::io_context io;
    auto work = asio::make_work_guard(io);
    std::thread ioThread([&] { io.run(); });
    const std::uint16_t port = srv.get().port();

    CMember anchor;
    if (!anchor.Connect(io, port) || !anchor.ChatLogin(kAnchor, tokens[kAnchor]) ||
        !anchor.VideoLogin() || !anchor.TakeAnchorMic())
        Fail("the anchor could not take the room's microphone");
    CPatternSender camera(anchor, timeline, t0);
    if (!camera.Start()) Fail("the test-pattern camera does not start");
    std::this_thread::sleep_for(std::chrono::seconds(3));  // the room has a keyframe cached

    COrder orders[] = {{"as the room does (play made on the answer)", false, {}, 0, 0},
                       {"play instance ready before the video login", true, {}, 0, 0}};
    // Kept to the end: a retired connection's sink must outlive the I/O thread's last call.
    std::vector<std::unique_ptr<CNewcomer>> gone;
    int failed = 0;
    for (int i = 0; i < 2 * joins; ++i) {
        COrder& order = orders[i % 2];
        const std::uint32_t user = kViewers[i % std::size(kViewers)];
        auto n = std::make_unique<CNewcomer>(t0);
        if (!n->member.Connect(io, port) || (order.playFirst && !n->screen.Open()) ||
            !n->member.ChatLogin(user, tokens[user])) {
            ++failed;
        } else {
            const double answered =
                std::chrono::duration<double, std::milli>(n->member.loginAnswered - t0).count();
            // The answer is handled now, on this thread (the client's UI thread).
            const bool in = n->member.VideoLogin() && n->screen.Open();
            const double first = in ? n->WaitFirst() : kNotYet;
            if (!in) ++failed;
            else if (std::isnan(first)) ++order.none;
            else order.ms.push_back(first - answered);
            order.piecesDropped += n->screen.piecesBeforePlay();
        }
        n->member.Stop();
        n->screen.Release();
        gone.push_back(std::move(n));
        // Joins fall at different places of the 2 s keyframe interval.
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
    }
    camera.Stop();

    std::printf("a newcomer's first picture, from its chat login's answer to a shown picture,"
                " 640x360 at 15 fps, keyframe every 2 s (%u cores)\n",
                std::thread::hardware_concurrency());
    for (const COrder& o : orders) {
        std::printf("%s: %zu joins, %d without a picture in 5 s, %llu pieces before the play"
                    " instance\n",
                    o.name, o.ms.size() + o.none, o.none, (unsigned long long)o.piecesDropped);
        std::printf("  p50 %.1f ms   max %.1f ms   (goal: <= 1000)\n", Percentile(o.ms, 0.5),
                    Percentile(o.ms, 1.0));
    }
    if (failed) std::printf("  %d joins failed to log in\n", failed);

    anchor.Stop();
    work.reset();
    io.stop();
    ioThread.join();
    gone.clear();
    VCAST_Release();
    return orders[0].ms.empty() && orders[1].ms.empty() ? 1 : 0;
}
