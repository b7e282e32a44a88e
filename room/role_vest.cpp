#include "room/role_vest.h"


#include <chrono>
#include <fstream>

#include "core/log.h"
#include "core/paths.h"
#include "formats/markup.h"
#include "platform/kitlib/kitlib.h"
#include "room/catalogue/cached_file.h"

namespace {

// A picture field from the cache: "res/vestpic/NAME" (or with backslashes)
// with a plain name; anything else could leave the data folder and is dropped.
std::string PictureField(std::string field) {
    for (char& c : field)
        if (c == '\\') c = '/';
    const std::string folder = CRoleVest::kFolder;
    if (field.compare(0, folder.size(), folder) != 0) return {};
    const std::string name = field.substr(folder.size());
    if (name.empty() || name == "." || name == ".." || paths::SafeComponent(name) != name) return {};
    return field;
}

// Plain decimal digits up to `max`; false for anything else.
bool Decimal(const std::string& text, std::uint32_t max, std::uint32_t& out) {
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > max) return false;
    out = static_cast<std::uint32_t>(v);
    return true;
}

}  // namespace

CRoleVest::CRoleVest() : CRoleVest(paths::DataFolder()) {}

CRoleVest::CRoleVest(std::string dataFolder) : dataFolder_(paths::WithSlash(std::move(dataFolder))) {
    paths::MakeDirs(dataFolder_ + kFolder);
}

CRoleVest::~CRoleVest() { Stop(); }

void CRoleVest::LoadAndRefresh(HWND window, std::uint32_t userId) {
    LoadCache();
    cancel_.Reset();
    std::lock_guard<std::mutex> g(lock_);
    window_ = window;
    userId_ = userId;
    jobVersion_ = version_;
    stopping_ = false;
    retries_ = 0;
    retryWanted_ = false;
    if (!request_) SendLocked();  // one already out answers for this start too
}

void CRoleVest::LoadCache() {
    const std::string path = dataFolder_ + kCacheFile;
    CMarkupSTL doc;
    if (!doc.Load(path)) {
        // A damaged cache is ignored here and rewritten after the next answer.
        if (paths::DirExists(path) || std::ifstream(path).good())
            log_msg("CRoleVest: %s does not load, ignored\r\n", path.c_str());
        return;
    }
    if (!doc.FindElem() || !doc.FindChildElem("vestconfig", true)) return;
    version_ = doc.GetChildAttrib("version");
    doc.IntoElem();
    while (doc.FindChildElem("vest")) {
        std::uint32_t id = 0, colour = 0;
        if (!Decimal(doc.GetChildAttrib("id"), 255, id) || id == 0) continue;
        if (!Decimal(doc.GetChildAttrib("color"), 0xFFFFFFFFu, colour)) colour = 0;
        RoleEntry e;
        e.id = static_cast<std::uint8_t>(id);
        e.colour = colour & 0xFFFFFFu;
        e.name = doc.GetChildAttrib("name");
        e.womanFile = PictureField(doc.GetChildAttrib("woman"));
        e.manFile = PictureField(doc.GetChildAttrib("man"));
        table_.AddFirst(std::move(e));
    }
}

void CRoleVest::SendLocked() {
    const std::string host = KITLIB_GetIppaddr(1);
    if (host.empty()) {
        log_msg("CRoleVest: no role service host\r\n");
        return;
    }
    const std::string body = RoleListRequest(userId_);
    // Stored under the lock, so an early on_released cannot pass it by.
    request_ = web::http_post(this, "http://" + host + "/kampo?m=LB", body.data(), body.size());
    if (!request_) log_msg("CRoleVest: role request not started\r\n");
}

void CRoleVest::on_fail(int, web::http_base*) {
    std::lock_guard<std::mutex> g(lock_);
    retryWanted_ = retries_ < kRetries && !stopping_;
    ++retries_;
    // Debug lines go to the log, never to standard output: in headless
    // runs that carries the room's documented lines only.
    log_debug("CRoleVest Respond fail ");
    log_msg("CRoleVest Respond fail\r\n");
}

void CRoleVest::on_released() {
    std::lock_guard<std::mutex> g(lock_);
    request_ = nullptr;
    // The next try starts once this one is wholly done, so one request is out at a time.
    if (retryWanted_ && !stopping_) SendLocked();
    retryWanted_ = false;
    quiet_.notify_all();
}

