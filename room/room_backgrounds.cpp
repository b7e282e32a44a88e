#include "room/room_backgrounds.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/service_hosts.h"
#include "net/service_answer.h"
#include "platform/kitlib/kitlib.h"

using namespace room_backgrounds;

namespace {

constexpr const char* kCaption = "提示";

std::string LowerSuffix(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string s = name.substr(dot);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A listed picture's URL is fetched only when it is plainly an http URL:
// no blanks or control characters that could split the request.
bool FetchableUrl(const std::string& url) {
    if (url.rfind("http://", 0) != 0 || url.size() > 1024) return false;
    return std::none_of(url.begin(), url.end(),
                        [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7f; });
}

bool Decode(const KitlibAnswer& a, bool sealed, msg::ServiceAnswer& out) {
    return msg::DecodeServiceAnswer(a.bytes.data(), a.bytes.size(), sealed, out);
}

bool NonEmptyFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) > 0 && !ec;
}

}  // namespace

std::vector<std::uint8_t> room_backgrounds::UploadBody(std::uint32_t roomId,
                                                       const std::string& picture) {
    std::vector<std::uint8_t> body;
    body.reserve(4 + picture.size());
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<std::uint8_t>(roomId >> (8 * i)));
    body.insert(body.end(), picture.begin(), picture.end());
    return body;
}

CRoomBackgrounds::CRoomBackgrounds(BackgroundsSetup setup) : setup_(std::move(setup)) {}

std::string CRoomBackgrounds::ServiceBase() const {
    const ServiceHosts hosts = GetServiceHosts();
    return "http://" + hosts.host + ":" + std::to_string(hosts.checkin) + "/";
}

std::string CRoomBackgrounds::ImageFolder() const {
    return paths::UserFolder(setup_.userId) + "Image/";
}

void CRoomBackgrounds::Box(const std::string& text) {
    if (setup_.box) setup_.box(text, kCaption);
}

void CRoomBackgrounds::Changed() {
    if (setup_.changed) setup_.changed();
}

// ---- requests ----

CRoomBackgrounds::Upload CRoomBackgrounds::Add() {
    if (pictures_.size() >= kMaxPictures) {
        Box("上传图片不能超过5张");
        return Upload::too_many;
    }
    if (!pending_.empty()) {
        Box("等待上传完成");
        return Upload::pending;
    }
    const std::string chosen =
        setup_.choose ? setup_.choose("选择图片", "图片文件 (*.jpg *.bmp)") : std::string();
    if (chosen.empty()) return Upload::cancelled;
    const std::string suffix = LowerSuffix(chosen);
    if (suffix != ".jpg" && suffix != ".jpeg" && suffix != ".bmp") {
        Box("请选择.jpg或.bmp图片");
        return Upload::wrong_type;
    }
    // The copy is named after the chosen file, made safe for the folder.
    std::string name = paths::SafeComponent(BaseName(chosen));
    if (name.empty() || name == suffix || name.find_first_not_of('_') == std::string::npos)
        name = paths::NewUniqueName() + suffix;
    const std::string folder = ImageFolder();
    const std::string local = folder + name;
    std::string bytes;
    if (!paths::MakeDirs(folder) || !setup_.zoom ||
        setup_.zoom(chosen, local, kWidth, kHeight) != 0 || !files::ReadFile(local, bytes) ||
        bytes.empty()) {
        log_msg("background picture %s not usable\r\n", chosen.c_str());
        Box("图片无法读取");
        return Upload::unreadable;
    }
    if (!setup_.http ||
        !setup_.http->Post(UM_BACKGROUND_SAVED, ServiceBase() + "savepic",
                           UploadBody(setup_.roomId, bytes))) {
        Box("上传失败");
        return Upload::not_started;
    }
    pending_ = local;
    Changed();
    return Upload::sent;
}

bool CRoomBackgrounds::Delete(std::uint32_t pictureId) {
    if (deleting_ || !setup_.http) return false;
    const std::string url = ServiceBase() + "delbackgroundpic?picId=" + std::to_string(pictureId);
    if (!setup_.http->Post(UM_BACKGROUND_DELETED, url, {})) return false;
    deleting_ = pictureId;
    return true;
}

