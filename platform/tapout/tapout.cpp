#include "platform/tapout/tapout.h"

#include <memory>
#include <mutex>
#include <string>

#include "core/log.h"
#include "platform/wavedev/pulse_streams.h"

namespace {

constexpr int kConnectMs = 2000;
constexpr int kFragmentMs = 20;

std::mutex serverLock;
std::string serverName;  // serverLock

std::string Server() {
    std::lock_guard<std::mutex> lock(serverLock);
    return serverName;
}

// The monitor source of the default sink; empty when there is none.
std::string DefaultMonitor(wavedev::CPulseSession& session) {
    wavedev::CPulseLock lock(session);
    std::string sink;
    session.Wait(pa_context_get_server_info(
        session.context(),
        [](pa_context*, const pa_server_info* i, void* out) {
            if (i && i->default_sink_name) *static_cast<std::string*>(out) = i->default_sink_name;
        },
        &sink));
    if (sink.empty()) return {};
    std::string monitor;
    session.Wait(pa_context_get_sink_info_by_name(
        session.context(), sink.c_str(),
        [](pa_context*, const pa_sink_info* i, int eol, void* out) {
            if (!eol && i && i->monitor_source_name)
                *static_cast<std::string*>(out) = i->monitor_source_name;
        },
        &monitor));
    return monitor;
}

}  // namespace

struct tapout_t {
    tapout_callback callback = nullptr;
    void* context = nullptr;
    std::unique_ptr<wavedev::CPulseInStream> stream;
};

tapout_t* TAPOUT_Init(tapout_callback callback, void* context) {
    auto* h = new (std::nothrow) tapout_t;
    if (!h) return nullptr;
    h->callback = callback;
    h->context = context;
    return h;
}

void TAPOUT_SetServer(const char* server) {
    std::lock_guard<std::mutex> lock(serverLock);
    serverName = server ? server : "";
}

int TAPOUT_Open(tapout_t* h, int device, int* rate, int* channels, int* bits) {
    if (!h) return wavedev::invalid_handle;
    if (device != 0) return wavedev::bad_device;
    if (h->stream) return wavedev::in_use;
    std::string error;
    int result = wavedev::ok;
    auto session = wavedev::CPulseSession::Connect(Server(), "zeri loopback", kConnectMs, error, result);
    if (!session) {
        log_msg("tapout: no sound server (%s)", error.c_str());
        return result == wavedev::ok ? wavedev::no_driver : result;
    }
    const std::string monitor = DefaultMonitor(*session);
    if (monitor.empty()) {
        log_msg("tapout: the sound server has no default sink to listen to");
        return wavedev::bad_device;
    }
    const pa_sample_spec wanted{PA_SAMPLE_S16LE, 44100, 2};
    const std::size_t fragment = pa_usec_to_bytes(kFragmentMs * 1000, &wanted);
    h->stream = wavedev::CPulseInStream::Open(
        session, monitor, wanted, fragment,
        [h](const std::int16_t* samples, std::size_t count) {
            if (h->callback) h->callback(samples, static_cast<int>(count * 2), h->context);
        },
        result);
    if (!h->stream) {
        log_msg("tapout: cannot record %s (result %d)", monitor.c_str(), result);
        return result == wavedev::ok ? wavedev::other : result;
    }
    const pa_sample_spec spec = h->stream->Spec();
    if (rate) *rate = static_cast<int>(spec.rate);
    if (channels) *channels = spec.channels;
    if (bits) *bits = 16;
    return wavedev::ok;
}

int TAPOUT_Close(tapout_t* h) {
    if (!h) return wavedev::invalid_handle;
    if (!h->stream) return wavedev::other;
    h->stream->Close();
    h->stream.reset();
    return wavedev::ok;
}

void TAPOUT_Release(tapout_t* h) {
    if (!h) return;
    TAPOUT_Close(h);
    delete h;
}
