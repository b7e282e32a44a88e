// Worker threads, events and holders across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/singleton.h"
#include "core/thread.h"
#include "core/wisdom_ptr.h"

using namespace std::chrono_literals;

namespace {

class BusyThread : public zn::c_thread {
public:
    std::atomic<bool> release{false};
    std::atomic<int> loops{0};
    bool Finished() const { return IsFinished(); }
    bool WaitDone(unsigned ms) { return done.WaitMs(ms); }

protected:
    void Run() override {
        // Ignores Stop until told to end: stop must not block on it.
        while (!release.load()) {
            ++loops;
            std::this_thread::sleep_for(1ms);
        }
    }
};

class OneShot : public zn::c_thread {
public:
    std::atomic<int> ran{0};
    bool WaitDone(unsigned ms) { return done.WaitMs(ms); }

protected:
    void Run() override { ++ran; }
};

struct Counted {
    static std::atomic<int> alive;
    static std::atomic<int> freed;
    Counted() { ++alive; }
    ~Counted() {
        --alive;
        ++freed;
    }
};
std::atomic<int> Counted::alive{0};
std::atomic<int> Counted::freed{0};

}  // namespace

TEST(Thread, StopWithoutWaitReturnsAtOnceWhileTheBodyIsBusy) {
    BusyThread t;
    ASSERT_EQ(t.Start(), 0);
    EXPECT_TRUE(t.IsRunning());
    const auto start = std::chrono::steady_clock::now();
    t.Stop(false, 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(t.IsRunning());
    EXPECT_FALSE(t.Finished());
    // With wait, the limit bounds the wait when the body still runs.
    t.Stop(true, 1);
    EXPECT_FALSE(t.Finished());
    t.release = true;
    EXPECT_TRUE(t.WaitDone(5000));
    EXPECT_TRUE(t.Finished());
}

TEST(Thread, BodyThatReturnsByItselfClearsRunningAndSignalsDone) {
    OneShot t;
    EXPECT_FALSE(t.IsRunning());
    EXPECT_TRUE(t.IsFinished());
    ASSERT_EQ(t.Start(), 0);
    ASSERT_TRUE(t.WaitDone(5000));
    EXPECT_EQ(t.ran.load(), 1);
    EXPECT_FALSE(t.IsRunning());
    EXPECT_TRUE(t.IsFinished());
    // A finished thread object can be started again.
    ASSERT_EQ(t.Start(), 0);
    ASSERT_TRUE(t.WaitDone(5000));
    EXPECT_EQ(t.ran.load(), 2);
}

TEST(Event, AutoResetsAfterOneWaitAndTimesOut) {
    zn::c_event e;
    EXPECT_FALSE(e.WaitMs(10));
    e.Set();
    EXPECT_TRUE(e.WaitMs(10));
    EXPECT_FALSE(e.WaitMs(10));  // reset by the first wait
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        e.Set();
    });
    EXPECT_TRUE(e.Wait(5));
    setter.join();
}

TEST(WisdomPtr, NullHolderCopiesAndDiesWithoutReleasing) {
    Counted::freed = 0;
    wisdom_ptr<Counted> a(nullptr);
    wisdom_ptr<Counted> b = a;
    EXPECT_FALSE(b);
    EXPECT_EQ(b.use_count(), 0u);
    b.reset();
    EXPECT_EQ(Counted::freed.load(), 0);
}

TEST(WisdomPtr, LastCopyReleasedOnAnotherThreadReleasesOnce) {
    Counted::freed = 0;
    for (int round = 0; round < 50; ++round) {
        wisdom_ptr<Counted> holder(new Counted);
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([copy = holder]() mutable {
                for (int k = 0; k < 100; ++k) {
                    wisdom_ptr<Counted> again = copy;
                    (void)again;
                }
                copy.reset();
            });
        holder.reset();
        for (auto& t : threads) t.join();
    }
    EXPECT_EQ(Counted::freed.load(), 50);
    EXPECT_EQ(Counted::alive.load(), 0);
}

TEST(WisdomPtr, FreePolicyDecidesTheRelease) {
    auto* bytes = static_cast<unsigned char*>(std::malloc(16));  // freed by uint8_free (ASan checks)
    wisdom_ptr<unsigned char, uint8_free> buf(bytes);
    auto copy = buf;
    EXPECT_EQ(copy.use_count(), 2u);
    EXPECT_EQ(copy.get(), bytes);
}

namespace {
class OnlyOne : public c_singleton<OnlyOne> {
    friend class c_singleton<OnlyOne>;
    OnlyOne() { ++made; }

public:
    static std::atomic<int> made;
};
std::atomic<int> OnlyOne::made{0};
}  // namespace

TEST(Singleton, ConcurrentFirstUseMakesOneInstance) {
    std::vector<std::thread> threads;
    std::vector<OnlyOne*> seen(8);
    for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { seen[i] = &OnlyOne::instance(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(OnlyOne::made.load(), 1);
    for (auto* p : seen) EXPECT_EQ(p, seen[0]);
}
