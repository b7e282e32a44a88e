#include "room/room_volumes.h"

#include <filesystem>
#include <system_error>

#include "core/paths.h"
#include "room/typed_command.h"

namespace {
std::string VolumesFile(std::uint32_t me) {
    const std::string folder = paths::UserFolder(me);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder + "volumes.xml";
}
}  // namespace

CRoomVolumes::CRoomVolumes(CRoomSession& session)
    : session_(session), volumes_(VolumesFile(session.myUserId())) {
    volumes_.Load();
    session_.AddFeature(this);
}

CRoomVolumes::~CRoomVolumes() { session_.RemoveFeature(this); }

bool CRoomVolumes::SetVolume(std::uint32_t userId, int percent) {
    return volumes_.Set(userId, percent);
}

void CRoomVolumes::Report(std::uint32_t userId) {
    const auto it = session_.users().find(userId);
    const std::string who = it == session_.users().end() ? std::string() : it->second.nickname;
    session_.view().Report("volume", who + "(" + std::to_string(userId) + ") " +
                                         std::to_string(Volume(userId)) + "%");
}

bool CRoomVolumes::OnTypedCommand(const std::string& line) {
    const typed::Line t = typed::Split(line);
    if (t.word != "/vol") return false;
    std::uint32_t id = 0;
    std::int64_t percent = 0;
    if (t.args.empty() || t.args.size() > 2 || !typed::ParseUserId(t.args[0], id) ||
        (t.args.size() == 2 && !typed::ParseNumber(t.args[1], 0, 200, percent))) {
        session_.view().ShowTip("usage: /vol ID [PERCENT]");
        return true;
    }
    if (t.args.size() == 2 && !SetVolume(id, static_cast<int>(percent)))
        session_.view().ShowTip("音量设置保存失败");
    Report(id);
    return true;
}
