#include "room/catalogue/global_gift_http.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "room/catalogue/cached_file.h"
#include "room/catalogue/gift_answer.h"
#include "room/catalogue/gift_config.h"

namespace catalogue {
namespace {

std::uint64_t NowMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Plain decimal digits; nothing for other text.
bool DecimalEquals(const std::string& text, std::uint32_t value) {
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    return v == value;
}

}  // namespace

const CatalogueKind* KindOf(const std::string& itemType) {
    for (const CatalogueKind* k : kKinds)
        if (itemType == k->itemType) return k;
    return nullptr;
}

CGlobalGiftHttp::CGlobalGiftHttp(std::string programFolder, std::string dataFolder)
    : programFolder_(std::move(programFolder)), dataFolder_(paths::WithSlash(std::move(dataFolder))) {}

CGlobalGiftHttp::~CGlobalGiftHttp() {
    {
        std::unique_lock<std::mutex> lock(m_);
        closing_ = true;
        retryOnRelease_ = false;
    }
    StopSync();
    {
        // The request reports to this object until it is released.
        std::unique_lock<std::mutex> lock(m_);
        if (request_) request_->abort();
        released_.wait(lock, [this] { return releasedCount_ == startedCount_; });
    }
    // No answer can start a worker any more; the worker reads this object's
    // fields, so it is waited for, however long its abort takes.
    StopSync();
    while (!IsFinished()) Stop(true, 1);
}

bool CGlobalGiftHttp::Init(const std::string& host, std::uint16_t port, const std::string& itemType,
                           unsigned doneMessage, int buyType) {
    const CatalogueKind* kind = KindOf(itemType);
    if (!kind) return false;
    host_ = host;
    port_ = port;
    itemType_ = itemType;
    folder_ = kind->folder;
    doneMessage_ = doneMessage;
    buyType_ = buyType;
    return paths::MakeDirs(Folder());
}

void CGlobalGiftHttp::Request() {
    if (host_.empty()) return;
    std::uint64_t mine = 0;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (closing_ || releasedCount_ != startedCount_) return;  // one in flight
        mine = ++startedCount_;
    }
    Launch(mine);
}

void CGlobalGiftHttp::Launch(std::uint64_t mine) {
    char url[256];
    const int n = std::snprintf(url, sizeof url,
                                "http://%s:%d/getgiftinfo?versionId=%d&appId=%d&itemType=%s&osType=%s&buyType=%d",
                                host_.c_str(), port_, 0, kAppId, itemType_.c_str(), "PC", buyType_);
    web::http_base* request = nullptr;
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof url)
        log_err("catalogue url too long: %s\r\n", host_.c_str());
    else
        request = web::http_get(this, url);  // no lock: the library may report at once
    std::lock_guard<std::mutex> lock(m_);
    if (!request) {
        ++releasedCount_;
        released_.notify_all();  // under the lock: the destructor may go once it sees this
    } else if (releasedCount_ < mine) {
        request_ = request;  // not yet released, so still alive
    }
}

void CGlobalGiftHttp::on_fail(int, web::http_base*) {
    // To the log, not standard output: headless, that is the room's.
    log_msg("CGlobalGiftHttp Respond fail \r\n");
    std::lock_guard<std::mutex> lock(m_);
    // The next request starts once this one is released: one in flight.
    if (retries_ < kMaxRetries && !closing_) retryOnRelease_ = true;
    ++retries_;
}

void CGlobalGiftHttp::on_released() {
    std::uint64_t retry = 0;
    {
        std::lock_guard<std::mutex> lock(m_);
        request_ = nullptr;
        ++releasedCount_;
        // The retry counts as in flight before the lock is let go, so a
        // destructor waiting for the release waits for it too.
        if (std::exchange(retryOnRelease_, false) && !closing_) retry = ++startedCount_;
        released_.notify_all();
    }
    if (retry) Launch(retry);
}

bool CGlobalGiftHttp::InFlight() const {
    std::lock_guard<std::mutex> lock(m_);
    return releasedCount_ != startedCount_;
}

int CGlobalGiftHttp::retries() const {
    std::lock_guard<std::mutex> lock(m_);
    return retries_;
}

void CGlobalGiftHttp::on_body(std::uint32_t contentLength, web::ByteQueue& body, bool complete) {
    if (!complete || contentLength == 0 || body.Size() != contentLength) return;
    std::string text;
    text.reserve(contentLength);
    while (text.size() < contentLength) {
        const unsigned char* p = nullptr;
        const std::size_t n = std::min<std::size_t>(body.Front(&p), contentLength - text.size());
        if (n == 0 || !p) break;
        text.append(reinterpret_cast<const char*>(p), n);
        body.Consume(n);
    }
    Answer(text);
}

void CGlobalGiftHttp::Answer(const std::string& text) {
    GiftAnswer answer = ParseGiftAnswer(text);
    if (!answer.parsed) {
        log_msg("catalogue %s: the answer is no JSON object\r\n", itemType_.c_str());
        return;
    }
    if (answer.result != 200) {
        log_msg("get global gift info error mgs=%s\r\n", answer.msg.c_str());
        return;
    }
    // A worker that has just told its done message is only ending: wait
    // for it. A sync in progress keeps its list; this answer is not taken.
    for (int i = 0; i < 2000 && !IsFinished() && ending_.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!IsFinished()) return;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (closing_) return;
    }
    for (const std::string& note : answer.notes)
        log_msg("catalogue %s: %s\r\n", itemType_.c_str(), note.c_str());
    if (answer.moreNotes)
        log_msg("catalogue %s: %zu more entries dropped or emptied\r\n", itemType_.c_str(),
                answer.moreNotes);
    work_ = std::move(answer.records);
    workVersion_ = answer.versionId;
    fetch_.Reset();
    // An empty catalogue still runs: it writes the empty file and tells the
    // panels, which then stop offering what the service no longer has.
    ending_ = false;
    if (Start() != 0) log_err("catalogue %s: no worker thread\r\n", itemType_.c_str());
}

