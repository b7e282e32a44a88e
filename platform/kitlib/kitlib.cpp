#include "platform/kitlib/kitlib.h"

#include <httplib.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "core/files.h"
#include "core/log.h"
#include "core/service_hosts.h"
#include "platform/text/terminal.h"
#include "core/paths.h"

namespace {

constexpr std::size_t kWorkers = 2;
constexpr std::size_t kMaxQueued = 256;

struct Url {
    std::string origin;  // scheme://host[:port]
    std::string path;    // "/…" with the query
};

bool SplitUrl(const std::string& url, Url& out) {
    const auto scheme = url.find("://");
    if (scheme == std::string::npos) return false;
    const std::string s = url.substr(0, scheme);
    if (s != "http" && s != "https") return false;
    const auto slash = url.find('/', scheme + 3);
    out.origin = url.substr(0, slash);
    out.path = slash == std::string::npos ? "/" : url.substr(slash);
    return out.origin.size() > scheme + 3;
}

// The session's id and token go to the services that ask for them (the
// picture host, the check-in port) and never to a host a URL in chat or a
// catalogue names.
bool CarriesCredentials(const std::string& origin, const std::string& pictureHost) {
    if (origin == "http://" + pictureHost) return true;
    const ServiceHosts s = GetServiceHosts();
    return !s.host.empty() && origin == "http://" + s.host + ":" + std::to_string(s.checkin);
}

class Kitlib {
public:
    static Kitlib& Get() {
        static auto* k = new Kitlib;  // workers may outlive static destruction
        return *k;
    }

    void Init() {
        std::lock_guard<std::mutex> g(m_);
        if (!workers_.empty()) return;
        stopping_ = false;
        for (std::size_t i = 0; i < kWorkers; ++i) workers_.emplace_back([this] { Work(); });
    }

    void Release() {
        std::vector<std::thread> ws;
        {
            std::lock_guard<std::mutex> g(m_);
            stopping_ = true;
            jobs_.clear();
            ws.swap(workers_);
        }
        cv_.notify_all();
        for (auto& t : ws) t.join();
    }

    bool Queue(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> g(m_);
            if (workers_.empty() || stopping_ || jobs_.size() >= kMaxQueued) return false;
            jobs_.push_back(std::move(job));
        }
        cv_.notify_one();
        return true;
    }

    std::mutex hostLock;
    std::string hosts[2] = {"127.0.0.1", "127.0.0.1"};
    // Who asks: sent with posts to the picture host and the check-in port
    // only (CarriesCredentials).
    std::uint32_t user = 0;
    std::string token;
    std::mutex boxLock;
    KitlibBoxHandler box;

private:
    void Work() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> l(m_);
                cv_.wait(l, [this] { return stopping_ || !jobs_.empty(); });
                if (stopping_) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }

    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> workers_;
    bool stopping_ = false;
};

std::unique_ptr<httplib::Client> MakeClient(const Url& u) {
    auto c = std::make_unique<httplib::Client>(u.origin);
    c->set_connection_timeout(5, 0);
    c->set_read_timeout(15, 0);
    c->set_write_timeout(15, 0);
    // A redirect could carry the credentials to a host that may not see
    // them, or loop: it fails the request instead.
    c->set_follow_location(false);
    return c;
}

void Answer(HWND window, unsigned message, std::unique_ptr<TMessageData<KitlibAnswer>> a,
            std::intptr_t tag = 0) {
    const std::uintptr_t length = a ? a->value.length : 0;
    PostMessage(window, message, length, tag, std::move(a));
}

// Reads the answer body within the size limit; false when it is too big or failed.
bool Fetch(httplib::Client& c, const std::string& path, const std::string* body,
           const httplib::Headers& headers, int& status, std::string& out) {
    bool tooBig = false;
    auto receive = [&](const char* data, std::size_t n) {
        if (out.size() + n > kKitlibMaxAnswer) {
            tooBig = true;
            return false;
        }
        out.append(data, n);
        return true;
    };
    auto send = [&]() {
        if (!body) return c.Get(path, receive);
        httplib::Request req;
        req.method = "POST";
        req.path = path;
        req.body = *body;
        req.headers = headers;
        req.set_header("Content-Type", "application/octet-stream");
        req.content_receiver = [&](const char* data, std::size_t n, std::uint64_t, std::uint64_t) {
            return receive(data, n);
        };
        return c.send(req);
    };
    httplib::Result r = send();
    if (!r || tooBig) return false;
    status = r->status;
    return r->status >= 200 && r->status < 300;
}

// How a refusal (an answer outside 2xx) comes back: as a failure, or, for
// uploads, with its status and body so the user hears the service's reason.
enum class Refusal { fails, answered };

