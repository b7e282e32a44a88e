#include "platform/patron/patron.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/files.h"
#include "core/log.h"
#include "platform/text/terminal.h"
#include "core/paths.h"
#include "platform/patron/patron_session.h"
#include "platform/patron/patron_login_wnd.h"
#include "platform/patron/patron_windows.h"

using patron::CSession;

namespace {

constexpr int kConnectWaitMs = 5000;

struct Library {
    std::mutex lock;
    std::string host = "127.0.0.1";
    std::uint16_t port = 8080;
    PatronLoginOptions login;
    PATRON_HANDLE next = 1;
    std::map<PATRON_HANDLE, std::shared_ptr<CSession>> open;
    std::vector<std::shared_ptr<CSession>> closed;  // signing out; joined at shutdown
};

Library& Lib() {
    static auto* l = new Library;  // sessions may still run during static destruction
    return *l;
}

std::shared_ptr<CSession> Find(PATRON_HANDLE h) {
    Library& l = Lib();
    std::lock_guard<std::mutex> g(l.lock);
    auto it = l.open.find(h);
    return it == l.open.end() ? nullptr : it->second;
}

std::string ConfFile(const PatronLoginOptions& o, const char* name) {
    const std::string conf =
        o.confFolder.empty() ? paths::DataFolder() + "conf/" : paths::WithSlash(o.confFolder);
    return conf + name;
}

// One line of at most `limit` bytes; empty when missing or damaged.
std::string ReadLine(const PatronLoginOptions& o, const char* name, std::size_t limit) {
    std::string line;
    if (!files::ReadFile(ConfFile(o, name), line)) return {};
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.size() > limit || line.find_first_of("\r\n") != std::string::npos) return {};
    return line;
}

void Remember(const PatronLoginOptions& o, const char* name, const std::string& value) {
    const std::string file = ConfFile(o, name);
    paths::MakeDirs(file);
    if (!files::WriteFileAtomic(file, value + "\n"))
        log_msg("patron cannot remember %s in %s\r\n", name, file.c_str());
}

std::string ReadLastUser(const PatronLoginOptions& o) { return ReadLine(o, "last_user", 64); }
void RememberUser(const PatronLoginOptions& o, const std::string& name) { Remember(o, "last_user", name); }

// The kept sign-in: "NAME\nID\nSECRET\n", readable by the user only.
struct KeptSignIn {
    std::string name;
    std::uint32_t id = 0;
    std::string secret;
};

std::optional<KeptSignIn> ReadKept(const PatronLoginOptions& o) {
    std::string text;
    if (!files::ReadFile(ConfFile(o, "kept_sign_in"), text) || text.size() > 512) return std::nullopt;
    KeptSignIn k;
    std::string id;
    std::size_t at = 0;
    for (std::string* part : {&k.name, &id, &k.secret}) {
        const auto nl = text.find('\n', at);
        if (nl == std::string::npos) return std::nullopt;
        *part = text.substr(at, nl - at);
        at = nl + 1;
    }
    if (k.name.empty() || k.name.size() > 64 || k.secret.empty() || k.secret.size() > 127 || id.empty() ||
        id.size() > 10 || id.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long long v = std::stoull(id);
    if (v == 0 || v > 0xFFFFFFFFull) return std::nullopt;
    k.id = static_cast<std::uint32_t>(v);
    return k;
}

void Keep(const PatronLoginOptions& o, const KeptSignIn& k) {
    const std::string file = ConfFile(o, "kept_sign_in");
    paths::MakeDirs(file);
    if (!files::WriteFileAtomic(file, k.name + "\n" + std::to_string(k.id) + "\n" + k.secret + "\n", 0600))
        log_msg("patron cannot keep the sign-in in %s\r\n", file.c_str());
}

void Forget(const PatronLoginOptions& o) { std::remove(ConfFile(o, "kept_sign_in").c_str()); }

std::string ServerText(const std::string& host, std::uint16_t port) {
    return host + ":" + std::to_string(port);
}

// A window can be shown only under a widget application.
bool HaveWindows() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

template <class F>
int WithSession(PATRON_HANDLE h, F f) {
    auto s = Find(h);
    return s && s->signedIn() && f(*s) ? 1 : 0;
}

}  // namespace

void PATRON_SetServer(const std::string& host, std::uint16_t port) {
    Library& l = Lib();
    std::lock_guard<std::mutex> g(l.lock);
    l.host = host;
    l.port = port;
}

void PATRON_SetLoginOptions(const PatronLoginOptions& options) {
    Library& l = Lib();
    std::lock_guard<std::mutex> g(l.lock);
    l.login = options;
}

