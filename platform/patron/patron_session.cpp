#include "platform/patron/patron_session.h"

#include <cjson/cJSON.h>
#include <httplib.h>

#include <cmath>
#include <cstring>
#include <future>

#include "core/log.h"
#include "platform/patron/patron_answer.h"

void PatronCopyText(char* field, std::size_t size, const char* text, std::size_t length) {
    if (!field || size == 0) return;
    if (!text) length = 0;
    std::size_t n = length < size - 1 ? length : size - 1;
    // Never leave half a UTF-8 character at the end.
    if (n < length)
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    if (n) std::memcpy(field, text, n);
    std::memset(field + n, 0, size - n);
}

namespace patron {

namespace {

constexpr std::size_t kMaxJobs = 256;
constexpr std::size_t kMaxAnswer = 1u << 20;
// The error code of a refused token (docs/account-api.md).
constexpr int kBadTokenCode = 1003;

// --- the billboard body: tag, 16-bit big-endian length, value ---
void PutItem(std::string& out, unsigned char tag, const std::string& value) {
    const std::size_t n = value.size() > 0xFFFF ? 0xFFFF : value.size();
    out.push_back(static_cast<char>(tag));
    out.push_back(static_cast<char>((n >> 8) & 0xFF));
    out.push_back(static_cast<char>(n & 0xFF));
    out.append(value, 0, n);
}
void PutU32(std::string& out, unsigned char tag, std::uint32_t v) {
    const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    PutItem(out, tag, std::string(bytes, 4));
}
void PutText(std::string& out, unsigned char tag, std::string text) {
    // Each entry must fit one item; nobody needs a longer name or link.
    if (text.size() > 1024) {
        std::size_t n = 1024;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
        text.resize(n);
    }
    text.push_back('\0');
    PutItem(out, tag, text);
}

}  // namespace

std::string BillboardBody(const std::string& answerJson, const char* error) {
    std::string out;
    JsonPtr root(cJSON_ParseWithLength(answerJson.data(), answerJson.size()));
    const cJSON* r = root.get();
    if (error || !cJSON_IsObject(r)) {
        PutU32(out, 200, 1);
        PutText(out, 201, error ? error : kBadAnswer);
        const std::string period = Str(r, "period");
        if (!period.empty()) PutText(out, 1, period);
        return out;
    }
    PutU32(out, 200, 0);
    PutText(out, 1, Str(r, "period"));
    const cJSON* entries = Member(r, "entries");
    const cJSON* e = nullptr;
    cJSON_ArrayForEach(e, (cJSON_IsArray(entries) ? entries : nullptr)) {
        const cJSON* w = Member(e, "wealth");
        std::string nested;
        PutU32(nested, 3, U32(e, "id"));
        PutU32(nested, 9, U32(w, "grade"));
        PutU32(nested, 6, U32(e, "amount"));
        PutText(nested, 4, Str(e, "nickname"));
        PutText(nested, 5, Str(w, "text"));
        PutText(nested, 7, Str(w, "colour"));
        PutText(nested, 8, Str(e, "head"));
        PutText(nested, 10, Str(w, "medal"));
        PutItem(out, 2, nested);
    }
    return out;
}


struct CSession::Http {
    Http(const std::string& host, std::uint16_t port) : client(host, port) {
        client.set_connection_timeout(3);
        client.set_read_timeout(10);
        client.set_write_timeout(10);
        client.set_keep_alive(true);
    }
    httplib::Client client;
};

CSession::CSession(std::string host, std::uint16_t port)
    : host_(std::move(host)), port_(port), http_(std::make_unique<Http>(host_, port_)) {}

CSession::~CSession() {
    {
        std::lock_guard<std::mutex> g(jobLock_);
        closing_ = true;
        stop_ = true;
        jobs_.clear();
    }
    jobCv_.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool CSession::Queue(std::function<void()> job, bool internal) {
    {
        std::lock_guard<std::mutex> g(jobLock_);
        if (!worker_.joinable() || stop_ || (!internal && (closing_ || jobs_.size() >= kMaxJobs)))
            return false;
        jobs_.push_back(std::move(job));
    }
    jobCv_.notify_one();
    return true;
}

void CSession::Work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> g(jobLock_);
            jobCv_.wait(g, [&] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

bool CSession::Connect(int waitMs) {
    {
        std::lock_guard<std::mutex> g(jobLock_);
        if (worker_.joinable()) return false;
        worker_ = std::thread([this] { Work(); });
    }
    auto hello = std::make_shared<std::promise<bool>>();
    auto answer = hello->get_future();
    if (!Queue([this, hello] {
            Reply r = Call("/account/hello", "{}", false);
            hello->set_value(r.ok() && Str(r.root.get(), "service") == "zeri-account");
        }))
        return false;
    if (answer.wait_for(std::chrono::milliseconds(waitMs)) != std::future_status::ready)
        return false;
    connected_ = answer.get();
    return connected_;
}

void CSession::CopyCallbackTo(CSession& other) {
    PATRON_CALLBACK cb;
    void* ctx;
    {
        std::lock_guard<std::mutex> g(cbLock_);
        cb = callback_;
        ctx = context_;
    }
    other.SetCallback(cb, ctx);
}

void CSession::SetCallback(PATRON_CALLBACK cb, void* context) {
    std::lock_guard<std::mutex> g(cbLock_);
    callback_ = cb;
    context_ = context;
}

void CSession::Emit(int event, std::uintptr_t a, std::intptr_t b) {
    PATRON_CALLBACK cb;
    void* ctx;
    {
        std::lock_guard<std::mutex> g(cbLock_);
        cb = callback_;
        ctx = context_;
    }
    if (cb) cb(event, a, b, ctx);
}

std::string CSession::token() {
    std::lock_guard<std::mutex> g(stateLock_);
    return token_;
}

PatronUserDetail CSession::detail() {
    std::lock_guard<std::mutex> g(stateLock_);
    return detail_;
}

CSession::Reply CSession::Call(const char* path, const std::string& body, bool withToken) {
    Reply r;
    httplib::Headers headers;
    if (withToken) {
        headers.emplace("X-Zeri-User", std::to_string(userId_.load()));
        headers.emplace("Authorization", "Bearer " + token());
    }
    auto res = http_->client.Post(path, headers, body, "application/json");
    if (!res) {
        r.error = kNoService;
        log_msg("patron %s fail: %s\r\n", path, httplib::to_string(res.error()).c_str());
        return r;
    }
    r.reached = true;
    r.status = res->status;
    if (res->body.size() <= kMaxAnswer)
        r.root.reset(cJSON_ParseWithLength(res->body.data(), res->body.size()));
    if (!cJSON_IsObject(r.root.get())) {
        r.root.reset();
        r.error = kBadAnswer;
        log_msg("patron %s fail status=%d: not an answer\r\n", path, r.status);
        return r;
    }
    const cJSON* code = Member(r.root.get(), "code");
    r.code = cJSON_IsNumber(code) ? static_cast<int>(Int(r.root.get(), "code")) : -1;
    r.error = Str(r.root.get(), "error");
    if (!r.ok()) {
        if (r.error.empty()) r.error = kBadAnswer;
        log_msg("patron %s fail status=%d code=%d %s\r\n", path, r.status, r.code,
                r.error.c_str());
    }
    return r;
}

void CSession::EmitFailure(int event, const Reply& r) {
    const std::string text = r.error.empty() ? std::string(kBadAnswer) : r.error;
    switch (event) {
        case PATRON_EV_FLOWER_COUNT: Emit(event, 0, 0); break;
        default: Emit(event, 0, reinterpret_cast<std::intptr_t>(text.c_str())); break;
    }
    LoseSessionOn(r);
}

void CSession::LoseSessionOn(const Reply& r) {
    // A dead token ends the session once, whichever request found out.
    if (r.reached && r.status == 401 && r.code == kBadTokenCode && !lost_.exchange(true)) {
        signedIn_ = false;
        Emit(PATRON_EV_SESSION_LOST, 0, 0);
    }
}

bool CSession::ParseDetail(const Reply& r, PatronUserDetail& d) {
    d = PatronUserDetail{};
    const cJSON* o = r.root.get();
    d.userId = U32(o, "id");
    if (d.userId == 0) return false;
    const cJSON* w = Member(o, "wealth");
    d.sex = U32(o, "sex");
    d.wealthGrade = U32(w, "grade");
    d.vipLevel = U32(o, "vip");
    d.profileByte = U32(o, "card3");
    d.value14 = U32(o, "card14");
    Put(d.name, Str(o, "name"));
    Put(d.nickname, Str(o, "nickname"));
    Put(d.headUrl, Str(o, "head"));
    Put(d.wealthColour, Str(w, "colour"));
    Put(d.wealthText, Str(w, "text"));
    Put(d.medalUrl, Str(w, "medal"));
    return true;
}

bool CSession::SignIn(const std::string& user, const std::string& password,
                      std::function<void(const SignInResult&)> done) {
    return Queue([this, user, password, done = std::move(done)] {
        SignInResult result;
        const Reply r = Call("/account/login", Body({}, {{"name", user}, {"password", password}}), false);
        FinishSignIn(r, result);
        done(result);
    });
}

bool CSession::SignInKeeping(const std::string& user, const std::string& password,
                             std::function<void(const SignInResult&)> done) {
    return Queue([this, user, password, done = std::move(done)] {
        SignInResult result;
        std::string body = Body({}, {{"name", user}, {"password", password}});
        body.insert(body.size() - 1, ",\"keep\":true");
        const Reply r = Call("/account/login", body, false);
        FinishSignIn(r, result);
        if (result.ok) {
            result.keep = Str(r.root.get(), "keep");
            if (result.keep.size() > 127) result.keep.clear();
        }
        done(result);
    });
}

bool CSession::SignInKept(std::uint32_t userId, const std::string& keep,
                          std::function<void(const SignInResult&)> done) {
    return Queue([this, userId, keep, done = std::move(done)] {
        SignInResult result;
        const Reply r = Call("/account/login-kept", Body({{"id", userId}}, {{"keep", keep}}), false);
        FinishSignIn(r, result);
        if (result.ok && result.userId != userId) {
            result.ok = false;
            result.error = kBadAnswer;
        }
        done(result);
    });
}

void CSession::FinishSignIn(const Reply& r, SignInResult& result) {
    const std::uint32_t id = r.ok() ? U32(r.root.get(), "id") : 0;
    const std::string token = r.ok() ? Str(r.root.get(), "token") : std::string();
    if (!r.ok() || id == 0 || token.empty() || token.size() > 127) {
        result.error = r.ok() ? std::string(kBadAnswer) : r.error;
        return;
    }
    {
        std::lock_guard<std::mutex> g(stateLock_);
        token_ = token;
    }
    userId_ = id;
    const std::int64_t expires = Int(r.root.get(), "expires");
    expiry_ = expires < 0 ? 0u : expires > 0xFFFFFFFFll ? 0xFFFFFFFFu
                                                        : static_cast<std::uint32_t>(expires);
    Reply d = Call("/account/detail", "{}", true);
    PatronUserDetail detail{};
    if (!d.ok() || !ParseDetail(d, detail) || detail.userId != id) {
        result.error = d.ok() ? std::string(kBadAnswer) : d.error;
        return;
    }
    {
        std::lock_guard<std::mutex> g(stateLock_);
        detail_ = detail;
    }
    lost_ = false;
    signedIn_ = true;
    log_msg("patron sign-in ok user=%u\r\n", id);
    result.ok = true;
    result.userId = id;
}

SignInResult CSession::SignInAndWait(const std::string& user, const std::string& password) {
    auto p = std::make_shared<std::promise<SignInResult>>();
    auto f = p->get_future();
    if (!SignIn(user, password, [p](const SignInResult& r) { p->set_value(r); })) {
        SignInResult r;
        r.error = kNoService;
        return r;
    }
    return f.get();
}

bool CSession::GetBalance() {
    return Queue([this] {
        Reply r = Call("/account/balance", "{}", true);
        if (!r.ok()) return EmitFailure(PATRON_EV_BALANCE, r);
        PatronBalance b{};
        b.status = 1;
        b.userId = U32(r.root.get(), "id");
        b.coins = U32(r.root.get(), "coins");
        b.pelto = U32(r.root.get(), "pelto");
        Emit(PATRON_EV_BALANCE, 1, reinterpret_cast<std::intptr_t>(&b));
    });
}

bool CSession::GetWealthGrade(std::uint32_t user) {
    return Queue([this, user] {
        Reply r = Call("/account/wealth", Body({{"id", user}}), true);
        if (!r.ok()) return EmitFailure(PATRON_EV_WEALTH_GRADE, r);
        const cJSON* o = r.root.get();
        PatronWealthGrade w{};
        w.status = 1;
        w.userId = U32(o, "id");
        w.grade = U32(o, "grade");
        Put(w.gradeText, Str(o, "text"));
        Put(w.medalUrl, Str(o, "medal"));
        Put(w.colour, Str(o, "colour"));
        const std::int64_t spent = Int(o, "spent");
        const std::uint64_t s = spent < 0 ? 0 : static_cast<std::uint64_t>(spent);
        w.spentLow = static_cast<std::uint32_t>(s);
        w.spentHigh = static_cast<std::uint32_t>(s >> 32);
        Emit(PATRON_EV_WEALTH_GRADE, 1, reinterpret_cast<std::intptr_t>(&w));
    });
}

bool CSession::GetCars() {
    return Queue([this] {
        Reply r = Call("/account/cars", "{}", true);
        if (!r.ok()) return EmitFailure(PATRON_EV_CAR_LIST, r);
        PatronCarList l{};
        l.status = 1;
        l.userId = U32(r.root.get(), "id");
        const cJSON* e = nullptr;
        const cJSON* list = Member(r.root.get(), "cars");
        cJSON_ArrayForEach(e, (cJSON_IsArray(list) ? list : nullptr)) {
            ++l.total;
            if (l.count >= std::size(l.cars)) continue;
            PatronCar& c = l.cars[l.count++];
            c.carId = U32(e, "id");
            c.expiry = U32(e, "expiry");
            c.active = Int(e, "active") ? 1 : 0;
            Put(c.name, Str(e, "name"));
        }
        Emit(PATRON_EV_CAR_LIST, 1, reinterpret_cast<std::intptr_t>(&l));
    });
}

bool CSession::GetVips() {
    return Queue([this] {
        Reply r = Call("/account/vips", "{}", true);
        if (!r.ok()) return EmitFailure(PATRON_EV_VIP_LIST, r);
        PatronVipList l{};
        l.status = 1;
        l.userId = U32(r.root.get(), "id");
        const cJSON* e = nullptr;
        const cJSON* list = Member(r.root.get(), "vips");
        cJSON_ArrayForEach(e, (cJSON_IsArray(list) ? list : nullptr)) {
            ++l.total;
            const std::uint32_t level = U32(e, "level");
            if (level > l.level) l.level = level;
            if (l.count >= std::size(l.vips)) continue;
            PatronVip& v = l.vips[l.count++];
            v.vipId = U32(e, "id");
            v.level = level;
            v.expiry = U32(e, "expiry");
            Put(v.name, Str(e, "name"));
        }
        Emit(PATRON_EV_VIP_LIST, 1, reinterpret_cast<std::intptr_t>(&l));
    });
}

bool CSession::GetPack() {
    return Queue([this] {
        Reply r = Call("/account/pack", "{}", true);
        if (!r.ok()) return EmitFailure(PATRON_EV_PACK_LIST, r);
        PatronPackList l{};
        l.status = 1;
        l.userId = U32(r.root.get(), "id");
        const cJSON* e = nullptr;
        const cJSON* list = Member(r.root.get(), "pack");
        cJSON_ArrayForEach(e, (cJSON_IsArray(list) ? list : nullptr)) {
            ++l.total;
            if (l.count >= std::size(l.entries)) continue;
            PatronPackEntry& p = l.entries[l.count++];
            p.entryId = U32(e, "entry");
            p.propId = U32(e, "prop");
            p.count = U32(e, "count");
            p.value = U32(e, "value");
            Put(p.name, Str(e, "name"));
        }
        Emit(PATRON_EV_PACK_LIST, 1, reinterpret_cast<std::intptr_t>(&l));
    });
}

bool CSession::GetUserLevel(std::uint32_t user) {
    return Queue([this, user] {
        Reply r = Call("/account/level", Body({{"id", user}}), true);
        if (!r.ok()) return EmitFailure(PATRON_EV_USER_LEVEL, r);
        const cJSON* o = r.root.get();
        auto l = std::make_unique<PatronUserLevel>();  // 4 KB: not on the worker's stack
        *l = PatronUserLevel{};
        l->status = 1;
        l->userId = U32(o, "id");
        l->level = U32(o, "level");
        l->experience = U32(o, "experience");
        l->nextExperience = U32(o, "next");
        Put(l->title, Str(o, "title"));
        Put(l->detail, Str(o, "detail"));
        Emit(PATRON_EV_USER_LEVEL, 1, reinterpret_cast<std::intptr_t>(l.get()));
    });
}

bool CSession::GetBillboard(std::uint32_t list, std::uint32_t start, std::uint32_t count) {
    return Queue([this, list, start, count] {
        Reply r = Call("/account/billboard",
                       Body({{"period", list}, {"start", start}, {"count", count}}), true);
        std::string body;
        if (r.ok()) {
            char* text = cJSON_PrintUnformatted(r.root.get());
            body = BillboardBody(text ? text : "", nullptr);
            cJSON_free(text);
        } else {
            static constexpr const char* kNames[] = {"DAY", "WEEK", "MONTH", "ALL"};
            const std::string period =
                list < 4 ? std::string("{\"period\":\"") + kNames[list] + "\"}" : std::string();
            body = BillboardBody(period, r.error.empty() ? kBadAnswer : r.error.c_str());
        }
        Emit(PATRON_EV_BILLBOARD, body.size(), reinterpret_cast<std::intptr_t>(body.data()));
        if (!r.ok()) LoseSessionOn(r);
    });
}

bool CSession::GetFlowers(std::uint32_t anchor) {
    return Queue([this, anchor] {
        Reply r = Call("/account/flowers", Body({{"anchor", anchor}}), true);
        if (!r.ok()) return EmitFailure(PATRON_EV_FLOWER_COUNT, r);
        Emit(PATRON_EV_FLOWER_COUNT, 1, U32(r.root.get(), "count"));
    });
}

bool CSession::LoginRoomNotify(std::uint32_t room, const std::string& text) {
    return Queue([this, room, text] {
        Reply r = Call("/account/room-login", Body({{"room", room}}, {{"text", text}}), true);
        (void)r;  // nothing waits for it; a failure is in the log
    });
}

bool CSession::GiveProp(const PatronPropRecord& record) {
    const std::string text(record.text, strnlen(record.text, sizeof record.text));
    return Queue([this, record, text] {
        // The caller is the token's user: the record's giver is not asked for.
        Reply r = Call("/account/give-prop",
                       Body({{"room", record.roomId},
                             {"receiver", record.receiverId},
                             {"entry", record.entryId},
                             {"count", record.count},
                             {"value", record.value}},
                            {{"text", text}}),
                       true);
        Emit(PATRON_EV_PROP_USED, r.ok() ? 1 : 0, record.entryId);
        if (!r.ok()) LoseSessionOn(r);
    });
}

bool CSession::GetUserDetail(
    std::uint32_t user,
    std::function<void(bool, const PatronUserDetail&, const std::string&)> done) {
    return Queue([this, user, done = std::move(done)] {
        Reply r = Call("/account/detail", Body({{"id", user}}), true);
        PatronUserDetail d{};
        if (r.ok() && ParseDetail(r, d)) return done(true, d, std::string());
        done(false, d, r.ok() ? std::string(kBadAnswer) : r.error);
    });
}

void CSession::Close() {
    {
        std::lock_guard<std::mutex> g(jobLock_);
        if (closing_) return;
        closing_ = true;
    }
    const bool queued = Queue(
        [this] {
            if (signedIn_.exchange(false))
                Call("/account/logout", forgetKept_ ? "{\"forget\":true}" : "{}", true);
            Emit(PATRON_EV_CLOSED, 0, 0);
            {
                std::lock_guard<std::mutex> g(jobLock_);
                stop_ = true;
            }
            jobCv_.notify_all();
        },
        true);
    if (!queued) {
        // No worker (never connected): nothing to sign out.
        std::lock_guard<std::mutex> g(jobLock_);
        stop_ = true;
        jobCv_.notify_all();
    }
}

void CSession::Join() {
    if (worker_.joinable() && std::this_thread::get_id() != worker_.get_id()) worker_.join();
}

}  // namespace patron
