// Room fan-out of zeri-server over real TCP: one room with N listeners, the
// load side a single epoll thread that reads every listener socket.
//
//   bench_room_load chat  [N=1000] [senders=5] [lines/s each=10] [seconds=10]
//   bench_room_load voice [N=1000] [speakers=2] [seconds=10]
//   bench_room_load idle  [N=1000]
//   bench_room_load join  [N=1000]
//   bench_room_load churn [N=1000]
//
// Each prints one line. Latency is from the sender's write to the
// listener's read: the send time (steady clock, ns) travels in the chat text
// or in the voice payload after its ADTS header. Server CPU is the CPU time
// of this process's threads other than the bench's own two (main/sender and
// the epoll reader), read from /proc/self/task/*/stat over the measured
// window; RSS is the whole process (/proc/self/statm), load side included.
// "In-server" is from the read that brought the sender's frame to the
// completed write of that line (or frame) to its last listener: the life of
// the shared packet, observed as it is freed.
// The room's per-user request and media limits are lifted, so that a higher
// rate than the defaults measures the relay rather than the rate limiter.
#include <sys/epoll.h>
#include <sys/syscall.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "net/adts.h"
#include "net/catalogue_chat.h"
#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "net/fields.h"
#include "net/tlv.h"
#include "platform/relayhub/frame.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kRoom = 1001;  // free mic: anyone may take a free turn
constexpr std::uint8_t kChat = 1, kMedia = 3;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}
pid_t Tid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

template <class Msg>
std::string Packet(std::uint8_t channel, const Msg& m) {
    TLV::body b;
    if (!wire::write_fields(b, m)) std::abort();
    const auto bytes = TLV::encode(b);
    return relay::EncodeFrame(relay::kFramePacket, channel, Msg::id, bytes.data(), bytes.size());
}

// CPU ticks per thread of this process.
std::map<pid_t, long> ThreadTicks() {
    std::map<pid_t, long> out;
    DIR* d = opendir("/proc/self/task");
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream f(std::string("/proc/self/task/") + e->d_name + "/stat");
        std::string line;
        std::getline(f, line);
        // Fields after the command name, which is in parentheses.
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) utime = std::atol(field.c_str());
            if (i == 15) stime = std::atol(field.c_str());
        }
        out[std::atoi(e->d_name)] = utime + stime;
    }
    closedir(d);
    return out;
}

// CPU % of the threads not in `mine` between two snapshots (and of `mine`).
std::pair<double, double> CpuPercent(const std::map<pid_t, long>& a, const std::map<pid_t, long>& b,
                                     const std::vector<pid_t>& mine, double seconds) {
    long server = 0, load = 0;
    for (const auto& [tid, ticks] : b) {
        const auto before = a.find(tid);
        const long d = ticks - (before == a.end() ? 0 : before->second);
        (std::find(mine.begin(), mine.end(), tid) != mine.end() ? load : server) += d;
    }
    const double hz = static_cast<double>(sysconf(_SC_CLK_TCK));
    return {100.0 * server / hz / seconds, 100.0 * load / hz / seconds};
}

// In-server fan-out times of the relayed lines and frames, in ms.
constexpr std::size_t kInServerMax = 1 << 20;
std::vector<double> gInServer(kInServerMax);
std::atomic<std::size_t> gInServerCount{0};
std::atomic<bool> gInServerOn{false};

void OnPacketFreed(std::uint32_t command, std::int64_t ns) {
    if (!gInServerOn.load(std::memory_order_relaxed)) return;
    if (command != msg::Control_Chat_Notify::id && command != msg::Mix_Aac_Notify::id) return;
    const std::size_t k = gInServerCount.fetch_add(1);
    if (k < kInServerMax) gInServer[k] = static_cast<double>(ns) / 1e6;
}

double Percentile(std::vector<double>& v, double p) {
    if (v.empty()) return 0;
    const std::size_t k = std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5));
    std::nth_element(v.begin(), v.begin() + k, v.end());
    return v[k];
}

