#pragma once
// One account session: the worker thread, its HTTP client and what sign-in
// learnt (user id, token, my detail record). Requests are jobs run in order
// on the worker; their answers become events through the callback.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/patron/patron.h"

namespace patron {

struct SignInResult {
    bool ok = false;
    std::string error;  // the service's text, or why it could not be asked
    std::uint32_t userId = 0;
    std::string keep;   // the kept sign-in's secret, when one was asked for
};

// Texts the library shows on its own.
inline constexpr const char* kNoService = "无法连接账号服务";
inline constexpr const char* kBadAnswer = "账号服务的应答无法识别";

class CSession {
public:
    CSession(std::string host, std::uint16_t port);
    ~CSession();  // stops the worker (jobs not yet run are dropped)
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // Starts the worker and waits (at most `waitMs`) for the service's greeting.
    bool Connect(int waitMs);

    void SetCallback(PATRON_CALLBACK cb, void* context);
    // The same callback on another session (one replacing this one).
    void CopyCallbackTo(CSession& other);
    const std::string& host() const { return host_; }
    std::uint16_t port() const { return port_; }
    // The service answered the greeting.
    bool connected() const { return connected_; }

    // Signs in on the worker; `done` runs there afterwards.
    bool SignIn(const std::string& user, const std::string& password,
                std::function<void(const SignInResult&)> done);
    // The same, also asking for a kept sign-in ("remember password").
    bool SignInKeeping(const std::string& user, const std::string& password,
                       std::function<void(const SignInResult&)> done);
    // Signs in with a kept sign-in's secret instead of a password.
    bool SignInKept(std::uint32_t userId, const std::string& keep,
                    std::function<void(const SignInResult&)> done);
    // The sign-out at Close also ends the kept sign-in.
    void ForgetKeptOnClose() { forgetKept_ = true; }
    // The same, waiting for the answer.
    SignInResult SignInAndWait(const std::string& user, const std::string& password);

    bool signedIn() const { return signedIn_; }
    std::uint32_t userId() const { return userId_; }
    std::uint32_t expiry() const { return expiry_; }
    std::string token();
    PatronUserDetail detail();
    void SetBuddy(void* b) { buddy_ = b; }
    void* buddy() const { return buddy_; }

    // Requests (see patron.h); false when not queued.
    bool GetBalance();
    bool GetWealthGrade(std::uint32_t user);
    bool GetCars();
    bool GetVips();
    bool GetPack();
    bool GetUserLevel(std::uint32_t user);
    bool GetBillboard(std::uint32_t list, std::uint32_t start, std::uint32_t count);
    bool GetFlowers(std::uint32_t anchor);
    bool LoginRoomNotify(std::uint32_t room, const std::string& text);
    // Uses one prop of a pack entry (PATRON_EV_PROP_USED).
    bool GiveProp(const PatronPropRecord& record);
    // Purchases (patron_purchases.cpp): each is sent with a request id of its
    // own and answered by its event (PATRON_EV_PURCHASE, _FLOWER_FAILED,
    // _CAR_ACTIVATED, _RECHARGE).
    bool GiveGift(const PatronGiftRecord& gift, const PatronItemRecord& item, std::uint32_t count);
    bool GiveFlower(std::uint32_t anchor, std::uint32_t room);
    bool ActivateCar(std::uint32_t car);
    // `done` runs on the worker with the outcome's text before the event.
    bool Recharge(std::function<void(bool ok, const std::string& text)> done);
    // A user's detail record for the profile window; `done` runs on the
    // worker with ok = false and an error text when it failed.
    bool GetUserDetail(std::uint32_t user,
                       std::function<void(bool ok, const PatronUserDetail&, const std::string&)> done);
    // Runs `job` on the worker after the requests before it (e.g. to answer
    // a purchase that cannot be made with its failure event).
    bool RunOnWorker(std::function<void()> job) { return Queue(std::move(job)); }
    // Calls the callback (on the worker).
    void Emit(int event, std::uintptr_t a, std::intptr_t b);

    // Signs out and raises PATRON_EV_CLOSED; nothing is queued after it.
    void Close();
    // Waits for the worker to run out of jobs and end (after Close).
    void Join();

private:
    struct Reply;
    bool Queue(std::function<void()> job, bool internal = false);
    void Work();
    Reply Call(const char* path, const std::string& body, bool withToken);
    // A paying call whose answer never came is sent again with the same
    // request id (which the service answers once), at most twice more.
    Reply CallPurchase(const char* path, const std::string& body);
    // Emits the failure of a request; a refused token also ends the session.
    void EmitFailure(int event, const Reply& r);
    // Ends the session once when the answer refused the token.
    void LoseSessionOn(const Reply& r);
    // The rest of a sign-in once the service answered `r` with a token.
    void FinishSignIn(const Reply& r, SignInResult& result);
    bool ParseDetail(const Reply& r, PatronUserDetail& out);

    const std::string host_;
    const std::uint16_t port_;

    std::mutex jobLock_;
    std::condition_variable jobCv_;
    std::deque<std::function<void()>> jobs_;
    bool closing_ = false;  // no more requests
    bool stop_ = false;     // the worker ends when the queue is empty
    std::thread worker_;

    std::mutex cbLock_;
    PATRON_CALLBACK callback_ = nullptr;
    std::atomic<bool> connected_{false};
    std::atomic<bool> forgetKept_{false};
    void* context_ = nullptr;

    std::mutex stateLock_;
    std::string token_;
    PatronUserDetail detail_{};
    std::atomic<bool> signedIn_{false};
    std::atomic<std::uint32_t> userId_{0};
    std::atomic<std::uint32_t> expiry_{0};
    std::atomic<bool> lost_{false};
    std::atomic<void*> buddy_{nullptr};

    struct Http;
    std::unique_ptr<Http> http_;  // used on the worker only
};

// The billboard's TLV body for an answer (exposed for tests).
std::string BillboardBody(const std::string& answerJson, const char* error);

}  // namespace patron
