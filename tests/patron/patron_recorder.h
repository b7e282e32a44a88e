#pragma once
// Records the account library's events with copies of what it lends during
// the callback, so a test can wait for an event and read its record.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/patron/patron.h"

namespace patrontest {

using namespace std::chrono_literals;

struct Event {
    int event;
    std::uintptr_t a;
    std::intptr_t b;
    std::string data;  // the record's bytes, the text, or the billboard body
    std::thread::id thread;
};

// Copies what the library lends during the callback.
class Recorder {
public:
    static void Callback(int event, std::uintptr_t a, std::intptr_t b, void* ctx) {
        auto* r = static_cast<Recorder*>(ctx);
        Event e{event, a, b, {}, std::this_thread::get_id()};
        const char* p = reinterpret_cast<const char*>(b);
        auto record = [&](std::size_t n) { e.data.assign(p, n); };
        switch (event) {
            case PATRON_EV_USER_LEVEL: a == 1 ? record(sizeof(PatronUserLevel)) : void(e.data = p); break;
            case PATRON_EV_BALANCE: a == 1 ? record(sizeof(PatronBalance)) : void(e.data = p); break;
            case PATRON_EV_WEALTH_GRADE: a == 1 ? record(sizeof(PatronWealthGrade)) : void(e.data = p); break;
            case PATRON_EV_CAR_LIST: a == 1 ? record(sizeof(PatronCarList)) : void(e.data = p); break;
            case PATRON_EV_PACK_LIST: a == 1 ? record(sizeof(PatronPackList)) : void(e.data = p); break;
            case PATRON_EV_VIP_LIST: a == 1 ? record(sizeof(PatronVipList)) : void(e.data = p); break;
            case PATRON_EV_PURCHASE: record(sizeof(PatronPurchaseResult)); break;
            case PATRON_EV_BILLBOARD: e.data.assign(p, a); break;
            default: break;
        }
        std::lock_guard<std::mutex> g(r->m);
        r->events.push_back(std::move(e));
        r->cv.notify_all();
    }
    // The first event of that number, waiting for it.
    std::optional<Event> Wait(int event, std::size_t nth = 0) {
        std::unique_lock<std::mutex> g(m);
        const bool got = cv.wait_for(g, 10s, [&] { return Count(event) > nth; });
        if (!got) return std::nullopt;
        for (const Event& e : events)
            if (e.event == event && nth-- == 0) return e;
        return std::nullopt;
    }
    std::size_t CountOf(int event) {
        std::lock_guard<std::mutex> g(m);
        return Count(event);
    }
    template <class R>
    static R As(const Event& e) {
        R r{};
        EXPECT_EQ(e.data.size(), sizeof(R));
        std::memcpy(&r, e.data.data(), std::min(sizeof(R), e.data.size()));
        return r;
    }

    std::mutex m;
    std::condition_variable cv;
    std::vector<Event> events;

private:
    std::size_t Count(int event) const {
        std::size_t n = 0;
        for (const Event& e : events) n += e.event == event;
        return n;
    }
};

}  // namespace patrontest
