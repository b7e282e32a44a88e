#pragma once
// Sending a picture in chat: the local echo, the upload to the picture
// service and, once it answers with the picture's file id, the stored-picture
// code that goes out as an ordinary chat line. The HTTP transfer itself is
// the room's (IPictureUploader); this holds the decisions around it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class IPictureUploader {
public:
    virtual ~IPictureUploader() = default;
    // Starts an HTTP upload of `bytes` to `url`. The room hands the answer
    // to CPictureSender::OnAnswer with the same ticket. False when the
    // upload could not be started.
    virtual bool Upload(const std::string& url, std::vector<std::uint8_t> bytes,
                        std::uint64_t ticket) = 0;
};

// The picture service's own limit; larger files are refused before sending.
inline constexpr std::size_t kMaxPictureUploadBytes = 4u << 20;

// What the upload service stores: chat pictures, or recorded voice messages.
inline constexpr int kUploadPicture = 8;
inline constexpr int kUploadVoice = 9;
// "http://HOST/up?f=NAME&t=TYPE" with NAME the file's last path part,
// percent-encoded so that blanks, "&", "#" or non-ASCII names reach the
// service as they are.
std::string UploadUrl(std::string_view host, std::string_view filePath, int type);
// The same with type 8.
std::string PictureUploadUrl(std::string_view host, std::string_view filePath);
// "http://HOST/down?id=ID": where a stored picture is fetched by its id.
std::string PictureDownloadUrl(std::string_view host, std::string_view fileId);

class CPictureSender {
public:
    explicit CPictureSender(IPictureUploader& uploader,
                            std::size_t maxBytes = kMaxPictureUploadBytes);

    struct Started {
        bool ok = false;
        std::string echoCode;  // the user's own line: the local-picture code
        std::string error;     // a notice for the user when !ok
        std::uint64_t ticket = 0;
    };
    // Reads the file and starts its upload. The echo is only given when the
    // upload really started, so a picture that never leaves is never shown
    // as sent.
    Started Send(const std::string& filePath, std::string_view uploadHost);

    struct Finished {
        bool ok = false;
        std::string code;   // the stored-picture code to send as a chat line
        std::string error;  // a notice for the user when !ok
    };
    // The upload's answer: transferOk false when no answer came; fileId the
    // "file_id" member of the JSON answer (empty when missing). An id that
    // cannot travel in a code is a failure, never a broken line.
    Finished OnAnswer(std::uint64_t ticket, bool transferOk, std::string_view fileId);

    std::size_t Pending() const { return pending_.size(); }

private:
    IPictureUploader& uploader_;
    std::size_t maxBytes_;
    std::map<std::uint64_t, std::string> pending_;  // ticket -> local path
    std::uint64_t next_ = 1;
};
