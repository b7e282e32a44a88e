#pragma once
// The room window's voice-message player. Clips become known by the key of
// their chat icon; a click plays the clip's AMR file from the user's audio
// folder, fetching it first on this object's own thread when it is missing.
//
// Threads and locks:
// - the room window's thread calls Add, Play, Busy, Clear and Stop;
// - the download thread (this c_thread, started at construction) takes one
//   request at a time from the download queue and fetches it synchronously,
//   tripped by `cancel_` when the window closes;
// - one playback thread at a time (voice::CVoicePlayback), joined before
//   the next starts.
// `playbackLock_` orders starting and stopping playbacks (taken first);
// `entryLock_` guards the known clips and the current one; `downloadLock_`
// the queue and the name in flight. A playback's end takes only
// `entryLock_`, so joining a playback under `playbackLock_` never waits
// on it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "audio/voice_message/voice_player.h"
#include "core/message.h"
#include "core/thread.h"
#include "web/http_down.h"
#include "web/http_public.h"

class CPlayThread;
struct sonic_damr_t;

namespace voice {
class CVoicePlayback;
}

struct PlayAudioSetup {
    HWND window = 0;                    // UM_VOICE_PLAY_DONE goes here
    std::string audioFolder;            // data folder + "user/<id>/audio/" (made on demand)
    std::function<std::string()> host;  // the voice file host "h:port", asked at each download
    std::size_t maxFileBytes = 128 * 1024;
};

class CPlayAudio final : public IVoicePlayer, public zn::c_thread, public web::CHttpPublic {
public:
    CPlayAudio(CPlayThread& playback, PlayAudioSetup setup);
    ~CPlayAudio() override;
    CPlayAudio(const CPlayAudio&) = delete;
    CPlayAudio& operator=(const CPlayAudio&) = delete;

    bool Add(std::uint64_t id, const std::string& name) override;
    bool Play(std::uint64_t id) override;
    bool Busy(std::uint64_t id) const override;
    void Clear() override;
    void Stop() override;

    // "http://HOST/NAME" with the name percent-encoded; empty without a host.
    static std::string VoiceUrl(const std::string& host, const std::string& name);

protected:
    void Run() override;

private:
    struct VoiceEntry {
        std::uint64_t id = 0;
        std::string name;  // the voice id: the file's name and the URL's path
        std::string path;  // audioFolder + name + ".amr"
    };
    struct Current {
        VoiceEntry entry;
        std::uint64_t turn = 0;    // which click made it current
        bool downloading = false;  // waits for its file
    };

    // Each with playbackLock_ held.
    void StopPlayback();
    bool StartPlayback(const VoiceEntry& entry, std::uint64_t turn);
    void QueueDownload(const VoiceEntry& entry);
    // The current clip is done: it stops being current, then the room hears.
    void EndCurrent(std::uint64_t turn, VoicePlayEnd end);
    bool TakeRequest(VoiceEntry& request);
    void Downloaded(const VoiceEntry& request, bool fetched);

    CPlayThread& output_;
    const PlayAudioSetup setup_;
    sonic_damr_t* decoder_ = nullptr;
    web::DownloadCancel cancel_;
    zn::c_event wake_;

    std::mutex playbackLock_;  // taken before the other two
    std::unique_ptr<voice::CVoicePlayback> playback_;
    bool stopped_ = false;  // Stop was called: no more downloads

    mutable std::mutex entryLock_;
    std::map<std::uint64_t, VoiceEntry> known_;
    std::optional<Current> current_;
    std::uint64_t turns_ = 0;

    std::mutex downloadLock_;
    std::deque<VoiceEntry> downloads_;
    std::string inFlight_;  // the name being fetched, empty when none
};
