#include "platform/wavedev/pulse_backend.h"

#include "platform/wavedev/pulse_streams.h"

namespace wavedev {

namespace {

constexpr const char* kDefaultSource = "@DEFAULT_SOURCE@";
constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

void TakeSuccess(pa_context*, int success, void* out) { *static_cast<int*>(out) = success; }

}  // namespace

CPulseBackend::CPulseBackend(std::shared_ptr<CPulseSession> session)
    : session_(std::move(session)) {}

bool CPulseBackend::List(bool sources, std::vector<Device>& out) {
    out.clear();
    CPulseLock lock(*session_);
    if (!session_->Alive()) return false;
    pa_operation* op = nullptr;
    if (sources) {
        op = pa_context_get_source_info_list(
            session_->context(),
            [](pa_context*, const pa_source_info* i, int eol, void* list) {
                if (eol || !i || i->monitor_of_sink != PA_INVALID_INDEX) return;
                static_cast<std::vector<Device>*>(list)->push_back(
                    {i->name ? i->name : "", i->description ? i->description : ""});
            },
            &out);
    } else {
        op = pa_context_get_sink_info_list(
            session_->context(),
            [](pa_context*, const pa_sink_info* i, int eol, void* list) {
                if (eol || !i) return;
                static_cast<std::vector<Device>*>(list)->push_back(
                    {i->name ? i->name : "", i->description ? i->description : ""});
            },
            &out);
    }
    return session_->Wait(op);
}

std::vector<std::string> CPulseBackend::Names(bool sources) {
    std::vector<Device> devices;
    std::vector<std::string> names;
    if (!List(sources, devices)) return names;
    for (const Device& d : devices) names.push_back(d.description.empty() ? d.name : d.description);
    return names;
}

std::vector<std::string> CPulseBackend::InputNames() { return Names(true); }
std::vector<std::string> CPulseBackend::OutputNames() { return Names(false); }

bool CPulseBackend::DeviceName(bool sources, int index, std::string& name, int& result) {
    name.clear();
    if (index == -1) return true;
    std::vector<Device> devices;
    if (!List(sources, devices)) {
        result = session_->Alive() ? other : no_driver;
        return false;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= devices.size()) {
        result = bad_device;
        return false;
    }
    name = devices[static_cast<std::size_t>(index)].name;
    return true;
}

std::unique_ptr<IWaveInStream> CPulseBackend::OpenIn(int device, int rate, int channels,
                                                     std::size_t fragmentBytes,
                                                     PcmCallback onData, int& result) {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate),
                              static_cast<std::uint8_t>(channels)};
    if (rate <= 0 || channels <= 0 || channels > int(PA_CHANNELS_MAX) || !pa_sample_spec_valid(&spec)) {
        result = bad_format;
        return nullptr;
    }
    std::string source;
    if (!DeviceName(true, device, source, result)) return nullptr;
    return CPulseInStream::Open(session_, source, spec, fragmentBytes, std::move(onData), result);
}

std::unique_ptr<IWaveOutStream> CPulseBackend::OpenOut(int device, int rate, int channels,
                                                       std::size_t bufferBytes,
                                                       WritableCallback onWritable, int& result) {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate),
                              static_cast<std::uint8_t>(channels)};
    if (rate <= 0 || channels <= 0 || channels > int(PA_CHANNELS_MAX) || !pa_sample_spec_valid(&spec)) {
        result = bad_format;
        return nullptr;
    }
    std::string sink;
    if (!DeviceName(false, device, sink, result)) return nullptr;
    return CPulseOutStream::Open(session_, sink, spec, bufferBytes, std::move(onWritable), level_,
                                 result);
}

// --- mixer ----------------------------------------------------------------------------

bool CPulseBackend::ReadLevel(bool source, int device, Level& out) {
    std::string name = source ? kDefaultSource : kDefaultSink;
    int result = ok;
    if (device >= 0 && !DeviceName(source, device, name, result)) return false;
    CPulseLock lock(*session_);
    if (!session_->Alive()) return false;
    pa_operation* op = nullptr;
    if (source) {
        op = pa_context_get_source_info_by_name(
            session_->context(), name.c_str(),
            [](pa_context*, const pa_source_info* i, int eol, void* level) {
                if (eol || !i) return;
                auto* l = static_cast<Level*>(level);
                l->index = i->index, l->volume = i->volume, l->mute = i->mute != 0;
            },
            &out);
    } else {
        op = pa_context_get_sink_info_by_name(
            session_->context(), name.c_str(),
            [](pa_context*, const pa_sink_info* i, int eol, void* level) {
                if (eol || !i) return;
                auto* l = static_cast<Level*>(level);
                l->index = i->index, l->volume = i->volume, l->mute = i->mute != 0;
            },
            &out);
    }
    return session_->Wait(op) && out.index != PA_INVALID_INDEX && out.volume.channels > 0;
}

int CPulseBackend::GetVolume(int kind, int device) {
    if (kind == mixer_none) return 0;
    if (kind == mixer_own_playback) return level_->Percent();
    Level level;
    if (!ReadLevel(kind == mixer_capture, device, level)) return 0;
    return PercentOfPulseVolume(pa_cvolume_avg(&level.volume));
}

bool CPulseBackend::SetVolume(int kind, int percent, int device) {
    if (kind == mixer_none) return false;
    if (kind == mixer_own_playback) {
        level_->SetPercent(percent);
        return true;
    }
    const bool source = kind == mixer_capture;
    Level level;
    if (!ReadLevel(source, device, level)) return false;
    pa_cvolume volume;
    pa_cvolume_set(&volume, level.volume.channels, PulseVolumeOfPercent(percent));
    int success = 0;
    CPulseLock lock(*session_);
    pa_operation* op =
        source ? pa_context_set_source_volume_by_index(session_->context(), level.index, &volume,
                                                       TakeSuccess, &success)
               : pa_context_set_sink_volume_by_index(session_->context(), level.index, &volume,
                                                     TakeSuccess, &success);
    return session_->Wait(op) && success;
}

bool CPulseBackend::GetMute(int kind, int device) {
    if (kind == mixer_none) return false;
    if (kind == mixer_own_playback) return level_->Muted();
    Level level;
    return ReadLevel(kind == mixer_capture, device, level) && level.mute;
}

bool CPulseBackend::SetMute(int kind, bool mute, int device) {
    if (kind == mixer_none) return false;
    if (kind == mixer_own_playback) {
        level_->SetMuted(mute);
        return true;
    }
    const bool source = kind == mixer_capture;
    Level level;
    if (!ReadLevel(source, device, level)) return false;
    int success = 0;
    CPulseLock lock(*session_);
    pa_operation* op =
        source ? pa_context_set_source_mute_by_index(session_->context(), level.index, mute,
                                                     TakeSuccess, &success)
               : pa_context_set_sink_mute_by_index(session_->context(), level.index, mute,
                                                   TakeSuccess, &success);
    return session_->Wait(op) && success;
}

}  // namespace wavedev