void CGlobalGiftHttp::StopSync() {
    Stop(false, 0);
    fetch_.Cancel();
}

void CGlobalGiftHttp::Run() {
    struct Ending {
        std::atomic<bool>& flag;
        ~Ending() { flag = true; }
    } ending{ending_};
    filesDone_ = 0;
    filesTotal_ = 0;
    unreachable_ = false;
    fileBytes_ = fileLength_ = 0;
    progressPosted_ = false;
    lastProgressMs_ = 0;
    for (const GiftRecord& r : work_)
        for (const std::string* url : {&r.iconUrl, &r.chatPicUrl, &r.cartoonUrl, &r.voiceUrl})
            if (!url->empty() && !UrlFileName(*url).empty()) ++filesTotal_;
    PostProgress(filesTotal_ == 0);
    for (GiftRecord& r : work_) {
        if (!IsRunning()) break;
        FetchInto(r.iconUrl, r.iconFile);
        FetchInto(r.chatPicUrl, r.chatPicFile);
        FetchInto(r.cartoonUrl, r.cartoonFile);
        FetchInto(r.voiceUrl, r.soundFile);
    }
    if (!IsRunning()) return;
    if (unreachable_) {
        // The file server went away: a file list half without pictures
        // would replace a whole one, so the old file stays until next time.
        log_msg("catalogue %s: file server unreachable, sync abandoned\r\n", itemType_.c_str());
        return;
    }
    const std::string xml = GiftConfigXml(workVersion_, work_);
    if (!files::WriteFileAtomic(ConfigPath(), xml))
        log_err("catalogue %s: cannot write %s\r\n", itemType_.c_str(), ConfigPath().c_str());
    {
        std::lock_guard<std::mutex> lock(m_);
        syncedRecords_ = std::move(work_);
        syncedVersion_ = workVersion_;
        synced_ = true;
    }
    work_.clear();
    PostMessage(window_, doneMessage_, 0, 0);
}

void CGlobalGiftHttp::FetchInto(const std::string& url, std::string& field) {
    field.clear();
    if (url.empty() || !IsRunning() || unreachable_) return;
    const std::string name = UrlFileName(url);
    if (name.empty()) return;
    const std::string path = Folder() + name;
    fileBytes_ = fileLength_ = 0;
    if (CachedFileGood(path, name)) {
        field = folder_ + name;
    } else {
        const CFileFetch::Result result =
            fetch_.Fetch(url, path, [this](std::uint64_t bytes, std::uint64_t length) {
                fileBytes_ = bytes;
                fileLength_ = length;
                PostProgress(false);
            });
        const bool fetched = result == CFileFetch::Result::Saved;
        if (result == CFileFetch::Result::Unreachable) unreachable_ = true;
        if (fetched && CachedFileGood(path, name)) {
            field = folder_ + name;
        } else if (fetched) {
            // What came is not what the name promises: it is no cache file.
            std::remove(path.c_str());
            log_msg("catalogue %s: %s does not match its name\r\n", itemType_.c_str(), name.c_str());
        }
    }
    ++filesDone_;
    PostProgress(filesDone_ == filesTotal_);
}

void CGlobalGiftHttp::PostProgress(bool last) {
    const std::uint64_t now = NowMs();
    if (!last && progressPosted_ && now - lastProgressMs_ < 1000 / kProgressPerSecond) return;
    progressPosted_ = true;
    lastProgressMs_ = now;
    CatalogueProgress p;
    p.itemType = itemType_;
    p.filesDone = filesDone_;
    p.filesTotal = filesTotal_;
    p.bytes = fileBytes_;
    p.length = fileLength_;
    PostMessage(window_, UM_CATALOGUE_PROGRESS, 0, 0,
                std::make_unique<TMessageData<CatalogueProgress>>(std::move(p)));
}

bool CGlobalGiftHttp::AdoptSync() {
    std::lock_guard<std::mutex> lock(m_);
    if (!synced_) return false;
    synced_ = false;
    records_ = std::move(syncedRecords_);
    syncedRecords_.clear();
    version_ = syncedVersion_;
    return true;
}

const GiftRecord* CGlobalGiftHttp::Find(std::uint32_t id) const {
    for (const GiftRecord& r : records_)
        if (r.id == id) return &r;
    return nullptr;
}

bool CGlobalGiftHttp::Children(std::uint32_t parentId, std::vector<const GiftRecord*>& out) const {
    bool any = false;
    for (const GiftRecord& r : records_)
        if (r.parentId == parentId) {
            out.push_back(&r);
            any = true;
        }
    return any;
}

std::string CGlobalGiftHttp::VipIcon(std::uint32_t level) const {
    for (const GiftRecord& r : records_)
        if (DecimalEquals(r.ext, level)) return r.chatPicFile.empty() ? std::string() : dataFolder_ + r.chatPicFile;
    return {};
}

}  // namespace catalogue
