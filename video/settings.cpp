#include "video/settings.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "core/files.h"
#include "core/log.h"
#include "formats/markup.h"

namespace {

constexpr const char* kRoot = "xml_root";

// The device keys in the file's order.
struct Key {
    const char* name;
    std::uint32_t DeviceSettings::*number = nullptr;
    std::string DeviceSettings::*text = nullptr;
};
const Key kDeviceKeys[] = {
    {"micenhance", &DeviceSettings::micenhance},
    {"micnoise", &DeviceSettings::micnoise},
    {"micecho", &DeviceSettings::micecho},
    {"mixhard", &DeviceSettings::mixhard},
    {"mixsoftwate", &DeviceSettings::mixsoftwate},
    {"keyvalue", &DeviceSettings::keyvalue},
    {"spearkertype", &DeviceSettings::spearkertype},
    {"keyname", nullptr, &DeviceSettings::keyname},
    {"micname", nullptr, &DeviceSettings::micname},
    {"speakername", nullptr, &DeviceSettings::speakername},
    {"loopback", &DeviceSettings::loopback},
};

bool ParseNumber(const std::string& text, std::uint32_t& out) {
    if (text.empty() || text.size() > 10) return false;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (*end || text[0] == '-' || text[0] == '+' || v > 0xFFFFFFFFull) return false;
    out = static_cast<std::uint32_t>(v);
    return true;
}

bool Open(const std::string& path, CMarkupSTL& doc) {
    std::string text;
    return files::ReadFile(path, text) && doc.SetDoc(std::move(text)) && doc.FindElem(kRoot);
}

bool Save(const std::string& path, const CMarkupSTL& doc) {
    if (files::WriteFileAtomic(path, doc.GetDoc())) return true;
    log_msg("settings: cannot write %s\r\n", path.c_str());
    return false;
}

}  // namespace

bool CSettingsStore::SetPath(const std::string& path) {
    path_ = path;
    CMarkupSTL doc;
    if (Open(path_, doc)) return true;
    // A damaged file is set aside, not overwritten: someone may want it back.
    std::error_code ec;
    if (std::filesystem::exists(path_, ec) && std::filesystem::file_size(path_, ec) > 0) {
        std::filesystem::rename(path_, path_ + ".damaged", ec);
        log_msg("settings: %s is damaged; kept as .damaged, defaults from now\r\n", path_.c_str());
    }
    CMarkupSTL fresh;
    fresh.AddElem(kRoot);
    return Save(path_, fresh);
}

bool CSettingsStore::ReadDevice(DeviceSettings& out) const {
    CMarkupSTL doc;
    if (!Open(path_, doc)) return false;
    DeviceSettings read = out;
    for (const Key& k : kDeviceKeys) {
        if (!doc.FindChildElem(k.name, true)) continue;
        const std::string value = doc.GetChildData();
        // A value that is no number keeps the default rather than becoming 0.
        if (k.number) ParseNumber(value, read.*k.number);
        else read.*k.text = value;
    }
    out = std::move(read);
    return true;
}

bool CSettingsStore::WriteDevice(const DeviceSettings& in) const {
    CMarkupSTL doc;
    if (!Open(path_, doc)) return false;
    for (const Key& k : kDeviceKeys) {
        const std::string value = k.number ? std::to_string(in.*k.number) : in.*k.text;
        if (doc.FindChildElem(k.name, true)) doc.SetChildData(value);
        else doc.AddChildElem(k.name, value);
    }
    return Save(path_, doc);
}
