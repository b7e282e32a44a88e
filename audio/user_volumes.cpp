#include "audio/user_volumes.h"

#include <algorithm>
#include <cstdlib>

#include "audio/voice_mix.h"
#include "core/files.h"
#include "core/log.h"
#include "formats/markup.h"

bool CUserVolumes::Load() {
    {
        std::lock_guard<std::mutex> g(lock_);
        volumes_.clear();
    }
    std::string text;
    if (!files::ReadFile(path_, text)) return false;
    CMarkupSTL doc;
    if (!doc.SetDoc(text) || !doc.FindElem("volumes")) {
        log_msg("volumes: %s is damaged; every user at 100%%\r\n", path_.c_str());
        return false;
    }
    std::map<std::uint32_t, int> read;
    while (doc.FindChildElem("user")) {
        const std::string id = doc.GetChildAttrib("id"), volume = doc.GetChildAttrib("volume");
        char* end = nullptr;
        const unsigned long user = std::strtoul(id.c_str(), &end, 10);
        if (id.empty() || *end || user == 0 || user > 0xFFFFFFFFul) continue;
        const long v = std::strtol(volume.c_str(), &end, 10);
        if (volume.empty() || *end) continue;
        read[static_cast<std::uint32_t>(user)] =
            static_cast<int>(std::clamp<long>(v, 0, voice_mix::kMaxVolume));
    }
    std::lock_guard<std::mutex> g(lock_);
    volumes_ = std::move(read);
    return true;
}

int CUserVolumes::Volume(std::uint32_t userId) const {
    std::lock_guard<std::mutex> g(lock_);
    const auto it = volumes_.find(userId);
    return it == volumes_.end() ? voice_mix::kDefaultVolume : it->second;
}

bool CUserVolumes::Set(std::uint32_t userId, int percent) {
    const int v = std::clamp(percent, 0, voice_mix::kMaxVolume);
    std::map<std::uint32_t, int> now;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (v == voice_mix::kDefaultVolume) volumes_.erase(userId);
        else volumes_[userId] = v;
        now = volumes_;
    }
    return Save(now);
}

bool CUserVolumes::Save(const std::map<std::uint32_t, int>& volumes) const {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<volumes>\n";
    for (const auto& [user, volume] : volumes)
        xml += "  <user id=\"" + std::to_string(user) + "\" volume=\"" + std::to_string(volume) +
               "\"/>\n";
    xml += "</volumes>\n";
    if (files::WriteFileAtomic(path_, xml)) return true;
    log_msg("volumes: cannot write %s\r\n", path_.c_str());
    return false;
}
