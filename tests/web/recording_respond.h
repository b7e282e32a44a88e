#pragma once
// An IHttp_base_Respond that writes down what a request told it, in order,
// for tests to wait on and read from their own thread.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "web/http_base.h"

namespace webtest {

class RecordingRespond : public web::IHttp_base_Respond {
public:
    void on_fail(int error, web::http_base*) override { Note("fail", [&] { failError = error; }); }
    void on_body(std::uint32_t length, web::ByteQueue& body, bool complete) override {
        if (onBody) onBody();
        Note(complete ? "body" : "part", [&] {
            if (complete) {
                contentLength = length;
                body.Take(body.Size(), this->body);
            }
        });
    }
    void on_closed() override { Note("closed", [] {}); }
    void on_released() override { Note("released", [] {}); }

    bool WaitReleased(std::chrono::seconds most = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> g(m);
        return cv.wait_for(g, most, [&] { return Has("released"); });
    }
    bool WaitFor(const std::string& event) {
        std::unique_lock<std::mutex> g(m);
        return cv.wait_for(g, std::chrono::seconds(20), [&] { return Has(event); });
    }
    // What came, without the repeated "part"s.
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> g(m);
        std::vector<std::string> out;
        for (const auto& e : events)
            if (out.empty() || out.back() != e) out.push_back(e);
        return out;
    }
    std::string Body() {
        std::lock_guard<std::mutex> g(m);
        return body;
    }

    std::function<void()> onBody;  // runs on the library's thread, before recording
    int failError = 0;
    std::uint32_t contentLength = 0;

private:
    template <class F>
    void Note(const char* what, F f) {
        std::lock_guard<std::mutex> g(m);
        f();
        events.push_back(what);
        cv.notify_all();
    }
    bool Has(const std::string& e) const {
        for (const auto& x : events)
            if (x == e) return true;
        return false;
    }
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> events;
    std::string body;
};

}  // namespace webtest
