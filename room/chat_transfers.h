#pragma once
// The HTTP transfers of the chat views: stored-picture downloads, picture
// uploads and the gift and car pictures. They run on the HTTP helper
// library, whose completions come back to the room window as messages.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "chat/chat_pictures.h"
#include "chat/picture_send.h"
#include "core/message.h"

struct KitlibAnswer;

// Completion messages of the room window.
enum : unsigned {
    UM_CHAT_PICTURE_DONE = 1725,  // a stored chat picture was downloaded
    UM_CHAT_UPLOAD_DONE = 1727,   // the picture service answered an upload
    UM_GIFT_ICON_DONE = 1766,     // a gift picture was downloaded
    UM_CAR_ICON_DONE = 1771,      // a car picture was downloaded
    UM_MEDAL_ICON_DONE = 1792,    // a wealth medal picture was downloaded
};

// What a completion message finished.
struct TransferDone {
    unsigned message = 0;
    bool ok = false;
    std::string source;        // downloads: the id or URL asked for
    std::string destination;   // downloads: the local file
    std::uint64_t ticket = 0;  // uploads
    std::string body;          // uploads: the service's answer
    int status = 0;            // uploads: the HTTP status (0: not known)
};

// The "file_id" of an upload service's answer (a number or a text); empty
// for a failed upload or an answer without one.
std::string UploadedFileId(const TransferDone& done);

class IChatTransfers : public IPictureFetcher, public IPictureUploader {
public:
    // Downloads a gift (UM_GIFT_ICON_DONE), car (UM_CAR_ICON_DONE) or wealth
    // medal (UM_MEDAL_ICON_DONE) picture.
    virtual bool FetchIcon(unsigned doneMessage, const std::string& url,
                           const std::string& destination) = 0;
    // Uploads a recorded voice message (UM_VOICE_UPLOAD_DONE); the service's
    // refusal comes back with its status and text.
    virtual bool UploadVoice(const std::string& url, const std::string& file,
                             std::uint64_t ticket) = 0;
    // Host (and port) of the picture service.
    virtual std::string PictureHost() = 0;
    // A completion message reached the room window (answer null: it
    // failed). What it finished, plus any waiting request that then failed
    // to start; empty when the message matches no request.
    virtual std::vector<TransferDone> TakeAnswer(unsigned message, const KitlibAnswer* answer) = 0;
};

// Starts the requests; the HTTP helper library in the program, a fake in tests.
class IHttpStarter {
public:
    virtual ~IHttpStarter() = default;
    virtual bool Download(unsigned message, const std::string& url,
                          const std::string& destination) = 0;
    virtual bool Post(unsigned message, const std::string& url,
                      const std::vector<std::uint8_t>& body) = 0;
    // Posts a file's bytes; its refusal is answered with status and body.
    virtual bool UploadFile(unsigned message, const std::string& url, const std::string& file);
    virtual std::string Host() = 0;
};

class CKitlibStarter : public IHttpStarter {
public:
    explicit CKitlibStarter(HWND window) : window_(window) {}
    bool Download(unsigned message, const std::string& url,
                  const std::string& destination) override;
    bool Post(unsigned message, const std::string& url,
              const std::vector<std::uint8_t>& body) override;
    bool UploadFile(unsigned message, const std::string& url, const std::string& file) override;
    std::string Host() override;

private:
    HWND window_;
};

// The helper library's failure messages carry nothing that names their
// request, and answers of one message may overtake each other. So each
// completion message has at most one request in flight and the others wait
// in order: every answer then belongs to the request in flight.
class CSerialTransfers : public IChatTransfers {
public:
    // At most this many requests wait per message; more are refused.
    static constexpr std::size_t kMaxWaiting = 256;

    explicit CSerialTransfers(IHttpStarter& starter) : starter_(starter) {}

    bool Fetch(const std::string& source, const std::string& destination) override;
    bool Upload(const std::string& url, std::vector<std::uint8_t> bytes,
                std::uint64_t ticket) override;
    bool FetchIcon(unsigned doneMessage, const std::string& url,
                   const std::string& destination) override;
    bool UploadVoice(const std::string& url, const std::string& file,
                     std::uint64_t ticket) override;
    std::string PictureHost() override { return starter_.Host(); }
    std::vector<TransferDone> TakeAnswer(unsigned message, const KitlibAnswer* answer) override;

    std::size_t Waiting(unsigned message) const;

private:
    struct Request {
        std::string url;
        std::string source;
        std::string destination;
        std::vector<std::uint8_t> body;
        std::uint64_t ticket = 0;
        bool post = false;
        std::string file;  // a file upload: its bytes are the body
    };
    struct Line {
        std::optional<Request> inFlight;
        std::deque<Request> waiting;
    };
    bool Queue(unsigned message, Request r);
    // Starts waiting requests until one is in flight; those that cannot be
    // started are added to `failed`.
    void StartNext(unsigned message, Line& line, std::vector<TransferDone>& failed);
    bool Start(unsigned message, const Request& r);
    Line* LineOf(unsigned message);

    IHttpStarter& starter_;
    Line pictures_, uploads_, gifts_, cars_, medals_, voices_;
};