bool CRoomBackgrounds::RequestClothing(int page) {
    if (clothingLoading_ || !setup_.http || page < 0) return false;
    const std::string url = ServiceBase() + "getroomclothinginfo?roomid=" +
                            std::to_string(setup_.roomId) + "&pageid=" + std::to_string(page);
    if (!setup_.http->Post(UM_CLOTHING_PAGE, url, {})) return false;
    clothingLoading_ = true;
    return true;
}

// ---- answers ----

bool CRoomBackgrounds::OnAnswer(unsigned message, const KitlibAnswer* answer) {
    switch (message) {
        case UM_BACKGROUND_SAVED: OnSaved(answer); return true;
        case UM_BACKGROUND_LIST: OnList(answer); return true;
        case UM_BACKGROUND_DELETED: OnDeleted(answer); return true;
        case UM_CLOTHING_PAGE: OnClothing(answer); return true;
        case UM_BACKGROUND_FETCHED: OnFetched(answer); return true;
        default: return false;
    }
}

void CRoomBackgrounds::OnSaved(const KitlibAnswer* answer) {
    // Whatever came back, the upload is over: another may start.
    const std::string local = std::exchange(pending_, std::string());
    msg::ServiceAnswer a;
    if (!answer || !Decode(*answer, false, a)) {
        Changed();
        return;
    }
    if (!a.error.empty()) {
        Box(a.error);
        Changed();
        return;
    }
    bool moved = false;
    for (const msg::ServiceItem& item : a.items) {
        const std::string name = paths::SafeComponent(item.text);
        if (!item.hasResult || name.empty() || name.find_first_not_of('_') == std::string::npos)
            continue;
        if (pictures_.size() >= kMaxPictures) break;
        Picture p;
        p.id = item.result;
        p.file = ImageFolder() + name;
        // The local copy takes the name the service gave the picture.
        if (!moved && !local.empty()) {
            std::error_code ec;
            std::filesystem::rename(local, p.file, ec);
            moved = !ec;
        }
        p.present = NonEmptyFile(p.file);
        pictures_.push_back(std::move(p));
    }
    Changed();
}

void CRoomBackgrounds::OnList(const KitlibAnswer* answer) {
    msg::ServiceAnswer a;
    if (!answer || !Decode(*answer, true, a)) return;
    if (!a.error.empty()) {
        Box(a.error);
        return;
    }
    std::vector<Picture> list;
    for (const msg::ServiceItem& item : a.items) {
        if (list.size() >= kMaxPictures) break;
        const std::string name = paths::UrlFileName(item.text);
        if (!FetchableUrl(item.text) || name.empty()) {
            log_msg("background picture url refused: %s\r\n", item.text.c_str());
            continue;
        }
        Picture p;
        p.id = item.result;
        p.url = item.text;
        p.file = ImageFolder() + name;
        p.present = NonEmptyFile(p.file);
        list.push_back(std::move(p));
    }
    pictures_ = std::move(list);
    for (const Picture& p : pictures_)
        if (!p.present && setup_.http) setup_.http->Download(UM_BACKGROUND_FETCHED, p.url, p.file);
    Changed();
}

void CRoomBackgrounds::OnFetched(const KitlibAnswer* answer) {
    if (!answer) return;
    bool any = false;
    for (Picture& p : pictures_)
        if (p.file == answer->file) {
            p.present = NonEmptyFile(p.file);
            any = true;
        }
    if (any) Changed();
}

void CRoomBackgrounds::OnDeleted(const KitlibAnswer* answer) {
    const std::optional<std::uint32_t> id = std::exchange(deleting_, std::nullopt);
    msg::ServiceAnswer a;
    if (!answer || !Decode(*answer, true, a)) return;
    if (!a.error.empty()) {
        Box(a.error);
        return;
    }
    if (!id || !msg::ServiceAnswerSucceeded(a)) return;
    std::erase_if(pictures_, [&](const Picture& p) { return p.id == *id; });
    Changed();
}

void CRoomBackgrounds::OnClothing(const KitlibAnswer* answer) {
    clothingLoading_ = false;
    msg::ServiceAnswer a;
    if (!answer || !Decode(*answer, true, a)) return;
    if (!a.error.empty()) {
        Box(a.error);
        return;
    }
    clothing_.clear();
    for (const msg::ServiceItem& item : a.items) clothing_.push_back({item.result, item.text});
    Changed();
}