int StartRequest(HWND window, unsigned message, const std::string& url,
                 std::shared_ptr<std::string> body, const std::string& destination,
                 std::intptr_t tag = 0, Refusal refusal = Refusal::fails) {
    Url u;
    if (!SplitUrl(url, u)) {
        log_msg("kitlib bad url %s\r\n", url.c_str());
        return 0;
    }
    httplib::Headers headers;
    if (body) {
        Kitlib& k = Kitlib::Get();
        std::lock_guard<std::mutex> g(k.hostLock);
        if (k.user != 0 && !k.token.empty() && CarriesCredentials(u.origin, k.hosts[0])) {
            headers.emplace("X-Zeri-User", std::to_string(k.user));
            headers.emplace("Authorization", "Bearer " + k.token);
        }
    }
    const bool ok = Kitlib::Get().Queue([=] {
        auto client = MakeClient(u);
        std::string bytes;
        int status = 0;
        if (!Fetch(*client, u.path, body.get(), headers, status, bytes) &&
            (refusal == Refusal::fails || status == 0)) {
            log_msg("kitlib request %s fail status=%d\r\n", url.c_str(), status);
            Answer(window, message, nullptr, tag);
            return;
        }
        auto a = std::make_unique<TMessageData<KitlibAnswer>>(KitlibAnswer{});
        a->value.status = status;
        a->value.length = static_cast<std::uint32_t>(bytes.size());
        if (!destination.empty()) {
            const auto slash = destination.rfind('/');
            if (slash != std::string::npos) paths::MakeDirs(destination.substr(0, slash + 1));
            if (!files::WriteFileAtomic(destination, bytes)) {
                log_msg("kitlib cannot write %s\r\n", destination.c_str());
                Answer(window, message, nullptr, tag);
                return;
            }
            a->value.file = destination;
        } else {
            a->value.bytes.assign(bytes.begin(), bytes.end());
        }
        Answer(window, message, std::move(a), tag);
    });
    return ok ? 1 : 0;
}

}  // namespace

void KITLIB_Init(std::uint32_t) { Kitlib::Get().Init(); }
void KITLIB_Release() { Kitlib::Get().Release(); }

void KITLIB_SetHosts(const std::string& pictureHost, const std::string& checkInHost) {
    Kitlib& k = Kitlib::Get();
    std::lock_guard<std::mutex> g(k.hostLock);
    k.hosts[0] = pictureHost;
    k.hosts[1] = checkInHost;
}

void KITLIB_SetCredentials(std::uint32_t userId, const std::string& token) {
    Kitlib& k = Kitlib::Get();
    std::lock_guard<std::mutex> g(k.hostLock);
    k.user = userId;
    k.token = token;
}

std::string KITLIB_GetIppaddr(int kind) {
    Kitlib& k = Kitlib::Get();
    std::lock_guard<std::mutex> g(k.hostLock);
    return kind == 0 || kind == 1 ? k.hosts[kind] : std::string();
}

int KITLIB_PostHttpUrl(HWND window, unsigned message, const std::string& url, const void* body,
                       std::size_t length) {
    auto copy = std::make_shared<std::string>(static_cast<const char*>(body), body ? length : 0);
    return StartRequest(window, message, url, copy, std::string());
}

int KITLIB_GetHttpUrl(HWND window, unsigned message, const std::string& url, std::intptr_t tag) {
    return StartRequest(window, message, url, nullptr, std::string(), tag);
}

int KITLIB_DownHttpUrl(HWND window, unsigned message, const std::string& url,
                       const std::string& destination) {
    if (destination.empty()) return 0;
    return StartRequest(window, message, url, nullptr, destination);
}

int KITLIB_UploadHttpUrl(HWND window, unsigned message, const std::string& url,
                         const std::string& file) {
    auto bytes = std::make_shared<std::string>();
    if (!files::ReadFile(file, *bytes)) return 0;
    return StartRequest(window, message, url, bytes, std::string(), 0, Refusal::answered);
}

void KITLIB_SetMessageBoxHandler(KitlibBoxHandler handler) {
    Kitlib& k = Kitlib::Get();
    std::lock_guard<std::mutex> g(k.boxLock);
    k.box = std::move(handler);
}

int KITLIB_ShowMessageBox(const std::string& text, const std::string& caption, int type) {
    KitlibBoxHandler h;
    {
        Kitlib& k = Kitlib::Get();
        std::lock_guard<std::mutex> g(k.boxLock);
        h = k.box;
    }
    if (h) return h(text, caption, type);
    std::fprintf(stderr, "%s: %s\n", text::ForTerminal(caption).c_str(),
                 text::ForTerminal(text).c_str());
    return 0;
}