struct User {
    std::uint32_t id = 0;
    std::string token;
    std::string mediaKey;
    int chat = -1, media = -1;  // indexes into the fleet's connections
    bool listener = false;
};

struct Conn {
    int fd = -1;
    int user = -1;
    bool media = false;
    std::unique_ptr<relay::FrameDecoder> decoder;
};

// Every connection of the run, read by one epoll thread.
class Fleet {
public:
    std::vector<User> users;
    std::vector<Conn> conns;
    std::atomic<int> hellos{0}, logins{0}, mixLogins{0}, refusals{0}, errors{0}, micGrants{0};
    std::atomic<bool> measuring{false};
    std::atomic<pid_t> readerTid{0};

    // What the reader measured (read only after Stop).
    std::vector<double> latencyMs;
    std::vector<std::int64_t> lastArrival;  // per line/frame sequence, ns
    std::vector<std::int64_t> sentAt;       // per sequence, ns (from the payload)
    std::vector<int> arrivals;              // per sequence: listeners it reached
    std::uint64_t delivered = 0;
    std::size_t latencyBelow = 0;  // sequences whose latency samples are kept

    Fleet(std::size_t maxSeq, std::size_t runSeq, std::size_t maxConns)
        : lastArrival(maxSeq, 0), sentAt(maxSeq, 0), arrivals(maxSeq, 0), latencyBelow(runSeq) {
        // No reallocation while the reader holds references into it.
        conns.reserve(maxConns);
        latencyMs.reserve(1 << 20);
        ep_ = epoll_create1(0);
    }
    ~Fleet() {
        Stop();
        for (auto& c : conns)
            if (c.fd >= 0) ::close(c.fd);
        ::close(ep_);
    }

    int Open(std::uint16_t port, int user, bool media) {
        const int fd = benchsrv::Connect(port);
        if (fd < 0) {
            std::fprintf(stderr, "bench: connection %zu failed\n", conns.size());
            std::exit(1);
        }
        Conn c;
        c.fd = fd, c.user = user, c.media = media;
        const int index = static_cast<int>(conns.size());
        c.decoder = std::make_unique<relay::FrameDecoder>(
            [this, index](const relay::FrameHeader& h, const unsigned char* p, std::size_t n) {
                OnFrame(index, h, p, n);
            });
        conns.push_back(std::move(c));
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u32 = static_cast<std::uint32_t>(index);
        epoll_ctl(ep_, EPOLL_CTL_ADD, fd, &ev);
        if (!benchsrv::SendAll(fd, relay::EncodeFrame(relay::kFrameHello, 0, 0,
                                                      media ? "pc_av" : "pc_chat"))) {
            std::fprintf(stderr, "bench: hello failed\n");
            std::exit(1);
        }
        return index;
    }

    void Start() {
        reader_ = std::thread([this] { Run(); });
        while (!readerTid) std::this_thread::yield();
    }
    void Stop() {
        if (!reader_.joinable()) return;
        stop_ = true;
        reader_.join();
    }

    // Waits until `counter` reaches `want`; false after `seconds`.
    // Ends every connection of the run, as a crowd leaving does.
    void CloseAll() {
        Stop();
        for (auto& c : conns) {
            epoll_ctl(ep_, EPOLL_CTL_DEL, c.fd, nullptr);
            ::close(c.fd);
            c.fd = -1;
            c.decoder.reset();
        }
    }