bool PATRON_ParseServer(const std::string& text, std::string& host, std::uint16_t& port) {
    std::string t = text;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    while (!t.empty() && t.front() == ' ') t.erase(t.begin());
    if (t.empty() || t.size() > 255) return false;
    std::uint16_t p = port;
    const auto colon = t.rfind(':');
    if (colon != std::string::npos) {
        const std::string digits = t.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const unsigned long v = std::stoul(digits);
        if (v == 0 || v > 65535) return false;
        p = static_cast<std::uint16_t>(v);
        t.resize(colon);
    }
    // A host name or an IPv4 address: nothing that could end up elsewhere in a URL.
    if (t.empty() || t.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") !=
                         std::string::npos)
        return false;
    host = t;
    port = p;
    return true;
}

void PATRON_GetServer(std::string& host, std::uint16_t& port) {
    Library& l = Lib();
    std::lock_guard<std::mutex> g(l.lock);
    host = l.host;
    port = l.port;
}

PATRON_HANDLE PATRON_Open() {
    Library& l = Lib();
    std::lock_guard<std::mutex> g(l.lock);
    const PATRON_HANDLE h = l.next++;
    l.open[h] = std::make_shared<CSession>(l.host, l.port);
    return h;
}

PATRON_HANDLE PATRON_Connect() {
    Library& l = Lib();
    std::string host;
    std::uint16_t port;
    {
        std::lock_guard<std::mutex> g(l.lock);
        host = l.host;
        port = l.port;
    }
    auto s = std::make_shared<CSession>(host, port);
    if (!s->Connect(kConnectWaitMs)) {
        log_msg("patron cannot reach the account service at %s:%u\r\n", host.c_str(),
                static_cast<unsigned>(port));
        return 0;
    }
    std::lock_guard<std::mutex> g(l.lock);
    const PATRON_HANDLE h = l.next++;
    l.open[h] = std::move(s);
    return h;
}

int PATRON_SetCallBack(PATRON_HANDLE h, PATRON_CALLBACK callback, void* context) {
    auto s = Find(h);
    if (!s) return 0;
    s->SetCallback(callback, context);
    return 1;
}

namespace {

// A session at `host:port` for handle h: the one it has when it is there
// and connected, otherwise a new one that replaces it (the callback moves
// along). Null when that service cannot be reached.
std::shared_ptr<CSession> SessionAt(PATRON_HANDLE h, const std::string& host, std::uint16_t port) {
    auto current = Find(h);
    if (!current) return nullptr;
    if (current->connected() && current->host() == host && current->port() == port) return current;
    auto fresh = std::make_shared<CSession>(host, port);
    if (!fresh->Connect(kConnectWaitMs)) {
        log_msg("patron cannot reach the account service at %s:%u\r\n", host.c_str(),
                static_cast<unsigned>(port));
        return nullptr;
    }
    current->CopyCallbackTo(*fresh);
    Library& l = Lib();
    std::lock_guard<std::mutex> g(l.lock);
    auto it = l.open.find(h);
    if (it == l.open.end()) return nullptr;
    l.closed.push_back(std::move(it->second));
    it->second = fresh;
    l.host = host;
    l.port = port;
    return fresh;
}

}  // namespace

int PATRON_Login(PATRON_HANDLE h) {
    auto s = Find(h);
    if (!s) return 0;
    if (s->signedIn()) return 1;
    PatronLoginOptions o;
    std::string host;
    std::uint16_t port;
    {
        std::lock_guard<std::mutex> g(Lib().lock);
        o = Lib().login;
        host = Lib().host;
        port = Lib().port;
    }
    const bool windows = !o.headless && HaveWindows();
    std::string user = o.user;
    std::string error;
    if (!s->connected()) {
        error = "登陆接入失败！";
    } else if (!o.user.empty() && !o.password.empty()) {
        const patron::SignInResult r = s->SignInAndWait(o.user, o.password);
        if (r.ok) {
            RememberUser(o, o.user);
            return 1;
        }
        error = r.error;
        // Refused flags fall back to the window where there is one.
        if (!windows) {
            std::fprintf(stderr, "zeri: sign-in refused: %s\n", error.c_str());
            return 0;
        }
    } else if (!windows) {
        std::fprintf(stderr, "zeri: without windows, sign-in needs --user and --password\n");
        return 0;
    }
    if (!windows) return 0;
    if (user.empty()) user = ReadLastUser(o);
    // The server: the one asked for this run unless the user chose another last time.
    std::string server = ServerText(host, port);
    if (!o.serverGiven) {
        const std::string last = ReadLine(o, "last_server", 255);
        std::string lastHost;
        std::uint16_t lastPort = port;
        if (PATRON_ParseServer(last, lastHost, lastPort)) server = ServerText(lastHost, lastPort);
    }
    const std::uint16_t defaultPort = port;
    const std::optional<KeptSignIn> kept = ReadKept(o);
    const bool keptForUser = kept && kept->name == user;
    // The secret a new kept sign-in brought (set before the window hears of it).
    auto newSecret = std::make_shared<patron::SignInResult>();
    patron::CLoginWnd window(
        user, server, error, keptForUser,
        [h, defaultPort, kept, newSecret](const std::string& u, const std::string& p, const std::string& where,
                                          bool remember, std::function<void(const patron::SignInResult&)> done) {
            std::string host;
            std::uint16_t port = defaultPort;
            if (!PATRON_ParseServer(where, host, port)) {
                done(patron::SignInResult{false, "服务器地址无效"});
                return true;
            }
            auto session = SessionAt(h, host, port);
            if (!session) {
                done(patron::SignInResult{false, "登陆接入失败！"});
                return true;
            }
            auto keepResult = [newSecret, done = std::move(done)](const patron::SignInResult& r) {
                *newSecret = r;
                done(r);
            };
            if (p.empty() && remember && kept && kept->name == u)
                return session->SignInKept(kept->id, kept->secret, std::move(keepResult));
            if (remember) return session->SignInKeeping(u, p, std::move(keepResult));
            return session->SignIn(u, p, std::move(keepResult));
        });
    if (!window.Run()) {
        // A kept sign-in the service refused is of no more use.
        if (keptForUser && !window.kept()) Forget(o);
        return 0;
    }
    s = Find(h);
    if (!s || !s->signedIn()) return 0;
    RememberUser(o, window.user());
    Remember(o, "last_server", ServerText(s->host(), s->port()));
    if (!window.remember()) {
        // No longer wanted: gone here, and at the service with the sign-out.
        if (kept) {
            Forget(o);
            s->ForgetKeptOnClose();
        }
    } else if (!newSecret->keep.empty()) {
        Keep(o, KeptSignIn{window.user(), newSecret->userId, newSecret->keep});
    }
    return 1;
}