void CRoleVest::on_body(std::uint32_t contentLength, web::ByteQueue& body, bool complete) {
    if (!complete || contentLength == 0) return;
    std::string text;
    body.Take(body.Size(), text);
    HandleAnswer(text);
    log_debug("CRoleVest Respond suc ");
}

void CRoleVest::HandleAnswer(const std::string& text) {
    if (!IsFinished()) return;  // the worker still handles the last answer
    CRoleTable fresh;
    if (!fresh.LoadAnswer(text)) return;  // logged; the table keeps what it has
    std::lock_guard<std::mutex> g(lock_);
    if (stopping_) return;
    job_ = std::move(fresh);
    if (Start() != 0) log_msg("CRoleVest: the picture worker cannot start\r\n");
}

std::string CRoleVest::FetchPicture(const std::string& url) {
    const std::string name = UrlFileName(url);
    if (name.empty()) return {};  // no usable file name: no picture
    const std::string field = kFolder + name;
    const std::string path = dataFolder_ + field;
    if (!catalogue::CachedFileGood(path, name) && !Download(url, path, nullptr, &cancel_))
        log_msg("CRoleVest: picture %s not fetched\r\n", url.c_str());
    // Set even when the fetch failed: the next refresh tries again.
    return field;
}

void CRoleVest::Run() {
    CRoleTable roles;
    std::string version;
    {
        std::lock_guard<std::mutex> g(lock_);
        roles = job_;
        version = jobVersion_;
    }
    CRoleTable out;
    for (std::size_t i = 0; i < roles.Count(); ++i) {
        RoleEntry e = *roles.At(i);
        if (!IsRunning()) return;
        e.womanFile = FetchPicture(e.womanIcon);
        if (!IsRunning()) return;
        e.manFile = FetchPicture(e.manIcon);
        out.Add(std::move(e));
    }
    if (!IsRunning()) return;  // a stop skips the cache and the message
    if (!SaveCache(out, version)) log_msg("CRoleVest: %s%s not written\r\n", dataFolder_.c_str(), kCacheFile);
    HWND window = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        done_ = std::move(out);
        hasDone_ = true;
        window = window_;
    }
    PostMessage(window, UM_ROLE_VESTS_DONE, 0, 0);
}

bool CRoleVest::SaveCache(const CRoleTable& roles, const std::string& version) const {
    CMarkupSTL doc;
    doc.AddElem("xml_root");
    doc.AddChildElem("vestconfig");
    doc.AddChildAttrib("version", version);
    doc.IntoElem();
    for (std::size_t i = 0; i < roles.Count(); ++i) {
        const RoleEntry& e = *roles.At(i);
        doc.AddChildElem("vest");
        doc.AddChildAttrib("id", std::to_string(e.id));
        doc.AddChildAttrib("color", std::to_string(e.colour));
        doc.AddChildAttrib("name", e.name);
        doc.AddChildAttrib("woman", e.womanFile);
        doc.AddChildAttrib("man", e.manFile);
    }
    return doc.Save(dataFolder_ + kCacheFile);
}

bool CRoleVest::TakeNewList() {
    std::lock_guard<std::mutex> g(lock_);
    if (!hasDone_) return false;
    table_ = std::move(done_);
    done_ = CRoleTable();
    hasDone_ = false;
    return true;
}

void CRoleVest::Stop() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stopping_ = true;
        retryWanted_ = false;
        // Safe under the lock: the request cannot be released meanwhile.
        if (request_) request_->abort();
    }
    cancel_.Cancel();
    zn::c_thread::Stop(true, 30);
    WaitQuiet(30);
}

bool CRoleVest::WaitQuiet(unsigned seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::unique_lock<std::mutex> g(lock_);
    while (request_ || !IsFinished()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        // The worker's end is not signalled here: look again shortly.
        quiet_.wait_for(g, std::chrono::milliseconds(20));
    }
    return true;
}

std::string CRoleVest::VestPicture(std::uint8_t id, std::uint32_t sex) const {
    const RoleEntry* e = table_.Find(id);
    if (!e) return {};
    const std::string& file = sex == 1 ? e->womanFile : e->manFile;
    return file.empty() ? std::string() : dataFolder_ + file;
}

std::uint8_t CRoleVest::IdAt(std::size_t index) const {
    const RoleEntry* e = table_.At(index);
    return e ? e->id : 0;
}

std::string CRoleVest::Name(std::uint8_t id) const {
    const RoleEntry* e = table_.Find(id);
    return e ? e->name : std::string();
}
