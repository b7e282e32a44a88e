#include "room/room_badges.h"

#include "core/log.h"
#include "core/paths.h"
#include "platform/kitlib/kitlib.h"
#include "room/catalogue/cached_file.h"
#include "room/push_data.h"

CRoomBadges::CRoomBadges(CRoomSession& session, IChatTransfers& transfers, RoomBadgesSetup setup)
    : session_(session), transfers_(transfers), setup_(std::move(setup)) {
    setup_.dataFolder =
        setup_.dataFolder.empty() ? paths::DataFolder() : paths::WithSlash(setup_.dataFolder);
    session_.AddFeature(this);
}

CRoomBadges::~CRoomBadges() { session_.RemoveFeature(this); }

std::string CRoomBadges::MedalPath(const std::string& url) const {
    if (url.rfind("http://", 0) != 0) return {};
    const std::string name = UrlFileName(url);
    return name.empty() ? std::string() : setup_.dataFolder + "res/wealth/" + name;
}

void CRoomBadges::DecorateUser(RoomUser& u) {
    u.vipIcon = u.vipLevel && setup_.vipIcon ? setup_.vipIcon(u.vipLevel) : std::string();
    u.medalIcon = MedalIcon(u.medalUrl);
}

std::string CRoomBadges::MedalIcon(const std::string& url) {
    const std::string path = MedalPath(url);
    if (path.empty()) return {};
    if (catalogue::CachedFileGood(path, UrlFileName(url))) return path;
    if (fetches_.count(path)) return {};
    if (transfers_.FetchIcon(UM_MEDAL_ICON_DONE, url, path))
        fetches_[path] = Fetch::waiting;
    else
        fetches_[path] = Fetch::failed;
    return {};
}

bool CRoomBadges::OnWindowMessage(const WindowMessage& m) {
    if (m.msg != UM_MEDAL_ICON_DONE) return false;
    bool any = false;
    for (const TransferDone& done : transfers_.TakeAnswer(m.msg, m.As<KitlibAnswer>())) {
        const bool ok = done.ok && catalogue::CachedFileGood(done.destination, UrlFileName(done.source));
        if (!ok) log_msg("medal picture %s fail\r\n", done.source.c_str());
        fetches_[done.destination] = ok ? Fetch::waiting : Fetch::failed;
        any = any || ok;
    }
    if (any) {
        session_.RedecorateUsers();
        if (onMedalsArrived_) onMedalsArrived_();
    }
    return true;
}
