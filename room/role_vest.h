#pragma once
// The room's role table with the vests users wear: id, name, colour and a
// woman's and a man's picture per role. Loaded from the cache
// res/vestpic/VestConfig.xml, then refreshed from the role service once per
// start of the room window; a worker fetches missing pictures and rewrites
// the cache.
//
// Threads: the service's answer arrives on the HTTP client's thread and the
// pictures are fetched on the worker, but the table that look-ups read
// belongs to the UI thread alone. The new list is built aside and taken
// over only there, at UM_ROLE_VESTS_DONE (TakeNewList), so a look-up never
// meets a list being replaced.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/message.h"
#include "core/singleton.h"
#include "core/thread.h"
#include "room/role_table.h"
#include "web/http_base.h"
#include "web/http_down.h"
#include "web/http_public.h"

// Leaky: a request of the HTTP client may still report to it while the
// process exits.
class CRoleVest : public web::IHttp_base_Respond,
                  public zn::c_thread,
                  public web::CHttpPublic,
                  public IRoleTable,
                  public c_leaky_singleton<CRoleVest> {
public:
    // The program uses instance() (the data folder's cache); tests make their own.
    CRoleVest();
    explicit CRoleVest(std::string dataFolder);
    ~CRoleVest() override;
    CRoleVest(const CRoleVest&) = delete;
    CRoleVest& operator=(const CRoleVest&) = delete;

    // UI thread, at the room window's start: reads the cache into the table,
    // then asks the service (KITLIB_GetIppaddr(1)) for the roles of `userId`.
    // The worker's end is posted to `window` as UM_ROLE_VESTS_DONE.
    void LoadAndRefresh(HWND window, std::uint32_t userId);
    // UI thread, at UM_ROLE_VESTS_DONE: the worker's list replaces the table.
    // False when there was none waiting.
    bool TakeNewList();
    // Any thread: aborts the request and the worker's download and waits for
    // both to end. A later LoadAndRefresh starts afresh.
    void Stop();
    // Tests: waits until no request is out and the worker is done.
    bool WaitQuiet(unsigned seconds);

    // Look-ups (UI thread).
    std::size_t Count() const override { return table_.Count(); }
    const RoleEntry* At(std::size_t index) const override { return table_.At(index); }
    const RoleEntry* Find(std::uint8_t id) const override { return table_.Find(id); }
    // Data folder + the role's picture for the sex (1 woman, any other man);
    // empty when the role or its picture file is unknown.
    std::string VestPicture(std::uint8_t id, std::uint32_t sex) const override;
    // Role id of the n-th role in id order; 0 when out of range.
    std::uint8_t IdAt(std::size_t index) const;
    std::string Name(std::uint8_t id) const;
    const std::string& version() const { return version_; }
    const std::string& dataFolder() const { return dataFolder_; }

    // IHttp_base_Respond (the HTTP client's thread).
    void on_fail(int error, web::http_base* request) override;
    void on_body(std::uint32_t contentLength, web::ByteQueue& body, bool complete) override;
    void on_closed() override {}
    void on_released() override;

    static constexpr const char* kFolder = "res/vestpic/";
    static constexpr const char* kCacheFile = "res/vestpic/VestConfig.xml";
    static constexpr int kRetries = 3;

protected:
    void Run() override;  // the worker

private:
    void LoadCache();
    void HandleAnswer(const std::string& text);
    // Caller holds lock_.
    void SendLocked();
    // The picture for one URL: its file field, fetched unless already good.
    std::string FetchPicture(const std::string& url);
    bool SaveCache(const CRoleTable& roles, const std::string& version) const;

    const std::string dataFolder_;
    CRoleTable table_;     // UI thread
    std::string version_;  // UI thread; the cache's, written back unchanged

    std::mutex lock_;  // guards everything below
    std::condition_variable quiet_;
    HWND window_ = 0;
    std::uint32_t userId_ = 0;
    int retries_ = 0;
    bool retryWanted_ = false;
    bool stopping_ = false;
    web::http_base* request_ = nullptr;  // the one request out, until on_released
    CRoleTable job_;                     // the worker's list while it runs
    std::string jobVersion_;
    CRoleTable done_;  // the worker's finished list, until TakeNewList
    bool hasDone_ = false;
    web::DownloadCancel cancel_;
};