    static bool Await(const std::atomic<int>& counter, int want, int seconds = 60) {
        const auto until = Clock::now() + std::chrono::seconds(seconds);
        while (counter.load() < want) {
            if (Clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

private:
    int ep_ = -1;
    std::atomic<bool> stop_{false};
    std::thread reader_;
    std::int64_t now_ = 0;  // when the bytes being decoded were read

    void Run() {
        readerTid = Tid();
        std::vector<epoll_event> ready(512);
        std::vector<unsigned char> buf(256 * 1024);
        while (!stop_) {
            const int n = epoll_wait(ep_, ready.data(), static_cast<int>(ready.size()), 50);
            for (int i = 0; i < n; ++i) {
                Conn& c = conns[ready[i].data.u32];
                for (;;) {
                    const ssize_t got = ::recv(c.fd, buf.data(), buf.size(), MSG_DONTWAIT);
                    if (got <= 0) {
                        if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                            ++errors;
                            epoll_ctl(ep_, EPOLL_CTL_DEL, c.fd, nullptr);
                        }
                        break;
                    }
                    now_ = NowNs();
                    if (!c.decoder->Feed(buf.data(), static_cast<std::size_t>(got))) {
                        ++errors;
                        epoll_ctl(ep_, EPOLL_CTL_DEL, c.fd, nullptr);
                        break;
                    }
                    if (static_cast<std::size_t>(got) < buf.size()) break;
                }
            }
        }
    }

    void Record(std::uint32_t seq, std::int64_t sent) {
        if (!measuring || seq >= arrivals.size()) return;
        if (seq < latencyBelow) latencyMs.push_back(static_cast<double>(now_ - sent) / 1e6);
        sentAt[seq] = sent;
        lastArrival[seq] = std::max(lastArrival[seq], now_);
        ++arrivals[seq];
        ++delivered;
    }

    void OnFrame(int index, const relay::FrameHeader& h, const unsigned char* p, std::size_t n) {
        Conn& c = conns[static_cast<std::size_t>(index)];
        User& u = users[static_cast<std::size_t>(c.user)];
        if (h.type == relay::kFrameHello) {
            ++hellos;
            return;
        }
        if (h.type == relay::kFrameError) {
            std::fprintf(stderr, "bench: user %u: %.*s\n", u.id, static_cast<int>(n), p);
            ++errors;
            return;
        }
        if (h.type != relay::kFramePacket) return;
        switch (h.command) {
            case msg::Control_Login_Resp::id: {
                const auto r = wire::decode<msg::Control_Login_Resp>(p, n);
                if (!r.ok()) {
                    std::fprintf(stderr, "bench: login of %u refused: %s\n", u.id, r.message.c_str());
                    ++refusals;
                    return;
                }
                u.mediaKey = r.media_key;
                ++logins;
                return;
            }
            case msg::Mix_Login_Resp::id:
                if (wire::decode<msg::Mix_Login_Resp>(p, n).ok()) ++mixLogins;
                else ++refusals;
                return;
            case msg::Mix_Open_Mic_Resp::id:
                if (wire::decode<msg::Mix_Open_Mic_Resp>(p, n).ok()) ++micGrants;
                else ++refusals;
                return;
            case msg::Control_Chat_Notify::id: {
                if (!u.listener) return;
                const auto note = wire::decode<msg::Control_Chat_Notify>(p, n);
                unsigned seq = 0;
                long long sent = 0;
                const std::string text(msg::chat_line_text(note.line));
                if (std::sscanf(text.c_str(), "load %u %lld", &seq, &sent) == 2) Record(seq, sent);
                return;
            }
            case msg::Mix_Aac_Notify::id: {
                if (!u.listener) return;
                const auto note = wire::decode<msg::Mix_Aac_Notify>(p, n);
                if (note.audio.size() < adts::kHeaderBytes + 12) return;
                std::int64_t sent = 0;
                std::uint32_t seq = 0;
                std::memcpy(&sent, note.audio.data() + adts::kHeaderBytes, 8);
                std::memcpy(&seq, note.audio.data() + adts::kHeaderBytes + 8, 4);
                Record(seq, sent);
                return;
            }
            default:
                return;  // user lists, joins, leaves: read and dropped
        }
    }
};

// Adds `count` users "load0001"… with tokens for a day.
std::vector<User> AddUsers(server::CServerDb& db, int count) {
    std::vector<User> out;
    db.InTransaction([&] {
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "load%04d", i + 1);
            User u;
            std::string error;
            if (!db.AddUser(name, "load-pass", name, 0, 0, 1000, &u.id, error)) {
                std::fprintf(stderr, "bench: %s\n", error.c_str());
                std::exit(1);
            }
            u.token = db.IssueToken(u.id, std::time(nullptr), 86400);
            out.push_back(std::move(u));
        }
        return true;
    });
    return out;
}

