#include "chat/picture_send.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "chat/chat_code.h"
#include "core/log.h"
#include "core/url_encode.h"

namespace {

const char* const kNoFile = "图片无法读取";
const char* const kTooBig = "图片太大，不能超过4MB";
const char* const kCannotSend = "图片发送失败";

}  // namespace

std::string PictureDownloadUrl(std::string_view host, std::string_view fileId) {
    return "http://" + std::string(host) + "/down?id=" + url::PercentEncode(fileId);
}

std::string UploadUrl(std::string_view host, std::string_view filePath, int type) {
    const std::size_t cut = filePath.find_last_of("/\\");
    const std::string_view name = cut == std::string_view::npos ? filePath : filePath.substr(cut + 1);
    return "http://" + std::string(host) + "/up?f=" + url::PercentEncode(name) +
           "&t=" + std::to_string(type);
}

std::string PictureUploadUrl(std::string_view host, std::string_view filePath) {
    return UploadUrl(host, filePath, kUploadPicture);
}

CPictureSender::CPictureSender(IPictureUploader& uploader, std::size_t maxBytes)
    : uploader_(uploader), maxBytes_(maxBytes) {}

CPictureSender::Started CPictureSender::Send(const std::string& filePath, std::string_view uploadHost) {
    Started r;
    const std::string echo = chatcode::MakeLocalPicture(filePath);
    std::error_code ec;
    const auto size = std::filesystem::file_size(filePath, ec);
    if (echo.empty() || ec || size == 0 || !std::filesystem::is_regular_file(filePath, ec)) {
        r.error = kNoFile;
        return r;
    }
    if (size > maxBytes_) {
        r.error = kTooBig;
        return r;
    }
    std::ifstream in(filePath, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        r.error = kNoFile;
        return r;
    }
    if (uploadHost.empty()) {
        r.error = kCannotSend;
        return r;
    }
    const std::uint64_t ticket = next_++;
    pending_[ticket] = filePath;
    if (!uploader_.Upload(PictureUploadUrl(uploadHost, filePath), std::move(bytes), ticket)) {
        pending_.erase(ticket);
        log_msg("picture upload not started: %s", filePath.c_str());
        r.error = kCannotSend;
        return r;
    }
    r.ok = true;
    r.echoCode = echo;
    r.ticket = ticket;
    return r;
}

CPictureSender::Finished CPictureSender::OnAnswer(std::uint64_t ticket, bool transferOk,
                                                  std::string_view fileId) {
    Finished r;
    const auto it = pending_.find(ticket);
    if (it == pending_.end()) {
        r.error = kCannotSend;
        return r;
    }
    const std::string path = it->second;
    pending_.erase(it);
    if (!transferOk) {
        log_msg("picture upload failed: %s", path.c_str());
        r.error = kCannotSend;
        return r;
    }
    r.code = chatcode::MakeStoredPicture(fileId);
    if (r.code.empty()) {
        log_msg("picture upload answer without a usable file_id: %s", path.c_str());
        r.error = kCannotSend;
        return r;
    }
    r.ok = true;
    return r;
}
