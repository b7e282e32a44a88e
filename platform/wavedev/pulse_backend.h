#pragma once
// The PulseAudio backend: devices are the server's sources (monitors left
// out) and sinks in the order it lists them, named by their descriptions;
// the mixer sets the devices' own volumes and mutes. Every call waits for
// the server a bounded time; failures give the neutral results.

#include <memory>
#include <string>
#include <vector>

#include "platform/wavedev/playback_level.h"
#include "platform/wavedev/pulse_session.h"
#include "platform/wavedev/wavedev.h"

namespace wavedev {

class CPulseBackend : public IWaveBackend {
public:
    explicit CPulseBackend(std::shared_ptr<CPulseSession> session);

    std::string Name() const override { return "pulse"; }
    std::vector<std::string> InputNames() override;
    std::vector<std::string> OutputNames() override;
    std::unique_ptr<IWaveInStream> OpenIn(int device, int rate, int channels,
                                          std::size_t fragmentBytes, PcmCallback onData,
                                          int& result) override;
    std::unique_ptr<IWaveOutStream> OpenOut(int device, int rate, int channels,
                                            std::size_t bufferBytes, WritableCallback onWritable,
                                            int& result) override;
    int GetVolume(int kind, int device) override;
    bool SetVolume(int kind, int percent, int device) override;
    bool GetMute(int kind, int device) override;
    bool SetMute(int kind, bool mute, int device) override;

private:
    struct Device {
        std::string name;
        std::string description;
    };
    struct Level {
        std::uint32_t index = PA_INVALID_INDEX;
        pa_cvolume volume{};
        bool mute = false;
    };
    // Sources (monitors left out) or sinks in the server's order; false
    // when the server did not answer.
    bool List(bool sources, std::vector<Device>& out);
    // The server name of device `index`; empty for the default (−1). False
    // with `result` when there is no such device.
    bool DeviceName(bool sources, int index, std::string& name, int& result);
    // The volume and mute of a mixer device (≤ 0: the default one).
    bool ReadLevel(bool source, int device, Level& out);
    std::vector<std::string> Names(bool sources);

    std::shared_ptr<CPulseSession> session_;
    std::shared_ptr<CPlaybackLevel> level_ = std::make_shared<CPlaybackLevel>();
};

}  // namespace wavedev
