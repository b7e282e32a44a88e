#pragma once
// The user's device, voice and talk-key settings: "common.xml" in the user's
// folder, root "xml_root", one child element per key whose text is the value
// (numbers in decimal). Reading leaves a missing key at what the caller
// started from (the defaults); writing changes the keys in place, adds the
// missing ones once, and replaces the file atomically. The video and
// recording groups join the same file.

#include <cstdint>
#include <string>

struct DeviceSettings {
    std::uint32_t micenhance = 0;   // capture: +5 dB and a soft limiter
    std::uint32_t micnoise = 0;     // capture: noise suppression and voice detection
    std::uint32_t micecho = 0;      // capture: echo cancellation
    std::uint32_t mixhard = 0;      // kept as written; nothing is mixed into what is sent
    std::uint32_t mixsoftwate = 1;  // kept as written
    std::uint32_t keyvalue = 113;   // the talk key (F2)
    std::uint32_t spearkertype = 0; // free speech or hold-to-talk
    std::string keyname = "F2";
    std::string micname;            // capture device, by name; empty: the default
    std::string speakername;        // output device, by name; empty: the default
    std::uint32_t loopback = 0;     // send what the computer plays with the microphone
};

class CSettingsStore {
public:
    // The document's path; when there is no readable document there, an
    // empty one with its root is written (a damaged file is first renamed
    // to "….damaged"). False when that cannot be written.
    bool SetPath(const std::string& path);
    // False when the file or its root is missing (`out` unchanged then).
    bool ReadDevice(DeviceSettings& out) const;
    bool WriteDevice(const DeviceSettings& in) const;

private:
    std::string path_;
};
