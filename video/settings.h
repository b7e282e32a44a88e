#pragma once
// The user's device, voice, talk-key, video-source and recording settings:
// "common.xml" in the user's folder, root "xml_root", one child element per
// key whose text is the value (numbers in unsigned decimal). Reading leaves a
// missing key at what the caller started from (the defaults); a value that is
// not plain digits within its key's range gives that key's default. Writing
// changes the keys in place, adds the missing ones once, and replaces the
// file atomically. A damaged file is set aside as "common.xml.bad" and a
// fresh document takes its place, so one bad byte costs the settings, never
// the ability to save them.

#include <cstdint>
#include <string>

struct DeviceSettings {
    std::uint32_t micenhance = 0;   // capture: +5 dB and a soft limiter
    std::uint32_t micnoise = 0;     // capture: noise suppression and voice detection
    std::uint32_t micecho = 0;      // capture: echo cancellation
    std::uint32_t mixhard = 0;      // kept as written; nothing is mixed into what is sent
    std::uint32_t mixsoftwate = 1;  // kept as written
    std::uint32_t keyvalue = 113;   // the talk key (F2)
    std::uint32_t spearkertype = 0; // 0 free speech, 1 hold-to-talk
    std::string keyname = "F2";
    std::string micname;            // capture device, by name; empty: the default
    std::string speakername;        // output device, by name; empty: the default
    std::uint32_t loopback = 0;     // send what the computer plays with the microphone
};

struct VideoSettings {
    std::uint32_t encode_mode = 1;    // 0 the capture's own size, 1 640×360 at 15, 2 at 25
    std::string videoname;            // camera, by its exact name; empty: camera 0
    std::uint32_t catch_type = 0;     // screen: 0 whole desktop, 1 follow a window, 2 a region
    std::uint32_t mouse_enabled = 1;  // pointer drawn into screen capture
    std::uint32_t mouse_type = 2;     // pointer size: 0 large, 1 middle, 2 small (stored only)
    std::uint32_t mouse_color = 255;  // 0xRRGGBB (stored only)
};

struct RecordSettings {
    std::uint32_t record_quality = 1;  // 0 low, 1 middle, 2 high
    std::uint32_t record_width = 320;
    std::uint32_t record_height = 240;
    std::uint32_t record_fps = 10;
};

class CSettingsStore {
public:
    // Longest string value taken from the file; a longer one is damage and
    // reads as the key's default.
    static constexpr std::size_t kMaxText = 1024;

    // The document's path; when there is no readable document there, a
    // damaged file is kept as "<path>.bad" and an empty document with its
    // root is written. False when that cannot be written.
    bool SetPath(const std::string& path);
    const std::string& Path() const { return path_; }
    // False when the file or its root is missing (`out` unchanged then).
    bool ReadDevice(DeviceSettings& out) const;
    bool ReadVideo(VideoSettings& out) const;
    bool ReadRecord(RecordSettings& out) const;
    // False (and logged) when the file cannot be written; the caller tells
    // the user. A damaged or missing document is started afresh first.
    bool WriteDevice(const DeviceSettings& in) const;
    bool WriteVideo(const VideoSettings& in) const;
    bool WriteRecord(const RecordSettings& in) const;

private:
    std::string path_;
};