// Signs every user into the room on chat (and media, when asked); returns
// the seconds the chat logins took once sent.
double EnterRoom(Fleet& fleet, std::uint16_t port, bool media) {
    const int n = static_cast<int>(fleet.users.size());
    for (int i = 0; i < n; ++i) {
        fleet.users[i].chat = fleet.Open(port, i, false);
        if (media) fleet.users[i].media = fleet.Open(port, i, true);
    }
    if (!Fleet::Await(fleet.hellos, static_cast<int>(fleet.conns.size()))) {
        std::fprintf(stderr, "bench: hellos missing\n");
        std::exit(1);
    }
    const auto t0 = Clock::now();
    for (const User& u : fleet.users) {
        msg::Control_Login_Req login;
        login.user_id = u.id, login.room_id = kRoom, login.token = u.token;
        login.nickname = "load";
        benchsrv::SendAll(fleet.conns[u.chat].fd, Packet(kChat, login));
    }
    if (!Fleet::Await(fleet.logins, n) ) {
        std::fprintf(stderr, "bench: %d of %d logins\n", fleet.logins.load(), n);
        std::exit(1);
    }
    const double took = std::chrono::duration<double>(Clock::now() - t0).count();
    if (media) {
        for (const User& u : fleet.users) {
            msg::Mix_Login_Req mix;
            mix.user_id = u.id, mix.room_id = kRoom, mix.media_key = u.mediaKey;
            benchsrv::SendAll(fleet.conns[u.media].fd, Packet(kMedia, mix));
        }
        if (!Fleet::Await(fleet.mixLogins, n)) {
            std::fprintf(stderr, "bench: %d of %d media logins\n", fleet.mixLogins.load(), n);
            std::exit(1);
        }
    }
    return took;
}

struct Window {
    std::map<pid_t, long> ticks = ThreadTicks();
    Clock::time_point t = Clock::now();
    // Server and load-side CPU % since the window opened.
    std::pair<double, double> Cpu(const Fleet& fleet) const {
        const double s = std::chrono::duration<double>(Clock::now() - t).count();
        return CpuPercent(ticks, ThreadTicks(), {Tid(), fleet.readerTid.load()}, s);
    }
};

