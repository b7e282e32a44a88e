#include "room/chat_transfers.h"

#include <cstdio>

#include "chat/picture_send.h"
#include "core/files.h"
#include "net/json.h"
#include "platform/kitlib/kitlib.h"

namespace {

TransferDone Failed(unsigned message, const std::string& source, const std::string& destination,
                    std::uint64_t ticket) {
    TransferDone d;
    d.message = message;
    d.source = source;
    d.destination = destination;
    d.ticket = ticket;
    return d;
}

}  // namespace

bool CKitlibStarter::Download(unsigned message, const std::string& url,
                              const std::string& destination) {
    return KITLIB_DownHttpUrl(window_, message, url, destination) != 0;
}

bool CKitlibStarter::Post(unsigned message, const std::string& url,
                          const std::vector<std::uint8_t>& body) {
    return KITLIB_PostHttpUrl(window_, message, url, body.data(), body.size()) != 0;
}

bool CKitlibStarter::UploadFile(unsigned message, const std::string& url, const std::string& file) {
    return KITLIB_UploadHttpUrl(window_, message, url, file) != 0;
}

std::string CKitlibStarter::Host() { return KITLIB_GetIppaddr(0); }

std::string UploadedFileId(const TransferDone& done) {
    if (!done.ok) return {};
    const json::value id = json::value::parse(done.body).get("file_id");
    return id.is_number() ? std::to_string(id.as_int()) : id.as_string();
}

bool IHttpStarter::UploadFile(unsigned message, const std::string& url, const std::string& file) {
    std::string bytes;
    if (!files::ReadFile(file, bytes)) return false;
    return Post(message, url, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

CSerialTransfers::Line* CSerialTransfers::LineOf(unsigned message) {
    switch (message) {
        case UM_CHAT_PICTURE_DONE:
            return &pictures_;
        case UM_CHAT_UPLOAD_DONE:
            return &uploads_;
        case UM_GIFT_ICON_DONE:
            return &gifts_;
        case UM_CAR_ICON_DONE:
            return &cars_;
        case UM_MEDAL_ICON_DONE:
            return &medals_;
        case UM_VOICE_UPLOAD_DONE:
            return &voices_;
        default:
            return nullptr;
    }
}

std::size_t CSerialTransfers::Waiting(unsigned message) const {
    auto* line = const_cast<CSerialTransfers*>(this)->LineOf(message);
    return line ? line->waiting.size() + (line->inFlight ? 1 : 0) : 0;
}

bool CSerialTransfers::Start(unsigned message, const Request& r) {
    if (!r.file.empty()) return starter_.UploadFile(message, r.url, r.file);
    return r.post ? starter_.Post(message, r.url, r.body)
                  : starter_.Download(message, r.url, r.destination);
}

bool CSerialTransfers::Queue(unsigned message, Request r) {
    Line* line = LineOf(message);
    if (!line) return false;
    if (line->inFlight) {
        if (line->waiting.size() >= kMaxWaiting) return false;
        line->waiting.push_back(std::move(r));
        return true;
    }
    if (!Start(message, r)) return false;
    line->inFlight = std::move(r);
    return true;
}

bool CSerialTransfers::Fetch(const std::string& source, const std::string& destination) {
    Request r;
    r.source = source;
    r.destination = destination;
    r.url = IsPictureUrl(source) ? source : PictureDownloadUrl(starter_.Host(), source);
    return Queue(UM_CHAT_PICTURE_DONE, std::move(r));
}

bool CSerialTransfers::Upload(const std::string& url, std::vector<std::uint8_t> bytes,
                              std::uint64_t ticket) {
    Request r;
    r.url = url;
    r.body = std::move(bytes);
    r.ticket = ticket;
    r.post = true;
    return Queue(UM_CHAT_UPLOAD_DONE, std::move(r));
}

bool CSerialTransfers::UploadVoice(const std::string& url, const std::string& file,
                                   std::uint64_t ticket) {
    Request r;
    r.url = url;
    r.file = file;
    r.ticket = ticket;
    r.post = true;
    return Queue(UM_VOICE_UPLOAD_DONE, std::move(r));
}

bool CSerialTransfers::FetchIcon(unsigned doneMessage, const std::string& url,
                                 const std::string& destination) {
    if (doneMessage != UM_GIFT_ICON_DONE && doneMessage != UM_CAR_ICON_DONE &&
        doneMessage != UM_MEDAL_ICON_DONE)
        return false;
    Request r;
    r.url = url;
    r.source = url;
    r.destination = destination;
    return Queue(doneMessage, std::move(r));
}

void CSerialTransfers::StartNext(unsigned message, Line& line, std::vector<TransferDone>& failed) {
    while (!line.inFlight && !line.waiting.empty()) {
        Request r = std::move(line.waiting.front());
        line.waiting.pop_front();
        if (Start(message, r))
            line.inFlight = std::move(r);
        else
            failed.push_back(Failed(message, r.source, r.destination, r.ticket));
    }
}

std::vector<TransferDone> CSerialTransfers::TakeAnswer(unsigned message,
                                                       const KitlibAnswer* answer) {
    std::vector<TransferDone> out;
    Line* line = LineOf(message);
    if (!line || !line->inFlight) return out;
    Request r = std::move(*line->inFlight);
    line->inFlight.reset();
    TransferDone d = Failed(message, r.source, r.destination, r.ticket);
    if (answer) {
        if (r.post) {
            // Only file uploads hear refusals; 0 is a starter that gives no status.
            d.status = answer->status;
            d.ok = answer->status == 0 || (answer->status >= 200 && answer->status < 300);
            d.body.assign(answer->bytes.begin(), answer->bytes.end());
        } else {
            // The answer names the file it wrote; any other file would be
            // the wrong picture.
            d.ok = answer->file == r.destination;
        }
    }
    out.push_back(std::move(d));
    StartNext(message, *line, out);
    return out;
}
