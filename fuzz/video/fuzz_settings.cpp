// Arbitrary bytes as the user's "common.xml" and as "effect.dat": what is
// read lies within each key's range, and writing it and reading again gives
// the same values. Damage may cost defaults, never a crash or a value out of
// range.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "video/effect_record.h"
#include "video/settings.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

const std::string& Folder() {
    static const std::string folder = [] {
        const auto dir = std::filesystem::temp_directory_path() / ("zeri-fuzz-settings-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir.string() + "/";
    }();
    return folder;
}

void Put(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool Valid(const std::string& s) { return s.size() <= CSettingsStore::kMaxText && s.find('\0') == std::string::npos; }

void CheckRanges(const DeviceSettings& d, const VideoSettings& v, const RecordSettings& r) {
    for (std::uint32_t flag : {d.micenhance, d.micnoise, d.micecho, d.mixhard, d.mixsoftwate, d.loopback,
                               d.spearkertype, v.mouse_enabled})
        Check(flag <= 1);
    Check(d.keyvalue >= 1 && d.keyvalue <= 255);
    Check(Valid(d.keyname) && Valid(d.micname) && Valid(d.speakername) && Valid(v.videoname));
    Check(v.encode_mode <= 2 && v.catch_type <= 2 && v.mouse_type <= 2 && v.mouse_color <= 0xFFFFFF);
    Check(r.record_quality <= 2 && r.record_fps >= 1 && r.record_fps <= 60);
    Check(r.record_width >= 16 && r.record_width <= 4096 && r.record_height >= 16 && r.record_height <= 4096);
}

bool Same(const DeviceSettings& a, const DeviceSettings& b) {
    return a.micenhance == b.micenhance && a.micnoise == b.micnoise && a.micecho == b.micecho &&
           a.mixhard == b.mixhard && a.mixsoftwate == b.mixsoftwate && a.keyvalue == b.keyvalue &&
           a.spearkertype == b.spearkertype && a.keyname == b.keyname && a.micname == b.micname &&
           a.speakername == b.speakername && a.loopback == b.loopback;
}
bool Same(const VideoSettings& a, const VideoSettings& b) {
    return a.encode_mode == b.encode_mode && a.videoname == b.videoname && a.catch_type == b.catch_type &&
           a.mouse_enabled == b.mouse_enabled && a.mouse_type == b.mouse_type && a.mouse_color == b.mouse_color;
}
bool Same(const RecordSettings& a, const RecordSettings& b) {
    return a.record_quality == b.record_quality && a.record_width == b.record_width &&
           a.record_height == b.record_height && a.record_fps == b.record_fps;
}

void Settings(const std::uint8_t* data, std::size_t size) {
    const std::string path = Folder() + "common.xml";
    Put(path, data, size);
    CSettingsStore store;
    if (!store.SetPath(path)) return;
    DeviceSettings d;
    VideoSettings v;
    RecordSettings r;
    Check(store.ReadDevice(d) && store.ReadVideo(v) && store.ReadRecord(r));
    CheckRanges(d, v, r);
    const bool wrote = store.WriteDevice(d) && store.WriteVideo(v) && store.WriteRecord(r);
    DeviceSettings d2;
    VideoSettings v2;
    RecordSettings r2;
    Check(store.ReadDevice(d2) && store.ReadVideo(v2) && store.ReadRecord(r2));
    // A write refused (a key holding elements) changes nothing, so the
    // values read again are the same either way.
    (void)wrote;
    Check(Same(d, d2) && Same(v, v2) && Same(r, r2));
}

void Effect(const std::uint8_t* data, std::size_t size) {
    const std::string path = Folder() + "effect.dat";
    Put(path, data, size);
    EffectRecord e;
    const bool loaded = LoadEffect(path, e);
    Check(loaded == (size != 0 && size % effect_layout::kSize == 0));
    Check(std::filesystem::exists(path) == (size % effect_layout::kSize == 0));
    // Short inputs are still a record's worth of bytes when padded.
    EffectRecord::Bytes b{};
    std::memcpy(b.data(), data, std::min(size, b.size()));
    if (!loaded) e = EffectRecord::FromBytes(b);
    Check(std::isfinite(e.brightness) && e.brightness >= 0 && e.brightness <= 2.0f);
    Check(std::isfinite(e.contrast) && e.contrast >= 0 && e.contrast <= 2.0f);
    Check(e.stretch <= static_cast<std::uint32_t>(effect_range::kStretchMax));
    Check(e.textY <= static_cast<std::uint32_t>(effect_range::kTextYMax));
    Check(e.rollMode < static_cast<std::uint32_t>(effect_range::kRollModes));
    Check(e.text.size() < effect_layout::kTextWidth && e.face.size() < effect_layout::kFaceUnits);
    Check(e.character.size() < effect_layout::kPathWidth);
    Check(SaveEffect(path, e));
    EffectRecord again;
    Check(LoadEffect(path, again) && again == e);
    const EffectRecord::Bytes written = e.ToBytes();
    Check(written[effect_layout::kFlagText] == (e.text.empty() ? 0 : 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Settings(data, size);
    Effect(data, size);
    return 0;
}