void PATRON_Close(PATRON_HANDLE h) {
    Library& l = Lib();
    std::shared_ptr<CSession> s;
    {
        std::lock_guard<std::mutex> g(l.lock);
        auto it = l.open.find(h);
        if (it == l.open.end()) return;
        s = std::move(it->second);
        l.open.erase(it);
        l.closed.push_back(s);
    }
    s->Close();
}

void PATRON_Shutdown() {
    Library& l = Lib();
    std::vector<std::shared_ptr<CSession>> all;
    {
        std::lock_guard<std::mutex> g(l.lock);
        for (auto& [h, s] : l.open) all.push_back(std::move(s));
        l.open.clear();
        for (auto& s : l.closed) all.push_back(std::move(s));
        l.closed.clear();
    }
    for (auto& s : all) {
        s->Close();
        s->Join();
    }
}

int PATRON_GetLoginInfo(PATRON_HANDLE h, std::uint32_t* a, std::uint32_t* b) {
    auto s = Find(h);
    if (!s || !s->signedIn()) return 0;
    if (a) *a = s->userId();
    if (b) *b = s->expiry();
    return 1;
}

int PATRON_GetMyDetailInfo(PATRON_HANDLE h, PatronUserDetail* record) {
    auto s = Find(h);
    if (!s || !s->signedIn() || !record) return 0;
    *record = s->detail();
    return 1;
}

int PATRON_ImHandle(PATRON_HANDLE h, void* buddy) {
    auto s = Find(h);
    if (!s) return 0;
    s->SetBuddy(buddy);
    return 1;
}

int PATRON_GetToken(PATRON_HANDLE h, char* buffer128) {
    auto s = Find(h);
    if (!s || !s->signedIn() || !buffer128) return 0;
    const std::string t = s->token();
    PatronCopyText(buffer128, 128, t.data(), t.size());
    return 1;
}

int PATRON_GetBalance(PATRON_HANDLE h, std::uint32_t) {
    return WithSession(h, [](CSession& s) { return s.GetBalance(); });
}

int PATRON_GetWealthGrade(PATRON_HANDLE h, std::uint32_t, std::uint32_t user) {
    return WithSession(h, [user](CSession& s) { return s.GetWealthGrade(user ? user : s.userId()); });
}

int PATRON_GetMyCarList(PATRON_HANDLE h, std::uint32_t, std::uint32_t) {
    return WithSession(h, [](CSession& s) { return s.GetCars(); });
}

int PATRON_GetMyVipList(PATRON_HANDLE h, std::uint32_t) {
    return WithSession(h, [](CSession& s) { return s.GetVips(); });
}

int PATRON_GetMyPackList(PATRON_HANDLE h, std::uint32_t) {
    return WithSession(h, [](CSession& s) { return s.GetPack(); });
}

int PATRON_GetUserLevel(PATRON_HANDLE h, std::uint32_t user) {
    return WithSession(h, [user](CSession& s) { return s.GetUserLevel(user ? user : s.userId()); });
}

