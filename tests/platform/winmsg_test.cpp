// Window messages and timers over the Qt event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/winmsg/message_target.h"

namespace {

std::atomic<int> g_payloadsAlive{0};

struct Tracked {
    int seq;
    explicit Tracked(int s) : seq(s) { ++g_payloadsAlive; }
    Tracked(const Tracked& o) : seq(o.seq) { ++g_payloadsAlive; }
    ~Tracked() { --g_payloadsAlive; }
};

class Target : public CMessageTarget {
public:
    std::vector<int> seen;
    std::vector<unsigned> timerHits;
    std::thread::id handlerThread;

protected:
    std::intptr_t OnMessage(const WindowMessage& m) override {
        handlerThread = std::this_thread::get_id();
        if (auto* t = m.As<Tracked>()) seen.push_back(t->seq);
        if (m.msg == 500) return static_cast<std::intptr_t>(m.wParam * 2 + m.lParam);
        return -1;
    }
    void OnTimer(unsigned id) override { timerHits.push_back(id); }
};

// Runs the event loop until `done` or a generous limit.
template <class Pred>
bool Pump(Pred done, int limitMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

std::unique_ptr<CMessageData> Payload(int seq) {
    return std::make_unique<TMessageData<Tracked>>(Tracked(seq));
}

}  // namespace

TEST(Messages, PostedPayloadsArriveOnceInOrderOnTheUiThreadAndAreFreed) {
    Target target;
    const HWND h = target.Handle();
    std::thread producer([h] {
        for (int i = 0; i < 200; ++i) ASSERT_TRUE(PostMessage(h, 1127, i, 0, Payload(i)));
    });
    producer.join();
    ASSERT_TRUE(Pump([&] { return target.seen.size() == 200; }));
    for (int i = 0; i < 200; ++i) EXPECT_EQ(target.seen[i], i);
    EXPECT_EQ(target.handlerThread, std::this_thread::get_id());
    QCoreApplication::processEvents();
    EXPECT_EQ(g_payloadsAlive.load(), 0);
}

TEST(Messages, MessagesToAGoneWindowFreeTheirPayloads) {
    auto* target = new Target;
    const HWND h = target->Handle();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(PostMessage(h, 1127, i, 0, Payload(i)));
    EXPECT_EQ(g_payloadsAlive.load(), 10);
    delete target;  // before the loop ever ran
    EXPECT_EQ(g_payloadsAlive.load(), 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(PostMessage(h, 1127, 0, 0, Payload(99)));
    EXPECT_EQ(g_payloadsAlive.load(), 0);
    EXPECT_EQ(SendMessage(h, 500, 1, 1), 0);
    EXPECT_FALSE(PostMessage(0, 1127, 0));
}

TEST(Messages, SendRunsOnTheTargetThreadAndReturnsTheResult) {
    Target target;
    // Same thread: runs at once.
    EXPECT_EQ(SendMessage(target.Handle(), 500, 20, 2), 42);
    std::atomic<std::intptr_t> result{0};
    std::atomic<bool> finished{false};
    std::thread caller([&] {
        result = SendMessage(target.Handle(), 500, 100, 7);
        finished = true;
    });
    ASSERT_TRUE(Pump([&] { return finished.load(); }));
    caller.join();
    EXPECT_EQ(result.load(), 207);
    EXPECT_EQ(target.handlerThread, std::this_thread::get_id());
}

TEST(Messages, SenderWakesWhenTheWindowDiesBeforeHandling) {
    auto* target = new Target;
    const HWND h = target->Handle();
    std::atomic<bool> finished{false};
    std::atomic<std::intptr_t> result{-5};
    std::thread caller([&] {
        result = SendMessage(h, 500, 1, 1);
        finished = true;
    });
    // Give the caller time to queue the send, then destroy the window unhandled.
    // (Should the send come late it finds no window: the result is 0 as well.)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(finished.load());
    delete target;
    caller.join();
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(result.load(), 0);
}

TEST(Timers, FireOnTheUiThreadUntilKilledAndRestartWhenSetAgain) {
    Target target;
    target.SetTimer(206, 5);
    target.SetTimer(213, 5);
    ASSERT_TRUE(Pump([&] {
        return std::count(target.timerHits.begin(), target.timerHits.end(), 206u) >= 3 &&
               std::count(target.timerHits.begin(), target.timerHits.end(), 213u) >= 1;
    }));
    target.KillTimer(206);
    target.KillTimer(213);
    target.timerHits.clear();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 60) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(target.timerHits.empty());
    // From another thread the change is queued to the UI thread.
    std::thread([&] { target.SetTimer(7, 5); }).join();
    ASSERT_TRUE(Pump([&] { return !target.timerHits.empty(); }));
    EXPECT_EQ(target.timerHits.front(), 7u);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InstallQtMessageRouter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
