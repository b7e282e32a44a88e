#pragma once
// What the room asks of the voice-message player: clips are made known by
// the key of their icon and the voice id they name, a click plays one (its
// file fetched first when missing), and the end of each playback comes
// back to the room window as UM_VOICE_PLAY_DONE (core/message.h) with the
// key in wParam and a VoicePlayEnd in lParam. One message plays at a time.

#include <cstdint>
#include <string>

enum VoicePlayEnd : std::intptr_t {
    kVoiceFailed = 0,    // no file, a failed download, nothing playable
    kVoiceFinished = 1,  // played to its end
};

class IVoicePlayer {
public:
    virtual ~IVoicePlayer() = default;
    // Makes the clip under `id` known as voice id `name` (a name that can
    // form neither a file name nor a URL is refused: false).
    virtual bool Add(std::uint64_t id, const std::string& name) = 0;
    // Stops what plays and plays `id`: at once when its file is here, else
    // after one download. False for an unknown id. A playback stopped by
    // another Play, Clear or Stop posts nothing: the caller knows.
    virtual bool Play(std::uint64_t id) = 0;
    // True while `id` is the current clip, downloading or playing; a done
    // message for a clip that is busy again is an old one.
    virtual bool Busy(std::uint64_t id) const = 0;
    // Stops and forgets every clip (the room was reloaded or left).
    virtual void Clear() = 0;
    // The room window closes: stops playback and the download thread
    // without waiting for a download in flight.
    virtual void Stop() = 0;
};