int PATRON_GetWealthBillBoard(PATRON_HANDLE h, std::uint32_t, std::uint32_t list,
                              std::uint32_t start, std::uint32_t count) {
    if (list > 3 || count == 0) return 0;
    return WithSession(h, [=](CSession& s) { return s.GetBillboard(list, start, count); });
}

int PATRON_GetFlowerNum(PATRON_HANDLE h, std::uint32_t anchor) {
    if (anchor == 0) return 0;
    return WithSession(h, [anchor](CSession& s) { return s.GetFlowers(anchor); });
}

// --- purchases (the session's patron_purchases.cpp) ------------------------

int PATRON_GiveFlower(PATRON_HANDLE h, std::uint32_t, std::uint32_t anchor, std::uint32_t room,
                      const char*) {
    // The giver is the signed-in user; what the room shows of them (the
    // JSON text) the service takes from its own tables.
    if (anchor == 0 || room == 0) return 0;
    return WithSession(h, [=](CSession& s) { return s.GiveFlower(anchor, room); });
}

int PATRON_GiveProp(PATRON_HANDLE h, const PatronPropRecord* record) {
    if (!record) return 0;
    const PatronPropRecord copy = *record;
    return WithSession(h, [&copy](CSession& s) { return s.GiveProp(copy); });
}

int PATRON_GiveGift(PATRON_HANDLE h, const PatronGiftRecord* gift, const PatronItemRecord* item,
                    std::uint32_t count) {
    if (!gift || !item) return 0;
    const PatronGiftRecord g = *gift;
    const PatronItemRecord i = *item;
    return WithSession(h, [&](CSession& s) { return s.GiveGift(g, i, count); });
}

int PATRON_ActivateCar(PATRON_HANDLE h, std::uint32_t, const char* carId) {
    // Decimal digits only: anything else names no car.
    if (!carId || !*carId || std::strlen(carId) > 10 ||
        std::strspn(carId, "0123456789") != std::strlen(carId))
        return 0;
    const unsigned long long id = std::strtoull(carId, nullptr, 10);
    if (id == 0 || id > 0xFFFFFFFFull) return 0;
    return WithSession(h, [id](CSession& s) { return s.ActivateCar(static_cast<std::uint32_t>(id)); });
}

int PATRON_Recharge(PATRON_HANDLE h, std::uint32_t me) {
    bool headless;
    {
        std::lock_guard<std::mutex> g(Lib().lock);
        headless = Lib().login.headless;
    }
    const bool windows = !headless && HaveWindows();
    // The library's recharge notice: one line where there are no windows.
    return WithSession(h, [me, windows](CSession& s) {
        return s.Recharge([me, windows](bool ok, const std::string& text) {
            log_msg("patron recharge %u %s: %s\r\n", me, ok ? "done" : "fail", text.c_str());
            if (windows) return;
            std::printf("recharge: %u %s %s\n", me, ok ? "ok" : "fail",
                        text::ForTerminal(text).c_str());
            std::fflush(stdout);
        });
    });
}

int PATRON_ShowUserInfo(PATRON_HANDLE h, std::uint32_t user) {
    if (user == 0) return 0;
    bool headless;
    {
        std::lock_guard<std::mutex> g(Lib().lock);
        headless = Lib().login.headless;
    }
    const bool windows = !headless && HaveWindows();
    return WithSession(h, [user, windows](CSession& s) {
        return s.GetUserDetail(user, [user, windows](bool ok, const PatronUserDetail& d,
                                                     const std::string& error) {
            if (!ok) {
                log_msg("patron user info %u fail: %s\r\n", user, error.c_str());
                if (!windows)
                    std::printf("profile: %u %s\n", user, text::ForTerminal(error).c_str());
                std::fflush(stdout);
                return;
            }
            if (!windows) {
                // Another user's words: shown, never acted on by the terminal.
                std::printf("profile: %u %s %s(%u) VIP %u\n", d.userId,
                            text::ForTerminal(d.nickname).c_str(),
                            text::ForTerminal(d.wealthText).c_str(), d.wealthGrade, d.vipLevel);
                std::fflush(stdout);
                return;
            }
            QMetaObject::invokeMethod(qApp, [d] { patron::ShowProfileWindow(d); },
                                      Qt::QueuedConnection);
        });
    });
}

int PATRON_EnterRoom(PATRON_HANDLE h, std::uint32_t room) {
    auto s = Find(h);
    if (!s || !s->signedIn() || room == 0) return 0;
    s->Emit(PATRON_EV_ENTER_ROOM, room, 0);
    return 1;
}

int PATRON_LoginRoomNotify(PATRON_HANDLE h, std::uint32_t, std::uint32_t room, const char* text,
                           const char*) {
    if (room == 0) return 0;
    const std::string t = text ? text : "";
    return WithSession(h, [room, t](CSession& s) { return s.LoginRoomNotify(room, t); });
}