int Arg(int argc, char** argv, int i, int fallback) {
    return argc > i ? std::max(1, std::atoi(argv[i])) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string scenario = argc > 1 ? argv[1] : "";
    if (scenario != "chat" && scenario != "voice" && scenario != "idle" && scenario != "join" &&
        scenario != "churn") {
        std::fprintf(stderr, "usage: bench_room_load chat|voice|idle|join|churn [N] ...\n");
        return 2;
    }
    const int listeners = Arg(argc, argv, 2, 1000);
    const rlim_t limit = benchsrv::RaiseFileLimit();
    if (limit < static_cast<rlim_t>(4 * listeners + 64)) {
        std::fprintf(stderr, "descriptor limit %lu is too low for %d listeners (ulimit -n)\n",
                     static_cast<unsigned long>(limit), listeners);
        return 1;
    }

    int senders = 0, rate = 0, seconds = 0;
    if (scenario == "chat") {
        senders = Arg(argc, argv, 3, 5), rate = Arg(argc, argv, 4, 10), seconds = Arg(argc, argv, 5, 10);
    } else if (scenario == "voice") {
        // The room lets two members speak at once; a third turn is refused.
        senders = std::min(2, Arg(argc, argv, 3, 2)), rate = 50, seconds = Arg(argc, argv, 4, 10);
    }
    const int total = listeners + senders;

    std::vector<User> users;
    server::RoomLimits limits;
    limits.requestsPerSecond = limits.requestBurst = 1e6;
    limits.mediaPerSecond = limits.mediaBurst = 1e6;
    benchsrv::Server srv(1000, [&](server::CServerDb& db) { users = AddUsers(db, total); }, limits);
    const std::uint16_t port = srv.get().port();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // Sequences: the run's lines/frames, then 50 spaced single lines.
    const std::size_t runSeq = static_cast<std::size_t>(senders) * rate * seconds;
    Fleet fleet(runSeq + 64, runSeq, 2 * static_cast<std::size_t>(total) + 8);
    fleet.users = std::move(users);
    for (int i = 0; i < listeners; ++i) fleet.users[senders + i].listener = true;
    fleet.Start();

    char line[768];
    if (scenario == "idle") {
        const long before = benchsrv::RssKiB();
        for (int i = 0; i < listeners; ++i) fleet.Open(port, i, false);
        if (!Fleet::Await(fleet.hellos, listeners)) return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const long with = benchsrv::RssKiB();
        std::snprintf(line, sizeof line,
                      "idle N=%d sessions=%zu RSS %ld -> %ld KiB, %.2f KiB per connection "
                      "(both ends in one process)",
                      listeners, srv.get().rooms().SessionCount(), before, with,
                      static_cast<double>(with - before) / listeners);
    } else if (scenario == "churn") {
        // A crowd joins at once and leaves: what the process keeps afterwards.
        const long before = benchsrv::RssKiB();
        const double took = EnterRoom(fleet, port, false);
        const long peak = benchsrv::RssKiB();
        fleet.CloseAll();
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (srv.get().rooms().SessionCount() > 0 && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));  // the trim's ticks
        const long after = benchsrv::RssKiB();
        std::snprintf(line, sizeof line,
                      "churn N=%d joined in %.3f s and left; sessions=%zu RSS %ld -> peak %ld -> "
                      "%ld KiB after (%+.1f%% of the start)",
                      listeners, took, srv.get().rooms().SessionCount(), before, peak, after,
                      100.0 * static_cast<double>(after - before) / static_cast<double>(before));
    } else if (scenario == "join") {
        const Window w;
        const double took = EnterRoom(fleet, port, false);
        const auto [server, load] = w.Cpu(fleet);
        std::snprintf(line, sizeof line,
                      "join N=%d logins %.3f s (%.0f/s) into one room; members=%zu "
                      "server CPU %.0f%% load CPU %.0f%% (connect to done) RSS %ld KiB",
                      listeners, took, listeners / took, srv.get().rooms().MemberCount(kRoom),
                      server, load, benchsrv::RssKiB());
    } else {
        const bool voice = scenario == "voice";
        EnterRoom(fleet, port, voice);
        if (voice) {
            for (int s = 0; s < senders; ++s) {
                msg::Mix_Open_Mic_Req open;
                open.user_id = fleet.users[s].id, open.room_id = kRoom, open.granted = 0;
                benchsrv::SendAll(fleet.conns[fleet.users[s].media].fd, Packet(kMedia, open));
            }
            if (!Fleet::Await(fleet.micGrants, senders, 10)) {
                std::fprintf(stderr, "bench: %d of %d free turns\n", fleet.micGrants.load(), senders);
                return 1;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // join chatter settles

        // One voice frame: ADTS header, then send time and sequence.
        std::vector<unsigned char> frame(adts::kHeaderBytes + 32, 0);
        adts::WriteHeader(frame.data(), adts::kProfileLc, adts::kSampling22050, adts::kMono,
                          frame.size());
        const auto send = [&](int s, std::uint32_t seq) {
            const std::int64_t now = NowNs();
            const User& u = fleet.users[static_cast<std::size_t>(s)];
            if (voice) {
                std::memcpy(frame.data() + adts::kHeaderBytes, &now, 8);
                std::memcpy(frame.data() + adts::kHeaderBytes + 8, &seq, 4);
                msg::Mix_Audio_Data d;
                d.audio = wire::bytes(frame.data(), frame.size());
                d.stamp_diff = 20;
                benchsrv::SendAll(fleet.conns[u.media].fd, Packet(kMedia, d));
            } else {
                char text[64];
                std::snprintf(text, sizeof text, "load %u %lld", seq, static_cast<long long>(now));
                msg::Control_Send_Chat_Req req;
                req.user_id = u.id, req.line = text;
                benchsrv::SendAll(fleet.conns[u.chat].fd, Packet(kChat, req));
            }
        };

        server::CSharedPacket::Observe(OnPacketFreed);
        gInServerOn = true;
        fleet.measuring = true;
        const Window w;
        // All senders on one schedule, round robin: each sends at `rate`.
        const auto step = std::chrono::nanoseconds(1'000'000'000LL / (static_cast<long long>(senders) * rate));
        const auto t0 = Clock::now();
        for (std::uint32_t k = 0; k < runSeq; ++k) {
            std::this_thread::sleep_until(t0 + step * k);
            send(static_cast<int>(k % senders), k);
        }
        const double sendSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
        std::this_thread::sleep_for(std::chrono::seconds(1));  // the tail arrives
        std::vector<double> inServer(gInServer.begin(),
                                     gInServer.begin() + static_cast<long>(std::min(
                                                             gInServerCount.load(), kInServerMax)));
        gInServerCount = 0;
        const auto [server, load] = w.Cpu(fleet);
        const long rss = benchsrv::RssKiB();

        // Then single lines, one at a time: how long until the last listener has each.
        const std::uint32_t spacedFrom = static_cast<std::uint32_t>(runSeq);
        if (!voice)
            for (std::uint32_t k = 0; k < 50; ++k) {
                send(0, spacedFrom + k);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::vector<double> spacedInServer(
            gInServer.begin(),
            gInServer.begin() + static_cast<long>(std::min(gInServerCount.load(), kInServerMax)));
        gInServerOn = false;
        fleet.Stop();

        // Samples of the run only.
        std::vector<double> lat;
        std::vector<double> last, spaced;
        std::uint64_t runDelivered = 0;
        for (std::uint32_t k = 0; k < runSeq; ++k) {
            runDelivered += static_cast<std::uint64_t>(fleet.arrivals[k]);
            if (fleet.arrivals[k] == listeners)
                last.push_back(static_cast<double>(fleet.lastArrival[k] - fleet.sentAt[k]) / 1e6);
        }
        for (std::uint32_t k = spacedFrom; !voice && k < spacedFrom + 50; ++k)
            if (fleet.arrivals[k] == listeners)
                spaced.push_back(static_cast<double>(fleet.lastArrival[k] - fleet.sentAt[k]) / 1e6);
        lat.swap(fleet.latencyMs);
        const double expected = static_cast<double>(runSeq) * listeners;
        int n = std::snprintf(
            line, sizeof line,
            "%s N=%d senders=%d x %d/s %ds: delivered %.0f/s (%llu of %.0f), latency p50 %.2f ms "
            "p99 %.2f ms; last listener p50 %.2f p99 %.2f ms; in-server p50 %.2f p99 %.2f ms",
            scenario.c_str(), listeners, senders, rate, seconds, runDelivered / sendSeconds,
            static_cast<unsigned long long>(runDelivered), expected, Percentile(lat, 0.5),
            Percentile(lat, 0.99), Percentile(last, 0.5), Percentile(last, 0.99),
            Percentile(inServer, 0.5), Percentile(inServer, 0.99));
        if (!voice)
            n += std::snprintf(line + n, sizeof line - n,
                               " (single lines: p50 %.2f p99 %.2f ms, in-server p50 %.2f p99 %.2f ms, %zu/50)",
                               Percentile(spaced, 0.5), Percentile(spaced, 0.99),
                               Percentile(spacedInServer, 0.5), Percentile(spacedInServer, 0.99),
                               spaced.size());
        else {
            const auto vc = srv.get().rooms().VoiceCounters();
            n += std::snprintf(line + n, sizeof line - n, " (relayed %llu, backlog skips %llu, bad %llu)",
                               static_cast<unsigned long long>(vc.relayed),
                               static_cast<unsigned long long>(vc.backlog),
                               static_cast<unsigned long long>(vc.badFrames));
        }
        std::snprintf(line + n, sizeof line - n, "; server CPU %.0f%% load CPU %.0f%% RSS %ld KiB",
                      server, load, rss);
    }
    fleet.Stop();
    std::printf("%s; %u cores%s\n", line, std::thread::hardware_concurrency(),
                fleet.errors.load() || fleet.refusals.load() ? " (errors/refusals seen)" : "");
    return 0;
}
