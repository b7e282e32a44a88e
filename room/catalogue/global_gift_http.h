#pragma once
// One item catalogue (gifts, cars, VIP grades or packs) kept in step with
// the catalogue service: the whole catalogue is asked for as JSON, its
// pictures and sounds are fetched into the catalogue's cache folder on a
// worker, GiftConfig.xml is written for the panels, and the room window
// gets the done message.
//
// Threads: Init, Request, AdoptSync, the look-ups and the destructor run on
// the UI thread; the answer (on_fail, on_body) on the connection library's
// thread; downloads on this object's worker. The worker fills a list of
// its own and hands it over when done; the UI thread swaps it in at the
// done message (AdoptSync), so look-ups never see a list being replaced.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/message.h"
#include "core/thread.h"
#include "room/catalogue/file_fetch.h"
#include "room/catalogue/gift_record.h"
#include "web/http_base.h"
#include "web/http_public.h"

namespace catalogue {

// The payload of UM_CATALOGUE_PROGRESS.
struct CatalogueProgress {
    std::string itemType;
    std::uint32_t filesDone = 0, filesTotal = 0;
    std::uint64_t bytes = 0, length = 0;  // of the file being fetched
};

class CGlobalGiftHttp : public web::IHttp_base_Respond, public zn::c_thread, public web::CHttpPublic {
public:
    static constexpr int kMaxRetries = 3;
    static constexpr int kAppId = 100005;
    // Progress messages per second at most (the last one always goes).
    static constexpr unsigned kProgressPerSecond = 5;

    // `dataFolder` ends with "/"; caches and GiftConfig.xml go below it.
    CGlobalGiftHttp(std::string programFolder, std::string dataFolder);
    // Stops the worker (aborting its download) and waits for it and for
    // the request in flight: nothing reports to a deleted catalogue.
    ~CGlobalGiftHttp() override;

    // Where the done and progress messages go.
    void SetWindow(HWND window) { window_ = window; }
    // False for an unknown item type (nothing is set then), or when the
    // cache folder cannot be made.
    bool Init(const std::string& host, std::uint16_t port, const std::string& itemType,
              unsigned doneMessage, int buyType);
    // Asks the service for the catalogue; nothing without a host, or while
    // a request of this catalogue is in flight.
    void Request();
    // Asks the worker to stop and aborts its download in flight; no XML is
    // written and no message posted for that sync.
    void StopSync();

    // UI thread, at the done message: the synced records become the list.
    // False when no sync has finished since the last call.
    bool AdoptSync();

    // ---- look-ups (UI thread) ----
    const GiftRecord* Find(std::uint32_t id) const;
    // The records whose parent is `parentId`; true when there is one.
    bool Children(std::uint32_t parentId, std::vector<const GiftRecord*>& out) const;
    bool HasRecords() const { return !records_.empty(); }
    const GiftRecords& Records() const { return records_; }
    // The chat picture (full path) of the first record whose ext, read as a
    // decimal number, is `level`: the VIP grade's badge. Empty when none.
    std::string VipIcon(std::uint32_t level) const;

    std::uint32_t version() const { return version_; }
    const std::string& itemType() const { return itemType_; }
    unsigned doneMessage() const { return doneMessage_; }
    // data folder + "res/global…/".
    std::string Folder() const { return dataFolder_ + folder_; }
    std::string ConfigPath() const { return Folder() + kConfigFileName; }
    int retries() const;
    // A request of this catalogue is in flight (not yet released).
    bool InFlight() const;

    // ---- web::IHttp_base_Respond (connection library's thread) ----
    void on_fail(int error, web::http_base* request) override;
    void on_body(std::uint32_t contentLength, web::ByteQueue& body, bool complete) override;
    void on_closed() override {}
    void on_released() override;

protected:
    void Run() override;

private:
    // Starts request number `mine` (already counted as started).
    void Launch(std::uint64_t mine);
    void Answer(const std::string& text);
    // One URL of a record into its cache file; the field stays empty on failure.
    void FetchInto(const std::string& url, std::string& field);
    void PostProgress(bool last);

    std::string programFolder_;
    std::string dataFolder_;
    HWND window_ = 0;
    std::string host_;
    std::uint16_t port_ = 0;
    std::string itemType_;
    std::string folder_;  // relative to the data folder
    unsigned doneMessage_ = 0;
    int buyType_ = 0;

    // UI thread only.
    GiftRecords records_;
    std::uint32_t version_ = 0;

    // The request in flight, its retries; guarded by m_.
    mutable std::mutex m_;
    std::condition_variable released_;
    web::http_base* request_ = nullptr;  // null until known, and once released
    // Requests go one at a time: a new one starts only after the last was
    // released, so these counts tell whether `request_` is still alive.
    std::uint64_t startedCount_ = 0, releasedCount_ = 0;
    bool retryOnRelease_ = false;
    bool closing_ = false;
    int retries_ = 0;
    // Handed from the worker to the UI thread; guarded by m_.
    bool synced_ = false;
    GiftRecords syncedRecords_;
    std::uint32_t syncedVersion_ = 0;

    // The worker's own (set before it starts).
    GiftRecords work_;
    std::uint32_t workVersion_ = 0;
    CFileFetch fetch_;
    std::uint32_t filesDone_ = 0, filesTotal_ = 0;
    std::uint64_t fileBytes_ = 0, fileLength_ = 0;
    std::uint64_t lastProgressMs_ = 0;
    bool progressPosted_ = false;
    bool unreachable_ = false;  // a download found no server: the sync is abandoned
    // Set as the worker's body returns: its thread is ending, not working,
    // so an answer that comes meanwhile waits for it instead of being lost.
    std::atomic<bool> ending_{false};
};

}  // namespace catalogue
