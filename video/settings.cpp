#include "video/settings.h"

#include <filesystem>
#include <span>
#include <string_view>

#include "core/files.h"
#include "core/log.h"
#include "formats/markup.h"
#include "platform/text/text.h"

namespace {

constexpr const char* kRoot = "xml_root";
constexpr const char* kDamagedSuffix = ".bad";

// One key of a group: a number within [low, high] or a string.
template <class S>
struct Key {
    const char* name;
    std::uint32_t S::*number = nullptr;
    std::uint32_t low = 0, high = 0;
    std::string S::*text = nullptr;
};

template <class S>
constexpr Key<S> Number(const char* name, std::uint32_t S::*field, std::uint32_t low,
                        std::uint32_t high) {
    return {name, field, low, high, nullptr};
}
template <class S>
constexpr Key<S> Text(const char* name, std::string S::*field) {
    return {name, nullptr, 0, 0, field};
}

// The keys of each group in the file's order. The five video keys after
// "encode_mode" end in a blank that their tags keep.
const Key<DeviceSettings> kDeviceKeys[] = {
    Number("micenhance", &DeviceSettings::micenhance, 0, 1),
    Number("micnoise", &DeviceSettings::micnoise, 0, 1),
    Number("micecho", &DeviceSettings::micecho, 0, 1),
    Number("mixhard", &DeviceSettings::mixhard, 0, 1),
    Number("mixsoftwate", &DeviceSettings::mixsoftwate, 0, 1),
    Number("keyvalue", &DeviceSettings::keyvalue, 1, 255),
    Number("spearkertype", &DeviceSettings::spearkertype, 0, 1),
    Text("keyname", &DeviceSettings::keyname),
    Text("micname", &DeviceSettings::micname),
    Text("speakername", &DeviceSettings::speakername),
    Number("loopback", &DeviceSettings::loopback, 0, 1),
};
const Key<VideoSettings> kVideoKeys[] = {
    Number("encode_mode", &VideoSettings::encode_mode, 0, 2),
    Text("videoname ", &VideoSettings::videoname),
    Number("catch_type ", &VideoSettings::catch_type, 0, 2),
    Number("mouse_enabled ", &VideoSettings::mouse_enabled, 0, 1),
    Number("mouse_type ", &VideoSettings::mouse_type, 0, 2),
    Number("mouse_color ", &VideoSettings::mouse_color, 0, 0xFFFFFF),
};
const Key<RecordSettings> kRecordKeys[] = {
    Number("record_quality", &RecordSettings::record_quality, 0, 2),
    Number("record_width", &RecordSettings::record_width, 16, 4096),
    Number("record_height", &RecordSettings::record_height, 16, 4096),
    Number("record_fps", &RecordSettings::record_fps, 1, 60),
};

// Plain decimal digits (blanks around them allowed) within [low, high]:
// "-1", "+5", "0x10", "12ab" and overflowing values are refused.
bool ParseNumber(std::string_view text, std::uint32_t low, std::uint32_t high, std::uint32_t& out) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return false;
    text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > high) return false;
    }
    if (v < low) return false;
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

// The document at `path`, or, when there is none that reads, a fresh one
// with its root; a damaged file is set aside first, not overwritten: someone
// may want it back.
CMarkupSTL OpenOrStart(const std::string& path) {
    CMarkupSTL doc;
    if (Open(path, doc)) return doc;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) > 0) {
        std::filesystem::rename(path, path + kDamagedSuffix, ec);
        if (ec) {
            log_msg("settings: %s is damaged and cannot be set aside (%s)\r\n", path.c_str(),
                    ec.message().c_str());
        } else {
            log_msg("settings: %s is damaged; kept as %s%s, defaults from now\r\n", path.c_str(),
                    path.c_str(), kDamagedSuffix);
        }
    }
    CMarkupSTL fresh;
    fresh.AddElem(kRoot);
    return fresh;
}

template <class S>
bool ReadGroup(const std::string& path, std::span<const Key<S>> keys, S& out) {
    CMarkupSTL doc;
    if (!Open(path, doc)) return false;
    const S defaults;
    S read = out;
    for (const Key<S>& k : keys) {
        if (!doc.FindChildElem(k.name, true)) continue;
        const std::string value = doc.GetChildData();
        if (k.number) {
            // A damaged value costs only its own key.
            if (!ParseNumber(value, k.low, k.high, read.*k.number)) read.*k.number = defaults.*k.number;
        } else {
            std::string utf8 = text::AnsiToUtf8(value);
            const bool damaged = utf8.size() > CSettingsStore::kMaxText || utf8.find('\0') != std::string::npos;
            read.*k.text = damaged ? defaults.*k.text : std::move(utf8);
        }
    }
    out = std::move(read);
    return true;
}

template <class S>
bool WriteGroup(const std::string& path, std::span<const Key<S>> keys, const S& in) {
    CMarkupSTL doc = OpenOrStart(path);
    for (const Key<S>& k : keys) {
        const std::string value = k.number ? std::to_string(in.*k.number) : text::Utf8ToAnsi(in.*k.text);
        const bool done = doc.FindChildElem(k.name, true) ? doc.SetChildData(value)
                                                          : doc.AddChildElem(k.name, value);
        if (!done) {
            // An element holding elements of its own cannot take a value.
            log_msg("settings: cannot set \"%s\" in %s\r\n", k.name, path.c_str());
            return false;
        }
    }
    return Save(path, doc);
}

}  // namespace

bool CSettingsStore::SetPath(const std::string& path) {
    path_ = path;
    CMarkupSTL doc;
    if (Open(path_, doc)) return true;
    return Save(path_, OpenOrStart(path_));
}

bool CSettingsStore::ReadDevice(DeviceSettings& out) const {
    return ReadGroup<DeviceSettings>(path_, kDeviceKeys, out);
}
bool CSettingsStore::ReadVideo(VideoSettings& out) const {
    return ReadGroup<VideoSettings>(path_, kVideoKeys, out);
}
bool CSettingsStore::ReadRecord(RecordSettings& out) const {
    return ReadGroup<RecordSettings>(path_, kRecordKeys, out);
}

bool CSettingsStore::WriteDevice(const DeviceSettings& in) const {
    return WriteGroup<DeviceSettings>(path_, kDeviceKeys, in);
}
bool CSettingsStore::WriteVideo(const VideoSettings& in) const {
    return WriteGroup<VideoSettings>(path_, kVideoKeys, in);
}
bool CSettingsStore::WriteRecord(const RecordSettings& in) const {
    return WriteGroup<RecordSettings>(path_, kRecordKeys, in);
}
